// The recording scheduler as short timelines: ticks at chosen moments against a host that
// logs what the scheduler asked of it and whose sleep advances the clock.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "engine/scheduler.h"
#include "engine/scheduler.h"
#include "engine/wake.h"
#include "tests/support/fakes.h"

namespace {

WindowRef const kDialog = (WindowRef)0xD1A;
WindowRef const kCapture = (WindowRef)0xCA9;

class FakeHost : public SchedulerHost {
public:
    std::int64_t clock = 0;  // advanced by sleeps
    std::vector<std::string> log;
    // Called from inside the first writer, as a message box's loop would deliver a tick.
    std::int64_t reentrant_tick_at = -1;
    // The step a repaint would draw while a writer's message box is up.
    std::vector<int> steps_in_writers;

    void add(const char* fmt, long a = 0, long b = 0) {
        char buf[128];
        std::snprintf(buf, sizeof(buf), fmt, a, b);
        log.push_back(buf);
    }
    void sleep_ms(std::uint32_t ms) override {
        add("sleep %ld", (long)ms);
        clock += ms / 1000;
    }
    int show_status(WindowRef, int step, int index) override {
        add("status %ld #%ld", step, index);
        return step;
    }
    void post_command(WindowRef d, int id) override { add("post %ld", id), check(d); }
    void send_command(WindowRef d, int id) override { add("send %ld", id), check(d); }
    void send_to_capture(WindowRef w, unsigned m) override {
        add("capture %ld", (long)m);
        EXPECT_EQ(kCapture, w);
    }
    void repaint(WindowRef d) override { add("repaint"), check(d); }
    void show_reservation(WindowRef, int index) override { add("show #%ld", index); }
    int apply_recording_conditions(WindowRef, int i) override { return writer("conditions", i); }
    int apply_picture_quality(WindowRef, int i) override { return writer("quality", i); }
    int apply_stream_format(WindowRef, int i) override { return writer("format", i); }
    int apply_gop_structure(WindowRef, int i) override { return writer("gop", i); }
    void open_capture_application(WindowRef* w, int index) override {
        add("open #%ld", index);
        *w = kCapture;
    }
    void move_newest_recording(WindowRef, const char* folder) override {
        log.push_back(std::string("move ") + folder);
    }
    void run_after_action(int index) override { add("after #%ld", index); }

    // The entries naming a start ("open") and a stop ("capture 2029"), in order.
    std::vector<std::string> milestones() const {
        std::vector<std::string> out;
        for (const std::string& s : log)
            if (s.rfind("open", 0) == 0 || s == "capture 2029") out.push_back(s);
        return out;
    }

private:
    void check(WindowRef d) { EXPECT_EQ(kDialog, d); }
    int writer(const char* name, int i) {
        log.push_back(std::string("write ") + name + " #" + std::to_string(i));
        steps_in_writers.push_back(recording.status_step);
        if (reentrant_tick_at >= 0) {
            std::int64_t t = reentrant_tick_at;
            reentrant_tick_at = -1;
            check_schedule(kDialog, reservations.count, &recording.capture_window, (std::time_t)t);
            log.push_back("reentrant tick done");
        }
        return 0;
    }
};

class Scheduler : public ::testing::Test {
protected:
    ScopedTimeZone tz{"Asia/Tokyo"};
    FakePlatform fake;
    FakeHost host;
    SchedulerHost* saved = nullptr;

    void SetUp() override {
        saved = platform.host;
        platform.host = &host;
        reset_schedule_cache();
        set_default_reservations(reservations.table);
    }
    void TearDown() override { platform.host = saved; }

    // Slot i: name, dates, times, weekly mask (mode 1 when mask >= 0, else once only).
    void reserve(int i, const char* start_date, const char* end_date, const char* start_time,
                 const char* end_time, int mask = -1) {
        Reservation& r = reservations.table.slots[i];
        std::snprintf(r.name, sizeof(r.name), "r%d", i);
        std::strcpy(r.start_date, start_date);
        std::strcpy(r.end_date, end_date);
        std::strcpy(r.start_time, start_time);
        std::strcpy(r.end_time, end_time);
        r.repeat_mode = mask >= 0 ? 1 : 0;
        r.weekday_mask = (std::uint8_t)(mask >= 0 ? mask : 0);
        reservations.count = count_in_use(reservations.table);
    }

    // One tick at t; the host's clock follows the sleeps of the sequence.
    void tick(std::int64_t t) {
        host.clock = t;
        check_schedule(kDialog, reservations.count, &recording.capture_window, (std::time_t)t);
    }
    // Ticks once a second from `from` to `to` inclusive (skipping the seconds a sequence
    // blocked), returns nothing; the log tells what happened.
    void run(std::int64_t from, std::int64_t to) {
        std::int64_t t = from;
        while (t <= to) {
            tick(t);
            t = host.clock > t ? host.clock + 1 : t + 1;
        }
    }
    int starts() const {
        int n = 0;
        for (const std::string& s : host.log) n += s.rfind("open", 0) == 0;
        return n;
    }
};

TEST_F(Scheduler, NoReservationsInUseDoNothing) {
    reserve(0, "261207", "261207", "210000", "220000");
    reservations.count = 0;
    run(local_time(2026, 12, 7, 20, 58, 0), local_time(2026, 12, 7, 21, 1, 0));
    EXPECT_TRUE(host.log.empty());
    EXPECT_EQ(0, recording.active);
}

TEST_F(Scheduler, StartsAMinuteEarlyAndStopsAtTheStopTime) {
    reserve(0, "261207", "261207", "210000", "211000");
    std::int64_t early = local_time(2026, 12, 7, 20, 58, 59);
    tick(early);
    EXPECT_TRUE(host.log.empty()) << "20:58:59 plus a minute is still before 21:00:00";
    tick(early + 1);  // 20:59:00
    std::vector<std::string> expected = {
        "status 2 #0", "open #0", "show #0", "status 3 #0", "sleep 42000",
        "status 4 #0", "post 1128", "status 5 #0"};
    EXPECT_EQ(expected, host.log);
    EXPECT_EQ(1, recording.active);
    EXPECT_EQ(0, recording.index);
    EXPECT_EQ(5, recording.status_step);
    EXPECT_EQ(local_time(2026, 12, 7, 21, 10, 0), (std::int64_t)recording.stop_time);
    EXPECT_EQ(kCapture, recording.capture_window);

    host.log.clear();
    tick(local_time(2026, 12, 7, 21, 9, 59));
    EXPECT_TRUE(host.log.empty()) << "no look-ahead while recording";
    tick(local_time(2026, 12, 7, 21, 10, 0));
    std::vector<std::string> stop = {"status 6 #0", "send 1127",  "sleep 15000", "status 7 #0",
                                     "capture 2029", "repaint",   "after #0"};
    EXPECT_EQ(stop, host.log);
    EXPECT_EQ(0, recording.active);
    EXPECT_EQ(7, recording.status_step);
    EXPECT_EQ(kCapture, recording.capture_window) << "the handle is kept after the close command";
}

TEST_F(Scheduler, WritersRunUnderTheirConditionsInOrderBeforeStepTwo) {
    reserve(0, "261207", "261207", "210000", "211000");
    Reservation& r = reservations.table.slots[0];
    r.use_conditions = 1;
    r.use_quality = 1;
    r.stream_format = 4;
    r.use_gop = 1;
    tick(local_time(2026, 12, 7, 20, 59, 0));
    ASSERT_GE(host.log.size(), 5u);
    std::vector<std::string> head(host.log.begin(), host.log.begin() + 5);
    std::vector<std::string> expected = {"write conditions #0", "write quality #0",
                                         "write format #0", "write gop #0", "status 2 #0"};
    EXPECT_EQ(expected, head);

    // Only the flagged ones, and a stream format read as a signed byte must be above 0.
    recording.active = 0;
    host.log.clear();
    r.use_conditions = 0;
    r.use_quality = 0;
    r.use_gop = 0;
    r.stream_format = 0xFF;  // -1
    tick(local_time(2026, 12, 7, 20, 59, 30));
    EXPECT_EQ("status 2 #0", host.log.at(0));
    host.log.clear();
    recording.active = 0;
    r.stream_format = 1;
    r.use_gop = 1;
    tick(local_time(2026, 12, 7, 20, 59, 40));
    EXPECT_EQ("write format #0", host.log.at(0));
    EXPECT_EQ("write gop #0", host.log.at(1));
    EXPECT_EQ("status 2 #0", host.log.at(2));
}

TEST_F(Scheduler, StopMovesTheRecordingWhenAskedAndReadsTheSlotThen) {
    reserve(0, "261207", "261207", "210000", "211000");
    tick(local_time(2026, 12, 7, 20, 59, 0));
    Reservation& r = reservations.table.slots[0];
    r.move_after_record = 1;  // changed during the recording: takes effect
    std::strcpy(r.move_folder, "d:\\rec\\news");
    host.log.clear();
    tick(local_time(2026, 12, 7, 21, 10, 0));
    std::vector<std::string> stop = {"status 6 #0",  "send 1127",          "sleep 15000",
                                     "status 7 #0",  "capture 2029",       "move d:\\rec\\news",
                                     "repaint",      "after #0"};
    EXPECT_EQ(stop, host.log);
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
    std::vector<std::string> expected = {"open #0", "capture 2029", "open #1", "capture 2029"};
    EXPECT_EQ(expected, host.milestones()) << "not started again, and the later one is recorded";
}

TEST_F(Scheduler, TwoDueReservationsRecordTheLowerIndexFirst) {
    reserve(0, "261207", "261207", "210000", "210500");
    reserve(1, "261207", "261207", "210000", "213000");
    run(local_time(2026, 12, 7, 20, 58, 0), local_time(2026, 12, 7, 21, 40, 0));
    std::vector<std::string> expected = {"open #0", "capture 2029", "open #1", "capture 2029"};
    EXPECT_EQ(expected, host.milestones());
    EXPECT_EQ(local_time(2026, 12, 7, 21, 30, 0), (std::int64_t)recording.stop_time);

    // Had the first run past the second's end, the second would not be started at all.
    host.log.clear();
    reserve(2, "261207", "261207", "220000", "223000");
    reserve(3, "261207", "261207", "220000", "220500");
    run(local_time(2026, 12, 7, 21, 58, 0), local_time(2026, 12, 7, 22, 40, 0));
    std::vector<std::string> only_first = {"open #2", "capture 2029"};
    EXPECT_EQ(only_first, host.milestones());
}

TEST_F(Scheduler, SlotsAtOrBeyondTheCountAreNeverStarted) {
    reserve(0, "261207", "261207", "210000", "210500");
    reserve(1, "261207", "261207", "210000", "210500");
    reservations.table.slots[0].name[0] = '\0';
    reservations.count = 0;
    run(local_time(2026, 12, 7, 20, 58, 0), local_time(2026, 12, 7, 21, 6, 0));
    EXPECT_EQ(0, starts());
    // A count above 40 from a damaged state reads no slot beyond the table.
    run(local_time(2026, 12, 7, 20, 58, 0), local_time(2026, 12, 7, 20, 58, 0));
}

TEST_F(Scheduler, TheFormShowsTheRunningReservationWhileTheSelectionStays) {
    reserve(0, "261207", "261207", "220000", "220500");  // not due yet
    reserve(1, "261207", "261207", "200000", "220000");
    reservations.selected_index = 0;
    tick(local_time(2026, 12, 7, 20, 59, 0));
    EXPECT_EQ(1, recording.index);
    EXPECT_NE(host.log.end(), std::find(host.log.begin(), host.log.end(), "show #1"));
    EXPECT_EQ(0, reservations.selected_index);
}

TEST_F(Scheduler, ATickInsideAWritersMessageDoesNothing) {
    reserve(0, "261207", "261207", "210000", "210100");
    reservations.table.slots[0].use_conditions = 1;
    // The message box stays open past the stop time.
    host.reentrant_tick_at = local_time(2026, 12, 7, 21, 2, 0);
    tick(local_time(2026, 12, 7, 20, 59, 0));
    std::vector<std::string> expected = {"write conditions #0", "reentrant tick done",
                                         "status 2 #0", "open #0", "show #0", "status 3 #0",
                                         "sleep 42000", "status 4 #0", "post 1128", "status 5 #0"};
    EXPECT_EQ(expected, host.log);
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
    EXPECT_EQ(std::vector<int>{2}, host.steps_in_writers);
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
    EXPECT_FALSE(next_start(reservations.count, (std::time_t)local_time(2026, 12, 1, 0, 0, 0), &at));
    // A leap day is a real date.
    reserve(0, "280229", "280229", "120000", "120100");
    reservations.count = 1;
    ASSERT_TRUE(next_start(1, (std::time_t)local_time(2026, 12, 1, 0, 0, 0), &at));
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
            ASSERT_EQ((mask & bit_of_weekday[wd]) != 0, weekday_selected(0, wd))
                << "mask " << mask << " weekday " << wd;
    }
    reservations.table.slots[0].weekday_mask = 0x80;  // -128 as a signed byte: no day
    for (int wd = 0; wd < 7; ++wd) EXPECT_FALSE(weekday_selected(0, wd));
    reservations.table.slots[0].weekday_mask = 0xFF;  // -1
    for (int wd = 0; wd < 7; ++wd) EXPECT_FALSE(weekday_selected(0, wd));
}

// The wake-up timer and the hold on the system around two recordings: armed three minutes
// before each start, held awake from five minutes before a start until the recording has
// been moved, then rearmed for the next one; cancelled when none is left. The timer
// refuses every arming here: both recordings are made all the same.
TEST_F(Scheduler, WakeTimerAndKeepAwakeFollowTheRecordings) {
    FakePower power;
    power.log = &host.log;
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
    fake.clock.base = e0 + 15;
    run(s0 - 60, e0);        // the recording and its stop sequence
    fake.clock.base = e1 + 15;
    run(s1 - 400, e1);
    platform.power = inert_platform().power;

    std::vector<std::string> seen;
    for (const std::string& s : host.log)
        if (s.rfind("arm", 0) == 0 || s.rfind("awake", 0) == 0 || s == "cancel" ||
            s == "sleep 42000" || s == "capture 2029" || s.rfind("after", 0) == 0)
            seen.push_back(s);
    const std::vector<std::string> expected = {
        arm(s0 - 60 - 180), "awake 1", "sleep 42000", "capture 2029", arm(s1 - 60 - 180),
        "awake 0", "after #0", "awake 1", "sleep 42000", "capture 2029", "cancel", "awake 0",
        "after #1"};
    EXPECT_EQ(expected, seen);
    // The hold began exactly 299 seconds before the first start.
    std::int64_t t = s0 - 400;
    host.log.clear();
    reset_wake_state();
    platform.power = &power;
    rearm_wake_timer((std::time_t)t);
    recording.active = 0;
    for (; host.log.back() != "awake 1"; ++t) tick(t);
    EXPECT_EQ(s0 - 60 - 299, t - 1);
    platform.power = inert_platform().power;
}

}  // namespace
