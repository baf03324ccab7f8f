// The recording scheduler as short timelines: ticks at chosen moments against a rig that
// logs what the scheduler asked of the platform and whose waits advance the clock.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "capture_settings/settings_file.h"
#include "engine/scheduler.h"
#include "engine/wake.h"
#include "tests/support/fakes.h"
#include "tests/support/scheduler_rig.h"

namespace {

WindowRef const kCapture = SchedulerRig::capture();

class Scheduler : public ::testing::Test {
protected:
    ScopedTimeZone tz{"Asia/Tokyo"};
    FakePlatform fake;
    SchedulerRig rig;

    void reserve(int i, const char* sd, const char* ed, const char* st, const char* et, int mask = -1) {
        rig.reserve(i, sd, ed, st, et, mask);
    }
    void tick(std::int64_t t) { rig.tick(t); }
    void run(std::int64_t from, std::int64_t to) { rig.run(from, to); }
    int starts() const { return rig.starts(); }
};

TEST_F(Scheduler, NoReservationsInUseDoNothing) {
    reserve(0, "261207", "261207", "210000", "220000");
    reservations.count = 0;
    run(local_time(2026, 12, 7, 20, 58, 0), local_time(2026, 12, 7, 21, 1, 0));
    EXPECT_TRUE(rig.log.empty());
    EXPECT_EQ(0, recording.active);
}

TEST_F(Scheduler, StartsAMinuteEarlyAndStopsAtTheStopTime) {
    reserve(0, "261207", "261207", "210000", "211000");
    std::int64_t early = local_time(2026, 12, 7, 20, 58, 59);
    tick(early);
    EXPECT_TRUE(rig.log.empty()) << "20:58:59 plus a minute is still before 21:00:00";
    tick(early + 1);  // 20:59:00
    std::vector<std::string> expected = {
        "status 2 #0", "place", "show #0", "status 3 #0", "sleep 42000",
        "status 4 #0", "post record", "status 5 #0"};
    EXPECT_EQ(expected, rig.log);
    EXPECT_EQ(1, recording.active);
    EXPECT_EQ(0, recording.index);
    EXPECT_EQ(5, recording.status_step);
    EXPECT_EQ(local_time(2026, 12, 7, 21, 10, 0), (std::int64_t)recording.stop_time);
    EXPECT_EQ(kCapture, recording.capture_window);

    rig.log.clear();
    tick(local_time(2026, 12, 7, 21, 9, 59));
    EXPECT_TRUE(rig.log.empty()) << "no look-ahead while recording";
    tick(local_time(2026, 12, 7, 21, 10, 0));
    // "Samples" is looked at for the result; last, the reservation's after-recording wait
    // (none) and power action (none).
    std::vector<std::string> stop = {"status 6 #0",  "send stop",           "sleep 15000",
                                     "status 7 #0",  "capture 2029",        "search Samples\\*.*",
                                     "repaint",      "sleep 0"};
    EXPECT_EQ(stop, rig.log);
    EXPECT_EQ(0, recording.active);
    EXPECT_EQ(7, recording.status_step);
    EXPECT_EQ(kCapture, recording.capture_window) << "the handle is kept after the close command";
}

// Each writer reads and writes the settings file once; those the record asks for run
// before step 2 is shown, and a stream format read as a signed byte must be above 0.
TEST_F(Scheduler, WritersRunUnderTheirConditionsBeforeStepTwo) {
    fake.files.files["Krotx2.ini"] =
        "dwVideoBitrate=0\r\ndwAudioBitrate=0\r\ndwAudioSampleFreq=0\r\nHRes=0\r\nm_bIsVBR=0\r\n"
        "Brightness=0\r\nContrast=0\r\nSaturation=0\r\nHue=0\r\nOMODE=9\r\nIsEs=9\r\n"
        "MPeriod=9\r\nm_NNtsc=9\r\n";
    reserve(0, "261207", "261207", "210000", "211000");
    Reservation& r = reservations.table.slots[0];
    r.use_conditions = 1;
    r.use_quality = 1;
    r.stream_format = 4;
    r.use_gop = 1;
    auto writes_before_step_two = [&]() {
        auto step_two = std::find(rig.log.begin(), rig.log.end(), "status 2 #0");
        EXPECT_EQ(std::count(rig.log.begin(), rig.log.end(), "write Krotx2.ini"),
                  std::count(rig.log.begin(), step_two, "write Krotx2.ini"));
        return std::count(rig.log.begin(), rig.log.end(), "write Krotx2.ini");
    };
    tick(local_time(2026, 12, 7, 20, 59, 0));
    EXPECT_EQ(4, writes_before_step_two());
    const std::string& ini = fake.files.files["Krotx2.ini"];
    // The default record's values; AVI (format 4) leaves IsEs alone; GOP entry 0 is 3 and 15.
    for (const char* line : {"dwVideoBitrate=4000000\r\n", "Brightness=127\r\n", "OMODE=2\r\n",
                             "IsEs=9\r\n", "MPeriod=3\r\n", "m_NNtsc=15\r\n"})
        EXPECT_NE(std::string::npos, ini.find(line)) << line;

    const int stream_formats[] = {0xFF /* -1 */, 1};
    const int writes[] = {0, 2};
    for (int k = 0; k < 2; ++k) {
        recording.active = 0;
        rig.log.clear();
        r.use_conditions = 0;
        r.use_quality = 0;
        r.use_gop = k;
        r.stream_format = (std::uint8_t)stream_formats[k];
        tick(local_time(2026, 12, 7, 20, 59, 30 + k));
        EXPECT_EQ(writes[k], writes_before_step_two()) << k;
    }
}

TEST_F(Scheduler, StopMovesTheRecordingWhenAskedAndReadsTheSlotThen) {
    reserve(0, "261207", "261207", "210000", "211000");
    tick(local_time(2026, 12, 7, 20, 59, 0));
    Reservation& r = reservations.table.slots[0];
    r.move_after_record = 1;  // changed during the recording: takes effect
    std::strcpy(r.move_folder, "d:\\rec\\news");
    rig.log.clear();
    tick(local_time(2026, 12, 7, 21, 10, 0));
    // "Samples" searched for the result, the folder made, and "Samples" searched for the
    // move: it holds nothing here.
    std::vector<std::string> stop = {"status 6 #0",  "send stop",    "sleep 15000",
                                     "status 7 #0",  "capture 2029", "search Samples\\*.*",
                                     "mkdir d:\\rec\\news", "search Samples\\*.*", "repaint",
                                     "sleep 0"};
    EXPECT_EQ(stop, rig.log);
}

TEST_F(Scheduler, WeeklyMidnightStartIsNotStartedAMinuteEarly) {
    // 2026-12-07 is a Monday; Tuesday's bit is 32.
    reserve(0, "261201", "261231", "000000", "010000", 32);
    run(local_time(2026, 12, 7, 23, 58, 0), local_time(2026, 12, 7, 23, 59, 59));
    EXPECT_EQ(0, starts());
    tick(local_time(2026, 12, 8, 0, 0, 0));
    EXPECT_EQ(1, starts());
    EXPECT_EQ(local_time(2026, 12, 8, 1, 0, 0), (std::int64_t)recording.stop_time);
}

TEST_F(Scheduler, WeeklyOvernightMondayRecording) {
    reserve(0, "261201", "261231", "230000", "010000", 64);  // Monday
    run(local_time(2026, 12, 7, 22, 58, 0), local_time(2026, 12, 7, 22, 58, 59));
    EXPECT_EQ(0, starts());
    tick(local_time(2026, 12, 7, 22, 59, 0));
    EXPECT_EQ(1, starts());
    EXPECT_EQ(local_time(2026, 12, 8, 1, 0, 0), (std::int64_t)recording.stop_time);
    run(local_time(2026, 12, 8, 0, 59, 0), local_time(2026, 12, 8, 0, 59, 59));
    EXPECT_EQ(1, recording.active);
    tick(local_time(2026, 12, 8, 1, 0, 0));
    EXPECT_EQ(0, recording.active);
    run(local_time(2026, 12, 8, 1, 0, 20), local_time(2026, 12, 8, 1, 5, 0));
    EXPECT_EQ(1, starts());
}

TEST_F(Scheduler, WeeklyOvernightIsNotStartedWhenTheProgramComesUpAfterMidnight) {
    reserve(0, "261201", "261231", "230000", "010000", 64);
    run(local_time(2026, 12, 8, 0, 30, 0), local_time(2026, 12, 8, 1, 30, 0));
    EXPECT_EQ(0, starts());
}

TEST_F(Scheduler, WeeklyOvernightIsNotStartedOnItsEndDate) {
    // Ends on Monday 14th: the period ends at 01:00 that day, before the evening window.
    reserve(0, "261201", "261214", "230000", "010000", 64);
    run(local_time(2026, 12, 14, 22, 58, 0), local_time(2026, 12, 14, 23, 30, 0));
    EXPECT_EQ(0, starts());
}

TEST_F(Scheduler, OvernightWindowBelongsToTheDayItStarts) {
    // Tuesday only, 23:30 to 00:20. At Monday 23:59 the look-ahead minute is already
    // Tuesday, but Monday's window is not Tuesday's recording.
    reserve(0, "261201", "261231", "233000", "002000", 32);
    run(local_time(2026, 12, 7, 23, 0, 0), local_time(2026, 12, 8, 0, 30, 0));
    EXPECT_EQ(0, starts());
    run(local_time(2026, 12, 8, 23, 28, 0), local_time(2026, 12, 8, 23, 29, 0));
    EXPECT_EQ(1, starts());
    EXPECT_EQ(local_time(2026, 12, 9, 0, 20, 0), (std::int64_t)recording.stop_time);
}

TEST_F(Scheduler, WeekdayOutsideTheMaskIsNeverStarted) {
    reserve(0, "261201", "261231", "100000", "100500", 0x7F & ~64);  // all but Monday
    run(local_time(2026, 12, 7, 9, 58, 0), local_time(2026, 12, 7, 10, 6, 0));
    EXPECT_EQ(0, starts());
    run(local_time(2026, 12, 8, 9, 58, 0), local_time(2026, 12, 8, 10, 6, 0));
    EXPECT_EQ(1, starts());
}

TEST_F(Scheduler, OnceOnlyStartingAtMidnightFoundAMinuteEarlyRecordsItsWholePeriod) {
    reserve(0, "261208", "261208", "000000", "003000");
    tick(local_time(2026, 12, 7, 23, 59, 0));
    ASSERT_EQ(1, starts());
    EXPECT_EQ(local_time(2026, 12, 8, 0, 30, 0), (std::int64_t)recording.stop_time);
    run(local_time(2026, 12, 7, 23, 59, 43), local_time(2026, 12, 8, 0, 29, 59));
    EXPECT_EQ(1, recording.active) << "not stopped at once and started again";
    EXPECT_EQ(1, starts());
    run(local_time(2026, 12, 8, 0, 30, 0), local_time(2026, 12, 8, 0, 40, 0));
    EXPECT_EQ(0, recording.active);
    EXPECT_EQ(1, starts()) << "the next ticks do not start it again";
}

TEST_F(Scheduler, OnceOnlyOvernightFoundAfterMidnightStopsAtItsPeriodEnd) {
    reserve(0, "261207", "261208", "230000", "010000");
    tick(local_time(2026, 12, 8, 0, 30, 0));
    ASSERT_EQ(1, starts());
    EXPECT_EQ(local_time(2026, 12, 8, 1, 0, 0), (std::int64_t)recording.stop_time)
        << "not 01:00 of the day after, a whole extra day";
}

TEST_F(Scheduler, OnceOnlyFromADamagedFileRecordsAtMostADay) {
    // An end date a month on, which the form never stores for a once-only reservation.
    reserve(0, "261207", "270107", "210000", "220000");
    reserve(1, "261209", "261209", "120000", "123000");
    tick(local_time(2026, 12, 7, 20, 59, 0));
    ASSERT_EQ(1, starts());
    EXPECT_EQ(local_time(2026, 12, 8, 21, 0, 0), (std::int64_t)recording.stop_time);
    run(local_time(2026, 12, 8, 21, 0, 0), local_time(2026, 12, 9, 12, 40, 0));
    std::vector<std::string> expected = {"show #0", "capture 2029", "show #1", "capture 2029"};
    EXPECT_EQ(expected, rig.milestones()) << "not started again, and the later one is recorded";
}

TEST_F(Scheduler, TwoDueReservationsRecordTheLowerIndexFirst) {
    reserve(0, "261207", "261207", "210000", "210500");
    reserve(1, "261207", "261207", "210000", "213000");
    run(local_time(2026, 12, 7, 20, 58, 0), local_time(2026, 12, 7, 21, 40, 0));
    std::vector<std::string> expected = {"show #0", "capture 2029", "show #1", "capture 2029"};
    EXPECT_EQ(expected, rig.milestones());
    EXPECT_EQ(local_time(2026, 12, 7, 21, 30, 0), (std::int64_t)recording.stop_time);

    // Had the first run past the second's end, the second would not be started at all.
    rig.log.clear();
    reserve(2, "261207", "261207", "220000", "223000");
    reserve(3, "261207", "261207", "220000", "220500");
    run(local_time(2026, 12, 7, 21, 58, 0), local_time(2026, 12, 7, 22, 40, 0));
    std::vector<std::string> only_first = {"show #2", "capture 2029"};
    EXPECT_EQ(only_first, rig.milestones());
}

TEST_F(Scheduler, SlotsAtOrBeyondTheCountAreNeverStarted) {
    reserve(0, "261207", "261207", "210000", "210500");
    reserve(1, "261207", "261207", "210000", "210500");
    reservations.table.slots[0].name[0] = '\0';
    reservations.count = 0;
    run(local_time(2026, 12, 7, 20, 58, 0), local_time(2026, 12, 7, 21, 6, 0));
    EXPECT_EQ(0, starts());
    // A count above 40 from a damaged state reads no slot beyond the table (a read past it
    // fails the sanitized run) and still finds the last slot due.
    for (int i = 0; i < kMaxReservations; ++i) reserve(i, "261208", "261208", "210000", "210500");
    reserve(39, "261207", "261207", "220000", "220500");
    reservations.count = 1000;
    std::time_t at = 0;
    ASSERT_TRUE(next_start(reservations.table, reservations.count, (std::time_t)local_time(2026, 12, 7, 21, 0, 0), &at));
    EXPECT_EQ(local_time(2026, 12, 7, 21, 59, 0), (std::int64_t)at);
    run(local_time(2026, 12, 7, 21, 58, 50), local_time(2026, 12, 7, 21, 59, 0));
    EXPECT_EQ(1, starts());
    EXPECT_EQ(39, recording.index);
}

TEST_F(Scheduler, TheFormShowsTheRunningReservationWhileTheSelectionStays) {
    reserve(0, "261207", "261207", "220000", "220500");  // not due yet
    reserve(1, "261207", "261207", "200000", "220000");
    reservations.selected_index = 0;
    tick(local_time(2026, 12, 7, 20, 59, 0));
    EXPECT_EQ(1, recording.index);
    EXPECT_NE(rig.log.end(), std::find(rig.log.begin(), rig.log.end(), "show #1"));
    EXPECT_EQ(0, reservations.selected_index);
}

TEST_F(Scheduler, ATickInsideAWritersMessageDoesNothing) {
    reserve(0, "261207", "261207", "210000", "210100");
    reservations.table.slots[0].use_conditions = 1;
    // The message box stays open past the stop time.
    // The settings file is missing: the writer's message box stays open past the stop time.
    rig.inside_message = [this]() {
        tick(local_time(2026, 12, 7, 21, 2, 0));
        rig.log.push_back("tick inside done");
    };
    tick(local_time(2026, 12, 7, 20, 59, 0));
    std::vector<std::string> expected = {"message",     "tick inside done", "status 2 #0",
                                         "place",       "show #0",          "status 3 #0",
                                         "sleep 42000", "status 4 #0",      "post record",
                                         "status 5 #0"};
    EXPECT_EQ(expected, rig.log);
    EXPECT_EQ(1, recording.active);
}

TEST_F(Scheduler, APaintInsideAWritersMessageShowsTheNewRecordingsFirstLines) {
    reserve(0, "261207", "261207", "200000", "201000");
    reserve(1, "261207", "261207", "210000", "211000");
    reservations.table.slots[1].use_conditions = 1;
    tick(local_time(2026, 12, 7, 19, 59, 0));
    tick(local_time(2026, 12, 7, 20, 10, 0));
    ASSERT_EQ(7, recording.status_step);  // the first recording ended with all seven lines
    tick(local_time(2026, 12, 7, 20, 59, 0));
    // Not the first recording's "stop" and "close" lines under the second one's name.
    EXPECT_EQ(std::vector<int>{2}, rig.steps_at_messages);
    EXPECT_EQ(1, recording.index);
}

TEST_F(Scheduler, DamagedDatesAndTimesAreNeverDue) {
    const char* bad_dates[] = {"26120", "2612077", "26x207", "261307", "261200", "260230", "      "};
    for (int i = 0; i < 7; ++i) {
        Reservation& r = reservations.table.slots[i];
        std::snprintf(r.name, sizeof(r.name), "bad%d", i);
        std::memcpy(r.start_date, bad_dates[i], std::strlen(bad_dates[i]) + 1 > 7 ? 7 : std::strlen(bad_dates[i]) + 1);
        std::strcpy(r.end_date, "261231");
        std::strcpy(r.start_time, "000000");
        std::strcpy(r.end_time, "235959");
    }
    Reservation& t = reservations.table.slots[7];
    std::strcpy(t.name, "badtime");
    std::strcpy(t.start_date, "261201");
    std::strcpy(t.end_date, "261231");
    std::strcpy(t.start_time, "246000");
    std::strcpy(t.end_time, "250000");
    Reservation& full = reservations.table.slots[8];
    std::memset(&full, '9', sizeof(full));  // no NUL anywhere
    reservations.count = 9;
    run(local_time(2026, 12, 7, 12, 0, 0), local_time(2026, 12, 7, 12, 2, 0));
    EXPECT_EQ(0, starts());
    std::time_t at;
    EXPECT_FALSE(next_start(reservations.table, reservations.count, (std::time_t)local_time(2026, 12, 1, 0, 0, 0), &at));
    // A leap day is a real date.
    reserve(0, "280229", "280229", "120000", "120100");
    reservations.count = 1;
    ASSERT_TRUE(next_start(reservations.table, 1, (std::time_t)local_time(2026, 12, 1, 0, 0, 0), &at));
    EXPECT_EQ(local_time(2028, 2, 29, 11, 59, 0), at);
    tick(local_time(2028, 2, 29, 11, 59, 0));
    EXPECT_EQ(1, starts());
}

TEST_F(Scheduler, WeekdayTestForEveryDayAndMask) {
    // weekday 0 Sunday .. 6 Saturday; bits Monday 64 .. Sunday 1.
    const int bit_of_weekday[7] = {1, 64, 32, 16, 8, 4, 2};
    for (int mask = 0; mask < 128; ++mask) {
        reservations.table.slots[0].weekday_mask = (std::uint8_t)mask;
        for (int wd = 0; wd < 7; ++wd)
            ASSERT_EQ((mask & bit_of_weekday[wd]) != 0, weekday_selected(reservations.table.slots[0], wd))
                << "mask " << mask << " weekday " << wd;
    }
    reservations.table.slots[0].weekday_mask = 0x80;  // -128 as a signed byte: no day
    for (int wd = 0; wd < 7; ++wd) EXPECT_FALSE(weekday_selected(reservations.table.slots[0], wd));
    reservations.table.slots[0].weekday_mask = 0xFF;  // -1
    for (int wd = 0; wd < 7; ++wd) EXPECT_FALSE(weekday_selected(reservations.table.slots[0], wd));
}

// The wake-up timer and the hold on the system around two recordings: armed three minutes
// before each start, held awake from five minutes before a start until the recording has
// been moved, then rearmed for the next one; cancelled when none is left. The timer
// refuses every arming here: both recordings are made all the same.
TEST_F(Scheduler, WakeTimerAndKeepAwakeFollowTheRecordings) {
    FakePower power;
    power.log = &rig.log;
    power.arm_result = -1;  // a timer that cannot be armed changes nothing else
    platform.power = &power;
    reset_wake_state();
    reserve(0, "261207", "261207", "210000", "220000");
    reserve(1, "261207", "261207", "230000", "233000");
    const std::int64_t s0 = local_time(2026, 12, 7, 21, 0, 0), e0 = s0 + 3600;
    const std::int64_t s1 = local_time(2026, 12, 7, 23, 0, 0), e1 = s1 + 1800;
    auto arm = [](std::int64_t t) { return "arm " + std::to_string((long long)t); };

    rearm_wake_timer((std::time_t)(s0 - 7200));
    run(s0 - 400, s0 - 61);  // awake from 21:00 - 60 s - 299 s on
    run(s0 - 60, e0);        // the recording and its stop sequence
    run(s1 - 400, e1);
    platform.power = inert_platform().power;

    std::vector<std::string> seen;
    for (const std::string& s : rig.log)
        if (s.rfind("arm", 0) == 0 || s.rfind("awake", 0) == 0 || s == "cancel" ||
            s == "sleep 42000" || s == "capture 2029" || s == "sleep 0")
            seen.push_back(s);
    // Once a recording has started, the timer is set for the start after it; "sleep 0":
    // the after-recording wait, after which the timer is set once more.
    const std::vector<std::string> expected = {
        arm(s0 - 60 - 180), "awake 1",      "sleep 42000",      arm(s1 - 60 - 180), "capture 2029",
        arm(s1 - 60 - 180), "awake 0",      "sleep 0",          arm(s1 - 60 - 180), "awake 1",
        "sleep 42000",      "cancel",       "capture 2029",     "cancel",           "awake 0",
        "sleep 0",          "cancel"};
    EXPECT_EQ(expected, seen);
    // The hold began exactly 299 seconds before the first start.
    std::int64_t t = s0 - 400;
    rig.log.clear();
    reset_wake_state();
    platform.power = &power;
    rearm_wake_timer((std::time_t)t);
    recording.active = 0;
    for (; rig.log.back() != "awake 1"; ++t) tick(t);
    EXPECT_EQ(s0 - 60 - 299, t - 1);
    platform.power = inert_platform().power;
}

}  // namespace
