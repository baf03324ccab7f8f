// The program's one calendar: the yymmdd and hhmmss texts of the reservation records, and
// the local times made of them, worked out so that no daylight-saving change moves them.
#pragma once
#include <cstdint>
#include <ctime>

struct CivilDate {
    int year, month, day;  // full year, month 1..12
};
struct CivilTime {
    int hour, minute, second;
};

// A record's date or time text: exactly six digits, then the end of the text (a field
// of seven bytes has its NUL there). Valid only as a real date of 2000..2099, or a time
// of day 00:00:00..23:59:59; false for anything else, leaving *out as it was.
bool parse_yymmdd(const char* text, CivilDate* out);
bool parse_hhmmss(const char* text, CivilTime* out);
// The texts of a date and a time, two digits each (the last two of each number); out
// holds seven bytes with the NUL.
void format_yymmdd(const CivilDate& date, char* out);
void format_hhmmss(const CivilTime& time, char* out);

// Days in month (1..12) of year, leap years counted.
int days_in_month(int year, int month);
// year * 10000 + month * 100 + day: dates in the order of these numbers.
long date_number(const CivilDate& date);

// The calendar time of a local wall-clock moment. The midnights of recently asked dates are
// kept (see reset_calendar_memo), so that the times of one ordinary day cost one
// conversion between them. The day may run past its month (the
// 32nd is the next month's 1st). Whether daylight saving is in effect is decided for that
// moment itself (tm_isdst -1); the flag of another moment would put times on the other
// side of a change an hour off. -1 when there is no such time.
std::time_t local_moment(const CivilDate& date, const CivilTime& time);
// The first moment of that local day.
std::time_t local_midnight(const CivilDate& date);
// Forgets the kept midnights: after the time zone or its rules change.
void reset_calendar_memo();
// The date that lies days after date (before it for a negative count) and its weekday
// (0 Sunday .. 6 Saturday; weekday may be null). Worked out at midday, which no
// daylight-saving change moves to another day. False when the date cannot be formed.
bool add_days(const CivilDate& date, int days, CivilDate* out, int* weekday);
// The local date, time of day and weekday of calendar time t (any output may be null).
bool local_date_of(std::time_t t, CivilDate* date, CivilTime* time, int* weekday);

// Seconds of the civil date and time counted as if it were UTC (no zone, no summer time).
std::int64_t civil_seconds(const CivilDate& date, const CivilTime& time);
// How far local time is ahead of UTC at t, in seconds: its local wall-clock time less t
// itself. Worked out here rather than taken from strftime's "%z", which some C libraries
// fill with the zone's name. False when t has no local time.
bool utc_offset_of(std::time_t t, long* offset);
