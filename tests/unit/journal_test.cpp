// The recording journal: its lines, the torn line a crash leaves, its two files and their
// limit, what start-up reads from it, and what the engine writes to it.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/journal.h"
#include "capture_settings/settings_file.h"
#include "engine/after_actions.h"
#include "engine/wake.h"
#include "engine/history.h"
#include "engine/scheduler.h"
#include "tests/support/core_state.h"
#include "tests/support/fakes.h"
#include "tests/support/scheduler_rig.h"

namespace {

class Journal : public ::testing::Test {
protected:
    ScopedTimeZone tz{"Asia/Tokyo"};
    FakePlatform fake;
    std::string& log() { return fake.journal.files[kJournalFile]; }
    // The journal's lines, without their CR LF.
    std::vector<std::string> lines() {
        std::vector<std::string> out;
        const std::string& s = log();
        for (std::size_t at = 0, end; at < s.size(); at = end + 2) {
            end = s.find("\r\n", at);
            if (end == std::string::npos) end = s.size();
            out.push_back(s.substr(at, end - at));
        }
        return out;
    }
};

TEST_F(Journal, OneEventIsOneLineWhateverItsTextsHold) {
    fake.clock.base = local_time(2026, 12, 7, 21, 0, 5);
    char name[21];
    std::memset(name, 'N', sizeof(name));  // a damaged record: no NUL
    name[3] = '\t';
    journal_write(kEventSettingsFailed, 40, name, sizeof(name), "file open error \n can't %s",
                  "detect\r-> %s\x01");
    journal_write(kEventProgramEnd, 0, nullptr, 0, "%s", "");
    // Details cut to fit never end in half a character.
    std::string long_text(3000, 'a');
    long_text[1022] = '\x98';
    journal_write(kEventMoved, 41, "", 1, "%s", long_text.c_str() + 1);
    std::vector<std::string> l = lines();
    ASSERT_EQ(3u, l.size());
    EXPECT_EQ("2026/12/07 21:00:05 +0900\t設定失敗\t40\tNNN NNNNNNNNNNNNNNNNN\tfile open error   can't detect -> %s ",
              l[0]);
    EXPECT_EQ("2026/12/07 21:00:05 +0900\t終了\t-\t\t", l[1]);
    EXPECT_EQ(std::string::npos, l[2].find('\x98'));
    EXPECT_EQ(0u, l[2].rfind("2026/12/07 21:00:05 +0900\t移動\t-\t\t", 0));
    EXPECT_EQ(3u, journal_lines_written());
}

TEST_F(Journal, ALineAfterATornOneBeginsOnItsOwnAndFailuresAreSkipped) {
    fake.clock.base = local_time(2026, 12, 7, 21, 0, 0);
    log() = "2026/12/07 20:00:00\t起動\t-\t\t\r\n2026/12/07 20:0";  // cut by a crash
    fake.journal.fail_append = true;
    journal_write(kEventProgramStart, 0, nullptr, 0, "%s", "lost");
    EXPECT_TRUE(journal_write_failed());
    fake.journal.fail_append = false;
    journal_write(kEventProgramStart, 0, nullptr, 0, "%s", "kept");
    std::vector<std::string> l = lines();
    ASSERT_EQ(3u, l.size());
    EXPECT_EQ("2026/12/07 20:0", l[1]) << "what was written is never rewritten";
    EXPECT_EQ("2026/12/07 21:00:00 +0900\t起動\t-\t\tkept", l[2]);
}

TEST_F(Journal, StartReadsTheLastLineAndRenewsAnOverlongJournal) {
    const std::time_t now = (std::time_t)local_time(2026, 12, 7, 21, 0, 0);
    std::time_t last = 0;
    EXPECT_EQ(0, journal_begin(now, &last)) << "no journal yet";
    const std::pair<std::string, int> cases[] = {
        {"x\r\n2026/12/07 20:00:00\t終了\t-\t\t\r\n", 1},
        {"2026/12/07 20:00:00\t\x82", 1},                      // torn, broken Shift-JIS
        {"2026/12/07 21:00:01\t終了\t-\t\t\r\n", -1},          // in the future
        {"2026/12/07 20:00:00\r\n2026/13/07 20:00:00\r\n", -1},  // no such date
        {std::string("2026/12/07 20:00:00\r\n\0\0\0", 24), -1},
        {"", 0},
    };
    for (const auto& c : cases) {
        log() = c.first;
        EXPECT_EQ(c.second, journal_begin(now, &last)) << c.first;
        if (c.second == 1) {
            EXPECT_EQ(local_time(2026, 12, 7, 20, 0, 0), (std::int64_t)last);
        }
    }
    // An overlong last line has no time that can be read: its start was not read.
    log() = "2026/12/07 20:00:00\t" + std::string(300 * 1024, 'x');
    EXPECT_EQ(-1, journal_begin(now, &last));
    // Past the limit: the time is read first, then the file becomes the older one.
    fake.journal.files[kJournalOlderFile] = "old\r\n";
    log() = std::string(kJournalLimitBytes - 21, 'y') + "\r\n2026/12/07 20:00:00\r\n";
    EXPECT_EQ(1, journal_begin(now, &last));
    EXPECT_EQ(0u, fake.journal.files.count(kJournalFile));
    EXPECT_EQ((std::size_t)kJournalLimitBytes + 2, fake.journal.files[kJournalOlderFile].size());
}

TEST_F(Journal, TheWindowShowsTheLastLinesOfBothFilesWithBrokenBytesAsQuestionMarks) {
    std::string older, newer;
    for (int i = 0; i < 450; ++i) older += "old " + std::to_string(i) + "\r\n";
    for (int i = 0; i < 100; ++i) newer += "new " + std::to_string(i) + "\r\n";
    newer += std::string("bad \x82\x20 \x80\xFF\0 end", 14) + "\r\ntorn";
    fake.journal.files[kJournalOlderFile] = older;
    log() = newer;
    static char out[kJournalShownLines * 1100];
    std::size_t n = journal_tail(out, sizeof(out), kJournalShownLines);
    std::string shown(out, n);
    // 500 lines: the last 398 of the older file, then all 102 of the newer.
    EXPECT_EQ(0u, shown.find("old 52\r\n"));
    EXPECT_NE(std::string::npos, shown.find("old 449\r\nnew 0\r\n"));
    EXPECT_NE(std::string::npos, shown.find("\r\nbad ?  ??? end\r\ntorn\r\n"));
    EXPECT_EQ(shown.size(), std::strlen(out));
    // A newer file of 500 lines or more shows nothing of the older one.
    for (int i = 0; i < 500; ++i) log() += "more\r\n";
    n = journal_tail(out, sizeof(out), kJournalShownLines);
    EXPECT_EQ(std::string::npos, std::string(out, n).find("old"));
}

// Missed occurrences are written where they are found, each with its reason and once:
// at start-up since the journal's last line, over a gap between ticks, and after a
// recording, for what it kept from starting and what its power action slept through.
TEST_F(Journal, MissedOccurrencesAreWrittenWhereTheyAreFound) {
    SchedulerRig rig;
    auto at = [](int h, int m, int s) { return local_time(2026, 12, 7, h, m, s); };
    rig.reserve(0, "261207", "261207", "201000", "202000");  // before start-up
    rig.reserve(1, "261207", "261207", "213000", "214000");  // in a gap
    rig.reserve(2, "261207", "261207", "220000", "223000");  // recorded, from late
    rig.reserve(3, "261207", "261207", "220500", "221000");  // in a gap within the recording
    rig.reserve(4, "261207", "261207", "222000", "222500");  // while recording
    rig.reserve(5, "261207", "261207", "223300", "223400");  // during the stand-by's delay
    reservations.table.slots[2].after_action = 4;
    reservations.table.slots[2].after_delay = 300;
    // Slot 3's recording needs (8,000,000 + 256 × 1000) bit/s × 1710 s ÷ 8 = 1,764,720,000
    // bytes, 1,683 MB of 2^20 rounded up; its drive has 1,024 MB free.
    fake.files.files[capture_settings_path(2)] = "dwVideoBitrate=8000000\r\ndwAudioBitrate=256\r\n";
    rig.free_bytes = (std::int64_t)1 << 30;
    log() = "2026/12/07 20:00:00\t終了\t-\t\t\r\n";
    rig.clock = at(21, 0, 0);
    journal_program_start((std::time_t)at(21, 0, 0));
    EXPECT_EQ(1, journal_missed_since_last_run((std::time_t)at(21, 0, 0)));
    rig.run(at(21, 0, 0), at(21, 10, 0));
    rig.tick(at(22, 1, 30));
    rig.run(at(22, 2, 13), at(22, 3, 0));
    rig.tick(at(22, 12, 0));
    rig.run(at(22, 12, 1), at(22, 40, 0));

    std::vector<std::string> missed;
    int space_lines = 0;
    for (const std::string& line : lines()) {
        if (line.find("\t録画開始\t3\t") != std::string::npos) {
            EXPECT_NE(std::string::npos,
                      line.find("終了予定 2026/12/07 22:30:00、150秒遅れて開始、空き容量 1,024 MB、予定サイズ 1,683 MB"))
                << line;
        }
        space_lines += line.find("\t空き容量不足\t3\tr2\t") != std::string::npos;
        std::size_t word = line.find("\t録画漏れ\t");
        if (word != std::string::npos) missed.push_back(line.substr(word + 1));
    }
    const std::vector<std::string> expected = {
        "録画漏れ\t1\tr0\t2026/12/07 20:10:00〜2026/12/07 20:20:00: "
        "プログラムが動いていなかったか、PCがスリープ中か電源が切れていました",
        "録画漏れ\t2\tr1\t2026/12/07 21:30:00〜2026/12/07 21:40:00: "
        "PCがスリープ中だったか、時計が変更されました",
        "録画漏れ\t4\tr3\t2026/12/07 22:05:00〜2026/12/07 22:10:00: "
        "PCがスリープ中だったか、時計が変更されました",
        "録画漏れ\t5\tr4\t2026/12/07 22:20:00〜2026/12/07 22:25:00: 別の予約(3 r2)を録画中でした",
        "録画漏れ\t6\tr5\t2026/12/07 22:33:00〜2026/12/07 22:34:00: "
        "録画後の処理(スタンバイする、300秒後)のためです",
    };
    EXPECT_EQ(expected, missed);
    EXPECT_EQ(1, space_lines);
}

// More than a hundred at once: a hundred lines and one that counts the rest and names its
// span. Nothing of it is written or counted again: not by a look-over of the same time with
// another reason (as after a recording), nor by start-up reading the journal back.
TEST_F(Journal, AtMostAHundredMissedLinesAtOnceAndNoneAgain) {
    fake.clock.base = local_time(2026, 12, 4, 0, 0, 1);
    for (int i = 0; i < 40; ++i) {
        Reservation& r = reservations.table.slots[i];
        std::snprintf(r.name, sizeof(r.name), "w%d", i);
        std::memcpy(r.start_date, "261101", 7);
        std::memcpy(r.end_date, "261231", 7);
        std::memcpy(r.start_time, "120000", 7);
        std::memcpy(r.end_time, "121000", 7);
        r.repeat_mode = 1;
        r.weekday_mask = 0x7F;
    }
    reservations.count = 40;
    // Three days: 120 occurrences.
    EXPECT_EQ(120, journal_missed((std::time_t)local_time(2026, 12, 1, 0, 0, 0),
                                  (std::time_t)local_time(2026, 12, 4, 0, 0, 0), false, -1, 0, "a", "b"));
    std::vector<std::string> l = lines();
    ASSERT_EQ(101u, l.size());
    EXPECT_NE(std::string::npos, l[99].find("\t録画漏れ\t20\tw19\t2026/12/03 12:00:00"));
    // The 101st is slot 21's of 12/03, due from a minute before its start.
    EXPECT_NE(std::string::npos,
              l[100].find("\t録画漏れ\t-\t\tほか20件の録画漏れ(2026/12/03 11:59:00 +0900〜"
                          "2026/12/04 00:00:00 +0900): b"));
    EXPECT_EQ(0, journal_missed((std::time_t)local_time(2026, 12, 1, 0, 0, 0),
                                (std::time_t)local_time(2026, 12, 4, 0, 0, 1), true, -1, 0, "c", "d"));
    reset_history();
    fake.clock.base = local_time(2026, 12, 4, 13, 0, 0);
    journal_program_start((std::time_t)fake.clock.base);
    EXPECT_EQ(0, journal_missed((std::time_t)local_time(2026, 12, 1, 0, 0, 0),
                                (std::time_t)local_time(2026, 12, 4, 0, 0, 0), false, -1, 0, "e", "f"));
    // Only the day after is new.
    EXPECT_EQ(40, journal_missed_since_last_run((std::time_t)fake.clock.base));
}

// A damaged count line whose span ends years ahead would cover every later occurrence:
// it counts for nothing, as a last line in the future does.
TEST_F(Journal, ADamagedSpanHidesNothingMissedAfterIt) {
    SchedulerRig rig;
    rig.reserve(0, "261207", "261207", "100000", "103000");
    const std::time_t now = (std::time_t)local_time(2026, 12, 7, 12, 0, 0);
    for (const char* end : {"2036", "2926"}) {
        reset_history();
        log() = std::string("2026/12/07 09:00:00 +0900\t録画漏れ\t-\t\tほか5件の録画漏れ("
                            "2026/12/07 08:00:00 +0900〜") +
                end + "/12/07 08:00:00 +0900): x\r\n";
        rig.clock = now;
        journal_program_start(now);
        EXPECT_EQ(1, journal_missed_since_last_run(now)) << end;
    }
}

}  // namespace

namespace {

// The hour that comes twice: each pass has its own offset, and a last line of the second
// pass is read as that pass, so that what was recorded in the first is not written missed.
// A line without an offset (an older journal) is still read as the first pass.
TEST(JournalTimes, TheRepeatedHourReadsBackAsTheMomentItWas) {
    ScopedTimeZone tz("Europe/Berlin");
    FakePlatform fake;
    SchedulerRig rig;
    // 25 October 2026: 03:00 CEST becomes 02:00 CET at 01:00 UTC.
    const std::int64_t first_pass = 1792888200;   // 2026-10-25 00:30 UTC, 02:30 CEST
    const std::int64_t second_pass = 1792891800;  // 2026-10-25 01:30 UTC, 02:30 CET
    char a[40], b[40];
    journal_stamp((std::time_t)first_pass, a, sizeof(a));
    journal_stamp((std::time_t)second_pass, b, sizeof(b));
    EXPECT_STREQ("2026/10/25 02:30:00 +0200", a);
    EXPECT_STREQ("2026/10/25 02:30:00 +0100", b);
    // Recorded from 02:49 CEST; the program ended at 02:40 CET, and starts again at 04:30.
    rig.reserve(0, "261025", "261025", "025000", "025500");
    const std::time_t restart = (std::time_t)(second_pass + 3 * 3600);
    for (const char* last : {"2026/10/25 02:40:00 +0100", "2026/10/25 02:40:00"}) {
        reset_history();
        fake.journal.files[kJournalFile] = std::string(last) + "\t終了\t-\t\t\r\n";
        rig.clock = restart;
        journal_program_start(restart);
        EXPECT_EQ(last[19] ? 0 : 1, journal_missed_since_last_run(restart)) << last;
    }
}

// The program ends during a recording (here without its end line) and starts again: what
// the recording kept from starting is written then, naming it, and the recording is
// closed with a failure line, so that a later start-up does not look back from it again.
// An occurrence whose last moment falls between the start-up check and the first tick is
// written by that tick.
TEST(JournalTimes, NothingMissedGoesUnwrittenAcrossAnEndOrTheStartUp) {
    ScopedTimeZone tz("Asia/Tokyo");
    FakePlatform fake;
    SchedulerRig rig;
    rig.reserve(0, "261207", "261207", "100000", "110000");
    rig.reserve(1, "261207", "261207", "103000", "113000");
    rig.reserve(2, "261207", "261207", "120100", "120100");  // due 12:00:01 only
    auto at = [](int h, int m, int s) { return local_time(2026, 12, 7, h, m, s); };
    fake.journal.files[kJournalFile] = "2026/12/07 09:00:00 +0900\t終了\t-\t\t\r\n";
    journal_program_start((std::time_t)at(9, 30, 0));
    journal_missed_since_last_run((std::time_t)at(9, 30, 0));
    rig.run(at(9, 59, 0), at(10, 45, 0));
    journal_write(kEventWakeTimer, 0, nullptr, 0, "%s", "a line after the second became due");
    // Ended at 10:45; a new process at 12:00:00, whose first tick comes at 12:00:02.
    const ReservationList kept = reservations;
    reset_core_state();
    reservations = kept;
    rig.clock = at(12, 0, 0);
    journal_program_start((std::time_t)at(12, 0, 0));
    EXPECT_EQ(1, journal_missed_since_last_run((std::time_t)at(12, 0, 0)));
    rig.tick(at(12, 0, 2));
    const std::string& log = fake.journal.files[kJournalFile];
    EXPECT_NE(std::string::npos,
              log.find("\t録画漏れ\t2\tr1\t2026/12/07 10:30:00〜2026/12/07 11:30:00: 別の予約(1 r0)を録画中でした"));
    EXPECT_NE(std::string::npos, log.find("\t録画失敗\t1\tr0\t"));
    EXPECT_NE(std::string::npos, log.find("\t録画漏れ\t3\tr2\t2026/12/07 12:01:00〜"));
    // Another start-up finds nothing more.
    reset_history();
    journal_program_start((std::time_t)at(13, 0, 0));
    EXPECT_EQ(0, journal_missed_since_last_run((std::time_t)at(13, 0, 0)));

    // Ended in a power action's delay after the first recording, while the second was
    // still due: written at the next start-up too, with the third.
    reset_history();
    fake.journal.files[kJournalFile] =
        "2026/12/07 09:59:00 +0900\t録画開始\t1\tr0\t\r\n"
        "2026/12/07 11:00:15 +0900\t録画終了\t1\tr0\t\r\n"
        "2026/12/07 11:00:15 +0900\t電源操作\t1\tr0\t\r\n";
    journal_program_start((std::time_t)at(13, 0, 0));
    EXPECT_EQ(2, journal_missed_since_last_run((std::time_t)at(13, 0, 0)));
}

// The name of a recording that never ended is read back cut to whole characters: 16 × 表
// (32 bytes) keeps 15 of them, and the closing parenthesis after it stays its own.
TEST(JournalTimes, AnUnendedRecordingsLongNameIsCutToWholeCharacters) {
    ScopedTimeZone tz("Asia/Tokyo");
    FakePlatform fake;
    SchedulerRig rig;
    rig.reserve(0, "261207", "261207", "100000", "110000");
    rig.reserve(1, "261207", "261207", "103000", "113000");
    std::string name, kept;
    for (int i = 0; i < 16; ++i) name += "表";
    for (int i = 0; i < 15; ++i) kept += "表";
    fake.journal.files[kJournalFile] = "2026/12/07 09:59:00 +0900\t録画開始\t1\t" + name +
                                       "\t\r\n2026/12/07 10:45:00 +0900\t終了\t-\t\t\r\n";
    const std::time_t now = (std::time_t)local_time(2026, 12, 7, 12, 0, 0);
    rig.clock = now;
    journal_program_start(now);
    EXPECT_EQ(1, journal_missed_since_last_run(now));
    EXPECT_NE(std::string::npos,
              fake.journal.files[kJournalFile].find("\t録画漏れ\t2\tr1\t2026/12/07 10:30:00〜2026/12/07 "
                                                    "11:30:00: 別の予約(1 " + kept + ")を録画中でした\r\n"));
}

// During a recording, any re-arm sets the wake-up timer for the start after it, and the
// power action's line names the next occurrence's own start: a midnight window's midnight,
// and the start of one that is due already.
TEST(JournalTimes, TheTimerAndThePowerLineNameTheNextOccurrencesOwnStart) {
    ScopedTimeZone tz("Asia/Tokyo");
    FakePlatform fake;
    SchedulerRig rig;
    FakePower power;
    platform.power = &power;
    auto at = [](int h, int m, int s) { return local_time(2026, 12, 7, h, m, s); };
    rig.reserve(0, "261207", "261207", "210000", "220000");
    rig.reserve(1, "261201", "261231", "000000", "010000", 32);  // Tuesdays from midnight
    rig.tick(at(20, 59, 0));
    power.wake.clear();
    rearm_wake_timer((std::time_t)at(21, 30, 0));  // a save during the recording
    ASSERT_EQ(1u, power.wake.size());
    EXPECT_EQ("arm " + std::to_string((long long)(at(24, 0, 0) - 180)), power.wake[0]);

    recording.active = 0;
    Reservation& r = reservations.table.slots[0];
    r.after_action = 2;
    fake.clock.base = 0;
    rig.clock = at(23, 0, 0);
    run_after_action(0);
    rig.reserve(2, "261207", "261207", "223000", "233000");  // due already
    run_after_action(0);
    const std::string& log = fake.journal.files[kJournalFile];
    EXPECT_NE(std::string::npos, log.find("次の録画(2026/12/08 00:00:00)"));
    EXPECT_NE(std::string::npos, log.find("次の録画(3 r2、2026/12/07 22:30:00)が30分以内のため実行しません"));
}

}  // namespace
