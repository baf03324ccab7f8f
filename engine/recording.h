// The recording under way, if any: what the scheduler's sequences set and what the
// journal, the wake-up timer, capture control and the after-recording actions read of it.
#pragma once
#include <ctime>
#include "base/platform.h"

struct RecordingState {
    int active;                   // a recording is under way (from its start sequence on)
    int index;                    // its reservation's slot
    int status_step;              // the status panel's step last shown
    std::time_t stop_time;
    int sequence_running;         // a start or stop sequence is under way
    WindowRef capture_window;     // the capture application's control window, or null
    std::time_t started_at;       // the tick that started it
    std::time_t record_at;        // when the record command was queued; 0 before
    std::time_t stop_command_at;  // when the stop command was delivered
};
// It lives as long as the process.
extern RecordingState recording;

// Back to its value at process start: nothing recorded, no capture window known.
void reset_recording();
