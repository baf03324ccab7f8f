// Faults of the real Windows file calls while "recdata.dat" or the capture settings file is
// replaced: the temporary file's name taken by a folder, a folder that is missing, a folder
// in the settings file's place. The old file stays whole, the
// program's message is shown, and nothing is left behind.
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

struct Boxes : MessageBoxes {
    int count = 0;
    std::string last_text, last_caption;
    void show(WindowRef, const char* text, const char* caption) override {
        ++count;
        last_text = text;
        last_caption = caption;
    }
};

const char kIni[] = "[Video]\r\ndwVideoBitrate=4000000\r\nHRes=0\r\n";

class Win32FileFaults : public ::testing::Test {
protected:
    Boxes boxes;
    Win32Files files;
    wchar_t dir[MAX_PATH];
    wchar_t old_cwd[MAX_PATH];
    void SetUp() override {
        reset_program_state();
        platform.messages = &boxes;
        platform.files = &files;
        wchar_t tmp[MAX_PATH];
        GetTempPathW(MAX_PATH, tmp);
        wsprintfW(dir, L"%stavrel-faults-%lu", tmp, GetCurrentProcessId());
        CreateDirectoryW(dir, nullptr);
        GetCurrentDirectoryW(MAX_PATH, old_cwd);
        SetCurrentDirectoryW(dir);
        set_default_reservations(reservations.table);
        std::strcpy(reservations.table.slots[0].name, "ニュース");
        reservations.table.slots[0].use_conditions = 1;
    }
    void TearDown() override {
        SetCurrentDirectoryW(old_cwd);
        const wchar_t* names[] = {L"recdata.dat", L"recdata.dat.new", L"Krotx2.ini",
                                  L"Krotx2.ini.new", L"Krotx1.ini"};
        for (const wchar_t* n : names) {
            std::wstring p = std::wstring(dir) + L"\\" + n;
            SetFileAttributesW(p.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW(p.c_str());
            RemoveDirectoryW(p.c_str());
        }
        RemoveDirectoryW(dir);
    }
    static bool write(const wchar_t* name, const std::string& bytes) {
        HANDLE h = CreateFileW(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE) return false;
        DWORD n = 0;
        WriteFile(h, bytes.data(), (DWORD)bytes.size(), &n, nullptr);
        CloseHandle(h);
        return n == bytes.size();
    }
    static std::string read(const wchar_t* name) {
        std::string out;
        HANDLE h = CreateFileW(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE) return "(none)";
        char buf[4096];
        DWORD n;
        while (ReadFile(h, buf, sizeof(buf), &n, nullptr) && n) out.append(buf, n);
        CloseHandle(h);
        return out;
    }
    void expect_save_failed(const std::string& old) {
        EXPECT_EQ(-1, save_schedule(reservations.table, nullptr, "recdata.dat"));
        EXPECT_EQ(1, boxes.count);
        EXPECT_EQ(std::string("ファイルを開けませんでした"), boxes.last_text);
        EXPECT_EQ(std::string("失敗"), boxes.last_caption);
        EXPECT_TRUE(old == read(L"recdata.dat")) << "old schedule file whole";
    }
    void expect_writer_failed(const std::string& path, const std::string& old) {
        EXPECT_EQ(-1, apply_recording_conditions(nullptr, 0));
        EXPECT_EQ(std::string("file open error \n can't detect -> ") + path, boxes.last_text);
        EXPECT_EQ(std::string("err"), boxes.last_caption);
        EXPECT_EQ(old, read(Wide(path.c_str())));
    }
};

TEST_F(Win32FileFaults, TemporaryNameTakenByAFolderFailsBothAndLeavesTheFilesWhole) {
    const std::string old(11040, 'o');
    ASSERT_TRUE(write(L"recdata.dat", old));
    ASSERT_TRUE(write(L"Krotx2.ini", kIni));
    ASSERT_TRUE(CreateDirectoryW(L"recdata.dat.new", nullptr));
    ASSERT_TRUE(CreateDirectoryW(L"Krotx2.ini.new", nullptr));
    expect_save_failed(old);
    expect_writer_failed("Krotx2.ini", kIni);
    EXPECT_EQ(2, boxes.count);
    // The folder gone, the next save goes through and nothing is left beside the file.
    RemoveDirectoryW(L"recdata.dat.new");
    EXPECT_EQ(0, save_schedule(reservations.table, nullptr, "recdata.dat"));
    EXPECT_TRUE(read(L"recdata.dat") == std::string((const char*)&reservations.table, 11040));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(L"recdata.dat.new"));
}

TEST_F(Win32FileFaults, MissingFolderFailsTheSaveAndFolderInPlaceOfTheSettingsFile) {
    EXPECT_EQ(-1, save_schedule(reservations.table, nullptr, "no-such-folder\\recdata.dat"));
    EXPECT_EQ(std::string("ファイルを開けませんでした"), boxes.last_text);
    ASSERT_TRUE(CreateDirectoryW(L"Krotx2.ini", nullptr));
    EXPECT_EQ(-1, apply_recording_conditions(nullptr, 0));
    EXPECT_EQ(std::string("file open error \n can't detect -> Krotx2.ini"), boxes.last_text);
    EXPECT_EQ(2, boxes.count);
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(L"Krotx2.ini"));
    EXPECT_TRUE(GetFileAttributesW(L"Krotx2.ini") & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace
