#include "engine/win32/countdown_win32.h"

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include "base/win32/text.h"

namespace {

const int kTextId = 100;
const int kNowId = 101;  // "中止" is IDCANCEL, so that Esc and the close box mean it too
const int kLabelUnits = 256;
// Above every choice: the wait is over, and a late click no longer counts.
const LONG kSealed = 100;

// What the two threads share for one countdown (one at a time: the caller blocks).
struct Countdown {
    wchar_t label[kLabelUnits];
    std::uint32_t left;
    volatile LONG choice;  // a CountdownEnd, kCountdownElapsed until one is made
    HANDLE chosen;         // set when a choice is made
    HANDLE ready;          // set once the window exists, or could not be made
    HWND window;
};
Countdown countdown;

void show_left(HWND dialog) {
    wchar_t text[kLabelUnits + 32];
    std::swprintf(text, sizeof(text) / sizeof(text[0]), L"%ls %lu \x79d2", countdown.label,
                  (unsigned long)countdown.left);
    SetDlgItemTextW(dialog, kTextId, text);
}

void choose(CountdownEnd choice) {
    InterlockedCompareExchange(&countdown.choice, (LONG)choice, (LONG)kCountdownElapsed);
    SetEvent(countdown.chosen);
}

INT_PTR CALLBACK countdown_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        countdown.window = dialog;
        show_left(dialog);
        SetWindowPos(dialog, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        // Windows may refuse this to a program in the background; topmost is enough.
        SetForegroundWindow(dialog);
        SetTimer(dialog, 1, 1000, nullptr);
        SetEvent(countdown.ready);
        SetFocus(GetDlgItem(dialog, IDCANCEL));
        return FALSE;
    case WM_TIMER:
        if (countdown.left > 0) --countdown.left;
        show_left(dialog);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wparam) == kNowId || LOWORD(wparam) == IDCANCEL) {
            choose(LOWORD(wparam) == kNowId ? kCountdownNow : kCountdownCancelled);
            EndDialog(dialog, 0);
        }
        return TRUE;
    case WM_APP:  // the wait is over
        EndDialog(dialog, 0);
        return TRUE;
    }
    return FALSE;
}

// An in-memory dialog template: no resource of its own to keep in step.
struct TemplateWriter {
    alignas(4) WORD words[1024];
    std::size_t n = 0;
    void word(WORD w) { words[n++] = w; }
    void dword(DWORD d) {
        word(LOWORD(d));
        word(HIWORD(d));
    }
    void text(const char* sjis) {
        wchar_t wide[128];
        sjis_to_wide(sjis, wide, 128);
        for (const wchar_t* p = wide; *p; ++p) word((WORD)*p);
        word(0);
    }
    void align() {
        if (n % 2) word(0);
    }
    void item(DWORD style, short x, short y, short cx, short cy, WORD id, WORD atom, const char* title) {
        align();
        dword(style | WS_CHILD | WS_VISIBLE);
        dword(0);
        word((WORD)x);
        word((WORD)y);
        word((WORD)cx);
        word((WORD)cy);
        word(id);
        word(0xFFFF);
        word(atom);
        text(title);
        word(0);  // no creation data
    }
};

DWORD WINAPI countdown_thread(LPVOID) {
    static TemplateWriter t;
    t.n = 0;
    t.dword(DS_SETFONT | DS_MODALFRAME | DS_CENTER | DS_SETFOREGROUND | WS_POPUP | WS_CAPTION | WS_SYSMENU);
    t.dword(WS_EX_TOPMOST);
    t.word(3);  // items
    t.word(0);
    t.word(0);
    t.word(240);
    t.word(62);
    t.word(0);  // no menu
    t.word(0);  // the dialog class
    t.text("録画後の処理");
    t.word(10);
    t.text("ＭＳ ゴシック");  // as the main dialog
    const WORD kButton = 0x0080, kStatic = 0x0082;
    t.item(SS_LEFT, 8, 8, 224, 20, kTextId, kStatic, "");
    t.item(BS_PUSHBUTTON | WS_TABSTOP, 64, 38, 80, 16, kNowId, kButton, "今すぐ実行");
    t.item(BS_DEFPUSHBUTTON | WS_TABSTOP, 152, 38, 80, 16, IDCANCEL, kButton, "中止");
    DialogBoxIndirectParamW(GetModuleHandleW(nullptr), (LPCDLGTEMPLATEW)t.words, nullptr, countdown_proc, 0);
    SetEvent(countdown.ready);  // also when it could not be made
    return 0;
}

}  // namespace

CountdownEnd run_countdown_window(const char* label, std::uint32_t seconds) {
    sjis_to_wide(label, countdown.label, kLabelUnits);
    countdown.left = seconds;
    countdown.choice = kCountdownElapsed;
    countdown.window = nullptr;
    countdown.chosen = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    countdown.ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = countdown.chosen && countdown.ready
                        ? CreateThread(nullptr, 0, countdown_thread, nullptr, 0, nullptr)
                        : nullptr;
    if (!thread) {
        if (countdown.chosen) CloseHandle(countdown.chosen);
        if (countdown.ready) CloseHandle(countdown.ready);
        return kCountdownNoWindow;
    }
    // The length, or until a choice ends it; in pieces, as it may pass 49 days.
    for (std::uint64_t left = (std::uint64_t)seconds * 1000u; left > 0;) {
        const DWORD piece = left > 0x7FFFFFFFu ? 0x7FFFFFFFu : (DWORD)left;
        if (WaitForSingleObject(countdown.chosen, piece) == WAIT_OBJECT_0) break;
        left -= piece;
    }
    const LONG choice = InterlockedCompareExchange(&countdown.choice, kSealed, (LONG)kCountdownElapsed);
    WaitForSingleObject(countdown.ready, 10000);
    if (countdown.window) PostMessageW(countdown.window, WM_APP, 0, 0);
    WaitForSingleObject(thread, 10000);
    CloseHandle(thread);
    CloseHandle(countdown.chosen);
    CloseHandle(countdown.ready);
    return (CountdownEnd)choice;
}

std::int64_t seconds_since_input_win32() {
    LASTINPUTINFO info = {};
    info.cbSize = sizeof(info);
    if (!GetLastInputInfo(&info)) return -1;
    return (std::int64_t)(DWORD)(GetTickCount() - info.dwTime) / 1000;
}
