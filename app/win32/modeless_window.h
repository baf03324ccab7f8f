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
// The notice (notice_id, 0 for none) along the top, the list filling the rest, the IDCANCEL
// button in the bottom right corner.
void lay_out_modeless(HWND dialog, int notice_id, int list_id);
