#include "engine/scheduler.h"

#include <cstring>

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

// Six ASCII digits and the terminating NUL, split into three two-digit numbers.
bool split_six(const char field[7], int* a, int* b, int* c) {
    for (int i = 0; i < 6; ++i)
        if (field[i] < '0' || field[i] > '9') return false;
    if (field[6] != '\0') return false;
    *a = (field[0] - '0') * 10 + (field[1] - '0');
    *b = (field[2] - '0') * 10 + (field[3] - '0');
    *c = (field[4] - '0') * 10 + (field[5] - '0');
    return true;
}

long six_number(const char field[7]) {
    long n = 0;
    for (int i = 0; i < 6; ++i) n = n * 10 + (field[i] - '0');
    return n;
}

int days_in_month(int year, int month) {
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[month - 1];
}

bool valid_time(const char field[7], int* h, int* m, int* s) {
    return split_six(field, h, m, s) && *h <= 23 && *m <= 59 && *s <= 59;
}

std::time_t convert_local(int year, int month, int day, int h, int mi, int s) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = h;
    t.tm_min = mi;
    t.tm_sec = s;
    // Let mktime decide daylight saving for that moment itself; copying the current
    // moment's flag would put times on the other side of a change an hour off.
    t.tm_isdst = -1;
    return std::mktime(&t);
}

// Local midnights of the dates that reservations name, so that the reservations of one
// date cost one conversion between them. A date whose day is not 86400 seconds long (a
// daylight-saving change) is marked, and its times are converted one by one.
struct DateMidnight {
    int year, month, day;
    bool linear;
    std::time_t midnight;
};
const int kDateCacheSize = 16;
DateMidnight date_cache[kDateCacheSize];
int date_cache_next = 0;

const DateMidnight& midnight_of(int year, int month, int day) {
    for (const DateMidnight& d : date_cache)
        if (d.year == year && d.month == month && d.day == day) return d;
    DateMidnight& d = date_cache[date_cache_next];
    date_cache_next = (date_cache_next + 1) % kDateCacheSize;
    d.year = year;
    d.month = month;
    d.day = day;
    d.midnight = convert_local(year, month, day, 0, 0, 0);
    std::time_t next = convert_local(year, month, day + 1, 0, 0, 0);
    d.linear = d.midnight != (std::time_t)-1 && next != (std::time_t)-1 && next - d.midnight == 86400;
    return d;
}

// A local calendar time from a yymmdd and an hhmmss text; false when they are not a
// valid date and time.
bool local_moment(const char date[7], const char time[7], std::time_t* out) {
    int yy, mm, dd, h, mi, s;
    if (!split_six(date, &yy, &mm, &dd) || !valid_time(time, &h, &mi, &s)) return false;
    if (mm < 1 || mm > 12 || dd < 1 || dd > days_in_month(2000 + yy, mm)) return false;
    const DateMidnight& d = midnight_of(2000 + yy, mm, dd);
    std::time_t v = d.linear ? d.midnight + h * 3600 + mi * 60 + s
                             : convert_local(2000 + yy, mm, dd, h, mi, s);
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
    int window_year, window_yday;
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
        c.period_valid = local_moment(r.start_date, r.start_time, &c.period_start) &&
                         local_moment(r.end_date, r.end_time, &c.period_end);
        c.window_year = -1;
    }
    return c;
}

// Local midnights of today and tomorrow, worked out once per day. When neither day holds
// a daylight-saving change (both are 86400 seconds long), a wall-clock time of either day
// is its midnight plus the seconds into the day, exactly what mktime would give; on the
// days of a change every window is converted with mktime instead.
struct DayCache {
    int year, yday;  // the local date these are for; year -1 for none
    bool linear;
    std::time_t midnight[2];
};
DayCache day_cache = {-1, 0, false, {0, 0}};

std::time_t midnight_after(const std::tm& today, int days) {
    std::tm t = today;
    t.tm_mday += days;
    t.tm_hour = 0;
    t.tm_min = 0;
    t.tm_sec = 0;
    t.tm_isdst = -1;
    return std::mktime(&t);
}

const DayCache& day_for(const std::tm& today) {
    if (day_cache.year != today.tm_year || day_cache.yday != today.tm_yday) {
        std::time_t m0 = midnight_after(today, 0);
        std::time_t m1 = midnight_after(today, 1);
        std::time_t m2 = midnight_after(today, 2);
        day_cache.year = today.tm_year;
        day_cache.yday = today.tm_yday;
        day_cache.midnight[0] = m0;
        day_cache.midnight[1] = m1;
        day_cache.linear = m0 != (std::time_t)-1 && m1 != (std::time_t)-1 &&
                           m2 != (std::time_t)-1 && m1 - m0 == 86400 && m2 - m1 == 86400;
    }
    return day_cache;
}

// Wall-clock time h:m:s of today (day 0) or tomorrow (day 1) as a calendar time.
std::time_t wall_clock(const std::tm& today, int day, int h, int m, int s) {
    const DayCache& d = day_for(today);
    if (d.linear) return d.midnight[day] + h * 3600 + m * 60 + s;
    std::tm t = today;
    t.tm_mday += day;
    t.tm_hour = h;
    t.tm_min = m;
    t.tm_sec = s;
    t.tm_isdst = -1;
    return std::mktime(&t);
}

// The daily window anchored at the local date of today: today's start time to today's
// end time, or to tomorrow's when the end time is earlier in the day than the start time.
bool daily_window(int index, const std::tm& today, std::time_t* start, std::time_t* end) {
    SlotCache& c = slot_cache(index);
    if (!c.period_valid) return false;
    if (c.window_year != today.tm_year || c.window_yday != today.tm_yday) {
        const Reservation& r = reservations.table.slots[index];
        int sh, sm, ss, eh, em, es;
        valid_time(r.start_time, &sh, &sm, &ss);
        valid_time(r.end_time, &eh, &em, &es);
        int end_day = six_number(r.start_time) > six_number(r.end_time) ? 1 : 0;
        c.window_start = wall_clock(today, 0, sh, sm, ss);
        c.window_end = wall_clock(today, end_day, eh, em, es);
        c.window_year = today.tm_year;
        c.window_yday = today.tm_yday;
        c.window_valid = c.window_start != (std::time_t)-1 && c.window_end != (std::time_t)-1;
    }
    *start = c.window_start;
    *end = c.window_end;
    return c.window_valid;
}

// The step is set before it is drawn, so that whatever paints meanwhile shows it too.
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

// The first moment in [lower, upper], a span within the local date `day`, at which the
// scan finds weekly reservation index due, or -1. The scan tests a moment t against the
// window anchored at t's own local date, looked at a minute ahead.
std::time_t weekly_start_on(int index, const std::tm& day, std::time_t lower, std::time_t upper) {
    const Reservation& r = reservations.table.slots[index];
    if (!weekday_selected(index, day.tm_wday)) return -1;
    int sh, sm, ss, eh, em, es;
    if (!valid_time(r.start_time, &sh, &sm, &ss) || !valid_time(r.end_time, &eh, &em, &es))
        return -1;
    const int end_day = six_number(r.start_time) > six_number(r.end_time) ? 1 : 0;
    const std::time_t window_start =
        convert_local(day.tm_year + 1900, day.tm_mon + 1, day.tm_mday, sh, sm, ss);
    const std::time_t window_end =
        convert_local(day.tm_year + 1900, day.tm_mon + 1, day.tm_mday + end_day, eh, em, es);
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
    const std::tm* lt = std::localtime(&lower);
    if (lt == nullptr) return -1;
    std::tm day = *lt;
    for (int d = 0; d < 15; ++d) {
        std::time_t midnight = convert_local(day.tm_year + 1900, day.tm_mon + 1, day.tm_mday + d, 0, 0, 0);
        std::time_t next_midnight =
            convert_local(day.tm_year + 1900, day.tm_mon + 1, day.tm_mday + d + 1, 0, 0, 0);
        if (midnight == (std::time_t)-1 || next_midnight == (std::time_t)-1) return -1;
        if (midnight > upper) return -1;
        std::time_t noon = midnight + 12 * 3600;
        const std::tm* at_noon = std::localtime(&noon);
        if (at_noon == nullptr) return -1;
        std::tm this_day = *at_noon;
        std::time_t from_here = midnight > lower ? midnight : lower;
        std::time_t to_here = next_midnight - 1 < upper ? next_midnight - 1 : upper;
        if (from_here > to_here) continue;
        std::time_t t = weekly_start_on(index, this_day, from_here, to_here);
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
    day_cache.year = -1;
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
    std::tm today_tm;
    const std::tm* lt = std::localtime(&current);
    if (lt == nullptr) return;
    today_tm = *lt;

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
    const int anchor_weekday = today_tm.tm_wday;

    if (reservation_count > kMaxReservations) reservation_count = kMaxReservations;
    for (int i = 0; i < reservation_count; ++i) {
        std::time_t period_start, period_end;
        if (!reservation_period(i, &period_start, &period_end)) continue;
        if (now < period_start || now > period_end) continue;
        std::time_t window_start, window_end;
        if (!daily_window(i, today_tm, &window_start, &window_end)) continue;
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
