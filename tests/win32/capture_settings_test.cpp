// The capture settings writers on real files through the Windows file calls: a capture
// folder with a Japanese name (the current folder), a missing file and a read-only one.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "engine/scheduler.h"
#include "base/win32/text.h"
#include "base/win32/win32_platform.h"
#include "capture_settings/settings_file.h"
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

std::string read_all(const wchar_t* path) {
    std::string out;
    HANDLE h = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return out;
    char buf[4096];
    DWORD n;
    while (ReadFile(h, buf, sizeof(buf), &n, nullptr) && n) out.append(buf, n);
    CloseHandle(h);
    return out;
}

bool write_all(const wchar_t* path, const std::string& bytes) {
    HANDLE h = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD n = 0;
    bool ok = WriteFile(h, bytes.data(), (DWORD)bytes.size(), &n, nullptr) && n == bytes.size();
    CloseHandle(h);
    return ok;
}

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
    CountingBoxes boxes;
    Win32Files files;
    wchar_t saved_cwd[MAX_PATH];
    wchar_t dir[MAX_PATH];
    void SetUp() override {
        reset_program_state();
        set_default_reservations(reservations.table);
        std::strcpy(reservations.table.slots[0].name, "ドラマ");
        platform.messages = &boxes;
        platform.files = &files;
        GetCurrentDirectoryW(MAX_PATH, saved_cwd);
        wchar_t tmp[MAX_PATH];
        GetTempPathW(MAX_PATH, tmp);
        wsprintfW(dir, L"%stavrel-ini-%lu-録画表", tmp, GetCurrentProcessId());
        ASSERT_TRUE(CreateDirectoryW(dir, nullptr));
        ASSERT_TRUE(SetCurrentDirectoryW(dir));
    }
    void TearDown() override {
        SetCurrentDirectoryW(saved_cwd);
        for (const wchar_t* name : {L"Krotx2.ini", L"Krotx1.ini", L"Krotx2.ini.new"}) {
            std::wstring p = std::wstring(dir) + L"\\" + name;
            SetFileAttributesW(p.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW(p.c_str());
        }
        RemoveDirectoryW(dir);
    }
    std::wstring in_dir(const wchar_t* name) { return std::wstring(dir) + L"\\" + name; }
};

TEST_F(Win32CaptureSettings, WritersRewriteTheFileInAJapaneseFolder) {
    ASSERT_TRUE(write_all(in_dir(L"Krotx2.ini").c_str(), kBefore));
    Reservation& r = reservations.table.slots[0];
    r.record_size_index = -1;
    r.brightness = 200;
    r.hue = 16;
    r.stream_format = 4;
    EXPECT_EQ(0, apply_recording_conditions(nullptr, 0));
    EXPECT_EQ(0, apply_picture_quality(nullptr, 0));
    EXPECT_EQ(0, apply_stream_format(nullptr, 0));
    EXPECT_EQ(0, boxes.count) << boxes.last_text;
    EXPECT_EQ(std::string("; 録画設定\r\n"
                          "[Video]\r\n"
                          "HRes=-1\r\n"
                          "OMODE=2\r\n"
                          "IsEs=3\r\n"
                          "[Picture]\r\n"
                          "Brightness=200\r\n"
                          "Hue=16\r\n"),
              read_all(in_dir(L"Krotx2.ini").c_str()));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(in_dir(L"Krotx2.ini.new").c_str()));
}

TEST_F(Win32CaptureSettings, MissingFileIsReportedAndNotCreated) {
    reservations.table.slots[0].mpeg1 = 1;
    EXPECT_EQ(-1, apply_gop_structure(nullptr, 0));
    EXPECT_EQ(1, boxes.count);
    EXPECT_EQ(std::string("file open error \n can't detect -> Krotx1.ini"), boxes.last_text);
    EXPECT_EQ(std::string("err"), boxes.last_caption);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(in_dir(L"Krotx1.ini").c_str()));
}

TEST_F(Win32CaptureSettings, ReadOnlyFileFailsTheWriteAndStaysWhole) {
    ASSERT_TRUE(write_all(in_dir(L"Krotx2.ini").c_str(), kBefore));
    SetFileAttributesW(in_dir(L"Krotx2.ini").c_str(), FILE_ATTRIBUTE_READONLY);
    reservations.table.slots[0].hue = 99;
    EXPECT_EQ(-1, apply_picture_quality(nullptr, 0));
    EXPECT_EQ(1, boxes.count);
    EXPECT_EQ(std::string("file open error \n can't detect -> Krotx2.ini"), boxes.last_text);
    EXPECT_EQ(std::string(kBefore), read_all(in_dir(L"Krotx2.ini").c_str()));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(in_dir(L"Krotx2.ini.new").c_str()));
}

}  // namespace
