#include "reservations/form.h"

#include <cstring>

#include "base/sjis.h"

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

bool next_day_yymmdd(const char* date, char* out) {
    CivilDate day, next;
    if (!parse_yymmdd(date, &day) || !add_days(day, 1, &next, nullptr)) return false;
    format_yymmdd(next, out);
    return true;
}

void store_values(Reservation& r, const FormValues& v) {
    format_hhmmss(v.start_time, r.start_time);
    format_hhmmss(v.end_time, r.end_time);
    // Never end the name in the first half of a double-byte character.
    sjis_copy_cut(r.name, sizeof(r.name), v.name, kMaxNameBytes);
    format_yymmdd(v.start_date, r.start_date);
    r.repeat_mode = v.repeat_mode;
    if (v.repeat_mode != 0) {
        format_yymmdd(v.end_date, r.end_date);
    } else if (std::strcmp(r.end_time, r.start_time) < 0) {
        // Runs past midnight: ends on the next day.
        if (!next_day_yymmdd(r.start_date, r.end_date)) std::memcpy(r.end_date, r.start_date, 7);
    } else {
        std::memcpy(r.end_date, r.start_date, 7);
    }
    r.colour = v.colour;
    r.weekday_mask = (std::uint8_t)weekday_mask_from_boxes(v.weekdays);
}

int store_form_values(int index, const FormValues& v, WindowRef owner) {
    if (index >= kMaxReservations) {
        platform.messages->show(owner, "これ以上追加できません", "リストは40まで");
        return -1;
    }
    if (index < 0) return -1;
    store_values(reservations.table.slots[index], v);
    return 0;
}

void form_values_for(int index, std::time_t now, FormValues* v, bool* colour_set) {
    std::memset(v, 0, sizeof(*v));
    CivilDate today = {2000, 1, 1};
    CivilTime clock = {0, 0, 0};
    local_date_of(now, &today, &clock, nullptr);
    v->start_date = v->end_date = today;
    v->start_time = v->end_time = clock;
    *colour_set = false;
    if (index < 0 || index >= kMaxReservations) return;
    const Reservation& r = reservations.table.slots[index];
    FIELD_COPY(v->name, r, name);
    parse_yymmdd(r.start_date, &v->start_date);
    parse_yymmdd(r.end_date, &v->end_date);
    parse_hhmmss(r.start_time, &v->start_time);
    parse_hhmmss(r.end_time, &v->end_time);
    v->repeat_mode = r.repeat_mode;
    boxes_from_weekday_mask(r.weekday_mask, v->weekdays);
    v->colour = r.colour;
    *colour_set = r.colour != 0;
}
