#include "engine/win32/win32_desktop.h"

#include <shlobj.h>

#include "base/win32/text.h"
#include "base/capture_interface.h"

// A capture application that stops answering must not hold the recorder for ever: a
// message it has not taken within this time is given up.
static const UINT kSendTimeoutMs = 30000;

WindowRef Win32Desktop::find_window(const char* window_class, const char* title) {
    return (WindowRef)FindWindowExW(nullptr, nullptr, Wide(window_class), Wide(title));
}

void Win32Desktop::launch(const char* application, const char* command_line) {
    STARTUPINFOW startup;
    ZeroMemory(&startup, sizeof(startup));
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION process;
    ZeroMemory(&process, sizeof(process));
    Wide line(command_line);  // CreateProcessW may write into its command line
    if (CreateProcessW(Wide(application), line.text, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                       &startup, &process)) {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
}

void Win32Desktop::place_at_bottom(WindowRef window, int x, int y) {
    SetWindowPos((HWND)window, HWND_BOTTOM, x, y, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
}

bool Win32Desktop::send(WindowRef window, std::uint32_t message) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutW((HWND)window, message, 0, 0, SMTO_NORMAL | SMTO_ABORTIFHUNG,
                               kSendTimeoutMs, &result) != 0;
}

void choose_capture_folder_win32() {
    wchar_t wide[MAX_PATH];
    char folder[kInstallFolderMax + 1] = "";
    if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES, nullptr, SHGFP_TYPE_CURRENT, wide))) {
        // Only an exact Shift-JIS form names the folder; a cut or "?" would name another.
        BOOL lossy = FALSE;
        int n = WideCharToMultiByte(kShiftJis, WC_NO_BEST_FIT_CHARS, wide, -1, folder,
                                    (int)sizeof(folder), nullptr, &lossy);
        if (n <= 0 || lossy) folder[0] = 0;
    }
    choose_capture_folder(folder);
}
