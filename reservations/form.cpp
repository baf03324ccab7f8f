#include "reservations/form.h"

#include <cstring>

#include "base/sjis.h"

void strip_separators(char* text) {
    char* out = text;
    for (char* p = text; *p; ++p)
        if (*p != '/' && *p != ':') *out++ = *p;
    *out = '\0';
}

int weekday_weight(int box) { return 64 >> box; }

int weekday_mask_from_boxes(const bool boxes[7]) {
    int mask = 0;
    for (int i = 0; i < 7; ++i)
        if (boxes[i]) mask += weekday_weight(i);
    return mask;
}

void boxes_from_weekday_mask(int mask_byte, bool boxes[7]) {
    int m = (signed char)mask_byte;
    for (int i = 0; i < 7; ++i) {
        int w = weekday_weight(i);
        boxes[i] = m >= w;
        if (boxes[i]) m -= w;
    }
}

static bool six_digits(const char* text) {
    for (int i = 0; i < 6; ++i)
        if (text[i] < '0' || text[i] > '9') return false;
    return true;
}

static int two_digits(const char* piece) {
    int n = 0;
    for (int i = 0; i < 2 && piece[i] >= '0' && piece[i] <= '9'; ++i) n = n * 10 + (piece[i] - '0');
    return n;
}

bool next_day_yymmdd(const char* date, char* out) {
    if (!six_digits(date)) return false;
    std::tm t{};
    t.tm_year = 100 + two_digits(date);
    t.tm_mon = two_digits(date + 2) - 1;
    t.tm_mday = two_digits(date + 4) + 1;
    t.tm_hour = 12;  // midday: no daylight-saving change can move it to another day
    t.tm_isdst = -1;
    if (std::mktime(&t) == (std::time_t)-1) return false;
    return std::strftime(out, 7, "%y%m%d", &t) == 6;
}

// Two decimal digits of n (its last two, for any int).
static void put_two(char* out, int n) {
    int v = n % 100;
    if (v < 0) v += 100;
    out[0] = (char)('0' + v / 10);
    out[1] = (char)('0' + v % 10);
}

static void format_six(char* out, int a, int b, int c) {
    put_two(out, a);
    put_two(out + 2, b);
    put_two(out + 4, c);
    out[6] = '\0';
}

static void format_date(char* out, const FormDate& d) { format_six(out, d.year, d.month, d.day); }

static void format_time(char* out, const FormTime& t) {
    format_six(out, t.hour, t.minute, t.second);
}

int store_form_values(int index, const FormValues& v, WindowRef owner) {
    if (index >= kMaxReservations) {
        platform.messages->show(owner, "これ以上追加できません", "リストは40まで");
        return -1;
    }
    if (index < 0) return -1;
    Reservation& r = reservations.table.slots[index];
    format_time(r.start_time, v.start_time);
    format_time(r.end_time, v.end_time);
    // Never end the name in the first half of a double-byte character.
    sjis_copy_cut(r.name, sizeof(r.name), v.name, kMaxNameBytes);
    format_date(r.start_date, v.start_date);
    r.repeat_mode = v.repeat_mode;
    if (v.repeat_mode != 0) {
        format_date(r.end_date, v.end_date);
    } else if (std::strcmp(r.end_time, r.start_time) < 0) {
        // Runs past midnight: ends on the next day.
        if (!next_day_yymmdd(r.start_date, r.end_date)) std::memcpy(r.end_date, r.start_date, 7);
    } else {
        std::memcpy(r.end_date, r.start_date, 7);
    }
    r.colour = v.colour;
    r.weekday_mask = (std::uint8_t)weekday_mask_from_boxes(v.weekdays);
    return 0;
}

void form_values_for(int index, std::time_t now, FormValues* v, bool* colour_set) {
    std::memset(v, 0, sizeof(*v));
    const std::tm* lt = std::localtime(&now);
    std::tm t = lt ? *lt : std::tm{};
    FormDate today = {t.tm_year + 1900, t.tm_mon + 1, t.tm_mday};
    FormTime clock = {t.tm_hour, t.tm_min, t.tm_sec};
    v->start_date = v->end_date = today;
    v->start_time = v->end_time = clock;
    *colour_set = false;
    if (index < 0 || index >= kMaxReservations) return;
    const Reservation& r = reservations.table.slots[index];
    FIELD_COPY(v->name, r, name);
    char text[8];
    FIELD_COPY(text, r, start_date);
    v->start_date = {2000 + two_digits(text), two_digits(text + 2), two_digits(text + 4)};
    FIELD_COPY(text, r, end_date);
    v->end_date = {2000 + two_digits(text), two_digits(text + 2), two_digits(text + 4)};
    FIELD_COPY(text, r, start_time);
    v->start_time = {two_digits(text), two_digits(text + 2), two_digits(text + 4)};
    FIELD_COPY(text, r, end_time);
    v->end_time = {two_digits(text), two_digits(text + 2), two_digits(text + 4)};
    v->repeat_mode = r.repeat_mode;
    boxes_from_weekday_mask(r.weekday_mask, v->weekdays);
    v->colour = r.colour;
    *colour_set = r.colour != 0;
}
