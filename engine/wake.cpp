#include "engine/wake.h"

#include "base/platform.h"
#include "engine/scheduler.h"

namespace {

bool has_next = false;
std::time_t next_at = 0;
bool recording_held = false;
bool awake = false;

}  // namespace

void rearm_wake_timer(std::time_t now) {
    has_next = next_start(reservations.count, now, &next_at);
    if (!has_next) {
        platform.power->cancel_wake_timer();
        return;
    }
    std::time_t at = next_at - kWakeLeadSeconds;
    platform.power->arm_wake_timer(at > now ? at : now);
}

void update_keep_awake(std::time_t now) {
    // A start that has passed without being made (the scan was blocked, or the clock
    // jumped) is looked up again, so that the hold follows the real next start.
    if (has_next && next_at < now && !recording.active && !recording_held) rearm_wake_timer(now);
    bool want = recording_held || (has_next && next_at - now < kAwakeLeadSeconds);
    if (want == awake) return;
    awake = want;
    platform.power->keep_awake(want);
}

void hold_for_recording(bool held, std::time_t now) {
    recording_held = held;
    update_keep_awake(now);
}

bool standby_allowed(std::time_t now) {
    std::time_t at;
    return !next_start(reservations.count, now, &at) || at - now >= kAwakeLeadSeconds;
}

void reset_wake_state() {
    has_next = false;
    next_at = 0;
    recording_held = false;
    awake = false;
}
