// The recording history window (template 119, "録画履歴"): the journal's last lines,
// modeless, owned by the main dialog so that it is never hidden behind it.
#pragma once
#include <windows.h>

// Opens the window owned by owner, or brings the open one forward.
void open_history_window(HWND owner);
// Shows the lines written since it was last filled, if it is open (every tick).
void follow_history();
// Closes it, if it is open.
void close_history_window();
// The open window, or null.
HWND history_window();
