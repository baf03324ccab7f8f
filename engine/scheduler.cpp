#include "engine/scheduler.h"

#include <cstdio>
#include <cstring>

#include "base/calendar.h"
#include "base/capture_interface.h"
#include "capture_settings/conditions.h"
#include "capture_settings/settings_file.h"
#include "engine/after_actions.h"
#include "engine/capture_control.h"
#include "engine/history.h"
#include "engine/wake.h"
#include "resources/resource_ids.h"
#include "view/timetable.h"

RecordingState recording = {0, 0, 0, 0, 0, nullptr, 0, 0, 0};

// The longest once-only recording: the form stores an end at most a day after the start.
const std::time_t kOnceOnlyLongest = 24 * 60 * 60;

namespace {

// Local midnights of the dates that reservations name, so that the reservations of one
// date cost one conversion between them. A date whose day is not 86400 seconds long (a
// daylight-saving change) is marked, and its times are converted one by one.
struct DateMidnight {
    CivilDate date;
    bool linear;
    std::time_t midnight;
};
const int kDateCacheSize = 16;
DateMidnight date_cache[kDateCacheSize];
int date_cache_next = 0;

bool same_date(const CivilDate& a, const CivilDate& b) {
    return a.year == b.year && a.month == b.month && a.day == b.day;
}

const DateMidnight& midnight_of(const CivilDate& date) {
    for (const DateMidnight& d : date_cache)
        if (same_date(d.date, date)) return d;
    DateMidnight& d = date_cache[date_cache_next];
    date_cache_next = (date_cache_next + 1) % kDateCacheSize;
    d.date = date;
    d.midnight = local_midnight(date);
    std::time_t next = local_midnight({date.year, date.month, date.day + 1});
    d.linear = d.midnight != (std::time_t)-1 && next != (std::time_t)-1 && next - d.midnight == 86400;
    return d;
}

std::time_t seconds_into_day(const CivilTime& t) { return t.hour * 3600 + t.minute * 60 + t.second; }

// A local calendar time from a yymmdd and an hhmmss text; false when they are not a
// valid date and time.
bool record_moment(const char date[7], const char time[7], std::time_t* out) {
    CivilDate day;
    CivilTime clock;
    if (!parse_yymmdd(date, &day) || !parse_hhmmss(time, &clock)) return false;
    const DateMidnight& d = midnight_of(day);
    std::time_t v = d.linear ? d.midnight + seconds_into_day(clock) : local_moment(day, clock);
    if (v == (std::time_t)-1) return false;
    *out = v;
    return true;
}

// What the scan derives from a record's dates and times. It depends only on those texts
// (and, for the daily window, on the current local date), so it is kept from tick to tick
// and recomputed only when they change: a tick then costs a few comparisons per
// reservation instead of several calendar conversions.
const std::size_t kTimesOffset = offsetof(Reservation, start_date);
const std::size_t kTimesSize = offsetof(Reservation, weekday_mask) - kTimesOffset;

struct SlotCache {
    bool filled;
    char times[kTimesSize];
    bool period_valid;
    std::time_t period_start, period_end;
    bool window_valid;
    CivilDate window_day;  // the local date the window is for; year 0 for none
    std::time_t window_start, window_end;
};
SlotCache cache[kMaxReservations];

SlotCache& slot_cache(int index) {
    SlotCache& c = cache[index];
    const char* times = (const char*)&reservations.table.slots[index] + kTimesOffset;
    if (!c.filled || std::memcmp(c.times, times, kTimesSize) != 0) {
        std::memset(&c, 0, sizeof(c));
        std::memcpy(c.times, times, kTimesSize);
        c.filled = true;
        const Reservation& r = reservations.table.slots[index];
        c.period_valid = record_moment(r.start_date, r.start_time, &c.period_start) &&
                         record_moment(r.end_date, r.end_time, &c.period_end);
        c.window_day = {0, 0, 0};
    }
    return c;
}

// Local midnights of today and tomorrow, worked out once per day. When neither day holds
// a daylight-saving change (both are 86400 seconds long), a wall-clock time of either day
// is its midnight plus the seconds into the day, exactly what mktime would give; on the
// days of a change every window is converted with mktime instead.
struct DayCache {
    CivilDate date;  // the local date these are for; year 0 for none
    bool linear;
    std::time_t midnight[2];
};
DayCache day_cache = {{0, 0, 0}, false, {0, 0}};

const DayCache& day_for(const CivilDate& today) {
    if (!same_date(day_cache.date, today)) {
        std::time_t m0 = local_midnight(today);
        std::time_t m1 = local_midnight({today.year, today.month, today.day + 1});
        std::time_t m2 = local_midnight({today.year, today.month, today.day + 2});
        day_cache.date = today;
        day_cache.midnight[0] = m0;
        day_cache.midnight[1] = m1;
        day_cache.linear = m0 != (std::time_t)-1 && m1 != (std::time_t)-1 &&
                           m2 != (std::time_t)-1 && m1 - m0 == 86400 && m2 - m1 == 86400;
    }
    return day_cache;
}

// Wall-clock time t of today (day 0) or tomorrow (day 1) as a calendar time.
std::time_t wall_clock(const CivilDate& today, int day, const CivilTime& t) {
    const DayCache& d = day_for(today);
    if (d.linear) return d.midnight[day] + seconds_into_day(t);
    return local_moment({today.year, today.month, today.day + day}, t);
}

// The daily window of a record's times: from its start time to its end time on the same
// day, or on the next when the end time is earlier in the day. False for invalid times.
bool window_times(const Reservation& r, CivilTime* start, CivilTime* end, int* end_day) {
    if (!parse_hhmmss(r.start_time, start) || !parse_hhmmss(r.end_time, end)) return false;
    *end_day = seconds_into_day(*start) > seconds_into_day(*end) ? 1 : 0;
    return true;
}

// The daily window anchored at the local date of today: today's start time to today's
// end time, or to tomorrow's when the end time is earlier in the day than the start time.
bool daily_window(int index, const CivilDate& today, std::time_t* start, std::time_t* end) {
    SlotCache& c = slot_cache(index);
    if (!c.period_valid) return false;
    if (!same_date(c.window_day, today)) {
        CivilTime s, e;
        int end_day = 0;
        // The period is valid, so are its times.
        window_times(reservations.table.slots[index], &s, &e, &end_day);
        c.window_start = wall_clock(today, 0, s);
        c.window_end = wall_clock(today, end_day, e);
        c.window_day = today;
        c.window_valid = c.window_start != (std::time_t)-1 && c.window_end != (std::time_t)-1;
    }
    *start = c.window_start;
    *end = c.window_end;
    return c.window_valid;
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
    journal_recording_start(i, now, stop);
    // Idle sleep must not end the recording.
    hold_for_recording(true, now);
    // A repaint before step 2 is shown (from inside a writer's message box) draws this
    // recording's first lines, not the last step of the recording before.
    recording.status_step = 2;
    const Reservation& r = reservations.table.slots[i];
    if (r.use_conditions != 0) apply_recording_conditions(dialog, i);
    if (r.use_quality != 0) apply_picture_quality(dialog, i);
    if ((signed char)r.stream_format > 0) apply_stream_format(dialog, i);
    if (r.use_gop != 0) apply_gop_structure(dialog, i);
    show_step(dialog, 2);
    open_capture_application(capture_window, i);
    platform.host->show_reservation(dialog, i);
    show_step(dialog, 3);
    platform.clock->sleep_ms(kWaitBeforeRecordMs);
    show_step(dialog, 4);
    recording.record_at = (std::time_t)platform.clock->now();
    platform.host->post_command(dialog, IDC_CAPTURE_RECORD);
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
    platform.host->send_command(dialog, IDC_CAPTURE_STOP);
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

bool weekday_selected(int index, int weekday) {
    static const int bits[7] = {64, 32, 16, 8, 4, 2, 1};
    int day = weekday == 0 ? 6 : weekday - 1;
    if (day < 0 || day > 6) return false;
    int m = (signed char)reservations.table.slots[index].weekday_mask;
    for (int j = 0; j < day; ++j)
        if (m >= bits[j]) m -= bits[j];
    return m >= bits[day];
}

bool reservation_period(int index, std::time_t* start, std::time_t* end) {
    SlotCache& c = slot_cache(index);
    *start = c.period_start;
    *end = c.period_end;
    return c.period_valid;
}

namespace {

std::time_t later(std::time_t a, std::time_t b) { return a > b ? a : b; }
std::time_t earlier(std::time_t a, std::time_t b) { return a < b ? a : b; }

// The scan finds a once-only reservation due while the moment a minute ahead lies within
// its period, held to a day, and records it until then.
bool once_only_occurrence(int index, Occurrence* o) {
    std::time_t period_start, period_end;
    if (!reservation_period(index, &period_start, &period_end)) return false;
    std::time_t stop = period_end;
    if (stop - period_start > kOnceOnlyLongest) stop = period_start + kOnceOnlyLongest;
    *o = {index, period_start - 60, stop - 60, period_start, stop};
    return o->first <= o->last;
}

// A weekly reservation's occurrence of local date `day` (of weekday `weekday`). The scan
// tests a moment t against the window anchored at t's own local date, a minute ahead, and
// within the period; so the occurrence is due only on its own day, even when its window
// runs past midnight, and it records until its window ends.
bool weekly_occurrence(int index, const CivilDate& day, int weekday, Occurrence* o) {
    if (!weekday_selected(index, weekday)) return false;
    std::time_t period_start, period_end;
    CivilTime s, e;
    int end_day = 0;
    if (!reservation_period(index, &period_start, &period_end) ||
        !window_times(reservations.table.slots[index], &s, &e, &end_day))
        return false;
    const std::time_t window_start = local_moment(day, s);
    const std::time_t window_end = local_moment({day.year, day.month, day.day + end_day}, e);
    const std::time_t midnight = local_midnight(day);
    const std::time_t next_midnight = local_midnight({day.year, day.month, day.day + 1});
    if (window_start == -1 || window_end == -1 || midnight == -1 || next_midnight == -1) return false;
    const std::time_t start = later(window_start, period_start);
    *o = {index, later(start - 60, midnight),
          earlier(earlier(window_end, period_end) - 60, next_midnight - 1), start, window_end};
    return o->first <= o->last;
}

// The day after date, by the calendar alone.
CivilDate next_civil_day(const CivilDate& date) {
    if (date.day < days_in_month(date.year, date.month)) return {date.year, date.month, date.day + 1};
    if (date.month < 12) return {date.year, date.month + 1, 1};
    return {date.year + 1, 1, 1};
}

// The first moment at or after from that the scan finds reservation index due, or -1.
std::time_t first_due(int index, std::time_t from) {
    Occurrence o;
    if (reservations.table.slots[index].repeat_mode != 1)
        return once_only_occurrence(index, &o) && o.last >= from ? later(o.first, from) : -1;
    // Weekly: the days from that of the first moment the period allows. A selected
    // weekday comes within a week, so two weeks are enough for a window that lies before
    // from on the first day or is lost in a daylight-saving change.
    std::time_t period_start, period_end;
    if (!reservation_period(index, &period_start, &period_end)) return -1;
    CivilDate day;
    int weekday = 0;
    if (!local_date_of(later(period_start - 60, from), &day, nullptr, &weekday)) return -1;
    for (int d = 0; d < 15; ++d, day = next_civil_day(day), weekday = (weekday + 1) % 7) {
        if (local_midnight(day) > period_end - 60) return -1;
        if (weekly_occurrence(index, day, weekday, &o) && o.last >= from) return later(o.first, from);
    }
    return -1;
}

// Keeps the cap earliest occurrences in out, by first moment and then index.
void keep_earliest(const Occurrence& o, Occurrence* out, int cap, int* kept) {
    int at = *kept;
    while (at > 0 && (out[at - 1].first > o.first ||
                      (out[at - 1].first == o.first && out[at - 1].index > o.index)))
        --at;
    if (at >= cap) return;
    const int moved = (*kept < cap ? *kept : cap - 1) - at;
    for (int k = at + moved; k > at; --k) out[k] = out[k - 1];
    out[at] = o;
    if (*kept < cap) ++*kept;
}

}  // namespace

bool next_occurrence(int reservation_count, std::time_t from, std::time_t* at, Occurrence* out) {
    if (reservation_count > kMaxReservations) reservation_count = kMaxReservations;
    bool found = false;
    int slot = -1;
    for (int i = 0; i < reservation_count; ++i) {
        std::time_t t = first_due(i, from);
        if (t != -1 && (!found || t < *at)) {
            *at = t;
            slot = i;
            found = true;
        }
    }
    if (found && out && !occurrence_at(slot, *at, out)) *out = {slot, *at, *at, *at, *at};
    return found;
}

bool next_start(int reservation_count, std::time_t from, std::time_t* at) {
    return next_occurrence(reservation_count, from, at, nullptr);
}

bool occurrence_at(int index, std::time_t t, Occurrence* out) {
    if (index < 0 || index >= kMaxReservations) return false;
    Occurrence o;
    if (reservations.table.slots[index].repeat_mode != 1) {
        if (!once_only_occurrence(index, &o)) return false;
    } else {
        CivilDate day;
        int weekday = 0;
        if (!local_date_of(t, &day, nullptr, &weekday) || !weekly_occurrence(index, day, weekday, &o))
            return false;
    }
    if (t < o.first || t > o.last) return false;
    *out = o;
    return true;
}

int missed_occurrences(int reservation_count, std::time_t from, std::time_t to, bool due_at_from,
                       Occurrence* out, int cap, OccurrenceFilter keep, const void* context) {
    if (reservation_count > kMaxReservations) reservation_count = kMaxReservations;
    if (from < to - kMissedLookBackDays * 86400) from = to - kMissedLookBackDays * 86400;
    int total = 0, kept = 0;
    CivilDate first_day;
    int first_weekday = 0;
    if (from > to || !local_date_of(from, &first_day, nullptr, &first_weekday)) return 0;
    for (int i = 0; i < reservation_count; ++i) {
        Occurrence o;
        auto consider = [&]() {
            const bool due_then = due_at_from && o.first <= from && from <= o.last;
            if ((o.first < from && !due_then) || o.first > to || o.last >= to) return;
            if (keep && !keep(o, context)) return;
            ++total;
            keep_earliest(o, out, cap, &kept);
        };
        if (reservations.table.slots[i].repeat_mode != 1) {
            if (once_only_occurrence(i, &o)) consider();
            continue;
        }
        std::time_t period_start, period_end;
        if (!reservation_period(i, &period_start, &period_end)) continue;
        // An occurrence's first moment lies on its own day, and one due at from is of
        // from's day: the days from that of from on.
        CivilDate day = first_day;
        int weekday = first_weekday;
        for (int d = 0; d <= kMissedLookBackDays + 1; ++d) {
            if (weekday_selected(i, weekday)) {
                const std::time_t midnight = local_midnight(day);
                if (midnight == -1 || midnight > to || midnight > period_end) break;
                if (weekly_occurrence(i, day, weekday, &o)) consider();
            }
            day = next_civil_day(day);
            weekday = (weekday + 1) % 7;
        }
    }
    return total;
}

void reset_schedule_cache() {
    std::memset(cache, 0, sizeof(cache));
    day_cache.date = {0, 0, 0};
    std::memset(date_cache, 0, sizeof(date_cache));
    date_cache_next = 0;
}

void reset_program_state() {
    reset_reservations();
    recording = RecordingState{};
    use_install_folder = 0;
    reset_schedule_cache();
    reset_wake_state();
    reset_history();
    reset_journal();
}

namespace {

// True when the tick ran a start or stop sequence.
bool scan(WindowRef dialog, int reservation_count, WindowRef* capture_window, std::time_t current) {
    CivilDate today;
    int today_weekday = 0;
    if (!local_date_of(current, &today, nullptr, &today_weekday)) return false;

    if (recording.active) {
        if (current >= recording.stop_time) {
            recording.sequence_running = 1;
            stop_sequence(dialog, capture_window);
            recording.sequence_running = 0;
            return true;
        }
        return false;
    }

    // While idle, look a minute ahead, so that a recording starts a minute early. A
    // minute is added to the moment itself rather than to its broken-down local form,
    // which would be ambiguous across a daylight-saving change.
    std::time_t now = current + 60;
    // A weekly occurrence belongs to the day its window is anchored at, so that day's
    // weekday is tested. (Testing the weekday of the look-ahead moment would start an
    // overnight window of an unselected day at 23:59 when the next day is selected.)
    const int anchor_weekday = today_weekday;

    if (reservation_count > kMaxReservations) reservation_count = kMaxReservations;
    for (int i = 0; i < reservation_count; ++i) {
        std::time_t period_start, period_end;
        if (!reservation_period(i, &period_start, &period_end)) continue;
        if (now < period_start || now > period_end) continue;
        std::time_t window_start, window_end;
        if (!daily_window(i, today, &window_start, &window_end)) continue;
        std::time_t stop;
        if (reservations.table.slots[i].repeat_mode != 1) {
            // Once only: recorded until its period ends. (A window anchored at the day it
            // was found due would stop a 00:00 start found a minute early at once, and
            // record one found after midnight for a whole extra day.) The form never
            // makes such a period longer than a day; one from a damaged file is held to a
            // day, so that it cannot keep every later reservation from recording.
            stop = period_end;
            if (stop - period_start > kOnceOnlyLongest) stop = period_start + kOnceOnlyLongest;
            if (now > stop) continue;
        } else {
            if (now < window_start || now > window_end) continue;
            if (!weekday_selected(i, anchor_weekday)) continue;
            stop = window_end;
        }
        recording.sequence_running = 1;
        start_sequence(dialog, capture_window, i, current, stop);
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
