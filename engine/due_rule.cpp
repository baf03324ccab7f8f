#include "engine/due_rule.h"

#include "base/calendar.h"

namespace {

std::time_t later(std::time_t a, std::time_t b) { return a > b ? a : b; }
std::time_t earlier(std::time_t a, std::time_t b) { return a < b ? a : b; }

// A local calendar time from a yymmdd and an hhmmss text; false when they are not a
// valid date and time.
bool record_moment(const char date[7], const char time[7], std::time_t* out) {
    CivilDate day;
    CivilTime clock;
    if (!parse_yymmdd(date, &day) || !parse_hhmmss(time, &clock)) return false;
    const std::time_t v = local_moment(day, clock);
    if (v == (std::time_t)-1) return false;
    *out = v;
    return true;
}

// The daily window of a record's times: from its start time to its end time on the same
// day, or on the next when the end time is earlier in the day. False for invalid times.
bool window_times(const Reservation& r, CivilTime* start, CivilTime* end, int* end_day) {
    if (!parse_hhmmss(r.start_time, start) || !parse_hhmmss(r.end_time, end)) return false;
    auto seconds = [](const CivilTime& t) { return t.hour * 3600 + t.minute * 60 + t.second; };
    *end_day = seconds(*start) > seconds(*end) ? 1 : 0;
    return true;
}

bool once_only_occurrence(const Reservation& r, int index, Occurrence* o) {
    std::time_t period_start, period_end;
    if (!reservation_period(r, &period_start, &period_end)) return false;
    std::time_t stop = period_end;
    if (stop - period_start > kOnceOnlyLongest) stop = period_start + kOnceOnlyLongest;
    *o = {index, period_start - kLookAheadSeconds, stop - kLookAheadSeconds, period_start, stop};
    return o->first <= o->last;
}

// The weekly occurrence of local date `day` (of weekday `weekday`) for a period: due from its window's
// start less the minute, but not before that day's midnight, until its window or period
// ends less the minute, but not past that day.
bool weekly_occurrence(const Reservation& r, int index, std::time_t period_start,
                       std::time_t period_end, const CivilDate& day, int weekday, Occurrence* o) {
    if (!weekday_selected(r, weekday)) return false;
    CivilTime s, e;
    int end_day = 0;
    if (!window_times(r, &s, &e, &end_day)) return false;
    const std::time_t window_start = local_moment(day, s);
    const std::time_t window_end = local_moment({day.year, day.month, day.day + end_day}, e);
    const std::time_t midnight = local_midnight(day);
    const std::time_t next_midnight = local_midnight({day.year, day.month, day.day + 1});
    if (window_start == -1 || window_end == -1 || midnight == -1 || next_midnight == -1) return false;
    const std::time_t start = later(window_start, period_start);
    *o = {index, later(start - kLookAheadSeconds, midnight),
          earlier(earlier(window_end, period_end) - kLookAheadSeconds, next_midnight - 1), start,
          window_end};
    return o->first <= o->last;
}

// The day after date, by the calendar alone.
CivilDate next_civil_day(const CivilDate& date) {
    if (date.day < days_in_month(date.year, date.month)) return {date.year, date.month, date.day + 1};
    if (date.month < 12) return {date.year, date.month + 1, 1};
    return {date.year + 1, 1, 1};
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

int in_table(int count) { return count > kMaxReservations ? kMaxReservations : count; }

}  // namespace

bool weekday_selected(const Reservation& r, int weekday) {
    static const int bits[7] = {64, 32, 16, 8, 4, 2, 1};
    int day = weekday == 0 ? 6 : weekday - 1;
    if (day < 0 || day > 6) return false;
    int m = (signed char)r.weekday_mask;
    for (int j = 0; j < day; ++j)
        if (m >= bits[j]) m -= bits[j];
    return m >= bits[day];
}

bool reservation_period(const Reservation& r, std::time_t* start, std::time_t* end) {
    return record_moment(r.start_date, r.start_time, start) &&
           record_moment(r.end_date, r.end_time, end);
}

bool next_due_occurrence(const Reservation& r, int index, std::time_t from, Occurrence* out) {
    if (r.repeat_mode != 1) return once_only_occurrence(r, index, out) && out->last >= from;
    // Weekly: the days from that of the first moment the period allows. A selected
    // weekday comes within a week, so two weeks are enough for a window that lies before
    // from on the first day or is lost in a daylight-saving change.
    std::time_t period_start, period_end;
    if (!reservation_period(r, &period_start, &period_end)) return false;
    CivilDate day;
    int weekday = 0;
    if (!local_date_of(later(period_start - kLookAheadSeconds, from), &day, nullptr, &weekday))
        return false;
    for (int d = 0; d < 15; ++d, day = next_civil_day(day), weekday = (weekday + 1) % 7) {
        if (!weekday_selected(r, weekday)) continue;
        if (local_midnight(day) > period_end - kLookAheadSeconds) return false;
        if (weekly_occurrence(r, index, period_start, period_end, day, weekday, out) &&
            out->last >= from)
            return true;
    }
    return false;
}

bool occurrence_at(const Reservation& r, int index, std::time_t t, Occurrence* out) {
    Occurrence o;
    if (!next_due_occurrence(r, index, t, &o) || t < o.first) return false;
    *out = o;
    return true;
}

bool next_occurrence(const ReservationTable& table, int count, std::time_t from, std::time_t* at,
                     Occurrence* out) {
    bool found = false;
    for (int i = 0; i < in_table(count); ++i) {
        Occurrence o;
        if (!next_due_occurrence(table.slots[i], i, from, &o)) continue;
        const std::time_t t = later(o.first, from);
        if (!found || t < *at) {
            *at = t;
            if (out) *out = o;
            found = true;
        }
    }
    return found;
}

bool next_start(const ReservationTable& table, int count, std::time_t from, std::time_t* at) {
    return next_occurrence(table, count, from, at, nullptr);
}

int missed_occurrences(const ReservationTable& table, int count, std::time_t from, std::time_t to,
                       bool due_at_from, Occurrence* out, int cap, OccurrenceFilter keep,
                       const void* context) {
    if (from < to - kMissedLookBackDays * 86400) from = to - kMissedLookBackDays * 86400;
    int total = 0, kept = 0;
    CivilDate first_day;
    int first_weekday = 0;
    if (from > to || !local_date_of(from, &first_day, nullptr, &first_weekday)) return 0;
    for (int i = 0; i < in_table(count); ++i) {
        const Reservation& r = table.slots[i];
        Occurrence o;
        auto consider = [&]() {
            const bool due_then = due_at_from && o.first <= from && from <= o.last;
            if ((o.first < from && !due_then) || o.first > to || o.last >= to) return;
            if (keep && !keep(o, context)) return;
            ++total;
            keep_earliest(o, out, cap, &kept);
        };
        if (r.repeat_mode != 1) {
            if (once_only_occurrence(r, i, &o)) consider();
            continue;
        }
        std::time_t period_start, period_end;
        if (!reservation_period(r, &period_start, &period_end)) continue;
        // An occurrence's first moment lies on its own day, and one due at from is of
        // from's day: the days from that of from on.
        CivilDate day = first_day;
        int weekday = first_weekday;
        for (int d = 0; d <= kMissedLookBackDays + 1; ++d) {
            if (weekday_selected(r, weekday)) {
                const std::time_t midnight = local_midnight(day);
                if (midnight == -1 || midnight > to || midnight > period_end) break;
                if (weekly_occurrence(r, i, period_start, period_end, day, weekday, &o)) consider();
            }
            day = next_civil_day(day);
            weekday = (weekday + 1) % 7;
        }
    }
    return total;
}
