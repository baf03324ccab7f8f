// The record layout, the default record, the in-use count, and loading and saving
// "recdata.dat" (in memory and on disk).
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "engine/scheduler.h"
#include "reservations/reservation.h"
#include "tests/support/fakes.h"
#include "tests/support/stdio_files.h"

namespace {

// Little-endian 32-bit value at offset.
std::uint32_t u32_at(const unsigned char* p, int off) {
    return p[off] | (p[off + 1] << 8) | (p[off + 2] << 16) | ((std::uint32_t)p[off + 3] << 24);
}

std::string file_bytes(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

void write_bytes(const std::string& path, const std::string& bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), (std::streamsize)bytes.size());
}

// Expected bytes of one default record, laid out by hand from the record table.
std::string expected_default_record() {
    std::string r(276, '\0');
    auto put_text = [&](int off, const char* s) { std::memcpy(&r[off], s, std::strlen(s)); };
    auto put_u32 = [&](int off, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) r[off + i] = (char)((v >> (8 * i)) & 0xFF);
    };
    put_text(21, "020101");
    put_text(28, "020101");
    put_text(35, "000000");
    put_text(42, "000000");
    put_u32(56, 4000000);
    put_u32(60, 384);
    put_u32(64, 48000);
    put_u32(76, 0x5454FF);
    r[213] = (char)127;
    r[214] = (char)70;
    r[215] = (char)67;
    return r;
}

class ScheduleFile : public ::testing::Test {
protected:
    FakePlatform fake;
    ReservationTable& table = reservations.table;
};

TEST_F(ScheduleFile, DefaultRecordHasTheDocumentedBytesAtEveryOffset) {
    set_default_reservations(table);
    const unsigned char* bytes = (const unsigned char*)&table;
    std::string expected = expected_default_record();
    for (int slot = 0; slot < 40; ++slot) {
        for (int off = 0; off < 276; ++off) {
            ASSERT_EQ((unsigned char)expected[off], bytes[slot * 276 + off])
                << "slot " << slot << " offset " << off;
        }
    }
    // A few fields read back as numbers, little-endian.
    EXPECT_EQ(4000000u, u32_at(bytes, 56));
    EXPECT_EQ(0x5454FFu, u32_at(bytes, 276 + 76));
}

TEST_F(ScheduleFile, DefaultsLeaveStreamFormatGopAndPaddingAlone) {
    std::memset(&table, 0xAB, sizeof(table));
    set_default_reservations(table);
    for (const Reservation& r : table.slots) {
        EXPECT_EQ(0xAB, r.stream_format);
        EXPECT_EQ(0xAB, r.use_gop);
        EXPECT_EQ(0xAB, r.gop_pattern);
        EXPECT_EQ(0xAB, r.padding[0]);
        EXPECT_EQ(0xAB, r.padding[1]);
    }
}

TEST_F(ScheduleFile, CountIsTheLeadingRunOfNames) {
    std::memset(&table, 0, sizeof(table));
    EXPECT_EQ(0, count_in_use(table));
    std::strcpy(table.slots[0].name, "a");
    std::strcpy(table.slots[1].name, "b");
    std::strcpy(table.slots[3].name, "d");
    EXPECT_EQ(2, count_in_use(table));
    std::strcpy(table.slots[2].name, "c");
    EXPECT_EQ(4, count_in_use(table));
    for (Reservation& r : table.slots) std::strcpy(r.name, "x");
    EXPECT_EQ(40, count_in_use(table));
}

TEST_F(ScheduleFile, MissingFileGivesDefaultsAndCreatesIt) {
    EXPECT_EQ(-1, load_schedule(table, (WindowRef)0x10, "recdata.dat"));
    ASSERT_EQ(1u, fake.messages.shown.size());
    EXPECT_EQ(std::string("録画リストファイルを開けませんでした\n新規作成します"), fake.messages.shown[0].text);
    EXPECT_EQ(std::string("失敗"), fake.messages.shown[0].caption);
    EXPECT_EQ((WindowRef)0x10, fake.messages.shown[0].owner);
    ASSERT_EQ(1u, fake.files.files.count("recdata.dat"));
    const std::string& f = fake.files.files["recdata.dat"];
    ASSERT_EQ(11040u, f.size());
    std::string expected = expected_default_record();
    for (int slot = 0; slot < 40; ++slot) EXPECT_EQ(expected, f.substr(slot * 276, 276));
    EXPECT_EQ(0, count_in_use(table));
}

TEST_F(ScheduleFile, MissingFileAndFailedCreateShowBothMessagesInOrder) {
    fake.files.fail_replace = true;
    EXPECT_EQ(-1, load_schedule(table, nullptr, "recdata.dat"));
    ASSERT_EQ(2u, fake.messages.shown.size());
    EXPECT_EQ(std::string("失敗"), fake.messages.shown[0].caption);
    EXPECT_EQ(std::string("ファイルを開けませんでした"), fake.messages.shown[1].text);
    EXPECT_EQ(std::string("失敗"), fake.messages.shown[1].caption);
}

TEST_F(ScheduleFile, ShortFileKeepsTheBytesReadAndIsNotRewritten) {
    std::memset(&table, 0x11, sizeof(table));
    std::string bytes(11039, '\0');
    std::memcpy(&bytes[0], "first", 5);
    std::memcpy(&bytes[276], "second", 6);
    bytes[11038] = 'z';
    fake.files.files["recdata.dat"] = bytes;
    EXPECT_EQ(-1, load_schedule(table, nullptr, "recdata.dat"));
    ASSERT_EQ(1u, fake.messages.shown.size());
    EXPECT_EQ(std::string("データに誤りがある"), fake.messages.shown[0].text);
    EXPECT_EQ(std::string("エラー"), fake.messages.shown[0].caption);
    EXPECT_EQ(0, fake.files.replace_calls);
    EXPECT_STREQ("first", table.slots[0].name);
    EXPECT_STREQ("second", table.slots[1].name);
    const unsigned char* p = (const unsigned char*)&table;
    EXPECT_EQ('z', p[11038]);
    EXPECT_EQ(0x11, p[11039]);  // the last byte keeps its previous content
    EXPECT_EQ(2, count_in_use(table));
}

TEST_F(ScheduleFile, LongerFileLoadsSilentlyAndIsCutAtTheNextSave) {
    std::string bytes(11040 + 500, 'q');
    fake.files.files["recdata.dat"] = bytes;
    EXPECT_EQ(0, load_schedule(table, nullptr, "recdata.dat"));
    EXPECT_TRUE(fake.messages.shown.empty());
    EXPECT_EQ(0, save_schedule(table, nullptr, "recdata.dat"));
    EXPECT_EQ(std::string(11040, 'q'), fake.files.files["recdata.dat"]);
}

TEST_F(ScheduleFile, RecordWithoutAnyNulIsReadWithinItsFields) {
    std::string bytes(11040, 'A');  // no NUL anywhere, every field full
    fake.files.files["recdata.dat"] = bytes;
    EXPECT_EQ(0, load_schedule(table, nullptr, "recdata.dat"));
    EXPECT_EQ(40, count_in_use(table));
    const Reservation& r = table.slots[39];
    EXPECT_EQ(21u, FIELD_LEN(r, name));
    EXPECT_EQ(7u, FIELD_LEN(r, start_date));
    EXPECT_EQ(128u, FIELD_LEN(r, move_folder));
    EXPECT_EQ(49u, FIELD_LEN(r, reserved));
    char name[64];
    FIELD_COPY(name, r, name);
    EXPECT_EQ(std::string(21, 'A'), name);
    char small[5];
    FIELD_COPY(small, r, move_folder);
    EXPECT_STREQ("AAAA", small);
}

// On disk: the save replaces the file in one step and never leaves it truncated.
class ScheduleFileOnDisk : public ::testing::Test {
protected:
    FakePlatform fake;
    StdioFiles disk;
    std::string dir;
    std::string path;
    void SetUp() override {
        platform.files = &disk;
        char tmpl[] = "/tmp/tavrel-sched-XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(tmpl));
        dir = tmpl;
        path = dir + "/recdata.dat";
    }
    void TearDown() override {
        chmod(path.c_str(), 0644);
        std::remove((path + ".new").c_str());
        rmdir(path.c_str());
        std::remove(path.c_str());
        rmdir(dir.c_str());
    }
};

TEST_F(ScheduleFileOnDisk, RoundTripIsByteForByte) {
    set_default_reservations(reservations.table);
    std::strcpy(reservations.table.slots[0].name, "ニュース");
    reservations.table.slots[0].weekday_mask = 0x41;
    reservations.table.slots[0].after_delay = 30;
    ASSERT_EQ(0, save_schedule(reservations.table, nullptr, path.c_str()));
    std::string saved = file_bytes(path);
    ASSERT_EQ(11040u, saved.size());
    EXPECT_EQ(0, std::memcmp(saved.data(), &reservations.table, 11040));
    ReservationTable copy;
    std::memset(&copy, 0, sizeof(copy));
    EXPECT_EQ(0, load_schedule(copy, nullptr, path.c_str()));
    EXPECT_EQ(0, std::memcmp(&copy, &reservations.table, sizeof(copy)));
    EXPECT_TRUE(fake.messages.shown.empty());
    EXPECT_NE(0, access((path + ".new").c_str(), F_OK)) << "no temporary file is left behind";
}

TEST_F(ScheduleFileOnDisk, ReadOnlyFileIsNotReplacedAndStaysWhole) {
    std::string old(11040, 'o');
    write_bytes(path, old);
    chmod(path.c_str(), 0444);
    set_default_reservations(reservations.table);
    EXPECT_EQ(-1, save_schedule(reservations.table, (WindowRef)0x20, path.c_str()));
    ASSERT_EQ(1u, fake.messages.shown.size());
    EXPECT_EQ(std::string("ファイルを開けませんでした"), fake.messages.shown[0].text);
    EXPECT_EQ(std::string("失敗"), fake.messages.shown[0].caption);
    EXPECT_EQ((WindowRef)0x20, fake.messages.shown[0].owner);
    EXPECT_EQ(old, file_bytes(path));
}

TEST_F(ScheduleFileOnDisk, FolderInPlaceOfTheFileFailsTheSave) {
    ASSERT_EQ(0, mkdir(path.c_str(), 0755));
    set_default_reservations(reservations.table);
    EXPECT_EQ(-1, save_schedule(reservations.table, nullptr, path.c_str()));
    ASSERT_EQ(1u, fake.messages.shown.size());
    EXPECT_EQ(std::string("ファイルを開けませんでした"), fake.messages.shown[0].text);
    struct stat st;
    ASSERT_EQ(0, stat(path.c_str(), &st));
    EXPECT_TRUE(S_ISDIR(st.st_mode));
}

TEST_F(ScheduleFileOnDisk, MissingFolderFailsTheSaveWithItsMessage) {
    std::string bad = dir + "/no-such-folder/recdata.dat";
    EXPECT_EQ(-1, save_schedule(reservations.table, nullptr, bad.c_str()));
    ASSERT_EQ(1u, fake.messages.shown.size());
    EXPECT_EQ(std::string("ファイルを開けませんでした"), fake.messages.shown[0].text);
}

}  // namespace
