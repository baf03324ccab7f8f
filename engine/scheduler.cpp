#include "engine/scheduler.h"

#include <cstdio>
#include <cstring>

#include "base/capture_interface.h"
#include "capture_settings/conditions.h"
#include "capture_settings/settings_file.h"
#include "engine/after_actions.h"
#include "engine/capture_control.h"
#include "engine/history.h"
#include "engine/wake.h"
#include "view/timetable.h"

namespace {

// What the scan keeps of each slot: the occurrence the rule gives as due at or next
// after the moment it was asked for, until that moment is passed, the clock goes back or
// the fields the rule reads change. A tick then costs a few comparisons per reservation.
struct WatchedFields {
    char start_date[7], end_date[7], start_time[7], end_time[7];
    std::int32_t repeat_mode;
    std::uint8_t weekday_mask;
};
struct SlotCache {
    bool filled;
    WatchedFields fields;
    std::time_t asked_at;  // the moment the rule was asked for
    bool has_next;
    Occurrence next;
};
struct ScanCache {
    SlotCache slots[kMaxReservations];
};
ScanCache scan_cache = {};

WatchedFields watched(const Reservation& r) {
    WatchedFields f = {};
    std::memcpy(f.start_date, r.start_date, sizeof(f.start_date));
    std::memcpy(f.end_date, r.end_date, sizeof(f.end_date));
    std::memcpy(f.start_time, r.start_time, sizeof(f.start_time));
    std::memcpy(f.end_time, r.end_time, sizeof(f.end_time));
    f.repeat_mode = r.repeat_mode;
    f.weekday_mask = r.weekday_mask;
    return f;
}

bool same_fields(const WatchedFields& a, const WatchedFields& b) {
    return std::memcmp(a.start_date, b.start_date, sizeof(a.start_date)) == 0 &&
           std::memcmp(a.end_date, b.end_date, sizeof(a.end_date)) == 0 &&
           std::memcmp(a.start_time, b.start_time, sizeof(a.start_time)) == 0 &&
           std::memcmp(a.end_time, b.end_time, sizeof(a.end_time)) == 0 &&
           a.repeat_mode == b.repeat_mode && a.weekday_mask == b.weekday_mask;
}

// The occurrence of slot i that is due at t, by the rule, through the cache.
bool due_at(const ReservationTable& table, int i, std::time_t t, Occurrence* out) {
    SlotCache& c = scan_cache.slots[i];
    const WatchedFields now_fields = watched(table.slots[i]);
    if (!c.filled || !same_fields(c.fields, now_fields) || t < c.asked_at ||
        (c.has_next && t > c.next.last)) {
        c.filled = true;
        c.fields = now_fields;
        c.asked_at = t;
        c.has_next = next_due_occurrence(table.slots[i], i, t, &c.next);
    }
    if (!c.has_next || t < c.next.first) return false;
    *out = c.next;
    return true;
}

void show_step(WindowRef dialog, int step) {
    recording.status_step = step;
    paint_status_panel(dialog, step, recording.index);
}

void start_sequence(WindowRef dialog, WindowRef* capture_window, int i, std::time_t now,
                    std::time_t stop) {
    recording.stop_time = stop;
    recording.active = 1;
    recording.index = i;
    recording.started_at = now;
    recording.record_at = 0;
    long long video, audio;
    const std::int64_t expected =
        recording_rates(i, &video, &audio) ? (std::int64_t)expected_recording_bytes(video, audio, stop - now) : -1;
    journal_recording_start(i, now, stop, samples_free_space(), expected);
    // Idle sleep must not end the recording.
    hold_for_recording(true, now);
    // A repaint before step 2 is shown (from inside a writer's message box) draws this
    // recording's first lines, not the last step of the recording before.
    recording.status_step = 2;
    const Reservation& r = reservations.table.slots[i];
    // Nobody may be there to answer a writer's error box.
    settings_errors_unattended(true);
    if (r.use_conditions != 0) apply_recording_conditions(dialog, i);
    if (r.use_quality != 0) apply_picture_quality(dialog, i);
    if ((signed char)r.stream_format > 0) apply_stream_format(dialog, i);
    if (r.use_gop != 0) apply_gop_structure(dialog, i);
    settings_errors_unattended(false);
    show_step(dialog, 2);
    open_capture_application(capture_window, i);
    platform.host->show_reservation(dialog, i);
    show_step(dialog, 3);
    platform.clock->sleep_ms(kWaitBeforeRecordMs);
    show_step(dialog, 4);
    recording.record_at = (std::time_t)platform.clock->now();
    platform.host->post_request(dialog, kRequestRecord);
    show_step(dialog, 5);
    // The running recording no longer counts as the next start: the timer wakes the PC
    // for the one after it, should the PC sleep meanwhile.
    rearm_wake_timer((std::time_t)platform.clock->now());
}

// After a recording, power action included: what could not start while it ran, or while
// its power action or stand-by lasted.
void journal_missed_during(int i, std::time_t stopped) {
    const Reservation& r = reservations.table.slots[i];
    char name[sizeof(r.name) + 1];
    FIELD_COPY(name, r, name);
    char running[96], after[128];
    std::snprintf(running, sizeof(running), "別の予約(%d %s)を録画中でした", i + 1, name);
    const int action = (std::int8_t)r.after_action;
    std::snprintf(after, sizeof(after), "録画後の処理(%s、%lu秒後)のためです",
                  action >= 0 && action < kAfterActionCount ? after_action_texts[action]
                                                            : after_action_texts[0],
                  (unsigned long)(std::uint32_t)r.after_delay);
    // Also those that were due when it started, kept from starting by it.
    journal_missed(recording.started_at, (std::time_t)platform.clock->now(), true, i, stopped,
                   running, after);
}

// Right after the stop: what the recording kept from starting, written before its
// result, so that a result line in the journal means these are written too.
void journal_held_back(int i) {
    const Reservation& r = reservations.table.slots[i];
    char name[sizeof(r.name) + 1];
    FIELD_COPY(name, r, name);
    char running[96];
    std::snprintf(running, sizeof(running), "別の予約(%d %s)を録画中でした", i + 1, name);
    const std::time_t now = (std::time_t)platform.clock->now();
    journal_missed(recording.started_at, now, true, i, now, running, running);
}

void stop_sequence(WindowRef dialog, WindowRef* capture_window) {
    int i = recording.index;
    show_step(dialog, 6);
    recording.stop_command_at = (std::time_t)platform.clock->now();
    platform.host->send_request(dialog, kRequestStop);
    platform.clock->sleep_ms(kWaitAfterStopMs);
    show_step(dialog, 7);
    send_to_capture(*capture_window, kCaptureClose);
    recording.active = 0;
    journal_held_back(i);
    // The slot is read now, so changes made to it during the recording take effect.
    const Reservation& r = reservations.table.slots[i];
    // Recorded from the record command to the stop command; unknown without the first.
    const std::time_t from = recording.record_at, to = recording.stop_command_at;
    const std::time_t recorded_for = from > 0 && to > from ? to - from : 0;
    check_recording(i, recording.started_at, recorded_for);
    if (r.move_after_record != 0) {
        char folder[sizeof(r.move_folder) + 1];
        FIELD_COPY(folder, r, move_folder);
        // Only this recording's file: an older one is another programme.
        move_newest_recording(dialog, folder, recording.started_at);
    }
    // The recording is over: the next one decides the timer and whether to stay awake.
    const std::time_t now = (std::time_t)platform.clock->now();
    rearm_wake_timer(now);
    hold_for_recording(false, now);
    platform.host->repaint(dialog);
    const std::time_t stopped = now;
    run_after_action(i);
    journal_missed_during(i, stopped);
}

}  // namespace

void reset_schedule_cache() { scan_cache = ScanCache{}; }

namespace {

// True when the tick ran a start or stop sequence.
bool scan(WindowRef dialog, int reservation_count, WindowRef* capture_window, std::time_t current) {
    if (recording.active) {
        if (current < recording.stop_time) return false;
        recording.sequence_running = 1;
        stop_sequence(dialog, capture_window);
        recording.sequence_running = 0;
        return true;
    }
    if (reservation_count > kMaxReservations) reservation_count = kMaxReservations;
    for (int i = 0; i < reservation_count; ++i) {
        Occurrence o;
        if (!due_at(reservations.table, i, current, &o)) continue;
        recording.sequence_running = 1;
        start_sequence(dialog, capture_window, i, current, o.stop);
        recording.sequence_running = 0;
        return true;
    }
    return false;
}

}  // namespace

void check_schedule(WindowRef dialog, int reservation_count, WindowRef* capture_window,
                    std::time_t current) {
    if (recording.sequence_running) return;
    history_tick_start(current);
    const bool sequence = scan(dialog, reservation_count, capture_window, current);
    update_keep_awake(current);
    // The end of this tick's work: later than current by the waits of a sequence.
    const std::time_t end = sequence ? (std::time_t)platform.clock->now() : current;
    history_tick_end(end > current ? end : current);
}
