// The recording scheduler, run once a second by the main dialog's tick. It owns the scan
// and the start and stop sequences; when a reservation is due is the rule's
// (engine/due_rule.h), the recording under way lives in engine/recording.h.
//
// The sequences block the one GUI thread with fixed waits (see below, the capture
// application's 13 s launch wait, 3 s after a move and the power action's delay). Only a
// message box shown inside a sequence (a settings writer's error) pumps messages then:
// its loop delivers ticks, which the scheduler ignores while a sequence runs, and paints,
// which draw the status panel of the recording under way.
#pragma once
#include <cstdint>
#include <ctime>
#include "base/platform.h"
#include "engine/due_rule.h"
#include "engine/recording.h"
#include "reservations/reservation.h"

// The capture application is given this long after its launch (or after it was found
// open) to be ready before the record command: its start-up wait and then some.
const std::uint32_t kWaitBeforeRecordMs = 42000;
// Between the stop command and the close command, for the capture application to finish
// writing its file.
const std::uint32_t kWaitAfterStopMs = 15000;

// One tick at the current time now: while idle, starts the first due reservation; while
// recording, stops it once its stop time is reached. A tick that arrives while a start or
// stop sequence is still under way (possible only from inside a message box that the
// sequence shows) does nothing.
void check_schedule(WindowRef dialog, int reservation_count, WindowRef* capture_window,
                    std::time_t now);

// Forgets what the scan has computed and cached (after a change of time zone; tests).
void reset_schedule_cache();
