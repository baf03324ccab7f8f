// The recording scheduler's host in the program: window messages, the form, and the
// capture settings, capture control and after-recording operations.
#pragma once

// Sets the scheduler's host to the program's own.
void install_win32_scheduler_host();
