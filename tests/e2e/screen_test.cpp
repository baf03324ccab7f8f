// The screenshot helper against the program's own pictures: the panel frame and the
// dialog face, pixel by pixel.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>

#include "tests/e2e/driver.h"

namespace {

using namespace e2e;

TEST(Screen, PanelFrameAndDialogFaceAreOnTheScreen) {
    CaptureFolder folder(L"screen");
    ASSERT_TRUE(folder.write_schedule(default_table()));
    Process tavrel;
    HWND hwnd = start_tavrel(tavrel, folder);
    ASSERT_NE(nullptr, hwnd);
    // Once the first paint has reached the screen: the frame and the panel inside it.
    Screenshot shot;
    wait_for_screen(shot, hwnd, [&](const Screenshot& s) {
        return s.pixel_in_client(hwnd, 8, 8) == RGB(144, 144, 144) &&
               s.pixel_in_client(hwnd, 12, 20) == RGB(0, 0, 0);
    });
    if (const char* keep = std::getenv("TAVREL_E2E_SCREENSHOT")) shot.save_bmp(windows_path(keep));
    // The panel's grey frame (7..517, 7..252) around the black panel (10..514, 10..249).
    EXPECT_EQ(RGB(144, 144, 144), shot.pixel_in_client(hwnd, 8, 8));
    EXPECT_EQ(RGB(144, 144, 144), shot.pixel_in_client(hwnd, 516, 251));
    EXPECT_EQ(RGB(0, 0, 0), shot.pixel_in_client(hwnd, 12, 20));
    // Outside it, the dialog's own face.
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), shot.pixel_in_client(hwnd, 522, 100));
    EXPECT_EQ(shot.pixel_in_client(hwnd, 8, 8), probe(Dialog(hwnd).client_origin().x + 8,
                                                       Dialog(hwnd).client_origin().y + 8));
}

}  // namespace
