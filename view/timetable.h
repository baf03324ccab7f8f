// The pictures of the main dialog's panel: the weekly timetable, the clock, the status
// panel and the colour swatch. Each is given the current time as a value.
#pragma once
#include <ctime>
#include "app/app_state.h"

// The paint step: the status panel while recording, else timetable, bars and swatch.
void paint_main_panel(WindowRef dialog, std::time_t now);
// The date-and-time line at (200, 235).
void paint_clock(WindowRef dialog, std::time_t now);
// The status panel at step n for reservation index; returns n.
int paint_status_panel(WindowRef dialog, int n, int index);
// Fills rect of window with colour.
void paint_swatch(WindowRef window, const Rect& rect, Colour colour);
