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

std::time_t local_moment(const CivilDate& date, const CivilTime& time) {
    std::tm t = wall_clock(date, time);
    return std::mktime(&t);
}

std::time_t local_midnight(const CivilDate& date) { return local_moment(date, {0, 0, 0}); }

bool add_days(const CivilDate& date, int days, CivilDate* out, int* weekday) {
    std::tm t = wall_clock({date.year, date.month, date.day + days}, {12, 0, 0});
    if (std::mktime(&t) == (std::time_t)-1) return false;
    *out = {t.tm_year + 1900, t.tm_mon + 1, t.tm_mday};
    if (weekday) *weekday = t.tm_wday;
    return true;
}

bool local_date_of(std::time_t t, CivilDate* date, CivilTime* time, int* weekday) {
    const std::tm* lt = std::localtime(&t);
    if (!lt) return false;
    if (date) *date = {lt->tm_year + 1900, lt->tm_mon + 1, lt->tm_mday};
    if (time) *time = {lt->tm_hour, lt->tm_min, lt->tm_sec};
    if (weekday) *weekday = lt->tm_wday;
    return true;
}
