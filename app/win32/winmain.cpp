// Process entry of tavrel.exe.
#include <windows.h>

#include "app/app_state.h"
#include "app/win32/win32_platform.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    (void)instance;
    install_win32_platform();
    return 0;
}
