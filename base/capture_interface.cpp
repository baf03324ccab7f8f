#include "base/capture_interface.h"

#include <cstdio>
#include <cstring>

#include "base/platform.h"
#include "base/sjis.h"

CaptureFolderChoice capture_choice = {};

namespace {
char (&install_folder)[kInstallFolderMax + 1] = capture_choice.install_folder;

bool holds_capture_application(const char* folder) {
    char probe[kInstallFolderMax + 16];
    std::snprintf(probe, sizeof(probe), "%s%s", folder, kStartupProbeName);
    return platform.files->exists(probe);
}
}  // namespace

const char* capture_folder(int install) {
    if (!install) return "";
    return install_folder[0] ? install_folder : kInstallFolder;
}

void choose_capture_folder(const char* program_files) {
    install_folder[0] = 0;
    capture_choice.use_install_folder = platform.files->exists(kStartupProbeName) ? 0 : 1;
    if (!capture_choice.use_install_folder || holds_capture_application(kInstallFolder)) return;
    if (!program_files || !*program_files) return;
    std::size_t len = std::strlen(program_files);
    // A trailing 0x5C may be the second byte of a double-byte character.
    const char* separator = sjis_last_backslash(program_files, len) == (long)len - 1 ? "" : "\\";
    char folder[kInstallFolderMax + 1];
    int n = std::snprintf(folder, sizeof(folder), "%s%s%s", program_files, separator,
                          kInstallSubfolder);
    // A folder too long for the paths built on it is not taken, rather than cut.
    if (n < 0 || (std::size_t)n > kInstallFolderMax) return;
    if (holds_capture_application(folder)) std::memcpy(install_folder, folder, (std::size_t)n + 1);
}

const char* capture_exe_name(int mpeg1) { return mpeg1 ? kCaptureExe1 : kCaptureExe2; }

const char* capture_ini_name(int mpeg1) { return mpeg1 ? kCaptureIni1 : kCaptureIni2; }

void capture_path(char* out, std::size_t outsize, int install, const char* name) {
    std::snprintf(out, outsize, "%s%s", capture_folder(install), name);
}

void reset_capture_folder() { capture_choice = CaptureFolderChoice{}; }
