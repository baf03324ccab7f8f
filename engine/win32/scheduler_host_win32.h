// The recording scheduler's host in the program: window messages to the main dialog,
// and the reservation form's controls.
#pragma once
#include "base/platform.h"

class Win32SchedulerHost : public SchedulerHost {
public:
    void post_command(WindowRef dialog, int id) override;
    void send_command(WindowRef dialog, int id) override;
    void repaint(WindowRef dialog) override;
    void show_reservation(WindowRef dialog, int index) override;
};
