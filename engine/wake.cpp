#include "engine/wake.h"

#include "app/app_state.h"
#include "engine/after_actions.h"
#include "engine/scheduler.h"

namespace {

bool has_next = false;
std::time_t next_at = 0;
bool recording_held = false;
bool awake = false;

}  // namespace

void rearm_wake_timer(std::time_t now) {
    has_next = next_start(app.reservation_count, now, &next_at);
    if (!power_requests) return;
    if (!has_next) {
        power_requests->cancel_wake_timer();
        return;
    }
    std::time_t at = next_at - kWakeLeadSeconds;
    power_requests->arm_wake_timer(at > now ? at : now);
}

void update_keep_awake(std::time_t now) {
    // A start that has passed without being made (the scan was blocked, or the clock
    // jumped) is looked up again, so that the hold follows the real next start.
    if (has_next && next_at < now && !app.is_recording && !recording_held) rearm_wake_timer(now);
    bool want = recording_held || (has_next && next_at - now < kAwakeLeadSeconds);
    if (want == awake) return;
    awake = want;
    if (power_requests) power_requests->keep_awake(want);
}

void hold_for_recording(bool held, std::time_t now) {
    recording_held = held;
    update_keep_awake(now);
}

bool standby_allowed(std::time_t now) {
    std::time_t at;
    return !next_start(app.reservation_count, now, &at) || at - now >= kAwakeLeadSeconds;
}

void reset_wake_state() {
    has_next = false;
    next_at = 0;
    recording_held = false;
    awake = false;
}
