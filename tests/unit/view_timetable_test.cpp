// The weekly timetable against a recording canvas: grid geometry, captions, the time axis,
// which reservations are drawn on which rows, date arithmetic across a DST change, and
// records that another program may have damaged.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "engine/scheduler.h"
#include "tests/support/fakes.h"
#include "view/timetable.h"

namespace {

WindowRef const kDialog = reinterpret_cast<WindowRef>(0x1234);

struct Box {
    int left, top, right, bottom;
    Colour colour;
};

bool operator==(const Box& a, const Box& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom &&
           a.colour == b.colour;
}

std::ostream& operator<<(std::ostream& os, const Box& b) {
    return os << "(" << b.left << "," << b.top << "," << b.right << "," << b.bottom << " #" << std::hex
              << b.colour << std::dec << ")";
}

std::vector<Box> boxes(const std::vector<DrawOp>& fills) {
    std::vector<Box> out;
    for (const DrawOp& f : fills) out.push_back({f.left, f.top, f.right, f.bottom, f.colour});
    return out;
}

// Top of the bar band on row 1..7: 26 on row 1, 30 px lower per row.
int band_top(int row) { return 26 + 30 * (row - 1); }
int band_bottom(int row) { return 53 + 30 * (row - 1); }

void set_field(char* field, std::size_t size, const char* text) {
    std::memset(field, 0, size);
    std::memcpy(field, text, std::min(size, std::strlen(text)));
}

Reservation& put(int k, const char* name, const char* date, const char* start, const char* end,
                 Colour colour = 0x123456) {
    Reservation& r = reservations.table.slots[k];
    std::memset(&r, 0, sizeof(r));
    set_field(r.name, sizeof(r.name), name);
    set_field(r.start_date, sizeof(r.start_date), date);
    set_field(r.end_date, sizeof(r.end_date), date);
    set_field(r.start_time, sizeof(r.start_time), start);
    set_field(r.end_time, sizeof(r.end_time), end);
    r.colour = colour;
    return r;
}

Reservation& put_weekly(int k, const char* first, const char* last, int mask, Colour colour = 0x00AA00) {
    Reservation& r = put(k, "weekly", first, "200000", "210000", colour);
    set_field(r.end_date, sizeof(r.end_date), last);
    r.repeat_mode = 1;
    r.weekday_mask = (std::uint8_t)mask;
    return r;
}

class Timetable : public ::testing::Test {
protected:
    FakePlatform fake;
    ScopedTimeZone tz{"Asia/Tokyo"};
    // Thursday 30 January 2025, 10:00:00 in Tokyo.
    std::time_t now = (std::time_t)local_time(2025, 1, 30, 10, 0, 0);

    std::vector<Box> bars() {
        fake.surfaces.ops.clear();
        paint_reservation_bars(kDialog, kTimetableRect, now);
        return boxes(fake.surfaces.fills());
    }
    std::vector<std::string> captions() {
        fake.surfaces.ops.clear();
        paint_timetable_grid(kDialog, kTimetableRect, now);
        std::vector<std::string> out;
        for (const DrawOp& t : fake.surfaces.texts())
            if (t.x == 15) out.push_back(t.text);
        return out;
    }
};

TEST_F(Timetable, GridFrameBandsCaptionsHourMarksAndClock) {
    paint_timetable_grid(kDialog, kTimetableRect, now);
    EXPECT_EQ(1, fake.surfaces.open_count);
    EXPECT_EQ(1, fake.surfaces.close_count);

    std::vector<Box> expected = {{7, 7, 518, 253, 0x909090}, {10, 10, 515, 250, 0x000000}};
    for (int row = 1; row <= 7; ++row) {
        expected.push_back({79, band_top(row), 505, band_bottom(row), 0xB4B4B4});
        expected.push_back({79, band_top(row), 505, band_bottom(row), 0xFCFCFC});
    }
    for (int x : {78, 184, 291, 398}) expected.push_back({x, 26, x + 1, 250, 0xFF5454});
    EXPECT_EQ(expected, boxes(fake.surfaces.fills()));

    const char* days[] = {"01/30 Thu", "01/31 Fri", "02/01 Sat", "02/02 Sun",
                          "02/03 Mon", "02/04 Tue", "02/05 Wed"};
    std::vector<DrawOp> texts = fake.surfaces.texts();
    ASSERT_EQ(7u + 4u + 1u, texts.size());
    for (int i = 0; i < 7; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(days[i], texts[i].text);
        EXPECT_EQ(15, texts[i].x);
        EXPECT_EQ(32 + 30 * i, texts[i].y);
        EXPECT_EQ(4, texts[i].font_row);
        EXPECT_EQ(0x54FCFCu, texts[i].colour);
        EXPECT_EQ(1, texts[i].bk_mode);
    }
    const char* labels[] = {"0", "6", "12", "18"};
    const int label_x[] = {74, 181, 284, 391};
    for (int i = 0; i < 4; ++i) {
        const DrawOp& t = texts[7 + i];
        EXPECT_EQ(labels[i], t.text);
        EXPECT_EQ(label_x[i], t.x);
        EXPECT_EQ(12, t.y);
        EXPECT_EQ(4, t.font_row);
        EXPECT_EQ(1, t.bk_mode);
        EXPECT_EQ(0x54FCFCu, t.colour);
    }
    const DrawOp& clock = texts[11];
    EXPECT_EQ("2025/01/30 Thu 10:00:00", clock.text);
    EXPECT_EQ(200, clock.x);
    EXPECT_EQ(235, clock.y);
    EXPECT_EQ(15, clock.font_row);
    EXPECT_EQ(2, clock.bk_mode);
    EXPECT_EQ(0x000000u, clock.bk_colour);
    EXPECT_EQ(0x54FCFCu, clock.colour);
}

TEST_F(Timetable, TimeAxisPointsAndOnePixelBars) {
    // Equal start and end: a bar one pixel wide at the point of that time.
    put(0, "a", "250130", "000000", "000000");
    put(1, "b", "250131", "010000", "010000");
    put(2, "c", "250201", "060000", "060030");  // seconds are ignored
    put(3, "d", "250202", "230000", "230000");
    put(4, "e", "250203", "010000", "060000", 0x5454FF);
    std::vector<Box> expected = {
        {78, band_top(1), 79, band_bottom(1), 0x123456},   {96, band_top(2), 97, band_bottom(2), 0x123456},
        {185, band_top(3), 186, band_bottom(3), 0x123456}, {488, band_top(4), 489, band_bottom(4), 0x123456},
        {96, band_top(5), 185, band_bottom(5), 0x5454FF},
    };
    EXPECT_EQ(expected, bars());
}

TEST_F(Timetable, OvernightBarRunsOntoTheNextRow) {
    put(0, "night", "250130", "230000", "010000", 0x5454FF);
    std::vector<Box> expected = {{488, 26, 505, 53, 0x5454FF}, {79, 56, 96, 83, 0x5454FF}};
    EXPECT_EQ(expected, bars());
    // Each piece is labelled with the number at its left edge on the row's centre line.
    std::vector<DrawOp> labels = fake.surfaces.texts();
    ASSERT_EQ(2u, labels.size());
    EXPECT_EQ("1", labels[0].text);
    EXPECT_EQ(488, labels[0].x);
    EXPECT_EQ(40, labels[0].y);
    EXPECT_EQ(79, labels[1].x);
    EXPECT_EQ(70, labels[1].y);
    for (const DrawOp& l : labels) {
        EXPECT_EQ(1, l.font_row);
        EXPECT_EQ(0x000000u, l.colour);
        EXPECT_EQ(2, l.bk_mode);
        EXPECT_EQ(0xFCFCFCu, l.bk_colour);
    }
    // The label follows its piece.
    EXPECT_EQ(DrawOp::Fill, fake.surfaces.ops[0].kind);
    EXPECT_EQ(DrawOp::Text, fake.surfaces.ops[1].kind);

    // Six days ahead: only the first piece, on row 7.
    put(0, "night", "250205", "230000", "010000", 0x5454FF);
    expected = {{488, 206, 505, 233, 0x5454FF}};
    EXPECT_EQ(expected, bars());
    // Yesterday: its morning part is not shown on today's row.
    put(0, "night", "250129", "230000", "010000");
    EXPECT_TRUE(bars().empty());
}

TEST_F(Timetable, OvernightEdges) {
    // Ending at midnight exactly: nothing on the next day.
    put(0, "a", "250130", "230000", "000000");
    std::vector<Box> expected = {{488, 26, 505, 53, 0x123456}};
    EXPECT_EQ(expected, bars());
    // Starting at 23:59 (x 505): the first piece is still one pixel wide.
    put(0, "a", "250130", "235900", "003000");
    std::vector<Box> got = bars();
    ASSERT_EQ(2u, got.size());
    EXPECT_EQ((Box{505, 26, 506, 53, 0x123456}), got[0]);
    EXPECT_EQ(79, got[1].left);
    EXPECT_EQ(56, got[1].top);
}

TEST_F(Timetable, FirstEmptyNameEndsTheTable) {
    put(0, "a", "250130", "100000", "110000");
    put(2, "c", "250130", "120000", "130000");  // slot 1 empty
    EXPECT_EQ(1u, bars().size());
    reservations.table.slots[0].name[0] = '\0';
    EXPECT_TRUE(bars().empty());
    // The grid and clock are still drawn with an empty table.
    EXPECT_EQ(7u, captions().size());
}

TEST_F(Timetable, LaterReservationsDrawOverEarlierOnesAndLabelsCount) {
    for (int k = 0; k < 40; ++k) put(k, "x", "250130", "100000", "110000", (Colour)k);
    std::vector<Box> got = bars();
    ASSERT_EQ(40u, got.size());
    EXPECT_EQ(39u, got.back().colour);
    EXPECT_EQ("40", fake.surfaces.texts().back().text);
}

TEST_F(Timetable, WeeklyMasks) {
    put_weekly(0, "250101", "251231", 0);
    EXPECT_TRUE(bars().empty());

    put_weekly(0, "250101", "251231", 0x7F);
    std::vector<Box> got = bars();
    ASSERT_EQ(7u, got.size());
    std::vector<int> tops;
    for (const Box& b : got) tops.push_back(b.top);
    std::sort(tops.begin(), tops.end());
    for (int row = 1; row <= 7; ++row) EXPECT_EQ(band_top(row), tops[row - 1]);

    // Monday only, seen on Thursday: the Monday four days ahead (row 5).
    put_weekly(0, "250101", "251231", 64);
    got = bars();
    ASSERT_EQ(1u, got.size());
    EXPECT_EQ(band_top(5), got[0].top);
    // Thursday only: today.
    put_weekly(0, "250101", "251231", 8);
    got = bars();
    ASSERT_EQ(1u, got.size());
    EXPECT_EQ(band_top(1), got[0].top);
    // The period is inclusive at both ends.
    put_weekly(0, "250130", "250130", 0x7F);
    got = bars();
    ASSERT_EQ(1u, got.size());
    EXPECT_EQ(band_top(1), got[0].top);
    // Sunday only, seen on a Sunday: today, not a week ahead.
    now = (std::time_t)local_time(2025, 2, 2, 8, 0, 0);
    put_weekly(0, "250101", "251231", 1);
    got = bars();
    ASSERT_EQ(1u, got.size());
    EXPECT_EQ(band_top(1), got[0].top);
}

TEST_F(Timetable, WeeklyPeriodStartingNextMonth) {
    // Wednesday 29 January: rows show 01/29 .. 02/04; the period starts 1 February.
    now = (std::time_t)local_time(2025, 1, 29, 21, 0, 0);
    put_weekly(0, "250201", "250630", 0x7F);
    std::vector<int> tops;
    for (const Box& b : bars()) tops.push_back(b.top);
    std::sort(tops.begin(), tops.end());
    std::vector<int> expected = {band_top(4), band_top(5), band_top(6), band_top(7)};
    EXPECT_EQ(expected, tops);
    // Once-only dates also roll over the month end.
    put(0, "a", "250201", "100000", "110000");
    std::vector<Box> got = bars();
    ASSERT_EQ(1u, got.size());
    EXPECT_EQ(band_top(4), got[0].top);
}

TEST(TimetableDst, RowsAreConsecutiveDatesAcrossADaylightSavingChange) {
    FakePlatform fake;
    ScopedTimeZone tz("Europe/Berlin");
    // Late in the evening before clocks go forward (31 March 2024, 02:00).
    std::time_t now = (std::time_t)local_time(2024, 3, 30, 23, 30, 0);
    paint_timetable_grid(kDialog, kTimetableRect, now);
    std::vector<std::string> got;
    for (const DrawOp& t : fake.surfaces.texts())
        if (t.x == 15) got.push_back(t.text);
    std::vector<std::string> expected = {"03/30 Sat", "03/31 Sun", "04/01 Mon", "04/02 Tue",
                                         "04/03 Wed", "04/04 Thu", "04/05 Fri"};
    EXPECT_EQ(expected, got);
    EXPECT_EQ("2024/03/30 Sat 23:30:00", fake.surfaces.texts().back().text);

    // A once-only reservation on the day of the change, and a weekly one on Sundays.
    put(0, "a", "240331", "100000", "110000");
    put_weekly(1, "240301", "240430", 1);
    fake.surfaces.ops.clear();
    paint_reservation_bars(kDialog, kTimetableRect, now);
    std::vector<Box> bars = boxes(fake.surfaces.fills());
    ASSERT_EQ(2u, bars.size());
    EXPECT_EQ(band_top(2), bars[0].top);
    EXPECT_EQ(band_top(2), bars[1].top);

    // Late in the evening before clocks go back (27 October 2024, 03:00).
    now = (std::time_t)local_time(2024, 10, 26, 23, 30, 0);
    fake.surfaces.ops.clear();
    paint_timetable_grid(kDialog, kTimetableRect, now);
    EXPECT_EQ("10/27 Sun", fake.surfaces.texts()[1].text);
    EXPECT_EQ("10/28 Mon", fake.surfaces.texts()[2].text);
}

// A record is drawn only when its dates and times are a valid date and time, the same
// rule by which the scheduler starts it.
TEST_F(Timetable, BadTimesAndDatesAreNotDrawn) {
    put(0, "a", "250130", "250000", "260000");  // hour 25
    put(1, "b", "250130", "1060xx", "110000");  // minute 60
    put(2, "c", "250130", "ab0000", "110000");  // not digits
    put(3, "d", "250130", "10", "110000");      // too short
    put(4, "e", "251301", "100000", "110000");  // month 13 is never a shown date
    put_weekly(5, "2501", "251231", 0x7F);      // weekly period not six digits
    put_weekly(6, "250101", "25123x", 0x7F);
    put_weekly(7, "250101", "251301", 0x7F);    // month 13 ends no period
    put(8, "f", "250130", "100060", "110000");  // second 60
    Reservation& r = put(9, "g", "250130", "", "110000");
    std::memcpy(r.start_time, "1000009", 7);    // no NUL: runs into the next field
    EXPECT_TRUE(bars().empty());

    // A reservation after the bad ones is still drawn, also with a 21-byte name.
    Reservation& ok = put(10, "", "250130", "100000", "110000");
    std::memset(ok.name, 'N', sizeof(ok.name));
    std::vector<Box> expected = {{256, 26, 274, 53, 0x123456}};  // 10:00 .. 11:00
    EXPECT_EQ(expected, bars());
}

TEST_F(Timetable, OnlySevenBitsOfTheMaskAreWeekdays) {
    put_weekly(0, "250101", "251231", 0xFF);
    EXPECT_EQ(7u, bars().size());
    put_weekly(0, "250101", "251231", 0x80);
    EXPECT_TRUE(bars().empty());
}

TEST_F(Timetable, DamagedTablesNeverDrawOutsideThePanel) {
    std::mt19937 gen(7);
    for (int round = 0; round < 200; ++round) {
        unsigned char* bytes = reinterpret_cast<unsigned char*>(&reservations.table);
        for (std::size_t i = 0; i < sizeof(reservations.table); ++i) bytes[i] = (unsigned char)gen();
        // Plausible digits in some rounds so that bars do get drawn.
        for (int k = 0; k < kMaxReservations; ++k) {
            Reservation& r = reservations.table.slots[k];
            r.name[0] = 'n';
            if (round % 2) {
                std::memcpy(r.start_date, "250101", 6);
                std::memcpy(r.end_date, "251231", 6);
                for (int i = 0; i < 4; ++i) {
                    r.start_time[i] = (char)('0' + gen() % 10);
                    r.end_time[i] = (char)('0' + gen() % 10);
                }
                r.repeat_mode = round % 4 == 1;
            }
        }
        fake.surfaces.ops.clear();
        paint_reservation_bars(kDialog, kTimetableRect, now);
        for (const DrawOp& op : fake.surfaces.ops) {
            if (op.kind == DrawOp::Fill) {
                EXPECT_GE(op.left, kTimetableRect.left);
                EXPECT_LE(op.right, kTimetableRect.right);
                EXPECT_LT(op.left, op.right);
                EXPECT_GE(op.top, kTimetableRect.top);
                EXPECT_LE(op.bottom, kTimetableRect.bottom);
            } else {
                EXPECT_GE(op.x, kTimetableRect.left);
                EXPECT_LT(op.x, kTimetableRect.right);
                EXPECT_GE(op.y, kTimetableRect.top);
                EXPECT_LT(op.y, kTimetableRect.bottom);
            }
        }
    }
    // Out-of-range index or day: nothing at all.
    put(0, "a", "250130", "100000", "110000");
    fake.surfaces.ops.clear();
    paint_reservation_bar(kDialog, kTimetableRect, 40, 0);
    paint_reservation_bar(kDialog, kTimetableRect, -1, 0);
    paint_reservation_bar(kDialog, kTimetableRect, 0, 7);
    paint_reservation_bar(kDialog, kTimetableRect, 0, -1);
    EXPECT_TRUE(fake.surfaces.ops.empty());
    EXPECT_EQ(fake.surfaces.open_count, fake.surfaces.close_count);
}

TEST_F(Timetable, MainPanelChoosesThePicture) {
    put(0, "a", "250130", "100000", "110000");
    reservations.current_colour = 0x00FF00;
    paint_main_panel(kDialog, now, false, 5, 0);
    EXPECT_EQ(3, fake.surfaces.open_count);
    EXPECT_EQ(3, fake.surfaces.close_count);
    std::vector<Box> fills = boxes(fake.surfaces.fills());
    // Frame, 14 band fills, 4 hour lines, the bar, then the swatch.
    ASSERT_EQ(2u + 14u + 4u + 1u + 1u, fills.size());
    EXPECT_EQ((Box{256, 26, 274, 53, 0x123456}), fills[20]);
    EXPECT_EQ((Box{315, 278, 365, 294, 0x00FF00}), fills.back());
    for (const DrawOp& op : fake.surfaces.ops) EXPECT_EQ(kDialog, op.window);

    fake.surfaces.ops.clear();
    paint_main_panel(kDialog, now, true, 5, 0);
    EXPECT_EQ(2u, fake.surfaces.fills().size());
    EXPECT_EQ(5u, fake.surfaces.texts().size());

    // The clock on its own, at the end of a day.
    fake.surfaces.ops.clear();
    paint_clock(kDialog, (std::time_t)local_time(2025, 12, 31, 23, 59, 59));
    ASSERT_EQ(1u, fake.surfaces.ops.size());
    EXPECT_EQ("2025/12/31 Wed 23:59:59", fake.surfaces.ops[0].text);
}

}  // namespace
