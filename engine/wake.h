// Keeping the PC awake through a recording and waking it for the next one. The core
// decides; the calls reach Windows through the power requests (base/platform.h).
#pragma once
#include <ctime>

// The wake-up timer goes off this long before the next start, so that a PC resuming from
// stand-by is running again when the scan would start the recording.
const std::time_t kWakeLeadSeconds = 180;
// Held awake when the next start is less than this away (an unattended PC woken by the
// timer goes back to sleep within about two minutes unless something holds it), and no
// stand-by is requested then.
const std::time_t kAwakeLeadSeconds = 300;

// Works out the next start after now (after the running recording's stop, while one
// runs) for the table in use and arms the wake-up timer for
// it (three minutes before, at once when that is past), or cancels the timer when there
// is none. Call whenever the answer can change.
void rearm_wake_timer(std::time_t now);

// Holds the system awake while a recording is held (see below) or the next start is less
// than five minutes from now, and lets it go otherwise. Calls out only on a change.
void update_keep_awake(std::time_t now);

// A recording's sequences hold the system awake from the start sequence until its stop
// sequence has moved the recording.
void hold_for_recording(bool held, std::time_t now);

// False when a stand-by requested now would sleep through the next start.
bool standby_allowed(std::time_t now);

// Forgets the timer and the hold (process start; tests).
void reset_wake_state();
