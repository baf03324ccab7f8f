// What "新規登録" and "予約更新" store, and what the form shows for a slot.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "engine/scheduler.h"
#include "reservations/form.h"
#include "tests/support/fakes.h"

namespace {

class Form : public ::testing::Test {
protected:
    ScopedTimeZone tz{"Asia/Tokyo"};
    FakePlatform fake;
    FormValues v{};
    void SetUp() override {
        set_default_reservations(reservations.table);
        std::strcpy(v.name, "news");
        v.start_date = {2026, 12, 31};
        v.end_date = {2027, 3, 1};
        v.start_time = {23, 0, 0};
        v.end_time = {1, 0, 0};
        v.repeat_mode = 0;
        v.colour = 0x00FF00;
    }
};

TEST_F(Form, OnceOnlyPastMidnightOnNewYearsEveEndsInTheNextYear) {
    ASSERT_EQ(0, store_form_values(3, v, nullptr));
    const Reservation& r = reservations.table.slots[3];
    EXPECT_STREQ("news", r.name);
    EXPECT_STREQ("261231", r.start_date);
    EXPECT_STREQ("270101", r.end_date);
    EXPECT_STREQ("230000", r.start_time);
    EXPECT_STREQ("010000", r.end_time);
    EXPECT_EQ(0, r.repeat_mode);
    EXPECT_EQ(0x00FF00u, r.colour);
}

TEST_F(Form, EndDateRulesByModeAndTimes) {
    // Equal times keep the start date.
    v.start_time = v.end_time = {10, 0, 0};
    store_form_values(0, v, nullptr);
    EXPECT_STREQ("261231", reservations.table.slots[0].end_date);
    // A later end time keeps it too; the end picker's date is ignored once only.
    v.end_time = {10, 0, 1};
    store_form_values(0, v, nullptr);
    EXPECT_STREQ("261231", reservations.table.slots[0].end_date);
    // Weekly takes the end picker's date, whatever the times.
    v.repeat_mode = 1;
    v.end_time = {9, 0, 0};
    store_form_values(0, v, nullptr);
    EXPECT_STREQ("270301", reservations.table.slots[0].end_date);
    EXPECT_EQ(1, reservations.table.slots[0].repeat_mode);
    // End of February in a leap year, end of a month of 30 days.
    v.repeat_mode = 0;
    v.start_date = {2028, 2, 28};
    store_form_values(0, v, nullptr);
    EXPECT_STREQ("280229", reservations.table.slots[0].end_date);
    v.start_date = {2026, 4, 30};
    store_form_values(0, v, nullptr);
    EXPECT_STREQ("260501", reservations.table.slots[0].end_date);
}

TEST_F(Form, NextDayIsNotMovedByADaylightSavingChange) {
    ScopedTimeZone berlin("Europe/Berlin");
    char out[7];
    ASSERT_TRUE(next_day_yymmdd("260328", out));  // the day before summer time starts
    EXPECT_STREQ("260329", out);
    ASSERT_TRUE(next_day_yymmdd("261024", out));  // the day before it ends
    EXPECT_STREQ("261025", out);
    ASSERT_TRUE(next_day_yymmdd("261025", out));
    EXPECT_STREQ("261026", out);
    EXPECT_FALSE(next_day_yymmdd("26x025", out));
}

TEST_F(Form, WeekdayBoxesAndMaskBothWays) {
    bool boxes[7];
    boxes_from_weekday_mask(0x41, boxes);
    bool expected[7] = {true, false, false, false, false, false, true};  // 月 and 日
    for (int i = 0; i < 7; ++i) EXPECT_EQ(expected[i], boxes[i]) << i;
    EXPECT_EQ(0x41, weekday_mask_from_boxes(boxes));
    for (int mask = 0; mask < 128; ++mask) {
        boxes_from_weekday_mask(mask, boxes);
        ASSERT_EQ(mask, weekday_mask_from_boxes(boxes));
    }
    // A byte above 127 is negative as a signed byte: no box.
    boxes_from_weekday_mask(0xC1, boxes);
    for (bool b : boxes) EXPECT_FALSE(b);
    // Disabled boxes count as well: store takes whatever is checked, in any mode.
    v.weekdays[1] = v.weekdays[5] = true;  // 火 32, 土 2
    store_form_values(0, v, nullptr);
    EXPECT_EQ(34, reservations.table.slots[0].weekday_mask);
}

TEST_F(Form, FortySlotsRefuseWithTheirMessageAndStoreNothing) {
    ReservationTable before = reservations.table;
    EXPECT_EQ(-1, store_form_values(40, v, (WindowRef)0x77));
    ASSERT_EQ(1u, fake.messages.shown.size());
    EXPECT_EQ(std::string("これ以上追加できません"), fake.messages.shown[0].text);
    EXPECT_EQ(std::string("リストは40まで"), fake.messages.shown[0].caption);
    EXPECT_EQ((WindowRef)0x77, fake.messages.shown[0].owner);
    EXPECT_EQ(-1, store_form_values(-1, v, nullptr)) << "no slot selected: nothing stored";
    EXPECT_EQ(0, std::memcmp(&before, &reservations.table, sizeof(before)));
}

TEST_F(Form, NameIsCutToTwentyBytesWithoutSplittingACharacter) {
    // 19 single bytes then a double-byte character: it does not fit, so 19 bytes stay.
    std::string name = std::string(19, 'a') + "録";
    std::strcpy(v.name, name.c_str());
    store_form_values(0, v, nullptr);
    EXPECT_EQ(std::string(19, 'a'), reservations.table.slots[0].name);
    // Ten double-byte characters fill exactly 20 bytes; an eleventh is dropped.
    std::strcpy(v.name, "録画録画録画録画録画録");
    store_form_values(0, v, nullptr);
    EXPECT_EQ(std::string("録画録画録画録画録画"), reservations.table.slots[0].name);
    // An empty name stores an empty name (the slot stays free).
    v.name[0] = '\0';
    store_form_values(0, v, nullptr);
    EXPECT_EQ(0, count_in_use(reservations.table));
}

TEST_F(Form, OtherFieldsOfTheSlotAreNotTouched) {
    Reservation& r = reservations.table.slots[5];
    r.video_bitrate = 1234567;
    r.after_delay = 99;
    std::strcpy(r.move_folder, "d:\\keep");
    r.padding[0] = 0x5A;
    store_form_values(5, v, nullptr);
    EXPECT_EQ(1234567, r.video_bitrate);
    EXPECT_EQ(99, r.after_delay);
    EXPECT_STREQ("d:\\keep", r.move_folder);
    EXPECT_EQ(0x5A, r.padding[0]);
}

TEST_F(Form, ShowingASlotSplitsItsTextsOverTheCurrentTime) {
    Reservation& r = reservations.table.slots[2];
    std::strcpy(r.name, "ドラマ");
    std::strcpy(r.start_date, "270115");
    std::strcpy(r.end_date, "270430");
    std::strcpy(r.start_time, "213000");
    std::strcpy(r.end_time, "224500");
    r.repeat_mode = 1;
    r.weekday_mask = 0x41;
    r.colour = 0;
    FormValues shown;
    bool colour_set = true;
    form_values_for(2, (std::time_t)local_time(2026, 12, 7, 8, 9, 10), &shown, &colour_set);
    EXPECT_STREQ("ドラマ", shown.name);
    EXPECT_EQ(2027, shown.start_date.year);
    EXPECT_EQ(1, shown.start_date.month);
    EXPECT_EQ(15, shown.start_date.day);
    EXPECT_EQ(4, shown.end_date.month);
    EXPECT_EQ(30, shown.end_date.day);
    EXPECT_EQ(21, shown.start_time.hour);
    EXPECT_EQ(30, shown.start_time.minute);
    EXPECT_EQ(22, shown.end_time.hour);
    EXPECT_EQ(45, shown.end_time.minute);
    EXPECT_EQ(1, shown.repeat_mode);
    EXPECT_TRUE(shown.weekdays[0]);
    EXPECT_TRUE(shown.weekdays[6]);
    EXPECT_FALSE(colour_set) << "colour 0 counts as no colour";

    // Damaged texts (no NUL anywhere, letters for digits; a 13th month, a 24th hour) are
    // no date or time: today and the current time stay.
    std::memset(&r, 'x', sizeof(r));
    std::memcpy(r.end_date, "261307", 7);
    std::memcpy(r.end_time, "240000", 7);
    form_values_for(2, (std::time_t)local_time(2026, 12, 7, 8, 9, 10), &shown, &colour_set);
    EXPECT_EQ(std::string(21, 'x'), shown.name);
    for (const CivilDate& d : {shown.start_date, shown.end_date})
        EXPECT_EQ(20261207, date_number(d));
    for (const CivilTime& t : {shown.start_time, shown.end_time})
        EXPECT_EQ(8 * 3600 + 9 * 60 + 10, t.hour * 3600 + t.minute * 60 + t.second);
    // No slot: today and the current time.
    form_values_for(-1, (std::time_t)local_time(2026, 12, 7, 8, 9, 10), &shown, &colour_set);
    EXPECT_EQ(2026, shown.start_date.year);
    EXPECT_EQ(8, shown.start_time.hour);
    EXPECT_EQ(10, shown.start_time.second);
}

}  // namespace
