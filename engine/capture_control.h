// Dealing with the capture application: find its control window, launch it, place it,
// and send it the record, stop, play and close commands.
#pragma once
#include <cstdint>
#include "app/platform.h"

// The windows and processes of the desktop that capture control works on. The Win32 layer
// implements it; tests fake it.
class Desktop {
public:
    // The top-level window of that class and exact title (Shift-JIS), or null.
    virtual WindowRef find_window(const char* window_class, const char* title) = 0;
    // Starts the program file application with that command line, in a normal shown
    // window, without waiting for it. Whether it started is not reported.
    virtual void launch(const char* application, const char* command_line) = 0;
    // Moves window's top-left corner to screen (x, y) and to the bottom of the z-order,
    // keeping its size and without activating it.
    virtual void place_at_bottom(WindowRef window, int x, int y) = 0;
    // Sends window the message with both parameters 0 and waits until it is handled.
    virtual void send(WindowRef window, std::uint32_t message) = 0;
protected:
    ~Desktop() = default;
};

// The desktop in use; set by the Win32 layer at start-up, or by a test. While it is null
// the operations below do nothing.
extern Desktop* desktop;

// Seconds given to a freshly launched capture application to show its control window.
const std::uint32_t kCaptureLaunchWaitMs = 13000;

// The capture control window if one is open, else null.
WindowRef find_capture_window();

// Finds the capture control window, launching the capture application for reservation
// index when it is not open and waiting for it; places the window at the top-left corner
// below all others; stores the window found (or null) in *capture_window. An index
// outside the table (none selected) counts as a reservation without mpeg1.
void open_capture_application(WindowRef* capture_window, int index);

// The main dialog's hidden capture buttons: 1128 record, 1127 stop, 1126 play, 1097 open
// or close the capture application (for selected_index). Other ids do nothing.
void capture_command(WindowRef* capture_window, int id, int selected_index);
