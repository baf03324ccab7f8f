// The forecast against the scheduler it foretells: a table with every fate worked out by
// hand, and random tables run through the scheduler itself.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <set>
#include <string>
#include <utility>

#include "engine/due_rule.h"
#include "engine/forecast.h"
#include "engine/scheduler.h"
#include "tests/support/core_state.h"
#include "tests/support/fakes.h"
#include "tests/support/scheduler_rig.h"

namespace {

// yymmdd and hhmmss texts of local time t.
void texts_of(std::time_t t, char date[7], char time[7]) {
    std::tm tm;
    localtime_r(&t, &tm);
    std::strftime(date, 7, "%y%m%d", &tm);
    std::strftime(time, 7, "%H%M%S", &tm);
}

class Forecasts : public ::testing::Test {
protected:
    Forecasts() { reset_core_state(); }
    FakePlatform fake;
    SchedulerRig rig;
    static Forecast forecast;

    ForecastInput input(std::time_t now) {
        ForecastInput in = {};
        in.table = &reservations.table;
        in.count = reservations.count;
        in.now = now;
        in.capture_open = rig.capture_open;
        in.rates[0] = {-1, -1};
        in.rates[1] = {-1, -1};
        return in;
    }
    // Once only, from local start for minutes.
    void once(int i, std::time_t start, int minutes) {
        char sd[7], st[7], ed[7], et[7];
        texts_of(start, sd, st);
        texts_of(start + minutes * 60, ed, et);
        rig.reserve(i, sd, ed, st, et);
    }
    const ForecastEntry* entry_of(int index) const {
        for (int k = 0; k < forecast.count; ++k)
            if (forecast.entries[k].occurrence.index == index) return &forecast.entries[k];
        return nullptr;
    }
};
Forecast Forecasts::forecast;

// Every fate, from the waits: a start is due a minute before its window; the capture
// application needs 13 s after a launch and 42 s more before the record command; the stop
// sequence takes 15 s, and the tick that fell due meanwhile comes as it ends; stand-by
// resumes three minutes before the next start; a shutdown ends the program, unless the
// next start falls due within half an hour of it. Lateness is what the user loses: the
// programme's start to the record command.
TEST_F(Forecasts, EveryFateFollowsFromTheWaits) {
    ScopedTimeZone tz("Asia/Tokyo");
    const std::time_t ten = (std::time_t)local_time(2026, 12, 8, 10, 0, 0);
    once(0, ten, 60);                      // 10:00-11:00
    once(1, ten + 30 * 60, 60);            // 10:30-11:30, held back until 11:00:15
    once(2, ten + 60 * 60, 20);            // 11:00-11:20, lost to slot 1's recording
    once(5, ten + 80 * 60, 12);            // 11:20-11:32, due until 11:31: lost to the wait
    once(3, ten + 105 * 60, 15);           // 11:45-12:00, after the stand-by
    once(6, ten + 110 * 60, 70);           // 11:50-13:00, held back until 12:00:15
    once(4, ten + 180 * 60, 60);           // 13:00-14:00, then a shutdown
    once(7, ten + 280 * 60, 20);           // 14:40-15:00, only if started again
    Reservation& second = reservations.table.slots[1];
    second.after_action = 4;               // stand-by
    second.after_delay = 60;
    second.use_conditions = 1;             // its own rates
    second.video_bitrate = 8000000;
    second.audio_bitrate = 256;
    reservations.table.slots[4].after_action = 2;
    rig.capture_open = false;
    make_forecast(input(ten - 3600), &forecast);

    ASSERT_EQ(8, forecast.count);
    EXPECT_EQ(kFateOnTime, entry_of(0)->fate);  // recording from 09:59:55
    EXPECT_EQ(ten - 60, entry_of(0)->start_tick);
    // Slot 0 stops at 11:00:00, closes at 11:00:15; slot 1 starts at that tick, launches
    // the capture application again and records from 11:01:10 to 11:30:00.
    const ForecastEntry& late = *entry_of(1);
    EXPECT_EQ(kFateLate, late.fate);
    EXPECT_EQ(ten + 3600 + 15, late.start_tick);
    EXPECT_EQ(31 * 60 + 10, late.late_seconds);
    EXPECT_EQ((8000000LL + 256 * 1000) * (30 * 60 - 70) / 8, late.expected_bytes);
    EXPECT_EQ(kFateMissed, entry_of(2)->fate);
    EXPECT_EQ(1, entry_of(2)->by);
    EXPECT_EQ(kCauseRecording, entry_of(2)->cause);
    // Held until 11:30:15, then a minute's wait, then stand-by until 11:41.
    EXPECT_EQ(kCauseWait, entry_of(5)->cause);
    EXPECT_EQ(kFateOnTime, entry_of(3)->fate);
    EXPECT_EQ(ten + 7200 + 15, entry_of(6)->start_tick);
    EXPECT_EQ(11 * 60 + 10, entry_of(6)->late_seconds);
    EXPECT_EQ(70, entry_of(4)->late_seconds);
    // The shutdown at 14:00:15 comes 38 minutes before 14:40 is due.
    EXPECT_EQ(kFateIfRunning, entry_of(7)->fate);
    EXPECT_EQ(-1, entry_of(0)->expected_bytes);  // no settings file to read rates from
    static char text[8192];
    forecast_text(forecast, reservations.table, -1, text, sizeof(text));
    const std::string shown = text;
    // A drive that cannot be queried, and sizes that cannot be known, are said to be so.
    EXPECT_EQ(0u, shown.find("録画先(Samples)のドライブの空き容量: 不明\r\n"
                             "今後7日間の録画の予定サイズ: 1,703 MB(サイズ不明を除く)\r\n"));
    EXPECT_NE(std::string::npos, shown.find("31分10秒遅れて開始"));
    EXPECT_NE(std::string::npos, shown.find("録画されません(2 r1 の録画後の待ち 60 秒のため)"));
    EXPECT_NE(std::string::npos, shown.find("起動していれば録画(5 r4 の録画後の処理「シャットダウンする」のあと)"));

    // Another at 14:25 falls due within half an hour of it: the PC stays on for both.
    once(8, ten + 265 * 60, 5);
    make_forecast(input(ten - 3600), &forecast);
    EXPECT_EQ(kFateOnTime, entry_of(8)->fate);
    EXPECT_EQ(kFateOnTime, entry_of(7)->fate);
}

// A save is warned of when it makes an occurrence rank lower (on time, a minute late at
// most, later, only if the program runs again, not recorded) and a start more than a
// minute late or worse, or when an occurrence vanishes with it; never for the user's own
// edit of the saved slot's times.
TEST_F(Forecasts, WhatASaveMakesWorseIsWarnedOf) {
    ScopedTimeZone tz("Asia/Tokyo");
    const std::time_t ten = (std::time_t)local_time(2026, 12, 8, 10, 0, 0);
    for (int i = 0; i < 5; ++i) once(i, ten + i * 2 * 3600, 30);  // 10:00, 12:00, .. 18:00
    static Forecast before;
    ForecastChange changes[8];
    static char text[4096];
    auto settle = [&] { make_forecast(input(ten - 3600), &before); };
    auto warned = [&](int saved) {
        make_forecast(input(ten - 3600), &forecast);
        const int n = forecast_worsened(before, forecast, saved, changes, 8);
        forecast_warning(before, forecast, reservations.table, saved, -1, text, sizeof(text));
        return n;
    };
    settle();
    // A shutdown after 16:00 puts 18:00 at risk.
    reservations.table.slots[3].after_action = 2;
    ASSERT_EQ(1, warned(3));
    EXPECT_EQ(4, forecast.entries[changes[0].entry].occurrence.index);
    EXPECT_NE(nullptr, std::strstr(text, "起動していれば録画"));
    reservations.table.slots[3].after_action = 0;
    // Moving 12:00 to 12:10 is an edit of its own; 10:00 then lasting to 12:30 makes
    // 12:10 start at 12:30:15 and record from 12:31:10 (a launch, 13 s and 42 s).
    once(1, ten + 130 * 60, 30);
    EXPECT_EQ(0, warned(1));
    settle();
    once(0, ten, 150);
    ASSERT_EQ(1, warned(0));
    EXPECT_EQ(1, forecast.entries[changes[0].entry].occurrence.index);
    EXPECT_EQ(21 * 60 + 10, forecast.entries[changes[0].entry].late_seconds);
    once(0, ten, 30);
    once(1, ten + 2 * 3600, 30);
    settle();
    // Clearing slot 2's name hides it and the two after it, each named as it was.
    reservations.table.slots[2].name[0] = '\0';
    reservations.count = count_in_use(reservations.table);
    ASSERT_EQ(3, warned(2));
    for (int k = 0; k < 3; ++k) {
        EXPECT_TRUE(changes[k].vanished);
        EXPECT_EQ(2 + k, before.entries[changes[k].entry].occurrence.index);
    }
    EXPECT_NE(nullptr, std::strstr(text, "  3 r2  この登録で録画されなくなります\r\n"));
    EXPECT_NE(nullptr, std::strstr(text, "  5 r4  この登録で録画されなくなります\r\n"));

    // The disk line speaks of the saved slot's first occurrence that will be recorded:
    // today's daily 12:00 is lost to 11:00-13:00, tomorrow's is not.
    set_default_reservations(reservations.table);
    once(0, ten + 3600, 120);
    char sd[7], st[7], ed[7], et[7];
    texts_of(ten + 2 * 3600, sd, st);
    texts_of(ten + 7 * 86400 + 2 * 3600 + 1800, ed, et);
    rig.reserve(1, sd, ed, st, et, 127);
    reservations.table.slots[1].use_conditions = 1;
    reservations.table.slots[1].video_bitrate = 8000000;
    make_forecast(input(ten - 3600), &forecast);
    ASSERT_GT(forecast_warning(forecast, forecast, reservations.table, 1, 0, text, sizeof(text)), 0u);
    EXPECT_NE(nullptr, std::strstr(text, "12/09(水) 12:00〜12:30  2 r1\r\nの録画には"));
}

// The recording under way: recorded to its stop, power action included, even when its
// slot now lies past the count in use or was edited since it started; only what remains of
// it counts toward the week's total. Also unreadable settings files, rates beyond 32
// bits, names holding line breaks, and the list at its fullest.
TEST_F(Forecasts, RecordingUnderWayAndTheListAtItsLimits) {
    ScopedTimeZone tz("Asia/Tokyo");
    const std::time_t ten = (std::time_t)local_time(2026, 12, 8, 10, 0, 0);
    once(0, ten + 90 * 60, 60);  // 11:30-12:30
    once(1, ten + 5 * 3600, 60);
    once(2, ten, 120);           // 10:00-12:00, recording since 09:59, then a shutdown
    Reservation& running = reservations.table.slots[2];
    running.after_action = 2;
    running.use_conditions = 1;
    running.video_bitrate = 8000000;
    running.audio_bitrate = 0;
    std::strcpy(reservations.table.slots[0].name, "a\r\nb");
    reservations.table.slots[1].name[0] = '\0';  // an update at 10:05 hides slots 1 and 2
    reservations.count = count_in_use(reservations.table);
    ForecastInput in = input(ten + 300);
    in.recording = {true, 2, ten - 60, ten - 18, ten + 7200, 0};
    in.settings_unreadable[0] = true;
    make_forecast(in, &forecast);
    ASSERT_EQ(2, forecast.count);
    EXPECT_TRUE(forecast.entries[0].under_way);
    // Recorded to 12:00, its shutdown held back for 11:30, which is still due then.
    EXPECT_EQ(ten + 7200 + 15, entry_of(0)->start_tick);
    bool unknown = false;
    EXPECT_EQ(8000000LL * (7200 - 300) / 8, forecast_total_bytes(forecast, 7, &unknown));
    EXPECT_TRUE(unknown);  // 11:30's, without rates
    static char text[8192];
    forecast_text(forecast, reservations.table, -1, text, sizeof(text));
    EXPECT_NE(nullptr, std::strstr(text, "\r\n設定ファイル Krotx2.ini を開けません"));
    EXPECT_NE(nullptr, std::strstr(text, "  1 a  b  31分10秒遅れて開始"));

    // Its start moved meanwhile: it is listed from where it stands now, yet never as
    // worse; nor is its former occurrence gone.
    static Forecast before;
    running.after_action = 0;
    make_forecast(in, &before);
    std::memcpy(running.start_time, "090000", 7);
    make_forecast(in, &forecast);
    EXPECT_GT(entry_of(2)->late_seconds, 3000);
    ForecastChange changes[4];
    EXPECT_EQ(0, forecast_worsened(before, forecast, 2, changes, 4));

    // Forty all-day weekly reservations across the spring change in Berlin: 30 occurrences
    // each from 23:30 on the 14th (that day's, and the 15th to 12 April, up to 00:30
    // summer time), and a recording under way of an occurrence its edited slot still
    // gives, but not one of those. Rates beyond 32 bits are unknown.
    ScopedTimeZone berlin("Europe/Berlin");
    set_default_reservations(reservations.table);
    for (int i = 0; i < kMaxReservations; ++i) rig.reserve(i, "270301", "270430", "000000", "235959", 127);
    in = input((std::time_t)local_time(2027, 3, 14, 23, 30, 0));
    in.rates[0] = {999999999999999999LL, 0};
    const std::time_t yesterday = (std::time_t)local_time(2027, 3, 13, 23, 0, 0);
    in.recording = {true, 0, yesterday, yesterday + 55, yesterday + 7200, 0};
    make_forecast(in, &forecast);
    EXPECT_EQ(kMaxReservations * 30 + 1, forecast.count);
    EXPECT_TRUE(forecast.entries[0].under_way);
    EXPECT_EQ(-1, forecast.entries[0].expected_bytes);
    forecast_total_bytes(forecast, 7, &unknown);
    EXPECT_TRUE(unknown);
}

// The forecast made at the start of a run is what the scheduler then does, start by start:
// random tables, stand-by resuming at the wake-up timer, shutdowns ending the run or held
// back before a near start, boxes of a missing settings file that nobody answers, the
// capture window closed after each recording, across the autumn change in Berlin too.
TEST_F(Forecasts, IsTheSchedulersOwnFuture) {
    std::mt19937 rng(23);
    auto pick = [&](int n) { return (int)(rng() % (unsigned)n); };
    const char* zones[2] = {"Asia/Tokyo", "Europe/Berlin"};
    int started_total = 0, missed_total = 0;
    for (int round = 0; round < 60; ++round) {
        SCOPED_TRACE(round);
        ScopedTimeZone tz(zones[round % 2]);
        reset_core_state();
        rig.log.clear();
        set_default_reservations(reservations.table);
        const std::time_t from = (std::time_t)(round % 2 ? local_time(2026, 10, 23, 20, 0, 0)
                                                         : local_time(2026, 12, 8, 5, 0, 0));
        const int n = 2 + pick(10);
        for (int i = 0; i < n; ++i) {
            const std::time_t start = from + pick(36 * 60) * 60 + (pick(4) == 0 ? pick(60) : 0);
            const int minutes = 1 + pick(pick(4) == 0 ? 600 : 90);
            if (pick(3) == 0) {
                // Weekly, its period from a day or two before to a few days after.
                char sd[7], st[7], ed[7], et[7], unused[7];
                texts_of(start - pick(2) * 86400, sd, st);
                texts_of(start + minutes * 60, unused, et);
                texts_of(start + pick(4) * 86400 + minutes * 60, ed, unused);
                rig.reserve(i, sd, ed, st, et, 1 + pick(127));
            } else {
                once(i, start, minutes);
            }
            Reservation& r = reservations.table.slots[i];
            const int actions[16] = {0, 0, 0, 0, 0, 0, 4, 4, 4, 4, 4, 4, 4, 1, 2, 3};
            r.after_action = (std::uint8_t)actions[pick(16)];
            const int delays[5] = {0, 0, 5, 120, 1800};
            r.after_delay = delays[pick(5)];
            r.move_after_record = (std::uint8_t)pick(2);
            r.use_conditions = (std::uint8_t)(pick(5) == 0);  // no settings file: a box
        }
        rig.capture_open = pick(2) == 0;
        rig.close_closes = true;
        rig.samples_file = true;
        RigPower power(rig);
        ForecastInput in = input(from);
        in.settings_unreadable[0] = in.settings_unreadable[1] = true;
        make_forecast(in, &forecast);

        // The scheduler, ticked every second within two minutes of each start foretold and
        // of each sequence's end, jumping elsewhere over idle spans to the next start and
        // over a recording to its stop. Once the first recording runs, the forecast is
        // made again from the program as it stands.
        static Forecast during;
        during.made_at = -1;
        std::time_t running_start = -1;
        std::set<std::time_t> foretold;
        auto foretell = [&](const Forecast& f) {
            for (int k = 0; k < f.count; ++k)
                if (f.entries[k].fate == kFateOnTime || f.entries[k].fate == kFateLate)
                    foretold.insert(f.entries[k].start_tick);
        };
        foretell(forecast);
        // slot, window start -> the tick that started it and its record command
        std::map<std::pair<int, std::time_t>, std::pair<std::time_t, std::time_t>> started;
        std::time_t t = from, dense_until = from;
        while (!power.ended && t < from + 40 * 86400) {
            rig.tick(t);
            if (recording.active && recording.started_at == t) {
                Occurrence o;
                ASSERT_TRUE(occurrence_at(reservations.table.slots[recording.index], recording.index, t, &o));
                started[{o.index, o.start}] = {t, recording.record_at};
            }
            if (rig.clock > t) dense_until = (std::time_t)rig.clock + 120;
            t = (std::time_t)rig.next_tick(t);
            if (recording.active && during.made_at < 0) {
                forecast_now(t, &during);
                running_start = recording.started_at;
                foretell(during);
            }
            const auto near = foretold.lower_bound(t - 120);
            if (t < dense_until || (near != foretold.end() && *near - 120 <= t)) continue;
            std::time_t next;
            if (recording.active) {
                next = recording.stop_time;
            } else if (!next_start(reservations.table, reservations.count, t, &next)) {
                break;
            }
            if (near != foretold.end() && *near - 120 < next) next = *near - 120;
            if (next > t) t = next;
        }

        // Every start foretold is made at its tick, and nothing else from the forecast's
        // moment on (the recording under way, for the second).
        auto check = [&](const Forecast& f, std::time_t running_start) -> int {
            int foretold = 0, made = 0;
            for (int k = 0; k < f.count; ++k) {
                const ForecastEntry& e = f.entries[k];
                const auto it = started.find({e.occurrence.index, e.occurrence.start});
                SCOPED_TRACE(k);
                if (e.fate == kFateOnTime || e.fate == kFateLate) {
                    ++foretold;
                    EXPECT_NE(started.end(), it);
                    if (it == started.end()) continue;
                    const std::time_t tick = it->second.first, record = it->second.second;
                    EXPECT_EQ(e.start_tick, tick);
                    EXPECT_EQ(e.record_at, record);
                    EXPECT_EQ(e.late_seconds, record > e.occurrence.start ? (long)(record - e.occurrence.start) : 0);
                } else {
                    EXPECT_EQ(started.end(), it);
                    ++missed_total;
                }
            }
            for (const auto& s : started)
                made += s.second.first >= f.made_at || s.second.first == running_start;
            EXPECT_EQ(made, foretold);
            return foretold;
        };
        started_total += check(forecast, -1);
        if (during.made_at >= 0) check(during, running_start);
    }
    // The rounds reached every kind of outcome.
    EXPECT_GT(started_total, 100);
    EXPECT_GT(missed_total, 10);
}

}  // namespace
