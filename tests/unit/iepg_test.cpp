// iEPG files read into programmes, and programmes added to the list as reservations.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "reservations/iepg.h"
#include "tests/support/fakes.h"

namespace {

const CivilDate kToday = {2026, 12, 8};

std::string v1(const std::string& fields) {
    return "Content-type: application/x-tv-program-info; charset=shift_jis\r\nversion: 1\r\n" + fields;
}

// One programme's fields, CR LF.
std::string fields(const char* year, const char* month, const char* date, const char* start,
                   const char* end, const char* title = "news") {
    std::string s;
    if (year) s += std::string("year: ") + year + "\r\n";
    return s + "month: " + month + "\r\ndate: " + date + "\r\nstart: " + start + "\r\nend: " + end +
           "\r\nprogram-title: " + title + "\r\n";
}

struct Parsed {
    int rc;
    IepgFile file;
    char error[256];
};

Parsed parse(const std::string& text, CivilDate today = kToday) {
    Parsed p;
    std::memset(&p, 0x55, sizeof(p));
    p.rc = parse_iepg(text.data(), text.size(), today, &p.file, p.error, sizeof(p.error));
    return p;
}

// "start / end" as "yyyy-mm-dd hh:mm:ss".
std::string span(const IepgProgramme& p) {
    char s[64];
    std::snprintf(s, sizeof(s), "%04d-%02d-%02d %02d:%02d:%02d / %04d-%02d-%02d %02d:%02d:%02d",
                  p.start_date.year, p.start_date.month, p.start_date.day, p.start_time.hour,
                  p.start_time.minute, p.start_time.second, p.end_date.year, p.end_date.month,
                  p.end_date.day, p.end_time.hour, p.end_time.minute, p.end_time.second);
    return s;
}

TEST(IepgParse, VersionsMultiAndLineEnds) {
    const std::string body = "station: DFS00400\r\nprogram-title: ニュース\r\nyear: 2026\r\nmonth: 12\r\n"
                             "date: 08\r\nstart: 21:00\r\nend: 21:54\r\n";
    const std::string free_text = "\r\nstart: 01:00\r\nThe free text is ignored.\r\n";
    std::string lf_only = v1(body + free_text);
    for (std::size_t i; (i = lf_only.find("\r\n")) != std::string::npos;) lf_only.erase(i, 1);
    std::string v2 = "CONTENT-TYPE :application/x-tv-program-digital-info\r\nversion: 2\r\n" + body;
    std::string unended = v1(body);
    unended.resize(unended.size() - 2);  // "end: 21:54" without a line end
    for (const std::string& text : {v1(body + free_text), lf_only, v2, unended}) {
        Parsed p = parse(text);
        ASSERT_EQ(0, p.rc) << text << p.error;
        ASSERT_EQ(1, p.file.count);
        EXPECT_STREQ("ニュース", p.file.programmes[0].title);
        EXPECT_EQ("2026-12-08 21:00:00 / 2026-12-08 21:54:00", span(p.file.programmes[0]));
    }
    // Several programmes: the boundary line with and without "--", blanks around the keys,
    // a part of free text, a last part ended by "--".
    const std::string multi =
        "Content-type: application/x-multi-tv-program-info\nversion: 1\nboundary: XbX\n\n"
        "--XbX\nContent-type: application/x-tv-program-info\n" + fields("2026", "12", "9", "7:05", "7:30", "a") +
        "\nfree text\n"
        "XbX\n  Month : 12\nDATE:10\nstart:23:00\nend:23:30\nprogram-title:  b  \n"
        "--XbX\n" + fields("2026", "12", "11", "00:00", "01:00", "c") + "--XbX--\n" +
        fields("2026", "12", "12", "00:00", "01:00", "after the end");
    Parsed p = parse(multi);
    ASSERT_EQ(0, p.rc) << p.error;
    ASSERT_EQ(3, p.file.count);
    EXPECT_STREQ("a", p.file.programmes[0].title);
    EXPECT_EQ("2026-12-09 07:05:00 / 2026-12-09 07:30:00", span(p.file.programmes[0]));
    EXPECT_STREQ("b", p.file.programmes[1].title);
    EXPECT_EQ("2026-12-10 23:00:00 / 2026-12-10 23:30:00", span(p.file.programmes[1]));
    EXPECT_STREQ("c", p.file.programmes[2].title);
}

TEST(IepgParse, LateHoursEndsAndMissingYears) {
    ScopedTimeZone tz("Asia/Tokyo");
    struct Case {
        const char *year, *month, *date, *start, *end;
        CivilDate today;
        const char* want;
    } cases[] = {
        // Hours 24..29 are the next day's; an end at or before the start is the next day's.
        {"2026", "12", "31", "23:30", "24:30", kToday, "2026-12-31 23:30:00 / 2027-01-01 00:30:00"},
        {"2026", "12", "8", "25:30", "26:00", kToday, "2026-12-09 01:30:00 / 2026-12-09 02:00:00"},
        {"2028", "2", "28", "24:10", "25:00", kToday, "2028-02-29 00:10:00 / 2028-02-29 01:00:00"},
        {"2026", "12", "8", "23:00", "01:00", kToday, "2026-12-08 23:00:00 / 2026-12-09 01:00:00"},
        {"2026", "12", "8", "21:00", "21:00", kToday, "2026-12-08 21:00:00 / 2026-12-09 21:00:00"},
        {"2026", "12", "8", "29:59", "05:00", kToday, "2026-12-09 05:59:00 / 2026-12-10 05:00:00"},
        // No year: the first such date from today on.
        {nullptr, "12", "8", "21:00", "22:00", kToday, "2026-12-08 21:00:00 / 2026-12-08 22:00:00"},
        {nullptr, "12", "7", "21:00", "22:00", kToday, "2027-12-07 21:00:00 / 2027-12-07 22:00:00"},
        {nullptr, "1", "5", "21:00", "22:00", kToday, "2027-01-05 21:00:00 / 2027-01-05 22:00:00"},
        {nullptr, "2", "29", "21:00", "22:00", kToday, "2028-02-29 21:00:00 / 2028-02-29 22:00:00"},
        // ... by the day it starts: New Year's Eve at 25:00 is New Year's Day's.
        {nullptr, "12", "31", "25:00", "25:30", {2027, 1, 1}, "2027-01-01 01:00:00 / 2027-01-01 01:30:00"},
    };
    for (const Case& c : cases) {
        Parsed p = parse(v1(fields(c.year, c.month, c.date, c.start, c.end)), c.today);
        ASSERT_EQ(0, p.rc) << c.month << "/" << c.date << " " << c.start << p.error;
        EXPECT_EQ(c.want, span(p.file.programmes[0])) << c.month << "/" << c.date << " " << c.start;
    }
}

TEST(IepgParse, TitlesAreWholeCharactersOfTwentyBytes) {
    // Shift-JIS: the 20th byte is the lead byte of "あ", which is left out.
    Parsed p = parse(v1(fields("2026", "12", "9", "10:00", "11:00", "0123456789012345678あいう")));
    ASSERT_EQ(0, p.rc) << p.error;
    EXPECT_STREQ("0123456789012345678", p.file.programmes[0].title);
    p = parse(v1(fields("2026", "12", "9", "10:00", "11:00", "title\x82")));  // a lead byte last
    ASSERT_EQ(0, p.rc) << p.error;
    EXPECT_STREQ("title", p.file.programmes[0].title);
    // UTF-8 after a byte order mark: the wave dash and the cent sign in code page 932's forms,
    // half-width katakana in one byte, an emoji and "é" (no form) left out, cut before the
    // character that passes 20 bytes.
    p = parse("\xEF\xBB\xBF" + v1(fields("2026", "12", "9", "10:00", "11:00", u8"ｱ〜¢😀é番組番組番組番組番組")));
    ASSERT_EQ(0, p.rc) << p.error;
    EXPECT_STREQ("\xB1\x81\x60\x81\x91" "番組番組番組番", p.file.programmes[0].title);
}

TEST(IepgParse, RefusalsNameTheirCause) {
    const std::string ok = fields("2026", "12", "9", "10:00", "11:00");
    auto without = [&](const char* key) {
        std::string s = ok;
        const std::size_t at = s.find(key);
        s.erase(at, s.find('\n', at) + 1 - at);
        return v1(s);
    };
    std::string big = v1(ok) + "\r\n";
    big.resize(kIepgFileMax + 1, 'x');
    std::string multi = "Content-type: application/x-multi-tv-program-info\r\nboundary: B\r\n\r\n";
    std::string forty_one = multi;
    for (int i = 0; i < 41; ++i) forty_one += "--B\r\n" + ok;
    struct Case {
        std::string text;
        const char* cause;
    } cases[] = {
        {big, "ファイルが大きすぎます"},
        {"<html>\r\nmonth: 12\r\n", "「Content-type」の行がありません"},
        {"Content-type: text/html\r\n\r\n" + ok, "番組情報の Content-type ではありません"},
        {without("month:"), "「month」の行がありません"},
        {without("date:"), "「date」の行がありません"},
        {without("start:"), "「start」の行がありません"},
        {without("end:"), "「end」の行がありません"},
        {without("program-title:"), "「program-title」の行がありません"},
        {v1(fields("2026", "12", "9", "10:00", "11:00", "")), "「program-title」が空です"},
        {v1(fields("2026", "2", "29", "10:00", "11:00")), "2026年2月29日という日はありません"},
        {v1(fields(nullptr, "4", "31", "10:00", "11:00")), "4月31日という日はありません"},
        {v1(fields("2026", "13", "1", "10:00", "11:00")), "2026年13月1日という日はありません"},
        {v1(fields("2026", "x", "1", "10:00", "11:00")), "「month」が月の数ではありません"},
        {v1(fields("2026", "12", "9", "30:00", "31:00")), "「start」が時刻"},
        {v1(fields("2026", "12", "9", "10:00", "11:60")), "「end」が時刻"},
        {v1(fields("2100", "1", "1", "10:00", "11:00")), "2100年の番組は登録できません"},
        {v1(fields("2099", "12", "31", "23:00", "24:30")), "2099年より後の番組は登録できません"},
        {"Content-type: application/x-multi-tv-program-info\r\n\r\n--\r\n" + ok, "「boundary」の行がありません"},
        {multi + "--B\r\n" + ok + "--B\r\n" + v1(fields("2026", "12", "9", "10:00", "")), "2番目の番組: 「end」が時刻"},
        {multi + "\r\n--B--\r\n", "番組がひとつもありません"},
        {forty_one, "番組が多すぎます"},
    };
    for (const Case& c : cases) {
        Parsed p = parse(c.text);
        EXPECT_EQ(-1, p.rc) << c.cause;
        EXPECT_EQ(0, p.file.count) << c.cause;
        EXPECT_NE(nullptr, std::strstr(p.error, c.cause)) << c.cause << " / " << p.error;
    }
    // Cut to the buffer: whole characters.
    IepgFile file;
    char error[8];
    EXPECT_EQ(-1, parse_iepg("x", 1, kToday, &file, error, sizeof(error)));
    EXPECT_STREQ("iEPGの", error);
}

// A programme of 2026-12-08 (Asia/Tokyo), hours given.
IepgProgramme programme(const char* title, int start_hour, int end_hour, int end_day = 8) {
    IepgProgramme p;
    std::memset(&p, 0, sizeof(p));
    std::strcpy(p.title, title);
    p.start_date = {2026, 12, 8};
    p.start_time = {start_hour, 0, 0};
    p.end_date = {2026, 12, end_day};
    p.end_time = {end_hour, 0, 0};
    return p;
}

class IepgImportTest : public ::testing::Test {
protected:
    ScopedTimeZone tz{"Asia/Tokyo"};
    ReservationTable table;
    IepgFile file;
    IepgImport result;
    char error[256];
    std::time_t now = (std::time_t)local_time(2026, 12, 8, 12, 0, 0);
    void SetUp() override {
        set_default_reservations(table);
        std::memset(&file, 0, sizeof(file));
        std::strcpy(table.slots[0].name, "news");  // 2026-12-08 21:00 .. 22:00
        std::strcpy(table.slots[0].start_date, "261208");
        std::strcpy(table.slots[0].end_date, "261208");
        std::strcpy(table.slots[0].start_time, "210000");
        std::strcpy(table.slots[0].end_time, "220000");
    }
    void add(const IepgProgramme& p) { file.programmes[file.count++] = p; }
};

TEST_F(IepgImportTest, AddsClearedOnceOnlyRecordsAfterTheList) {
    // The next slot held a weekly record with a power action and more.
    Reservation& left = table.slots[1];
    left.repeat_mode = 1;
    left.weekday_mask = 127;
    left.after_action = 3;
    left.after_delay = 60;
    left.stream_format = 2;
    left.use_gop = 1;
    left.padding[0] = 9;
    std::strcpy(left.move_folder, "d:\\old");
    std::memset(left.reserved, 'r', sizeof(left.reserved));
    add(programme("late film", 23, 1, 9));
    add(programme("all day", 6, 6, 9));  // ends a day later, as parse_iepg gives it
    ASSERT_EQ(0, import_iepg(table, 1, file, now, 0x00FF00, &result, error, sizeof(error))) << error;
    EXPECT_EQ(2, result.added);
    EXPECT_EQ(1, result.first_slot);
    EXPECT_EQ(0, result.skipped);
    EXPECT_STREQ("", result.skipped_text);

    // Zero, the default record, the programme, the colour.
    Reservation want = {"late film", "261208", "261209", "230000", "010000"};
    want.video_bitrate = 4000000;
    want.audio_bitrate = 384;
    want.audio_sample_rate = 48000;
    want.colour = 0x00FF00;
    want.brightness = 127;
    want.contrast = 70;
    want.saturation = 67;
    EXPECT_EQ(0, std::memcmp(&want, &table.slots[1], sizeof(want)));
    Reservation all_day = want;
    std::memcpy(all_day.name, "all day\0\0", 9);
    std::strcpy(all_day.start_time, "060000");
    std::strcpy(all_day.end_time, "060000");
    EXPECT_EQ(0, std::memcmp(&all_day, &table.slots[2], sizeof(want)));
    EXPECT_EQ(3, count_in_use(table));
}

TEST_F(IepgImportTest, SkipsListedAndEndedProgrammes) {
    add(programme("news", 21, 22));       // in slot 0
    add(programme("morning", 6, 12));     // ended at now exactly
    add(programme("noon", 11, 13));       // running: added
    add(programme("noon", 11, 13));       // twice in the file
    add(programme("news", 21, 23));       // another end: a programme of its own
    ASSERT_EQ(0, import_iepg(table, 1, file, now, 0x00FF00, &result, error, sizeof(error)));
    EXPECT_EQ(2, result.added);
    EXPECT_EQ(3, result.skipped);
    EXPECT_EQ(std::string("「news」 2026/12/08 21:00 すでに登録されています\r\n"
                          "「morning」 2026/12/08 06:00 放送が終わっています\r\n"
                          "「noon」 2026/12/08 11:00 すでに登録されています\r\n"),
              result.skipped_text);
    EXPECT_STREQ("noon", table.slots[1].name);
    EXPECT_STREQ("news", table.slots[2].name);
    EXPECT_STREQ("230000", table.slots[2].end_time);
}

TEST_F(IepgImportTest, AllOrNothingWhenTheSlotsRunOut) {
    for (int i = 1; i < 38; ++i) std::snprintf(table.slots[i].name, 21, "slot %d", i);
    add(programme("a", 13, 14));
    add(programme("b", 14, 15));
    add(programme("c", 15, 16));
    const ReservationTable before = table;
    EXPECT_EQ(-1, import_iepg(table, 38, file, now, 0, &result, error, sizeof(error)));
    EXPECT_STREQ("予約の空きが足りません。追加する番組が3件、空きが2件です(リストは40まで)。", error);
    EXPECT_EQ(0, std::memcmp(&before, &table, sizeof(table)));
    EXPECT_EQ(0, result.added);
    // One of them already listed: the other two fit.
    file.programmes[0] = programme("news", 21, 22);
    ASSERT_EQ(0, import_iepg(table, 38, file, now, 0, &result, error, sizeof(error))) << error;
    EXPECT_EQ(2, result.added);
    EXPECT_EQ(38, result.first_slot);
    EXPECT_STREQ("b", table.slots[38].name);
    EXPECT_STREQ("c", table.slots[39].name);
    // A full list takes a file whose programmes are all left out.
    ASSERT_EQ(0, import_iepg(table, 40, file, now, 0, &result, error, sizeof(error))) << error;
    EXPECT_EQ(0, result.added);
    EXPECT_EQ(3, result.skipped);
}

}  // namespace
