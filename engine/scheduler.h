// The recording scheduler, run once a second by the main dialog's tick.
#pragma once
#include <ctime>
#include "app/platform.h"

// One tick at the current time now: while idle, starts the first due reservation; while
// recording, stops it once its stop time is reached.
void check_schedule(WindowRef dialog, int reservation_count, WindowRef* capture_window,
                    std::time_t now);
