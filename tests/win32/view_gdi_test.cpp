// The drawing primitives on real GDI device contexts, read back pixel by pixel: the
// rectangle's covered pixels, opaque and transparent text, the pictures on a real window,
// and English day names from the C runtime's strftime.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "engine/scheduler.h"
#include "view/fonts.h"
#include "view/timetable.h"
#include "view/win32/gdi.h"
#include "tests/support/core_state.h"

namespace {

const COLORREF kWhite = 0xFFFFFF;

// A 32-bit memory bitmap, so that colours read back exactly.
class MemoryCanvas : public ::testing::Test {
protected:
    static const int kW = 200, kH = 100;
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ old = nullptr;
    GdiCanvas canvas;

    void SetUp() override {
        HDC screen = GetDC(nullptr);
        dc = CreateCompatibleDC(screen);
        ReleaseDC(nullptr, screen);
        BITMAPINFO bi;
        std::memset(&bi, 0, sizeof(bi));
        bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
        bi.bmiHeader.biWidth = kW;
        bi.bmiHeader.biHeight = -kH;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        bi.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        bitmap = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
        ASSERT_NE(nullptr, bitmap);
        old = SelectObject(dc, bitmap);
        RECT all = {0, 0, kW, kH};
        HBRUSH white = CreateSolidBrush(kWhite);
        FillRect(dc, &all, white);
        DeleteObject(white);
        canvas.dc = dc;
        create_fonts();
    }
    void TearDown() override {
        delete_fonts();
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    COLORREF at(int x, int y) { return GetPixel(dc, x, y); }

    // The smallest box holding every pixel that is no longer white.
    bool changed_box(RECT* box) {
        bool any = false;
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x)
                if (at(x, y) != kWhite) {
                    if (!any) *box = {x, y, x + 1, y + 1};
                    any = true;
                    if (x < box->left) box->left = x;
                    if (y < box->top) box->top = y;
                    if (x + 1 > box->right) box->right = x + 1;
                    if (y + 1 > box->bottom) box->bottom = y + 1;
                }
        return any;
    }
};

TEST_F(MemoryCanvas, FillRectCoversLeftToRightMinusOneAndTopToBottomMinusOne) {
    canvas.fill_rect(10, 20, 30, 40, 0x5454FF);
    EXPECT_EQ(0x5454FFu, at(10, 20));
    EXPECT_EQ(0x5454FFu, at(29, 39));
    EXPECT_EQ(0x5454FFu, at(20, 30));
    EXPECT_EQ(kWhite, at(30, 20));
    EXPECT_EQ(kWhite, at(10, 40));
    EXPECT_EQ(kWhite, at(9, 20));
    EXPECT_EQ(kWhite, at(10, 19));
    RECT box;
    ASSERT_TRUE(changed_box(&box));
    EXPECT_EQ(10, box.left);
    EXPECT_EQ(20, box.top);
    EXPECT_EQ(30, box.right);
    EXPECT_EQ(40, box.bottom);

    // right = left + 1: a line one pixel wide, as the hour lines are drawn.
    canvas.fill_rect(50, 10, 51, 60, 0xFF5454);
    EXPECT_EQ(0xFF5454u, at(50, 10));
    EXPECT_EQ(0xFF5454u, at(50, 59));
    EXPECT_EQ(kWhite, at(49, 30));
    EXPECT_EQ(kWhite, at(51, 30));
    EXPECT_EQ(kWhite, at(50, 60));
}

TEST_F(MemoryCanvas, OpaqueTextFillsItsCellWithTheBackground) {
    canvas.draw_text(20, 30, 0x54FCFC, "2025/01/30", 15, 2, 0x000000);
    RECT box;
    ASSERT_TRUE(changed_box(&box));
    EXPECT_EQ(20, box.left);
    EXPECT_EQ(30, box.top);
    EXPECT_EQ(12, box.bottom - box.top);  // row 15: 12-pixel cell
    EXPECT_GT(box.right - box.left, 20);
    int background = 0, other = 0;
    for (int y = box.top; y < box.bottom; ++y)
        for (int x = box.left; x < box.right; ++x) {
            COLORREF c = at(x, y);
            EXPECT_NE(kWhite, c) << x << "," << y;
            if (c == 0x000000) ++background; else ++other;
        }
    EXPECT_GT(background, 0);
    EXPECT_GT(other, 0);  // the glyphs
}

TEST_F(MemoryCanvas, TransparentTextLeavesTheCellAlone) {
    canvas.draw_text(20, 30, 0x000000, "2025/01/30", 15, 1, 0x0000FF);
    RECT box;
    ASSERT_TRUE(changed_box(&box));
    int white = 0;
    for (int y = box.top; y < box.bottom; ++y)
        for (int x = box.left; x < box.right; ++x) {
            EXPECT_NE(0x0000FFu, at(x, y));
            if (at(x, y) == kWhite) ++white;
        }
    EXPECT_GT(white, 0);  // between the glyphs the old pixels stay
    // Japanese text goes through too.
    canvas.draw_text(20, 60, 0x000000, "録画待ちです", 15, 2, 0x00FF00);
    EXPECT_EQ(0x00FF00u, at(20, 60));
}

std::string format(const char* fmt, int year, int month, int day) {
    std::tm t;
    std::memset(&t, 0, sizeof(t));
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = 12;
    t.tm_isdst = -1;
    std::mktime(&t);
    char buf[64];
    std::strftime(buf, sizeof(buf), fmt, &t);
    return buf;
}

TEST(CRuntime, StrftimeGivesEnglishDayNames) {
    const char* names[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    for (int i = 0; i < 7; ++i) EXPECT_EQ(names[i], format("%a", 2025, 2, 3 + i));  // Monday 3 Feb
    EXPECT_EQ("01/30 Thu", format("%m/%d %a", 2025, 1, 30));
    EXPECT_EQ("250201", format("%y%m%d", 2025, 1, 32));  // normalised by mktime
    EXPECT_EQ("2025/01/30 Thu 12:00:00", format("%Y/%m/%d %a %H:%M:%S", 2025, 1, 30));
}

// The pictures through GdiSurfaces on a real window, read back from its client area.
TEST(GdiWindow, TimetableAndSwatchAppearOnTheWindow) {
    WNDCLASSW wc;
    std::memset(&wc, 0, sizeof(wc));
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"TavrelViewTest";
    wc.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH);
    RegisterClassW(&wc);
    HWND window = CreateWindowExW(WS_EX_TOPMOST, L"TavrelViewTest", L"view", WS_POPUP | WS_VISIBLE, 0, 0, 600,
                                  320, nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(nullptr, window);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    UpdateWindow(window);

    reset_core_state();
    GdiSurfaces surfaces;
    Platform saved = platform;
    platform.surfaces = &surfaces;
    create_fonts();
    std::strcpy(reservations.table.slots[0].name, "a");
    std::tm t = {};
    t.tm_year = 125;
    t.tm_mon = 0;
    t.tm_mday = 30;
    t.tm_hour = 10;
    t.tm_isdst = -1;
    std::time_t now = std::mktime(&t);
    std::memcpy(reservations.table.slots[0].start_date, "250130", 7);
    std::memcpy(reservations.table.slots[0].start_time, "230000", 7);
    std::memcpy(reservations.table.slots[0].end_time, "010000", 7);
    reservations.table.slots[0].colour = 0x00A000;
    reservations.current_colour = 0x0000C0;
    paint_main_panel(window, now, false, 0, 0);
    GdiFlush();

    HDC dc = GetDC(window);
    EXPECT_EQ(0x909090u, GetPixel(dc, 8, 8));            // frame
    EXPECT_EQ(0x000000u, GetPixel(dc, 40, 240));         // panel
    EXPECT_EQ(0xFCFCFCu, GetPixel(dc, 150, 30));         // inner band, row 1
    EXPECT_EQ(0xFF5454u, GetPixel(dc, 184, 150));        // 06:00 line
    EXPECT_EQ(0x00A000u, GetPixel(dc, 500, 50));         // bar on row 1, 488..504
    EXPECT_EQ(0x00A000u, GetPixel(dc, 94, 80));          // its second piece on row 2, 79..95
    EXPECT_EQ(0xFCFCFCu, GetPixel(dc, 97, 80));          // band after the piece
    EXPECT_EQ(0x0000C0u, GetPixel(dc, 320, 290));        // swatch
    ReleaseDC(window, dc);

    delete_fonts();
    platform = saved;
    reset_core_state();
    DestroyWindow(window);
}

}  // namespace
