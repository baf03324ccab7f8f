// "recdata.dat" through the real Windows file calls: round trip, a read-only file, a
// folder in the file's place, and a Japanese folder name.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "engine/scheduler.h"
#include "base/win32/text.h"
#include "base/win32/win32_platform.h"
#include "reservations/reservation.h"

namespace {

struct CountingBoxes : MessageBoxes {
    int count = 0;
    std::string last_text, last_caption;
    void show(WindowRef, const char* text, const char* caption) override {
        ++count;
        last_text = text;
        last_caption = caption;
    }
};

class Win32ScheduleFile : public ::testing::Test {
protected:
    CountingBoxes boxes;
    Win32Files files;
    wchar_t dir[MAX_PATH];
    char dir_sjis[MAX_PATH * 2];
    void SetUp() override {
        reset_program_state();
        platform.messages = &boxes;
        platform.files = &files;
        wchar_t tmp[MAX_PATH];
        GetTempPathW(MAX_PATH, tmp);
        wsprintfW(dir, L"%stavrel-test-%lu-録画", tmp, GetCurrentProcessId());
        CreateDirectoryW(dir, nullptr);
        wide_to_sjis(dir, dir_sjis, sizeof(dir_sjis));
    }
    void TearDown() override {
        std::string p = path();
        Wide w(p.c_str());
        SetFileAttributesW(w, FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(w);
        RemoveDirectoryW(w);
        RemoveDirectoryW(dir);
    }
    std::string path() const { return std::string(dir_sjis) + "\\recdata.dat"; }
    std::string read_all() {
        std::string out;
        HANDLE h = CreateFileW(Wide(path().c_str()), GENERIC_READ, FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE) return out;
        char buf[4096];
        DWORD n;
        while (ReadFile(h, buf, sizeof(buf), &n, nullptr) && n) out.append(buf, n);
        CloseHandle(h);
        return out;
    }
};

TEST_F(Win32ScheduleFile, CreatesDefaultsThenRoundTripsByteForByte) {
    EXPECT_EQ(-1, load_schedule(reservations.table, nullptr, path().c_str()));
    EXPECT_EQ(1, boxes.count);
    EXPECT_EQ(11040u, read_all().size());

    std::strcpy(reservations.table.slots[0].name, "ドラマ表");  // a trail byte of 0x5C
    reservations.table.slots[0].colour = 0x00FF00;
    std::strcpy(reservations.table.slots[0].move_folder, "d:\\録画\\ソフト");
    ASSERT_EQ(0, save_schedule(reservations.table, nullptr, path().c_str()));
    std::string bytes = read_all();
    ASSERT_EQ(11040u, bytes.size());
    EXPECT_EQ(0, std::memcmp(bytes.data(), &reservations.table, 11040));

    ReservationTable copy;
    std::memset(&copy, 0, sizeof(copy));
    EXPECT_EQ(0, load_schedule(copy, nullptr, path().c_str()));
    EXPECT_EQ(0, std::memcmp(&copy, &reservations.table, sizeof(copy)));
    EXPECT_EQ(1, boxes.count);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(Wide((path() + ".new").c_str())));
}

TEST_F(Win32ScheduleFile, ReadOnlyFileFailsTheSaveAndStaysWhole) {
    set_default_reservations(reservations.table);
    ASSERT_EQ(0, save_schedule(reservations.table, nullptr, path().c_str()));
    std::string before = read_all();
    SetFileAttributesW(Wide(path().c_str()), FILE_ATTRIBUTE_READONLY);
    std::strcpy(reservations.table.slots[0].name, "changed");
    EXPECT_EQ(-1, save_schedule(reservations.table, nullptr, path().c_str()));
    EXPECT_EQ(1, boxes.count);
    EXPECT_EQ(std::string("ファイルを開けませんでした"), boxes.last_text);
    EXPECT_EQ(std::string("失敗"), boxes.last_caption);
    EXPECT_EQ(before, read_all());
}

TEST_F(Win32ScheduleFile, FolderInPlaceOfTheFileFailsTheSave) {
    CreateDirectoryW(Wide(path().c_str()), nullptr);
    EXPECT_EQ(-1, save_schedule(reservations.table, nullptr, path().c_str()));
    EXPECT_EQ(1, boxes.count);
    DWORD attr = GetFileAttributesW(Wide(path().c_str()));
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, attr);
    EXPECT_TRUE(attr & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace
