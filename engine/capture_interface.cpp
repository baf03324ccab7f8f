#include "engine/capture_interface.h"

#include <cstdio>

const char* capture_folder(int use_install_folder) {
    return use_install_folder ? kInstallFolder : "";
}

const char* capture_exe_name(int mpeg1) { return mpeg1 ? kCaptureExe1 : kCaptureExe2; }

const char* capture_ini_name(int mpeg1) { return mpeg1 ? kCaptureIni1 : kCaptureIni2; }

void capture_path(char* out, std::size_t outsize, int use_install_folder, const char* name) {
    std::snprintf(out, outsize, "%s%s", capture_folder(use_install_folder), name);
}
