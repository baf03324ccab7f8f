// Capture control's desktop on the real window calls: a control window of the capture
// application's class and title is found, placed without a change of size, and receives
// its messages with both parameters 0; a launch of a missing program is harmless.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "engine/scheduler.h"
#include "base/win32/win32_platform.h"
#include "engine/capture_control.h"
#include "base/capture_interface.h"
#include "engine/win32/win32_desktop.h"

namespace {

UINT last_message;
WPARAM last_wparam;
LPARAM last_lparam;

INT_PTR CALLBACK control_proc(HWND, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message >= 2025 && message <= 2029) {
        last_message = message;
        last_wparam = wparam;
        last_lparam = lparam;
        return TRUE;
    }
    return message == WM_INITDIALOG;
}

// A top-level dialog, of the standard dialog class, titled like the capture application's.
HWND make_control_window() {
    struct {
        DLGTEMPLATE head;
        WORD menu, window_class;
        wchar_t title[17];
    } tpl = {};
    tpl.head.style = WS_POPUP | WS_CAPTION | WS_VISIBLE;
    tpl.head.x = 40;
    tpl.head.y = 50;
    tpl.head.cx = 120;
    tpl.head.cy = 60;
    lstrcpyW(tpl.title, L"KRO-TX2 Controls");
    return CreateDialogIndirectParamW(GetModuleHandleW(nullptr), &tpl.head, nullptr, control_proc, 0);
}

TEST(Win32Desktop, FindsPlacesAndCommandsTheControlWindow) {
    install_win32_platform();
    Win32Desktop desk;
    Desktop* saved = desktop;
    desktop = &desk;
    EXPECT_EQ(nullptr, find_capture_window());
    HWND window = make_control_window();
    ASSERT_NE(nullptr, window);
    SetWindowPos(window, nullptr, 150, 120, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    RECT before;
    GetWindowRect(window, &before);

    WindowRef capture = nullptr;
    open_capture_application(&capture, 0);  // found: no launch, placed
    EXPECT_EQ((WindowRef)window, capture);
    RECT after;
    GetWindowRect(window, &after);
    EXPECT_EQ(0, after.left);
    EXPECT_EQ(0, after.top);
    EXPECT_EQ(before.right - before.left, after.right - after.left);
    EXPECT_EQ(before.bottom - before.top, after.bottom - after.top);

    last_message = 0;
    last_wparam = last_lparam = 99;
    capture_command(&capture, 1128, -1);
    EXPECT_EQ(2027u, last_message);
    EXPECT_EQ(0u, last_wparam);
    EXPECT_EQ(0, last_lparam);
    capture_command(&capture, 1097, -1);
    EXPECT_EQ(2029u, last_message);
    EXPECT_EQ(nullptr, capture);

    DestroyWindow(window);
    desktop = saved;
}

TEST(Win32Desktop, LaunchOfAMissingProgramDoesNothing) {
    Win32Desktop desk;
    desk.launch("c:\\Program Files\\TARVO INC\\KRO-TX2\\KROTX2.exe",
                "\"c:\\Program Files\\TARVO INC\\KRO-TX2\\KROTX2.exe\"");
    desk.launch("", "");
    desk.send(nullptr, 2027);  // a stale or missing window: the message is lost
    SUCCEED();
}

// Start-up finds a capture application that lies only below the Program Files folder that
// Windows reports to the program ("Program Files (x86)" for a 32-bit one on 64-bit
// Windows). Here that folder is moved for the test, so that it differs from the fixed one.
TEST(Win32Desktop, CaptureFolderUnderTheReportedProgramFilesFolder) {
    install_win32_platform();
    const wchar_t* key = L"Software\\Microsoft\\Windows\\CurrentVersion";
    HKEY k;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, key, 0,
                                           KEY_QUERY_VALUE | KEY_SET_VALUE, &k));
    wchar_t saved[MAX_PATH + 1] = L"";
    DWORD size = sizeof(saved) - sizeof(wchar_t);
    bool had = RegQueryValueExW(k, L"ProgramFilesDir", nullptr, nullptr, (BYTE*)saved, &size) ==
               ERROR_SUCCESS;
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring program_files = std::wstring(temp) + L"tavrel-pf (x86)";
    const std::wstring folder = program_files + L"\\TARVO INC\\KRO-TX2\\";
    const std::wstring work = std::wstring(temp) + L"tavrel-pf-work";
    CreateDirectoryW(program_files.c_str(), nullptr);
    CreateDirectoryW((program_files + L"\\TARVO INC").c_str(), nullptr);
    CreateDirectoryW(folder.c_str(), nullptr);
    CreateDirectoryW(work.c_str(), nullptr);
    HANDLE h = CreateFileW((folder + L"KROTX2.EXE").c_str(), GENERIC_WRITE, 0, nullptr,
                           CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    CloseHandle(h);
    RegSetValueExW(k, L"ProgramFilesDir", 0, REG_SZ, (const BYTE*)program_files.c_str(),
                   (DWORD)((program_files.size() + 1) * sizeof(wchar_t)));
    wchar_t previous_folder[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, previous_folder);
    SetCurrentDirectoryW(work.c_str());

    choose_capture_folder_win32();
    EXPECT_EQ(1, use_install_folder);
    char expected[MAX_PATH];
    WideCharToMultiByte(932, 0, folder.c_str(), -1, expected, MAX_PATH, nullptr, nullptr);
    EXPECT_STREQ(expected, capture_folder(1));

    // Not there either: the fixed install folder, as before.
    DeleteFileW((folder + L"KROTX2.EXE").c_str());
    choose_capture_folder_win32();
    EXPECT_EQ(1, use_install_folder);
    EXPECT_STREQ(kInstallFolder, capture_folder(1));

    SetCurrentDirectoryW(previous_folder);
    if (had)
        RegSetValueExW(k, L"ProgramFilesDir", 0, REG_SZ, (const BYTE*)saved,
                       (DWORD)((lstrlenW(saved) + 1) * sizeof(wchar_t)));
    else
        RegDeleteValueW(k, L"ProgramFilesDir");
    RegCloseKey(k);
    RemoveDirectoryW(folder.c_str());
    RemoveDirectoryW((program_files + L"\\TARVO INC").c_str());
    RemoveDirectoryW(program_files.c_str());
    RemoveDirectoryW(work.c_str());
}

}  // namespace
