// Faults of the real Windows file calls while "recdata.dat" or the capture settings file is
// replaced: the temporary file's name taken by a folder, a folder that is missing, a folder
// in the settings file's place. The old file stays whole, the
// program's message is shown, and nothing is left behind.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "capture_settings/settings_file.h"
#include "reservations/reservation.h"
#include "tests/support/capture_settings_text.h"
#include "tests/support/win32_support.h"

namespace {

const std::string kOpenError = "file open error \n can't detect -> ";

class Win32FileFaults : public ::testing::Test {
protected:
    Win32FilePlatform fake;
    TempFolder folder{L"faults", true};
    void SetUp() override {
        ASSERT_TRUE(folder.made());
        set_default_reservations(reservations.table);
        std::strcpy(reservations.table.slots[0].name, "ニュース");
        reservations.table.slots[0].use_conditions = 1;
    }
    void expect_save_failed(const std::string& old) {
        EXPECT_EQ(-1, save_schedule(reservations.table, nullptr, "recdata.dat"));
        EXPECT_EQ(1u, fake.messages.shown.size());
        EXPECT_EQ("ファイルを開けませんでした", fake.last_text());
        EXPECT_EQ("失敗", fake.messages.shown.back().caption);
        EXPECT_TRUE(old == read_whole_file(L"recdata.dat")) << "old schedule file whole";
    }
    void expect_writer_failed(const std::string& path, const std::string& old) {
        EXPECT_EQ(-1, apply_recording_conditions(nullptr, 0));
        EXPECT_EQ(kOpenError + path, fake.last_text());
        EXPECT_EQ("err", fake.messages.shown.back().caption);
        EXPECT_EQ(old, read_whole_file(Wide(path.c_str()).text));
    }
};

TEST_F(Win32FileFaults, TemporaryNameTakenByAFolderFailsBothAndLeavesTheFilesWhole) {
    const std::string old(11040, 'o');
    ASSERT_TRUE(write_whole_file(L"recdata.dat", old));
    ASSERT_TRUE(write_whole_file(L"Krotx2.ini", kCaptureSettingsText));
    ASSERT_TRUE(CreateDirectoryW(L"recdata.dat.new", nullptr));
    ASSERT_TRUE(CreateDirectoryW(L"Krotx2.ini.new", nullptr));
    expect_save_failed(old);
    expect_writer_failed("Krotx2.ini", kCaptureSettingsText);
    EXPECT_EQ(2u, fake.messages.shown.size());
    // The folder gone, the next save goes through and nothing is left beside the file.
    RemoveDirectoryW(L"recdata.dat.new");
    EXPECT_EQ(0, save_schedule(reservations.table, nullptr, "recdata.dat"));
    EXPECT_TRUE(read_whole_file(L"recdata.dat") ==
                std::string((const char*)&reservations.table, 11040));
    EXPECT_FALSE(path_exists(L"recdata.dat.new"));
}

TEST_F(Win32FileFaults, MissingFolderFailsTheSaveAndFolderInPlaceOfTheSettingsFile) {
    EXPECT_EQ(-1, save_schedule(reservations.table, nullptr, "no-such-folder\\recdata.dat"));
    EXPECT_EQ("ファイルを開けませんでした", fake.last_text());
    ASSERT_TRUE(CreateDirectoryW(L"Krotx2.ini", nullptr));
    EXPECT_EQ(-1, apply_recording_conditions(nullptr, 0));
    EXPECT_EQ(kOpenError + "Krotx2.ini", fake.last_text());
    EXPECT_EQ(2u, fake.messages.shown.size());
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(L"Krotx2.ini"));
    EXPECT_TRUE(GetFileAttributesW(L"Krotx2.ini") & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace
