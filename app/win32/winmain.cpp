// Process entry of tavrel.exe.
#include <windows.h>

#include "app/app_state.h"
#include "app/win32/main_dialog.h"
#include "app/win32/win32_platform.h"
#include "engine/win32/after_actions_win32.h"
#include "engine/win32/scheduler_host_win32.h"
#include "engine/win32/win32_desktop.h"
#include "resources/resource_ids.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    install_win32_platform();
    install_win32_desktop();
    install_win32_after_actions();
    install_win32_scheduler_host();

    HANDLE mutex = CreateMutexW(nullptr, FALSE, L"Kro-Tx2AutoRecordSystem");
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        platform.messages->show(nullptr, "重複起動はできません", "二重起動防止");
        if (mutex) CloseHandle(mutex);
        return 0;
    }

    choose_capture_folder_win32();
    app.instance = (void*)instance;
    DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_MAIN), nullptr, main_dialog_proc, 0);
    if (mutex) CloseHandle(mutex);
    return 0;
}
