// Dealing with the capture application: find its control window, launch it, place it,
// and send it the record, stop, play and close commands.
#pragma once
#include <cstdint>
#include "base/platform.h"

// The time given to a freshly launched capture application to show its control window.
const std::uint32_t kCaptureLaunchWaitMs = 13000;

// The capture control window if one is open, else null.
WindowRef find_capture_window();

// Finds the capture control window, launching the capture application for reservation
// index when it is not open and waiting for it; places the window at the top-left corner
// below all others; stores the window found (or null) in *capture_window. An index
// outside the table (none selected) counts as a reservation without mpeg1.
void open_capture_application(WindowRef* capture_window, int index);

// Sends the capture control window a message and waits for it, for a limited time; false
// when it did not answer in that time, or is null. The record, stop and close commands
// are written to the journal.
bool send_to_capture(WindowRef capture_window, std::uint32_t message);

// The main dialog's hidden capture buttons, in the engine's words.
enum CaptureButton {
    kButtonRecord,  // the record command
    kButtonStop,    // the stop command
    kButtonPlay,    // the play command
    kButtonToggle,  // closes the capture application, or opens it for selected_index
};
// What each button does; a value outside the list does nothing.
void capture_command(WindowRef* capture_window, CaptureButton button, int selected_index);
