// The pictures of the main dialog's panel: the weekly timetable, the clock, the status
// panel and the colour swatch. Each is given the current time as a value; each public
// operation opens its own canvas on the window and closes it before it returns.
#pragma once
#include <cstddef>
#include <ctime>
#include "base/platform.h"
#include "reservations/reservation.h"

// Fixed client-pixel rectangles of the main dialog.
struct Rect {
    int left, top, right, bottom;
};
const Rect kTimetableRect = {70, 10, 515, 250};
const Rect kSwatchRect = {315, 278, 365, 294};
const int kStatusLineHeight = 15;

// Colours of the panel (COLORREF, 0x00BBGGRR).
const Colour kFrameColour = 0x909090;
const Colour kPanelColour = 0x000000;
const Colour kOuterBandColour = 0xB4B4B4;
const Colour kInnerBandColour = 0xFCFCFC;
const Colour kCaptionColour = 0x54FCFC;
const Colour kHourLineColour = 0xFF5454;
const Colour kBarLabelColour = 0x000000;

// Font rows of the font set.
const int kBarLabelFont = 1;
const int kPanelTextFont = 15;  // clock and status lines

// The progress lines of the status panel; line i is built from template i.
const int kStatusMessageCount = 7;
extern const char* const status_messages[kStatusMessageCount];

// Width of one hour (the width in 25 units) and height of one row (the height in 8 rows).
struct TimetableScale {
    double w;
    double h;
};
TimetableScale timetable_scale(const Rect& rect);

// The paint step: the status panel at status_step for reservation recording_index while
// a recording is under way, else timetable, bars and swatch.
void paint_main_panel(WindowRef dialog, std::time_t now, bool recording, int status_step,
                      int recording_index);
// Frame, seven day rows with captions, hour marks, then the clock.
void paint_timetable_grid(WindowRef dialog, const Rect& rect, std::time_t now);
// Every reservation before the first empty name, on the shown days it falls on.
void paint_reservation_bars(WindowRef dialog, const Rect& rect, std::time_t now);
// Reservation index (0..39) as a bar on day (0 = today .. 6).
void paint_reservation_bar(WindowRef dialog, const Rect& rect, int index, int day);
// The date-and-time line at (200, 235).
void paint_clock(WindowRef dialog, std::time_t now);
// The status panel at step n for reservation index; returns n.
int paint_status_panel(WindowRef dialog, int n, int index);
// Fills rect of window with colour.
void paint_swatch(WindowRef window, const Rect& rect, Colour colour);

// Copies tmpl into out (outsize >= 1) with value in place of its first "%s"; value is
// never read as a format. Cut to what fits, never in the middle of a double-byte character.
void fill_template(char* out, std::size_t outsize, const char* tmpl, const char* value);
