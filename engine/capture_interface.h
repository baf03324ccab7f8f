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

// The capture folder's text: the install folder, or "" for the current folder.
const char* capture_folder(int use_install_folder);
// The capture application's file name for a reservation's mpeg1 flag.
const char* capture_exe_name(int mpeg1);
// The capture settings file's name for a reservation's mpeg1 flag.
const char* capture_ini_name(int mpeg1);
// out = capture folder followed directly by name; cut to outsize - 1 bytes.
void capture_path(char* out, std::size_t outsize, int use_install_folder, const char* name);
