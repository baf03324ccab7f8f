#include "base/calendar.h"

namespace {

// Six ASCII digits followed by the end of the text, as three two-digit numbers.
bool split_six(const char* text, int* a, int* b, int* c) {
    for (int i = 0; i < 6; ++i)
        if (text[i] < '0' || text[i] > '9') return false;
    if (text[6] != '\0') return false;
    *a = (text[0] - '0') * 10 + (text[1] - '0');
    *b = (text[2] - '0') * 10 + (text[3] - '0');
    *c = (text[4] - '0') * 10 + (text[5] - '0');
    return true;
}

// Two decimal digits of n (its last two, for any int).
void put_two(char* out, int n) {
    int v = n % 100;
    if (v < 0) v += 100;
    out[0] = (char)('0' + v / 10);
    out[1] = (char)('0' + v % 10);
}

void format_six(char* out, int a, int b, int c) {
    put_two(out, a);
    put_two(out + 2, b);
    put_two(out + 4, c);
    out[6] = '\0';
}

std::tm wall_clock(const CivilDate& date, const CivilTime& time) {
    std::tm t{};
    t.tm_year = date.year - 1900;
    t.tm_mon = date.month - 1;
    t.tm_mday = date.day;
    t.tm_hour = time.hour;
    t.tm_min = time.minute;
    t.tm_sec = time.second;
    t.tm_isdst = -1;
    return t;
}

long seconds_of(const std::tm& t) { return t.tm_hour * 3600L + t.tm_min * 60L + t.tm_sec; }

bool same_wall_clock(const std::tm& a, const std::tm& b) {
    return a.tm_year == b.tm_year && a.tm_mon == b.tm_mon && a.tm_mday == b.tm_mday &&
           a.tm_hour == b.tm_hour && a.tm_min == b.tm_min && a.tm_sec == b.tm_sec;
}

}  // namespace

bool parse_yymmdd(const char* text, CivilDate* out) {
    int yy, mm, dd;
    if (!split_six(text, &yy, &mm, &dd)) return false;
    if (mm < 1 || mm > 12 || dd < 1 || dd > days_in_month(2000 + yy, mm)) return false;
    *out = {2000 + yy, mm, dd};
    return true;
}

bool parse_hhmmss(const char* text, CivilTime* out) {
    int h, m, s;
    if (!split_six(text, &h, &m, &s) || h > 23 || m > 59 || s > 59) return false;
    *out = {h, m, s};
    return true;
}

void format_yymmdd(const CivilDate& date, char* out) { format_six(out, date.year, date.month, date.day); }

void format_hhmmss(const CivilTime& time, char* out) {
    format_six(out, time.hour, time.minute, time.second);
}

int days_in_month(int year, int month) {
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[month - 1];
}

long date_number(const CivilDate& date) {
    return date.year * 10000L + date.month * 100L + date.day;
}

namespace {

// mktime for a wall-clock time, the earlier moment of one that comes twice.
std::time_t convert(const CivilDate& date, const CivilTime& time) {
    std::tm t = wall_clock(date, time);
    const std::time_t v = std::mktime(&t);
    if (v == (std::time_t)-1) return v;
    // A wall-clock time of the hour that comes twice as summer time ends has two moments,
    // and mktime gives either, by what it was asked before: the earlier is taken, always,
    // so that the same text is the same moment wherever it is converted. Only where the
    // clock was not steady over the two hours before can there be an earlier one.
    // Midnights are left to mktime: only the few zones that turn their clocks back to
    // midnight have one that comes twice, and days are counted from many of them.
    if (time.hour == 0 && time.minute == 0 && time.second == 0) return v;
    const std::time_t two_hours = 7200;
    const std::time_t before = v - two_hours;
    const std::tm* lt = std::localtime(&before);
    if (!lt) return v;
    const long steady = (t.tm_yday == lt->tm_yday ? 0 : 86400) + seconds_of(t) - seconds_of(*lt);
    if (steady == two_hours) return v;
    static const std::time_t kBack[] = {7200, 3600, 1800};
    for (std::time_t back : kBack) {
        const std::time_t earlier = v - back;
        lt = std::localtime(&earlier);
        if (lt && same_wall_clock(*lt, t)) return earlier;
    }
    return v;
}

// The midnights of the dates last asked for. A date whose day is exactly 86400 seconds
// long holds no daylight-saving change, so its wall-clock times are its midnight plus
// their seconds, exactly what mktime would give; other days are converted one by one.
struct CalendarMemo {
    struct Day {
        CivilDate date;  // as asked (the 32nd of a month too); year 0 for none
        bool linear;
        std::time_t midnight;
    };
    static const int kDays = 16;
    Day days[kDays];
    int next;
};
CalendarMemo memo = {};

const CalendarMemo::Day& day_of(const CivilDate& date) {
    for (const CalendarMemo::Day& d : memo.days)
        if (d.date.year == date.year && d.date.month == date.month && d.date.day == date.day)
            return d;
    CalendarMemo::Day& d = memo.days[memo.next];
    memo.next = (memo.next + 1) % CalendarMemo::kDays;
    d.date = date;
    d.midnight = convert(date, {0, 0, 0});
    const std::time_t following = convert({date.year, date.month, date.day + 1}, {0, 0, 0});
    d.linear = d.midnight != (std::time_t)-1 && following != (std::time_t)-1 &&
               following - d.midnight == 86400;
    return d;
}

}  // namespace

std::time_t local_moment(const CivilDate& date, const CivilTime& time) {
    if (date.year <= 0 || time.hour < 0 || time.hour > 23 || time.minute < 0 || time.minute > 59 ||
        time.second < 0 || time.second > 59)
        return convert(date, time);
    const CalendarMemo::Day& d = day_of(date);
    if (!d.linear) return convert(date, time);
    return d.midnight + time.hour * 3600 + time.minute * 60 + time.second;
}

std::time_t local_midnight(const CivilDate& date) { return local_moment(date, {0, 0, 0}); }

void reset_calendar_memo() { memo = CalendarMemo{}; }

bool add_days(const CivilDate& date, int days, CivilDate* out, int* weekday) {
    std::tm t = wall_clock({date.year, date.month, date.day + days}, {12, 0, 0});
    if (std::mktime(&t) == (std::time_t)-1) return false;
    *out = {t.tm_year + 1900, t.tm_mon + 1, t.tm_mday};
    if (weekday) *weekday = t.tm_wday;
    return true;
}

bool local_date_of(std::time_t t, CivilDate* date, CivilTime* time, int* weekday) {
    // Within a kept ordinary day, its date and the seconds since its midnight are the answer.
    for (const CalendarMemo::Day& d : memo.days) {
        if (!d.linear || t < d.midnight || t >= d.midnight + 86400 ||
            d.date.day > days_in_month(d.date.year, d.date.month))
            continue;
        const long into = (long)(t - d.midnight);
        if (date) *date = d.date;
        if (time) *time = {(int)(into / 3600), (int)(into / 60 % 60), (int)(into % 60)};
        if (weekday) {
            // 1 January 1970 was a Thursday.
            const std::int64_t days = civil_seconds(d.date, {0, 0, 0}) / 86400;
            *weekday = (int)(((days + 4) % 7 + 7) % 7);
        }
        return true;
    }
    const std::tm* lt = std::localtime(&t);
    if (!lt) return false;
    if (date) *date = {lt->tm_year + 1900, lt->tm_mon + 1, lt->tm_mday};
    if (time) *time = {lt->tm_hour, lt->tm_min, lt->tm_sec};
    if (weekday) *weekday = lt->tm_wday;
    return true;
}

std::int64_t civil_seconds(const CivilDate& date, const CivilTime& time) {
    // Days from 1970-01-01 by the proleptic Gregorian calendar, in eras of 400 years.
    const std::int64_t y = date.year - (date.month <= 2 ? 1 : 0);
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (date.month + (date.month > 2 ? -3 : 9)) + 2) / 5 + date.day - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const std::int64_t days = era * 146097 + doe - 719468;
    return days * 86400 + time.hour * 3600 + time.minute * 60 + time.second;
}

bool utc_offset_of(std::time_t t, long* offset) {
    CivilDate d;
    CivilTime c;
    if (!local_date_of(t, &d, &c, nullptr)) return false;
    *offset = (long)(civil_seconds(d, c) - (std::int64_t)t);
    return true;
}
