// The user's script: which journal lines start "tavrel-event.bat", with what in its
// environment; missed occurrences found together start it once; a start that fails is
// journalled once; without the file, or with a folder of its name, nothing is started.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <numeric>
#include <string>
#include <vector>

#include "base/journal.h"
#include "engine/event_script.h"
#include "engine/history.h"
#include "reservations/reservation.h"
#include "tests/support/fakes.h"
#include "tests/support/scheduler_rig.h"

namespace {

typedef std::map<std::string, std::string> Environment;

struct FakeScripts : Scripts {
    std::vector<Environment> started;
    int result = 0;
    int start(const char* script, const ScriptVariable* vars, int count) override {
        EXPECT_STREQ("tavrel-event.bat", script);
        Environment env;
        for (int i = 0; i < count; ++i) env[vars[i].name] = vars[i].value;
        started.push_back(env);
        return result;
    }
};

// The rig, with one file in "Samples" written when the recording began.
struct SamplesRig : SchedulerRig {
    FoundFile sample = {};
    int search_first(const char* pattern, FoundFile* found) override {
        SchedulerRig::search_first(pattern, found);
        *found = sample;
        return 0;
    }
};

// How often text occurs in the journal.
int count_in(const std::string& log, const std::string& text) {
    int n = 0;
    for (std::size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1)) ++n;
    return n;
}

class EventScript : public ::testing::Test {
protected:
    ScopedTimeZone tz{"Asia/Tokyo"};
    FakePlatform fake;
    SamplesRig rig;
    FakeScripts scripts;

    EventScript() {
        platform.scripts = &scripts;
        fake.files.files["tavrel-event.bat"] = ">>tavrel-events.txt set TAVREL_\r\n";
        event_script_begin();
    }
    std::string log() { return fake.journal.files["tavrel.log"]; }
};

// A recording whose run holds another back and ends in a stand-by that is not made: the
// script starts for the start, the missed one, the result with its file and the power
// action's first line, each with that line's fields, and for no other line. The name, of
// a damaged record, ends in a lone lead byte, which the line and the variable leave out.
TEST_F(EventScript, ARecordingStartsTheScriptForEachOutcomeWithItsLine) {
    rig.reserve(0, "261207", "261207", "210000", "211000");
    rig.reserve(1, "261207", "261207", "210500", "210800");  // held back by slot 1
    rig.reserve(2, "261207", "261207", "211400", "212000");  // too near for a stand-by
    Reservation& r = reservations.table.slots[0];
    const char hostile[] = "a&b|%PATH%\"^c";
    std::snprintf(r.name, sizeof(r.name), "%s\x82", hostile);
    r.after_action = 4;
    r.after_delay = 0;
    std::strcpy(rig.sample.name, "rec.mpg");
    rig.sample.attributes = kAttributeArchive;
    rig.sample.name_exact = true;
    rig.sample.last_write_time = local_time(2026, 12, 7, 21, 10, 0);
    rig.sample.size = 1u << 30;
    rig.run(local_time(2026, 12, 7, 20, 58, 0), local_time(2026, 12, 7, 21, 11, 0));

    // The start, the one held back, the result and the first of the two power lines.
    ASSERT_EQ(2, count_in(log(), "\t電源操作\t1\t"));
    ASSERT_EQ(4u, scripts.started.size());
    const char* const words[] = {"録画開始", "録画漏れ", "録画終了", "電源操作"};
    for (std::size_t i = 0; i < 4; ++i) {
        Environment& env = scripts.started[i];
        EXPECT_EQ(words[i], env["TAVREL_EVENT"]);
        // The line's own fields.
        EXPECT_EQ(1, count_in(log(), std::string("\t") + words[i] + "\t" + env["TAVREL_SLOT"] + "\t" +
                                         env["TAVREL_NAME"] + "\t" + env["TAVREL_DETAILS"] + "\r\n"))
            << i;
        const bool missed = i == 1;
        EXPECT_EQ(missed ? "2026/12/07 21:05:00" : "2026/12/07 20:59:00", env["TAVREL_START"]) << i;
        EXPECT_EQ(missed ? "2026/12/07 21:08:00" : "2026/12/07 21:10:00", env["TAVREL_STOP"]) << i;
        EXPECT_EQ(missed ? "1" : "", env["TAVREL_COUNT"]) << i;
        EXPECT_EQ(i == 2 ? "Samples\\rec.mpg" : "", env["TAVREL_FILE"]) << i;
    }
    EXPECT_EQ(hostile, scripts.started[0]["TAVREL_NAME"]);
}

// More than the journal writes one by one: one start, for the first, counting them all.
TEST_F(EventScript, MissedFoundTogetherStartTheScriptOnce) {
    rig.reserve(0, "261201", "270430", "060000", "063000", 0x7F);  // every day
    rig.reserve(1, "261201", "261201", "070000", "080000");
    const int found = journal_missed(local_time(2026, 12, 1, 0, 0, 0),
                                     local_time(2027, 4, 1, 0, 0, 0), true, -1, 0, "x", "y");
    // 1 Dec to 31 Mar: 121 mornings and the one of 1 Dec at seven.
    EXPECT_EQ(122, found);
    ASSERT_EQ(101, count_in(log(), "\t録画漏れ\t")) << "a hundred lines and the count of the rest";
    ASSERT_EQ(1u, scripts.started.size());
    Environment& env = scripts.started[0];
    EXPECT_EQ(1, count_in(log(), "\t録画漏れ\t1\tr0\t" + env["TAVREL_DETAILS"] + "\r\n"));
    EXPECT_EQ("1", env["TAVREL_SLOT"]);
    EXPECT_EQ("2026/12/01 06:00:00", env["TAVREL_START"]);
    EXPECT_EQ("2026/12/01 06:30:00", env["TAVREL_STOP"]);
    EXPECT_EQ("122", env["TAVREL_COUNT"]);
}

TEST_F(EventScript, AFailedStartIsJournalledOnceAndNoFileOrAFolderStartsNothing) {
    rig.reserve(0, "261207", "261207", "210000", "211000");
    scripts.result = 2;
    journal_reservation(kEventMoveFailed, 0, "%s", "d:\\x");
    ASSERT_EQ(1u, scripts.started.size()) << "its failure line starts nothing";
    EXPECT_EQ(1, count_in(log(), "\tスクリプト失敗\t1\tr0\t")) << log();
    EXPECT_EQ(1, count_in(log(), "エラー 2"));
    EXPECT_EQ(2, count_in(log(), "\r\n")) << "nothing else is written";
    fake.files.files.erase("tavrel-event.bat");
    journal_reservation(kEventSettingsFailed, 0, "%s", "x");
    fake.files.folders.insert("tavrel-event.bat");
    journal_reservation(kEventRecordingStart, 0, "%s", "x");
    EXPECT_EQ(1u, scripts.started.size());
    EXPECT_EQ(1, count_in(log(), "スクリプト失敗"));
}

// A settings file that cannot be read at an unattended start: the first box closes itself
// after 30 s and says so in a line of its own, which starts nothing; the next writer's
// failure goes to the journal alone. The record command goes all the same, and the next
// reservation is started in its turn.
TEST_F(EventScript, ABoxNobodyAnswersHoldsAStartUpThirtySecondsAtMost) {
    rig.reserve(0, "261207", "261207", "210000", "211000");
    rig.reserve(1, "261207", "261207", "211500", "212000");
    reservations.table.slots[0].use_conditions = 1;
    reservations.table.slots[0].use_quality = 1;
    rig.run(local_time(2026, 12, 7, 20, 58, 0), local_time(2026, 12, 7, 21, 21, 0));
    EXPECT_EQ(2, rig.starts());
    EXPECT_EQ(2, count_in(std::accumulate(rig.log.begin(), rig.log.end(), std::string()), "post record"));
    EXPECT_EQ(1, count_in(std::accumulate(rig.log.begin(), rig.log.end(), std::string()), "message"));
    EXPECT_EQ(3, count_in(log(), "\t設定失敗\t1\tr0\t"));
    EXPECT_EQ(1, count_in(log(), "\t設定失敗\t1\tr0\t30秒応答がなかったため閉じました\r\n"));
    int settings_scripts = 0;
    for (Environment& env : scripts.started) settings_scripts += env["TAVREL_EVENT"] == "設定失敗";
    EXPECT_EQ(2, settings_scripts);
}

}  // namespace
