// Dealing with the capture application: find its control window, launch it, place it,
// and send it the record, stop, play and close commands.
#pragma once
#include "app/platform.h"

// Finds the capture control window, launching the capture application for reservation
// index when it is not open; stores the result in *capture_window.
void open_capture_application(WindowRef* capture_window, int index);

// The main dialog's hidden capture buttons: 1128 record, 1127 stop, 1126 play, 1097 open
// or close the capture application (for selected_index).
void capture_command(WindowRef* capture_window, int id, int selected_index);
