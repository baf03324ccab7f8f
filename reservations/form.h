// The rules of the reservation form, apart from its controls: what "新規登録" and
// "予約更新" store into a slot, and what the form shows for a slot.
#pragma once
#include <ctime>
#include "base/calendar.h"
#include "base/platform.h"
#include "reservations/reservation.h"

// The form's controls as values.
struct FormValues {
    char name[64];       // Shift-JIS text of the name box (cut to 20 bytes when stored)
    CivilDate start_date, end_date;
    CivilTime start_time, end_time;
    int repeat_mode;     // selected entry of the repeat-mode list (0 once only, 1 weekly)
    bool weekdays[7];    // boxes "月" .. "日"
    Colour colour;
};

const int kMaxNameBytes = 20;

// The weight of weekday box i (0 Monday .. 6 Sunday): 64 >> i.
int weekday_weight(int box);
// The mask of the checked boxes.
int weekday_mask_from_boxes(const bool boxes[7]);
// The boxes a stored mask checks (the mask read as a signed byte, weights taken off from
// Monday on).
void boxes_from_weekday_mask(int mask_byte, bool boxes[7]);

// yymmdd of the day after the yymmdd date (calendar carried over); out holds 7 bytes.
// False when date is not a valid date.
bool next_day_yymmdd(const char* date, char* out);

// What storing the form writes into a record: the name cut to whole characters, the
// dates and times (a once-only record ends on the next day when its end time is before its
// start time), the mode, the weekdays and the colour. Every other field is left as it is.
void store_values(Reservation& r, const FormValues& values);

// Stores the form into slot index. Refuses with the message "これ以上追加できません" /
// "リストは40まで" (owned by owner) when index is 40 or more, and stores nothing for a
// negative index; returns 0 when stored, -1 otherwise.
int store_form_values(int index, const FormValues& values, WindowRef owner);

// What the form shows for slot index, on top of the current local time now: the name,
// the dates and times read from their texts (a text that is not a valid date or time, as
// a damaged file may hold, leaves today's date or the current time), the repeat mode, the
// weekday boxes; *colour_set tells whether the slot has a colour of its own (0 means none).
void form_values_for(int index, std::time_t now, FormValues* values, bool* colour_set);
