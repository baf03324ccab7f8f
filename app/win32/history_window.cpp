#include "app/win32/history_window.h"

#include "app/win32/modeless_window.h"
#include "base/journal.h"
#include "base/win32/text.h"
#include "resources/resource_ids.h"

namespace {

// Every line of the journal that is shown, at its longest, with its CR LF.
const std::size_t kTextSize = kJournalShownLines * 1100;

struct HistoryWindow {
    HWND window;          // null while closed
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

INT_PTR CALLBACK history_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
    static const ModelessParts parts = {IDC_HISTORY_NOTICE, IDC_HISTORY_LIST, fill, close_history_window};
    return modeless_message(dialog, message, wparam, parts);
}

}  // namespace

void open_history_window(HWND owner) {
    if (state.window) {
        ShowWindow(state.window, SW_SHOWNORMAL);
        SetForegroundWindow(state.window);
        return;
    }
    state.window = open_modeless(owner, IDD_HISTORY, history_proc);
}

void follow_history() {
    if (state.window && (journal_lines_written() != state.shown_lines || journal_write_failed() != state.shown_failure))
        fill(state.window);
}

void close_history_window() {
    close_modeless(&state.window);
}

HWND history_window() { return state.window; }
