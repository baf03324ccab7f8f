// The program's globals. They live as long as the process; nothing is allocated.
#pragma once
#include <ctime>
#include "app/platform.h"
#include "reservations/reservation.h"

// Fixed client-pixel rectangles of the main dialog.
struct Rect {
    int left, top, right, bottom;
};
const Rect kTimetableRect = {70, 10, 515, 250};
const Rect kSwatchRect = {315, 278, 365, 294};
const int kStatusLineHeight = 15;

struct AppState {
    // Start-up: 1 when "KROTX2.EXE" was not in the current folder.
    int use_install_folder;
    void* instance;          // module handle of the program: resources, pickers
    WindowRef main_dialog;
    WindowRef start_date_picker, start_time_picker, end_date_picker, end_time_picker;

    ReservationTable table;
    int reservation_count;   // leading slots in use, 0..40
    int selected_index;      // -1 = none
    Colour current_colour;

    // Recording state.
    int is_recording;
    int recording_index;
    int status_step;
    std::time_t stop_time;
    int sequence_running;    // a start or stop sequence is under way

    WindowRef capture_window;
    int edited_index;
};

extern AppState app;

// Puts every field back to its value at process start.
void reset_app_state();
