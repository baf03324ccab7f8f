// The main dialog's panel as it appears on the screen: frame, bands, hour lines, the bars
// of reservations read from "recdata.dat" at start, the running clock, and the panel and
// swatch drawn again after an invalidation with erase.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "tests/e2e/driver.h"

namespace {

void set_field(char* field, std::size_t size, const char* text) {
    std::memset(field, 0, size);
    const std::size_t n = std::strlen(text);
    std::memcpy(field, text, n < size - 1 ? n : size - 1);
}

// yymmdd of today + days.
std::string date_yymmdd(int days) {
    std::time_t now = std::time(nullptr);
    std::tm t = *std::localtime(&now);
    t.tm_mday += days;
    t.tm_hour = 12;
    t.tm_isdst = -1;
    std::mktime(&t);
    char buf[16];
    std::strftime(buf, sizeof(buf), "%y%m%d", &t);
    return buf;
}

// Pixels of the clock's line that differ between two screenshots.
int clock_pixels_changed(const e2e::Screenshot& a, const e2e::Screenshot& b, HWND dialog) {
    int changed = 0;
    for (int y = 235; y < 247; ++y)
        for (int x = 200; x < 420; ++x)
            if (a.pixel_in_client(dialog, x, y) != b.pixel_in_client(dialog, x, y)) ++changed;
    return changed;
}

TEST(Pictures, TimetableBarsAndClockOnTheScreen) {
    const std::string today = date_yymmdd(0), tomorrow = date_yymmdd(1);
    ReservationTable table = e2e::default_table();
    // None of these may fall due while the test runs, or a recording would replace the
    // timetable: the once-only ones end before they start (the timetable reads only their
    // start date), and the weekly one begins tomorrow.
    // 06:00 to 12:00 today: x 185 to 292 on row 1 (y 26 to 53).
    set_field(table.slots[0].name, sizeof(table.slots[0].name), "ニュース");
    set_field(table.slots[0].start_date, 7, today.c_str());
    set_field(table.slots[0].end_date, 7, "000101");
    set_field(table.slots[0].start_time, 7, "060000");
    set_field(table.slots[0].end_time, 7, "120000");
    table.slots[0].colour = 0x00C000;
    // 23:00 to 01:00 today: 488 to 505 on row 1, 79 to 96 on row 2 (y 56 to 83).
    set_field(table.slots[1].name, sizeof(table.slots[1].name), "映画");
    set_field(table.slots[1].start_date, 7, today.c_str());
    set_field(table.slots[1].end_date, 7, "000101");
    set_field(table.slots[1].start_time, 7, "230000");
    set_field(table.slots[1].end_time, 7, "010000");
    table.slots[1].colour = 0xC0C000;
    // Weekly, every day from tomorrow, 18:30 to 21:00: 408 to 452 on rows 2 to 7.
    set_field(table.slots[2].name, sizeof(table.slots[2].name), "天気");
    set_field(table.slots[2].start_date, 7, tomorrow.c_str());
    set_field(table.slots[2].end_date, 7, "991231");
    set_field(table.slots[2].start_time, 7, "183000");
    set_field(table.slots[2].end_time, 7, "210000");
    table.slots[2].repeat_mode = 1;
    table.slots[2].weekday_mask = 0x7F;
    table.slots[2].colour = 0x3080FF;

    e2e::CaptureFolder folder(L"pictures");
    ASSERT_TRUE(folder.write_schedule(table));
    e2e::Process tavrel;
    ASSERT_TRUE(tavrel.start(e2e::tavrel_exe(), folder.path()));
    HWND dialog = e2e::wait_main_dialog(tavrel.pid(), 15000);
    ASSERT_NE(nullptr, dialog);
    // A command ends with the paint step, as after any click.
    e2e::Dialog(dialog).command(IDC_CAPTURE_PLAY);
    // A few points of the timetable and the swatch tell that the picture has reached the
    // screen; the checks below look at the rest, and say what is missing if it never does.
    auto drawn = [&](const e2e::Screenshot& s) {
        return s.pixel_in_client(dialog, 150, 30) == 0xFCFCFCu &&
               s.pixel_in_client(dialog, 240, 50) == 0x00C000u &&
               s.pixel_in_client(dialog, 440, 90) == 0x3080FFu &&
               s.pixel_in_client(dialog, 340, 286) == 0x5454FFu;
    };
    e2e::Screenshot shot;
    e2e::wait_for_screen(shot, dialog, drawn);
    if (today != date_yymmdd(0)) GTEST_SKIP() << "the date changed during the test";
    auto at = [&](int x, int y) { return shot.pixel_in_client(dialog, x, y); };

    EXPECT_EQ(0x909090u, at(8, 100));   // frame, left of the panel
    EXPECT_EQ(0x909090u, at(516, 8));   // frame, top right
    EXPECT_EQ(0x000000u, at(40, 240));  // panel
    EXPECT_EQ(0x000000u, at(508, 100)); // panel, right of the bands
    EXPECT_EQ(0xFCFCFCu, at(150, 30));  // inner band, row 1
    EXPECT_EQ(0xFCFCFCu, at(300, 220)); // inner band, row 7
    EXPECT_EQ(0xFF5454u, at(184, 150)); // the 06:00 line over row 5
    EXPECT_EQ(0xFF5454u, at(398, 249)); // the 18:00 line down to the panel's bottom

    EXPECT_EQ(0x00C000u, at(240, 50));  // first bar
    EXPECT_EQ(0x00C000u, at(291, 27));  // its last column, over the 12:00 line
    EXPECT_EQ(0xFCFCFCu, at(292, 27));
    EXPECT_EQ(0xFF5454u, at(184, 27));  // the line just left of it
    EXPECT_EQ(0x00C000u, at(250, 52));
    EXPECT_NE(0x00C000u, at(250, 53));

    EXPECT_EQ(0xC0C000u, at(500, 30));  // overnight bar, row 1
    EXPECT_EQ(0xC0C000u, at(92, 80));   // and its morning on row 2
    EXPECT_EQ(0xFCFCFCu, at(97, 80));

    EXPECT_EQ(0xFCFCFCu, at(440, 30));
    for (int row = 2; row <= 7; ++row) EXPECT_EQ(0x3080FFu, at(440, 30 * row)) << row;
    EXPECT_FALSE(e2e::find_capture_window());

    // The clock advances, once a second.
    e2e::Screenshot later;
    EXPECT_TRUE(e2e::wait_for_screen(later, dialog, [&](const e2e::Screenshot& s) {
        return clock_pixels_changed(shot, s, dialog) > 0;
    }));

    // Invalidated with erase, as when a window that covered the dialog goes away: the
    // dialog's background is erased, and the panel must be drawn again over it. Painted at
    // once (RDW_UPDATENOW) and from the dialog's own queue; from another process, under
    // Wine, only the queued paint showed a panel wiped by the erase.
    auto expect_repainted = [&](const e2e::Screenshot& s, const char* when) {
        auto px = [&](int x, int y) { return s.pixel_in_client(dialog, x, y); };
        EXPECT_EQ(0xFCFCFCu, px(150, 30)) << when;  // inner band
        EXPECT_EQ(0xFF5454u, px(184, 150)) << when; // hour line
        EXPECT_EQ(0x00C000u, px(240, 50)) << when;  // first bar
        EXPECT_EQ(0x3080FFu, px(440, 90)) << when;  // weekly bar
        EXPECT_EQ(0x5454FFu, px(340, 286)) << when; // swatch, in the default colour
        // The swatch's sunken frame: shadow above and left, highlight below and right.
        RECT f = e2e::Dialog(dialog).item_rect(GetDlgItem(dialog, IDC_SWATCH_FRAME));
        const LONG mid_x = (f.left + f.right) / 2, mid_y = (f.top + f.bottom) / 2;
        EXPECT_EQ(GetSysColor(COLOR_BTNSHADOW), px(f.left, mid_y)) << when;
        EXPECT_EQ(GetSysColor(COLOR_BTNSHADOW), px(mid_x, f.top)) << when;
        EXPECT_EQ(GetSysColor(COLOR_3DDKSHADOW), px(f.left + 1, mid_y)) << when;
        EXPECT_EQ(GetSysColor(COLOR_BTNHIGHLIGHT), px(f.right - 1, mid_y)) << when;
        EXPECT_EQ(GetSysColor(COLOR_BTNHIGHLIGHT), px(mid_x, f.bottom - 1)) << when;
    };
    expect_repainted(later, "before");
    for (UINT now : {(UINT)RDW_UPDATENOW, 0u}) {
        ASSERT_TRUE(RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | now));
        e2e::Screenshot redrawn;
        e2e::wait_for_screen(redrawn, dialog, drawn);
        expect_repainted(redrawn, now ? "painted at once" : "painted from the queue");
    }

    // For the documentation: TAVREL_SCREENSHOT=<file.bmp> keeps the screen.
    const char* keep = std::getenv("TAVREL_SCREENSHOT");
    if (keep && *keep) {
        later.save_bmp(e2e::windows_path(keep));
        RECT r;
        GetWindowRect(dialog, &r);
        std::printf("dialog at %ld,%ld size %ldx%ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
    }
}

}  // namespace
