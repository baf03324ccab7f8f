// What the program sends to, expects of and finds of the capture application.
#pragma once
#include <cstddef>

const char* const kCaptureWindowClass = "#32770";
const char* const kCaptureWindowTitle = "KRO-TX2 Controls";

// Private messages to the capture control window (both parameters 0, sent).
const unsigned kCaptureStop = 2025;
const unsigned kCapturePlay = 2026;
const unsigned kCaptureRecord = 2027;
const unsigned kCaptureClose = 2029;

const char* const kCaptureExe2 = "KROTX2.exe";
const char* const kCaptureExe1 = "KROTX1.exe";
const char* const kCaptureIni2 = "Krotx2.ini";
const char* const kCaptureIni1 = "Krotx1.ini";
const char* const kSamplesFolder = "Samples";
// Looked for in the current folder at start-up; when absent the install folder is used.
const char* const kStartupProbeName = "KROTX2.EXE";
const char* const kInstallFolder = "c:\\Program Files\\TARVO INC\\KRO-TX2\\";
// The install folder's place below a Program Files folder.
const char* const kInstallSubfolder = "TARVO INC\\KRO-TX2\\";
// Longest install folder taken: every path built on it then fits its buffer.
const std::size_t kInstallFolderMax = 200;

// Start-up's choice of the capture folder. It lives as long as the process.
struct CaptureFolderChoice {
    // 1 when "KROTX2.EXE" was not in the current folder, so that the capture application
    // is used from the install folder; 0 for the current folder.
    int use_install_folder;
    // Empty until start-up finds the capture application elsewhere: the fixed folder.
    char install_folder[kInstallFolderMax + 1];
};
extern CaptureFolderChoice capture_choice;

// The capture folder's text: the install folder, or "" for the current folder.
const char* capture_folder(int install);
// Start-up: sets capture_choice. The current folder when it
// holds the capture application; else the fixed install folder; else, when the capture
// application is only there, the same subfolder of program_files, the Program Files folder
// that Windows gives this program ("C:\\Program Files (x86)" to a 32-bit program on
// 64-bit Windows; may be empty). Nothing found: the fixed install folder, as before.
void choose_capture_folder(const char* program_files);
// Back to the current folder, as at process start.
void reset_capture_folder();
// The capture application's file name for a reservation's mpeg1 flag.
const char* capture_exe_name(int mpeg1);
// The capture settings file's name for a reservation's mpeg1 flag.
const char* capture_ini_name(int mpeg1);
// out = capture folder followed directly by name; cut to outsize - 1 bytes.
void capture_path(char* out, std::size_t outsize, int install, const char* name);
