// Placeholder until capture control lands.
#include "engine/capture_control.h"

void open_capture_application(WindowRef*, int) {}
void capture_command(WindowRef*, int, int) {}
