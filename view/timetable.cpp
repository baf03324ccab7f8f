// Placeholder until the pictures land: draws nothing.
#include "view/timetable.h"

void paint_main_panel(WindowRef, std::time_t) {}
void paint_clock(WindowRef, std::time_t) {}
int paint_status_panel(WindowRef, int n, int) { return n; }
void paint_swatch(WindowRef, const Rect&, Colour) {}
