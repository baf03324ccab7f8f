// The capture settings writers on real files through the Windows file calls: a capture
// folder with a Japanese name (the current folder), a missing file and a read-only one.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "capture_settings/settings_file.h"
#include "reservations/reservation.h"
#include "tests/support/win32_support.h"

namespace {

const char kBefore[] =
    "; 録画設定\n"
    "[Video]\r\n"
    "HRes=4\r\n"
    "OMODE=0\r\n"
    "IsEs=3\r\n"
    "[Picture]\r\n"
    "Brightness=128\r\n"
    "Hue=0";

class Win32CaptureSettings : public ::testing::Test {
protected:
    Win32FilePlatform fake;
    TempFolder folder{L"ini-録画表", true};
    void SetUp() override {
        ASSERT_TRUE(folder.made());
        set_default_reservations(reservations.table);
        std::strcpy(reservations.table.slots[0].name, "ドラマ");
    }
};

TEST_F(Win32CaptureSettings, WritersRewriteTheFileInAJapaneseFolder) {
    ASSERT_TRUE(write_whole_file(L"Krotx2.ini", kBefore));
    Reservation& r = reservations.table.slots[0];
    r.record_size_index = -1;
    r.brightness = 200;
    r.hue = 16;
    r.stream_format = 4;
    EXPECT_EQ(0, apply_recording_conditions(nullptr, 0));
    EXPECT_EQ(0, apply_picture_quality(nullptr, 0));
    EXPECT_EQ(0, apply_stream_format(nullptr, 0));
    EXPECT_EQ(0u, fake.messages.shown.size()) << fake.last_text();
    EXPECT_EQ(std::string("; 録画設定\r\n"
                          "[Video]\r\n"
                          "HRes=-1\r\n"
                          "OMODE=2\r\n"
                          "IsEs=3\r\n"
                          "[Picture]\r\n"
                          "Brightness=200\r\n"
                          "Hue=16\r\n"),
              read_whole_file(L"Krotx2.ini"));
    EXPECT_FALSE(path_exists(L"Krotx2.ini.new"));
}

TEST_F(Win32CaptureSettings, MissingFileIsReportedAndNotCreated) {
    reservations.table.slots[0].mpeg1 = 1;
    EXPECT_EQ(-1, apply_gop_structure(nullptr, 0));
    EXPECT_EQ(1u, fake.messages.shown.size());
    EXPECT_EQ("file open error \n can't detect -> Krotx1.ini", fake.last_text());
    EXPECT_EQ("err", fake.messages.shown.back().caption);
    EXPECT_FALSE(path_exists(L"Krotx1.ini"));
}

TEST_F(Win32CaptureSettings, ReadOnlyFileFailsTheWriteAndStaysWhole) {
    ASSERT_TRUE(write_whole_file(L"Krotx2.ini", kBefore));
    SetFileAttributesW(L"Krotx2.ini", FILE_ATTRIBUTE_READONLY);
    reservations.table.slots[0].hue = 99;
    EXPECT_EQ(-1, apply_picture_quality(nullptr, 0));
    EXPECT_EQ(1u, fake.messages.shown.size());
    EXPECT_EQ("file open error \n can't detect -> Krotx2.ini", fake.last_text());
    EXPECT_EQ(std::string(kBefore), read_whole_file(L"Krotx2.ini"));
    EXPECT_FALSE(path_exists(L"Krotx2.ini.new"));
}

}  // namespace
