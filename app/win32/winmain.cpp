// Process entry of tavrel.exe.
#include <windows.h>

#include "app/win32/iepg_import.h"
#include "app/win32/main_dialog.h"
#include "app/win32/win32_seams.h"
#include "base/capture_interface.h"
#include "engine/win32/after_actions_win32.h"
#include "engine/win32/countdown_win32.h"
#include "engine/win32/win32_desktop.h"
#include "resources/resource_ids.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    // Before anything else: "/dir" sets the current folder, a file's bytes are read.
    const bool given_file = take_command_line();
    install_win32_platform();
    // The real power requests: only the program itself installs them.
    static const PowerCalls real = {ExitWindowsEx, SetSystemPowerState, enable_shutdown_privilege,
                                    run_countdown_window, seconds_since_input_win32};
    static Win32PowerRequests power(real);
    platform.power = &power;

    HANDLE mutex = CreateMutexW(nullptr, FALSE, L"Kro-Tx2AutoRecordSystem");
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        // With a file, the running one takes it; this one shows nothing of its own.
        if (given_file)
            hand_to_running_instance();
        else
            platform.messages->show(nullptr, "重複起動はできません", "二重起動防止");
        if (mutex) CloseHandle(mutex);
        return 0;
    }

    choose_capture_folder_win32();
    DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_MAIN), nullptr, main_dialog_proc, 0);
    if (mutex) CloseHandle(mutex);
    return 0;
}
