// Placeholder until the scheduler lands.
#include "engine/scheduler.h"

void check_schedule(WindowRef, int, WindowRef*, std::time_t) {}
