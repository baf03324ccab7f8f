// The main dialog (template 101): the program's only top-level window.
#pragma once
#include "base/platform.h"
#include <windows.h>

// WM_TIMECHANGE: the clock or the time zone changed. Rereads the zone, forgets the scan's
// conversions, rearms the wake-up timer and repaints.
void on_time_change(HWND dialog);

// Initialises the dialog, routes its commands, runs the recording tick and the paint step.
// Returns FALSE for every message.
INT_PTR CALLBACK main_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

// What the recording scheduler asks of the main dialog: its requests become the commands
// of the dialog's hidden record and stop buttons, as a click would send them.
class MainDialogHost : public SchedulerHost {
public:
    void post_request(WindowRef dialog, CaptureRequest request) override;
    void send_request(WindowRef dialog, CaptureRequest request) override;
    void repaint(WindowRef dialog) override;
    void show_reservation(WindowRef dialog, int index) override;
};
