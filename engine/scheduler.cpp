#include "engine/scheduler.h"

#include <cstring>

#include "base/calendar.h"
#include "base/capture_interface.h"
#include "capture_settings/settings_file.h"
#include "engine/after_actions.h"
#include "engine/capture_control.h"
#include "engine/wake.h"
#include "resources/resource_ids.h"
#include "view/timetable.h"

RecordingState recording = {0, 0, 0, 0, 0, nullptr};

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
    platform.host->post_command(dialog, IDC_CAPTURE_RECORD);
    show_step(dialog, 5);
}

void stop_sequence(WindowRef dialog, WindowRef* capture_window) {
    int i = recording.index;
    show_step(dialog, 6);
    platform.host->send_command(dialog, IDC_CAPTURE_STOP);
    platform.clock->sleep_ms(kWaitAfterStopMs);
    show_step(dialog, 7);
    send_to_capture(*capture_window, kCaptureClose);
    recording.active = 0;
    // The slot is read now, so changes made to it during the recording take effect.
    const Reservation& r = reservations.table.slots[i];
    if (r.move_after_record != 0) {
        char folder[sizeof(r.move_folder) + 1];
        FIELD_COPY(folder, r, move_folder);
        move_newest_recording(dialog, folder);
    }
    // The recording is over: the next one decides the timer and whether to stay awake.
    const std::time_t now = (std::time_t)platform.clock->now();
    rearm_wake_timer(now);
    hold_for_recording(false, now);
    platform.host->repaint(dialog);
    run_after_action(i);
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

// The first moment in [lower, upper], a span within the local date `day` (of weekday
// `weekday`), at which the scan finds weekly reservation index due, or -1. The scan tests
// a moment t against the window anchored at t's own local date, looked at a minute ahead.
std::time_t weekly_start_on(int index, const CivilDate& day, int weekday, std::time_t lower,
                            std::time_t upper) {
    if (!weekday_selected(index, weekday)) return -1;
    CivilTime s, e;
    int end_day = 0;
    if (!window_times(reservations.table.slots[index], &s, &e, &end_day)) return -1;
    const std::time_t window_start = local_moment(day, s);
    const std::time_t window_end = local_moment({day.year, day.month, day.day + end_day}, e);
    if (window_start == (std::time_t)-1 || window_end == (std::time_t)-1) return -1;
    std::time_t first = window_start - 60 > lower ? window_start - 60 : lower;
    std::time_t last = window_end - 60 < upper ? window_end - 60 : upper;
    return first <= last ? first : -1;
}

// The first moment at or after from that the scan finds reservation index due, or -1.
std::time_t first_due(int index, std::time_t from) {
    std::time_t period_start, period_end;
    if (!reservation_period(index, &period_start, &period_end)) return -1;
    // Due when the moment a minute ahead lies within the period.
    std::time_t lower = period_start - 60 > from ? period_start - 60 : from;
    std::time_t upper = period_end - 60;
    if (reservations.table.slots[index].repeat_mode != 1) {
        std::time_t stop = period_end;
        if (stop - period_start > kOnceOnlyLongest) stop = period_start + kOnceOnlyLongest;
        if (stop - 60 < upper) upper = stop - 60;
        return lower <= upper ? lower : -1;
    }
    // Weekly: the days from lower's on, each between its own local midnights. A selected
    // weekday comes within a week, so two weeks are enough for a window that lies before
    // lower on the first day or is lost in a daylight-saving change.
    CivilDate first_day;
    if (!local_date_of(lower, &first_day, nullptr, nullptr)) return -1;
    for (int d = 0; d < 15; ++d) {
        CivilDate day, next_day;
        int weekday = 0;
        if (!add_days(first_day, d, &day, &weekday) || !add_days(day, 1, &next_day, nullptr))
            return -1;
        std::time_t midnight = local_midnight(day);
        std::time_t next_midnight = local_midnight(next_day);
        if (midnight == (std::time_t)-1 || next_midnight == (std::time_t)-1) return -1;
        if (midnight > upper) return -1;
        std::time_t from_here = midnight > lower ? midnight : lower;
        std::time_t to_here = next_midnight - 1 < upper ? next_midnight - 1 : upper;
        if (from_here > to_here) continue;
        std::time_t t = weekly_start_on(index, day, weekday, from_here, to_here);
        if (t != -1) return t;
    }
    return -1;
}

}  // namespace

bool next_start(int reservation_count, std::time_t from, std::time_t* at) {
    if (reservation_count > kMaxReservations) reservation_count = kMaxReservations;
    bool found = false;
    for (int i = 0; i < reservation_count; ++i) {
        std::time_t t = first_due(i, from);
        if (t != -1 && (!found || t < *at)) {
            *at = t;
            found = true;
        }
    }
    return found;
}

void reset_schedule_cache() {
    std::memset(cache, 0, sizeof(cache));
    day_cache.date = {0, 0, 0};
    std::memset(date_cache, 0, sizeof(date_cache));
    date_cache_next = 0;
}

void reset_program_state() {
    reset_reservations();
    std::memset(&recording, 0, sizeof(recording));
    use_install_folder = 0;
    reset_schedule_cache();
    reset_wake_state();
}

namespace {

void scan(WindowRef dialog, int reservation_count, WindowRef* capture_window, std::time_t current) {
    CivilDate today;
    int today_weekday = 0;
    if (!local_date_of(current, &today, nullptr, &today_weekday)) return;

    if (recording.active) {
        if (current >= recording.stop_time) {
            recording.sequence_running = 1;
            stop_sequence(dialog, capture_window);
            recording.sequence_running = 0;
        }
        return;
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
        return;
    }
}

}  // namespace

void check_schedule(WindowRef dialog, int reservation_count, WindowRef* capture_window,
                    std::time_t current) {
    if (recording.sequence_running) return;
    scan(dialog, reservation_count, capture_window, current);
    update_keep_awake(current);
}
