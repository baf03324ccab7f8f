// "recdata.dat" through the real Windows file calls: round trip, a read-only file, a
// folder in the file's place, and a Japanese folder name.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "reservations/reservation.h"
#include "tests/support/win32_support.h"

namespace {

class Win32ScheduleFile : public ::testing::Test {
protected:
    Win32FilePlatform fake;
    TempFolder folder{L"test-録画", false};
    const std::string path = folder.sjis() + "\\recdata.dat";
    const std::wstring wide_path = folder.file(L"recdata.dat");
    void SetUp() override { ASSERT_TRUE(folder.made()); }
};

TEST_F(Win32ScheduleFile, CreatesDefaultsThenRoundTripsByteForByte) {
    EXPECT_EQ(-1, load_schedule(reservations.table, nullptr, path.c_str()));
    EXPECT_EQ(1u, fake.messages.shown.size());
    EXPECT_EQ(11040u, read_whole_file(wide_path).size());

    std::strcpy(reservations.table.slots[0].name, "ドラマ表");  // a trail byte of 0x5C
    reservations.table.slots[0].colour = 0x00FF00;
    std::strcpy(reservations.table.slots[0].move_folder, "d:\\録画\\ソフト");
    ASSERT_EQ(0, save_schedule(reservations.table, nullptr, path.c_str()));
    std::string bytes = read_whole_file(wide_path);
    ASSERT_EQ(11040u, bytes.size());
    EXPECT_EQ(0, std::memcmp(bytes.data(), &reservations.table, 11040));

    ReservationTable copy;
    std::memset(&copy, 0, sizeof(copy));
    EXPECT_EQ(0, load_schedule(copy, nullptr, path.c_str()));
    EXPECT_EQ(0, std::memcmp(&copy, &reservations.table, sizeof(copy)));
    EXPECT_EQ(1u, fake.messages.shown.size());
    EXPECT_FALSE(path_exists(wide_path + L".new"));
}

TEST_F(Win32ScheduleFile, ReadOnlyFileFailsTheSaveAndStaysWhole) {
    set_default_reservations(reservations.table);
    ASSERT_EQ(0, save_schedule(reservations.table, nullptr, path.c_str()));
    std::string before = read_whole_file(wide_path);
    SetFileAttributesW(wide_path.c_str(), FILE_ATTRIBUTE_READONLY);
    std::strcpy(reservations.table.slots[0].name, "changed");
    EXPECT_EQ(-1, save_schedule(reservations.table, nullptr, path.c_str()));
    EXPECT_EQ(1u, fake.messages.shown.size());
    EXPECT_EQ("ファイルを開けませんでした", fake.last_text());
    EXPECT_EQ("失敗", fake.messages.shown.back().caption);
    EXPECT_EQ(before, read_whole_file(wide_path));
}

TEST_F(Win32ScheduleFile, FolderInPlaceOfTheFileFailsTheSave) {
    CreateDirectoryW(wide_path.c_str(), nullptr);
    EXPECT_EQ(-1, save_schedule(reservations.table, nullptr, path.c_str()));
    EXPECT_EQ(1u, fake.messages.shown.size());
    DWORD attr = GetFileAttributesW(wide_path.c_str());
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, attr);
    EXPECT_TRUE(attr & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace
