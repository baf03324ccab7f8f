#include "capture_settings/win32/conditions_dialog.h"

#include "app/app_state.h"

INT_PTR CALLBACK conditions_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_INITDIALOG: {
        int index = (int)lparam;
        // No reservation selected: there is nothing to edit.
        if (index < 0 || index >= kMaxReservations) {
            EndDialog(dialog, 0);
            break;
        }
        app.edited_index = index;
        break;
    }
    case WM_COMMAND:
        if (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL) EndDialog(dialog, 0);
        break;
    default:
        break;
    }
    return FALSE;
}
