// What the main dialog's modeless windows (the history and the forecast) share: their
// dialog keys, their opening and closing, and a layout that follows the window's size.
#pragma once
#include <windows.h>

// Creates the dialog of template id owned by owner, shows it and gives it its dialog keys
// (Tab, Enter, Esc), which the main dialog's modal loop hands no modeless window. Null when
// it could not be created.
HWND open_modeless(HWND owner, int template_id, DLGPROC proc);
// Takes its keys back and destroys it; *window is null from before its destruction on.
void close_modeless(HWND* window);
// One window's own parts: its notice (0 for none) along the top, its read-only list filling
// the rest above the IDCANCEL button in the bottom right corner, and what fills and closes it.
struct ModelessParts {
    int notice_id, list_id;
    void (*fill)(HWND dialog);
    void (*close)();
};
// The messages every such window handles alike: its set-up (filled, with the focus on the
// list and nothing selected), its size and its closing. What its dialog procedure returns.
INT_PTR modeless_message(HWND dialog, UINT message, WPARAM wparam, const ModelessParts& parts);
