#include "app/win32/history_window.h"

#include "base/journal.h"
#include "base/win32/text.h"
#include "resources/resource_ids.h"

namespace {

// Every line of the journal that is shown, at its longest, with its CR LF.
const std::size_t kTextSize = kJournalShownLines * 1100;

struct HistoryWindow {
    HWND window;          // null while closed
    HHOOK keyboard_hook;  // gives the window its dialog keys from the main dialog's loop
    unsigned shown_lines;  // the journal's lines written when it was last filled
    bool shown_failure;
    char text[kTextSize];  // working space for filling it
    wchar_t wide_text[kTextSize];
};
HistoryWindow state = {};

void fill(HWND dialog) {
    state.shown_lines = journal_lines_written();
    state.shown_failure = journal_write_failed();
    SetDlgItemTextW(dialog, IDC_HISTORY_NOTICE,
                    state.shown_failure ? (const wchar_t*)Wide("起動してから、録画履歴(tavrel.log)に書き込めなかった行があります")
                                  : L"");
    std::size_t n = journal_tail(state.text, sizeof(state.text), kJournalShownLines);
    // Bytes that are no Shift-JIS have already become "?".
    int w = MultiByteToWideChar(kShiftJis, 0, state.text, (int)n, state.wide_text, (int)(kTextSize - 1));
    state.wide_text[w > 0 ? w : 0] = L'\0';
    HWND list = GetDlgItem(dialog, IDC_HISTORY_LIST);
    SetWindowTextW(list, state.wide_text);
    // Newest at the bottom, scrolled to.
    SendMessageW(list, EM_SETSEL, (WPARAM)w, (LPARAM)w);
    SendMessageW(list, EM_SCROLLCARET, 0, 0);
}

// The controls follow the window's size: the notice along the top, the list filling the
// rest, the button in the bottom right corner.
void lay_out(HWND dialog) {
    RECT client;
    GetClientRect(dialog, &client);
    RECT unit = {4, 10, 48, 14};  // margin, notice height, button width and height
    MapDialogRect(dialog, &unit);
    const int margin = unit.left, notice = unit.top, bw = unit.right, bh = unit.bottom;
    const int width = client.right - 2 * margin;
    MoveWindow(GetDlgItem(dialog, IDC_HISTORY_NOTICE), margin, margin, width, notice, TRUE);
    const int list_top = 2 * margin + notice;
    const int list_height = client.bottom - list_top - 2 * margin - bh;
    MoveWindow(GetDlgItem(dialog, IDC_HISTORY_LIST), margin, list_top, width,
               list_height > 0 ? list_height : 0, TRUE);
    MoveWindow(GetDlgItem(dialog, IDCANCEL), client.right - margin - bw, client.bottom - margin - bh,
               bw, bh, TRUE);
}

// The main dialog's modal loop gives a modeless window no dialog keys: Tab, Enter and
// Esc reach it through this hook, which hands its messages to IsDialogMessage.
LRESULT CALLBACK keyboard_proc(int code, WPARAM wparam, LPARAM lparam) {
    if (code >= 0 && wparam == PM_REMOVE && state.window) {
        MSG* msg = (MSG*)lparam;
        if (msg->message >= WM_KEYFIRST && msg->message <= WM_KEYLAST &&
            (msg->hwnd == state.window || IsChild(state.window, msg->hwnd)) && IsDialogMessageW(state.window, msg))
            msg->message = WM_NULL;
    }
    return CallNextHookEx(state.keyboard_hook, code, wparam, lparam);
}

INT_PTR CALLBACK history_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        // An edit control holds 30,000 characters unless told otherwise.
        SendDlgItemMessageW(dialog, IDC_HISTORY_LIST, EM_SETLIMITTEXT, 0, 0);
        lay_out(dialog);
        fill(dialog);
        // Focus set here, not by the dialog manager, which would select the whole text.
        SetFocus(GetDlgItem(dialog, IDC_HISTORY_LIST));
        return FALSE;
    case WM_SIZE:
        lay_out(dialog);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wparam) == IDCANCEL) {
            close_history_window();
            return TRUE;
        }
        break;
    case WM_CLOSE:
        close_history_window();
        return TRUE;
    default:
        break;
    }
    return FALSE;
}

}  // namespace

void open_history_window(HWND owner) {
    if (state.window) {
        ShowWindow(state.window, SW_SHOWNORMAL);
        SetForegroundWindow(state.window);
        return;
    }
    HINSTANCE module = (HINSTANCE)GetWindowLongPtrW(owner, GWLP_HINSTANCE);
    state.window = CreateDialogParamW(module, MAKEINTRESOURCEW(IDD_HISTORY), owner, history_proc, 0);
    if (!state.window) return;
    state.keyboard_hook = SetWindowsHookExW(WH_GETMESSAGE, keyboard_proc, nullptr, GetCurrentThreadId());
    ShowWindow(state.window, SW_SHOWNORMAL);
}

void follow_history() {
    if (state.window && (journal_lines_written() != state.shown_lines || journal_write_failed() != state.shown_failure))
        fill(state.window);
}

void close_history_window() {
    if (!state.window) return;
    HWND closing = state.window;
    state.window = nullptr;
    if (state.keyboard_hook) UnhookWindowsHookEx(state.keyboard_hook);
    state.keyboard_hook = nullptr;
    DestroyWindow(closing);
}

HWND history_window() { return state.window; }
