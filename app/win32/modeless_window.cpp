#include "app/win32/modeless_window.h"

namespace {

const int kMaxWindows = 4;

// One hook for all of them, installed while any is open.
struct ModelessWindows {
    HHOOK keyboard_hook;
    HWND windows[kMaxWindows];
};
ModelessWindows state = {};

LRESULT CALLBACK keyboard_proc(int code, WPARAM wparam, LPARAM lparam) {
    if (code >= 0 && wparam == PM_REMOVE) {
        MSG* msg = (MSG*)lparam;
        for (HWND window : state.windows) {
            if (window && msg->message >= WM_KEYFIRST && msg->message <= WM_KEYLAST &&
                (msg->hwnd == window || IsChild(window, msg->hwnd)) && IsDialogMessageW(window, msg)) {
                msg->message = WM_NULL;
                break;
            }
        }
    }
    return CallNextHookEx(state.keyboard_hook, code, wparam, lparam);
}

void lay_out(HWND dialog, int notice_id, int list_id) {
    RECT client;
    GetClientRect(dialog, &client);
    RECT unit = {4, 10, 48, 14};  // margin, notice height, button width and height
    MapDialogRect(dialog, &unit);
    const int margin = unit.left, bw = unit.right, bh = unit.bottom;
    const int notice = notice_id ? unit.top : 0;
    const int width = client.right - 2 * margin;
    int list_top = margin;
    if (notice_id) {
        MoveWindow(GetDlgItem(dialog, notice_id), margin, margin, width, notice, TRUE);
        list_top += margin + notice;
    }
    const int list_height = client.bottom - list_top - 2 * margin - bh;
    MoveWindow(GetDlgItem(dialog, list_id), margin, list_top, width, list_height > 0 ? list_height : 0, TRUE);
    MoveWindow(GetDlgItem(dialog, IDCANCEL), client.right - margin - bw, client.bottom - margin - bh, bw, bh,
               TRUE);
}

}  // namespace

HWND open_modeless(HWND owner, int template_id, DLGPROC proc) {
    HINSTANCE module = (HINSTANCE)GetWindowLongPtrW(owner, GWLP_HINSTANCE);
    HWND window = CreateDialogParamW(module, MAKEINTRESOURCEW(template_id), owner, proc, 0);
    if (!window) return nullptr;
    for (HWND& slot : state.windows) {
        if (slot) continue;
        slot = window;
        break;
    }
    if (!state.keyboard_hook)
        state.keyboard_hook = SetWindowsHookExW(WH_GETMESSAGE, keyboard_proc, nullptr, GetCurrentThreadId());
    ShowWindow(window, SW_SHOWNORMAL);
    return window;
}

void close_modeless(HWND* window) {
    HWND closing = *window;
    if (!closing) return;
    *window = nullptr;
    bool any = false;
    for (HWND& slot : state.windows) {
        if (slot == closing) slot = nullptr;
        any = any || slot;
    }
    if (!any && state.keyboard_hook) {
        UnhookWindowsHookEx(state.keyboard_hook);
        state.keyboard_hook = nullptr;
    }
    DestroyWindow(closing);
}

INT_PTR modeless_message(HWND dialog, UINT message, WPARAM wparam, const ModelessParts& parts) {
    switch (message) {
    case WM_INITDIALOG:
        // An edit control holds 30,000 characters unless told otherwise.
        SendDlgItemMessageW(dialog, parts.list_id, EM_SETLIMITTEXT, 0, 0);
        lay_out(dialog, parts.notice_id, parts.list_id);
        parts.fill(dialog);
        // Focus set here, not by the dialog manager, which would select the whole text.
        SetFocus(GetDlgItem(dialog, parts.list_id));
        return FALSE;
    case WM_SIZE:
        lay_out(dialog, parts.notice_id, parts.list_id);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wparam) != IDCANCEL) break;
        parts.close();
        return TRUE;
    case WM_CLOSE:
        parts.close();
        return TRUE;
    default:
        break;
    }
    return FALSE;
}
