// The forecast against the scheduler it foretells: a table with every fate worked out by
// hand, and random tables run through the scheduler itself.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <random>
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
// sequence takes 15 s; a shutdown ends the program.
TEST_F(Forecasts, EveryFateFollowsFromTheWaits) {
    ScopedTimeZone tz("Asia/Tokyo");
    const std::time_t ten = (std::time_t)local_time(2026, 12, 8, 10, 0, 0);
    once(0, ten, 60);                      // 10:00-11:00
    once(1, ten + 30 * 60, 60);            // 10:30-11:30, held back until 11:00
    once(2, ten + 60 * 60, 20);            // 11:00-11:20, lost to slot 2's recording
    once(3, ten + 105 * 60, 15);           // 11:45-12:00, lost to the shutdown
    once(4, ten + 180 * 60, 60);           // 13:00-14:00, only if started again
    Reservation& second = reservations.table.slots[1];
    second.after_action = 2;               // shutdown
    second.after_delay = 60;
    second.use_conditions = 1;             // its own rates
    second.video_bitrate = 8000000;
    second.audio_bitrate = 256;
    rig.capture_open = false;
    make_forecast(input(ten - 3600), &forecast);

    ASSERT_EQ(5, forecast.count);
    EXPECT_EQ(kFateOnTime, entry_of(0)->fate);
    EXPECT_EQ(ten - 60, entry_of(0)->start_tick);
    // Slot 1 stops at 11:00:00, closes at 11:00:15; slot 2 starts at the next tick.
    const ForecastEntry& late = *entry_of(1);
    EXPECT_EQ(kFateLate, late.fate);
    EXPECT_EQ(ten + 3600 + 16, late.start_tick);
    EXPECT_EQ(3600 + 16 - 30 * 60 + 60, late.late_seconds);
    // The capture application was closed after slot 1: launched again, recorded from
    // 11:00:16 + 13 + 42 to the stop command at 11:30:00.
    const long long seconds = 30 * 60 - 16 - 13 - 42;
    EXPECT_EQ((8000000LL + 256 * 1000) * seconds / 8, late.expected_bytes);
    EXPECT_EQ(kFateMissed, entry_of(2)->fate);
    EXPECT_EQ(1, entry_of(2)->by);
    EXPECT_FALSE(entry_of(2)->by_power_action);
    // Shut down at 11:31:15; 11:44 falls within half an hour of it, 12:59 does not.
    EXPECT_EQ(kFateMissed, entry_of(3)->fate);
    EXPECT_TRUE(entry_of(3)->by_power_action);
    EXPECT_EQ(1, entry_of(3)->by);
    EXPECT_EQ(2, entry_of(3)->by_action);
    EXPECT_EQ(kFateIfRunning, entry_of(4)->fate);
    EXPECT_EQ(-1, entry_of(0)->expected_bytes);  // no settings file to read rates from
    // A drive that cannot be queried, and sizes that cannot be known, are said to be so.
    static char text[8192];
    forecast_text(forecast, reservations.table, -1, text, sizeof(text));
    EXPECT_EQ(0u, std::string(text).find("録画先(Samples)のドライブの空き容量: 不明\r\n"));

    // Moving the second to 14:30 makes nothing worse: it records on time, and the 11:00
    // one now starts 76 s late where it was lost. Lengthening the first to 13:30 then
    // loses the 13:00 one, which was only at risk before.
    static Forecast before;
    before = forecast;
    once(1, ten + 270 * 60, 60);
    make_forecast(input(ten - 3600), &forecast);
    int worse[5];
    EXPECT_EQ(0, forecast_worsened(before, forecast, worse, 5));
    EXPECT_EQ(76, entry_of(2)->late_seconds);
    once(0, ten, 210);
    make_forecast(input(ten - 3600), &forecast);
    ASSERT_EQ(1, forecast_worsened(before, forecast, worse, 5));
    EXPECT_EQ(4, forecast.entries[worse[0]].occurrence.index);
    EXPECT_GT(forecast_warning(before, forecast, reservations.table, 0, -1, text, sizeof(text)), 0u);
    EXPECT_NE(nullptr, std::strstr(text, "r4"));
    EXPECT_EQ(0u, forecast_warning(forecast, forecast, reservations.table, 0, -1, text, sizeof(text)));
    // Too little room for the saved reservation's next recording: said with both figures.
    EXPECT_GT(forecast_warning(forecast, forecast, reservations.table, 1, 1 << 20, text, sizeof(text)),
              0u);
    EXPECT_NE(nullptr, std::strstr(text, "1 MB"));
}

// The forecast made at the start of a run is what the scheduler then does, start by start:
// random tables, stand-by resuming at the wake-up timer, shutdowns ending the run, the
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
        }
        rig.capture_open = pick(2) == 0;
        rig.close_closes = true;
        rig.samples_file = true;
        RigPower power(rig);
        make_forecast(input(from), &forecast);

        // The scheduler, ticked once a second, jumping over idle spans to the next start
        // and over a recording to its stop. Once the first recording runs, the forecast
        // is made again from the program as it stands.
        static Forecast during;
        during.made_at = -1;
        std::time_t running_start = -1;
        std::map<std::pair<int, std::time_t>, std::time_t> started;  // slot, window start -> tick
        std::time_t t = from;
        while (!power.ended && t < from + 40 * 86400) {
            rig.tick(t);
            if (recording.active && recording.started_at == t) {
                Occurrence o;
                ASSERT_TRUE(occurrence_at(reservations.table.slots[recording.index], recording.index, t, &o));
                started[{o.index, o.start}] = t;
            }
            t = rig.clock > t ? (std::time_t)rig.clock + 1 : t + 1;
            if (recording.active && during.made_at < 0) {
                forecast_now(t, &during);
                running_start = recording.started_at;
            }
            std::time_t next;
            if (recording.active) {
                if (t < recording.stop_time) t = recording.stop_time;
            } else if (!next_start(reservations.table, reservations.count, t, &next)) {
                break;
            } else if (next > t) {
                t = next;
            }
        }
        for (const std::string& line : rig.log) ASSERT_NE("message", line);

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
                    EXPECT_EQ(e.start_tick, it->second);
                    EXPECT_EQ(e.late_seconds, (long)(it->second - e.occurrence.first));
                } else {
                    EXPECT_EQ(started.end(), it);
                    ++missed_total;
                }
            }
            for (const auto& s : started) made += s.second >= f.made_at || s.second == running_start;
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
