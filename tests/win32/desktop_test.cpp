// Capture control's desktop on the real window calls: a control window of the capture
// application's class and title is found, placed without a change of size, and receives
// its messages with both parameters 0; a capture application that has stopped answering
// does not hold the program for ever; a launch starts the program with its command line,
// and a launch of a missing program is harmless.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "base/capture_interface.h"
#include "engine/capture_control.h"
#include "engine/win32/win32_desktop.h"
#include "tests/support/win32_support.h"

namespace {

class Win32DesktopTest : public ::testing::Test {
protected:
    Win32Desktop desk;
    Platform saved = platform;
    void SetUp() override {
        platform = inert_platform();
        platform.desktop = &desk;
    }
    void TearDown() override { platform = saved; }
};

UINT last_message;
WPARAM last_wparam;
LPARAM last_lparam;

INT_PTR CALLBACK control_proc(HWND, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message >= kCaptureStop && message <= kCaptureClose) {
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

TEST_F(Win32DesktopTest, FindsPlacesAndCommandsTheControlWindow) {
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
    capture_command(&capture, kButtonRecord, -1);
    EXPECT_EQ(kCaptureRecord, last_message);
    EXPECT_EQ(0u, last_wparam);
    EXPECT_EQ(0, last_lparam);
    capture_command(&capture, kButtonToggle, -1);
    EXPECT_EQ(kCaptureClose, last_message);
    EXPECT_EQ(nullptr, capture);

    DestroyWindow(window);
    // A stale window: the message is lost at once.
    last_message = 0;
    desk.send((WindowRef)window, kCaptureRecord);
    EXPECT_EQ(0u, last_message);
}

// A window on a thread of its own: either pumping its messages and counting the close
// commands it gets, or stuck (not pumping) until released.
struct CaptureThread {
    HANDLE thread = nullptr;
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HWND window = nullptr;
    bool stuck = false;
    static LONG closes;

    static LRESULT CALLBACK proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
        if (m == kCaptureClose && wp == 0 && lp == 0) InterlockedIncrement(&closes);
        return DefWindowProcW(w, m, wp, lp);
    }
    static DWORD WINAPI run(void* param) {
        CaptureThread* self = (CaptureThread*)param;
        self->window = CreateWindowExW(0, L"TavrelDesktopTestCapture", L"capture", WS_POPUP, 0, 0,
                                       10, 10, nullptr, nullptr, GetModuleHandleW(nullptr),
                                       nullptr);
        SetEvent(self->ready);
        if (self->stuck) {
            WaitForSingleObject(self->release, 120000);
        } else {
            MSG msg;
            while (WaitForSingleObject(self->release, 0) == WAIT_TIMEOUT) {
                while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
                MsgWaitForMultipleObjects(1, &self->release, FALSE, 50, QS_ALLINPUT);
            }
        }
        DestroyWindow(self->window);
        return 0;
    }
    explicit CaptureThread(bool stuck_) : stuck(stuck_) {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"TavrelDesktopTestCapture";
        RegisterClassW(&wc);  // a second registration fails harmlessly
        thread = CreateThread(nullptr, 0, run, this, 0, nullptr);
        WaitForSingleObject(ready, 10000);
    }
    ~CaptureThread() {
        SetEvent(release);
        WaitForSingleObject(thread, 10000);
        CloseHandle(thread);
        CloseHandle(ready);
        CloseHandle(release);
    }
};
LONG CaptureThread::closes = 0;

TEST_F(Win32DesktopTest, CloseCommandReachesAnAnsweringWindow) {
    CaptureThread capture(false);
    ASSERT_NE(nullptr, capture.window);
    CaptureThread::closes = 0;
    send_to_capture((WindowRef)capture.window, kCaptureClose);
    EXPECT_EQ(1, CaptureThread::closes);  // delivered before the send returned
    // No window: nothing is sent and nothing fails.
    send_to_capture(nullptr, kCaptureClose);
    EXPECT_EQ(1, CaptureThread::closes);
}

TEST_F(Win32DesktopTest, StuckCaptureApplicationIsGivenUp) {
    CaptureThread capture(true);
    ASSERT_NE(nullptr, capture.window);
    DWORD started = GetTickCount();
    send_to_capture((WindowRef)capture.window, kCaptureClose);
    DWORD took = GetTickCount() - started;
    // Given up long before the window would answer (two minutes), so that the stop
    // sequence goes on with the file move and the power action.
    EXPECT_LT(took, 40000u);
}

TEST_F(Win32DesktopTest, LaunchStartsTheProgramWithItsCommandLineAndAMissingOneIsHarmless) {
    TempFolder folder(L"launch", true);
    ASSERT_TRUE(folder.made());
    // Missing: nothing starts, and the program goes on.
    desk.launch("c:\\Program Files\\TARVO INC\\KRO-TX2\\KROTX2.exe",
                "\"c:\\Program Files\\TARVO INC\\KRO-TX2\\KROTX2.exe\" /c mkdir missing");
    desk.launch("", "");
    // The command interpreter, named as the capture application is (the program's path on
    // its own, quoted again at the head of its command line), in the current folder.
    wchar_t system[MAX_PATH];
    ASSERT_GT(GetSystemDirectoryW(system, MAX_PATH), 0u);
    char cmd[MAX_PATH * 2];
    wide_to_sjis((std::wstring(system) + L"\\cmd.exe").c_str(), cmd, sizeof(cmd));
    desk.launch(cmd, (std::string("\"") + cmd + "\" /c mkdir launched").c_str());
    bool made = false;
    for (int i = 0; i < 200 && !made; ++i, Sleep(100)) made = path_exists(L"launched");
    EXPECT_TRUE(made);
    EXPECT_FALSE(path_exists(L"missing"));
}

// Start-up finds a capture application that lies only below the Program Files folder that
// Windows reports to the program ("Program Files (x86)" for a 32-bit one on 64-bit
// Windows). Here that folder is moved for the test, so that it differs from the fixed one.
TEST(Win32CaptureFolder, CaptureFolderUnderTheReportedProgramFilesFolder) {
    Win32FilePlatform fake;
    const wchar_t* key = L"Software\\Microsoft\\Windows\\CurrentVersion";
    HKEY k;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, key, 0,
                                           KEY_QUERY_VALUE | KEY_SET_VALUE, &k));
    wchar_t saved[MAX_PATH + 1] = L"";
    DWORD size = sizeof(saved) - sizeof(wchar_t);
    bool had = RegQueryValueExW(k, L"ProgramFilesDir", nullptr, nullptr, (BYTE*)saved, &size) ==
               ERROR_SUCCESS;
    TempFolder program_files(L"pf (x86)", false);
    TempFolder work(L"pf-work", true);
    const std::wstring folder = program_files.file(L"TARVO INC\\KRO-TX2\\");
    CreateDirectoryW(program_files.file(L"TARVO INC").c_str(), nullptr);
    CreateDirectoryW(folder.c_str(), nullptr);
    ASSERT_TRUE(write_whole_file(folder + L"KROTX2.EXE", ""));
    RegSetValueExW(k, L"ProgramFilesDir", 0, REG_SZ, (const BYTE*)program_files.path().c_str(),
                   (DWORD)((program_files.path().size() + 1) * sizeof(wchar_t)));

    choose_capture_folder_win32();
    EXPECT_EQ(1, capture_choice.use_install_folder);
    char expected[MAX_PATH];
    WideCharToMultiByte(932, 0, folder.c_str(), -1, expected, MAX_PATH, nullptr, nullptr);
    EXPECT_STREQ(expected, capture_folder(1));

    // Not there either: the fixed install folder, as before.
    DeleteFileW((folder + L"KROTX2.EXE").c_str());
    choose_capture_folder_win32();
    EXPECT_EQ(1, capture_choice.use_install_folder);
    EXPECT_STREQ(kInstallFolder, capture_folder(1));

    if (had)
        RegSetValueExW(k, L"ProgramFilesDir", 0, REG_SZ, (const BYTE*)saved,
                       (DWORD)((lstrlenW(saved) + 1) * sizeof(wchar_t)));
    else
        RegDeleteValueW(k, L"ProgramFilesDir");
    RegCloseKey(k);
}

}  // namespace
