#include "engine/wake.h"

#include "base/journal.h"
#include "base/platform.h"
#include "engine/due_rule.h"
#include "engine/recording.h"

namespace {

struct WakeState {
    bool has_next;        // a next start is known, at next_at
    std::time_t next_at;
    bool recording_held;  // a recording's sequences hold the system awake
    bool awake;           // the system is held awake now
    // What the journal was last told of the timer: the start it wakes for (-1 none) and
    // how arming it went; it is told again only when either changes.
    std::time_t told_next;
    int told_result;
};
const WakeState kAtStart = {false, 0, false, false, -1, 0};
WakeState state = kAtStart;

void tell_timer(std::time_t next, std::time_t at, int result) {
    if (next == state.told_next && result == state.told_result) return;
    state.told_next = next;
    state.told_result = result;
    char when[32];
    journal_time_text(at, when, sizeof(when));
    if (next == -1)
        journal_write(kEventWakeTimer, 0, nullptr, 0, "%s", "次の録画がないため解除");
    else if (result == 1)
        journal_write(kEventWakeUnsupported, 0, nullptr, 0,
                      "%s に設定しましたが、このPCはタイマーでスタンバイから復帰できません", when);
    else if (result != 0)
        journal_write(kEventWakeTimer, 0, nullptr, 0, "%s に設定できませんでした", when);
    else
        journal_write(kEventWakeTimer, 0, nullptr, 0, "%s に設定", when);
}

}  // namespace

void rearm_wake_timer(std::time_t now) {
    // While a recording runs, the next start is the first after its stop: the running
    // one is no start to wake for, and none other can start before it stops.
    const bool after_stop = recording.active && recording.stop_time > now;
    const std::time_t from = after_stop ? recording.stop_time : now;
    state.has_next = next_start(reservations.table, reservations.count, from, &state.next_at);
    if (!state.has_next) {
        platform.power->cancel_wake_timer();
        tell_timer(-1, 0, 0);
        return;
    }
    std::time_t at = state.next_at - kWakeLeadSeconds;
    if (at < now) at = now;
    tell_timer(state.next_at, at, platform.power->arm_wake_timer(at));
}

void update_keep_awake(std::time_t now) {
    // A start that has passed without being made (the scan was blocked, or the clock
    // jumped) is looked up again, so that the hold follows the real next start.
    if (state.has_next && state.next_at < now && !recording.active && !state.recording_held)
        rearm_wake_timer(now);
    bool want = state.recording_held || (state.has_next && state.next_at - now < kAwakeLeadSeconds);
    if (want == state.awake) return;
    state.awake = want;
    platform.power->keep_awake(want);
    journal_write(kEventKeepAwake, 0, nullptr, 0, "%s",
                  want ? "録画のためスリープさせません" : "スリープを許可します");
}

void hold_for_recording(bool held, std::time_t now) {
    state.recording_held = held;
    update_keep_awake(now);
}

bool standby_allowed(std::time_t now) {
    std::time_t at;
    return !next_start(reservations.table, reservations.count, now, &at) ||
           at - now >= kAwakeLeadSeconds;
}

void reset_wake_state() { state = kAtStart; }
