// The main dialog (template 101): the program's only top-level window.
#pragma once
#include <windows.h>

// WM_TIMECHANGE: the clock or the time zone changed. Rereads the zone, forgets the scan's
// conversions, rearms the wake-up timer and repaints.
void on_time_change(HWND dialog);

// Initialises the dialog, routes its commands, runs the recording tick and the paint step.
// Returns FALSE for every message.
INT_PTR CALLBACK main_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
