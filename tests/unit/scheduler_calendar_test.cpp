// The scheduler across daylight-saving changes, and ten simulated days of 40 mixed
// reservations ticked once a second.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "base/journal.h"
#include "engine/deletion.h"
#include "engine/history.h"
#include "engine/scheduler.h"
#include "tests/support/core_state.h"
#include "tests/support/fakes.h"
#include "tests/support/scheduler_rig.h"

namespace {

// Seconds since the epoch of a UTC date and time (no time zone involved).
std::int64_t utc(int y, int mo, int d, int h, int mi, int s) {
    // days from civil (proleptic Gregorian)
    y -= mo <= 2;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = (unsigned)(y - era * 400);
    const unsigned doy = (153 * (mo + (mo > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    std::int64_t days = (std::int64_t)era * 146097 + (std::int64_t)doe - 719468;
    return days * 86400 + h * 3600 + mi * 60 + s;
}

using Event = SchedulerRig::Event;

class SchedulerCalendar : public ::testing::Test {
protected:
    ScopedTimeZone tz{"Europe/Berlin"};
    FakePlatform fake;
    SchedulerRig host;
    void reserve(int i, const char* sd, const char* ed, const char* st, const char* et, int mask) {
        host.reserve(i, sd, ed, st, et, mask);
    }
    void run(std::int64_t from, std::int64_t to) { host.run(from, to); }
};

// 2026: summer time starts Sunday 29 March at 02:00 CET (01:00 UTC) and ends Sunday
// 25 October at 03:00 CEST (01:00 UTC).

TEST_F(SchedulerCalendar, OnceOnlyAcrossTheSpringChangeStopsOnTime) {
    reserve(0, "260329", "260329", "013000", "033000", -1);
    run(utc(2026, 3, 29, 0, 20, 0), utc(2026, 3, 29, 2, 0, 0));
    ASSERT_EQ(2u, host.events.size());
    EXPECT_EQ(utc(2026, 3, 29, 0, 29, 0), host.events[0].at);  // 01:29 CET
    EXPECT_EQ(utc(2026, 3, 29, 1, 30, 0), host.events[1].at);  // 03:30 CEST, not an hour late
}

TEST_F(SchedulerCalendar, WeeklyOvernightAcrossBothChangesStopsOnTime) {
    // Saturday 23:00 to Sunday 04:00, every Saturday (bit 2).
    reserve(0, "260301", "261231", "230000", "040000", 2);
    run(utc(2026, 3, 28, 21, 50, 0), utc(2026, 3, 29, 3, 0, 0));
    ASSERT_EQ(2u, host.events.size());
    EXPECT_EQ(utc(2026, 3, 28, 21, 59, 0), host.events[0].at);  // 22:59 CET
    EXPECT_EQ(utc(2026, 3, 29, 2, 0, 0), host.events[1].at);    // 04:00 CEST
    host.events.clear();
    run(utc(2026, 10, 24, 20, 50, 0), utc(2026, 10, 25, 4, 0, 0));
    ASSERT_EQ(2u, host.events.size());
    EXPECT_EQ(utc(2026, 10, 24, 20, 59, 0), host.events[0].at);  // 22:59 CEST
    EXPECT_EQ(utc(2026, 10, 25, 3, 0, 0), host.events[1].at);    // 04:00 CET
}

TEST_F(SchedulerCalendar, TheRepeatedHourOfAutumnIsRecordedOnce) {
    // 02:30 to 02:45 happens twice on 25 October; it is recorded once, not lost.
    reserve(0, "261025", "261025", "023000", "024500", -1);
    reserve(1, "261001", "261031", "021000", "022000", 1);  // Sundays
    run(utc(2026, 10, 24, 23, 0, 0), utc(2026, 10, 25, 3, 0, 0));
    int starts0 = 0, starts1 = 0;
    for (const Event& e : host.events) {
        if (e.kind == 'S' && e.index == 0) ++starts0;
        if (e.kind == 'S' && e.index == 1) ++starts1;
    }
    EXPECT_EQ(1, starts0);
    EXPECT_EQ(1, starts1);
}

TEST_F(SchedulerCalendar, TheMissingHourOfSpringLosesNoWeeklyRecording) {
    // 21:00 on the Sunday of the change, and the days around it.
    reserve(0, "260301", "260430", "210000", "211500", 0x7F);
    run(utc(2026, 3, 28, 0, 0, 0), utc(2026, 3, 31, 0, 0, 0));
    std::vector<std::int64_t> starts;
    for (const Event& e : host.events)
        if (e.kind == 'S') starts.push_back(e.at);
    std::vector<std::int64_t> expected = {utc(2026, 3, 28, 19, 59, 0), utc(2026, 3, 29, 18, 59, 0),
                                          utc(2026, 3, 30, 18, 59, 0)};
    EXPECT_EQ(expected, starts);
}

// Ten days, 40 reservations of mixed kinds, each in its own half hour of the day, so that
// every occurrence that falls due starts on time: a minute before its start.
TEST_F(SchedulerCalendar, TenDaysOfFortyReservations) {
    struct Plan {
        int half_hour;  // start = half_hour * 30 min
        int minutes;
        int mask;       // -1 once only
        int first_day, last_day;  // days of October 2026
    };
    std::vector<Plan> plans;
    for (int k = 0; k < 40; ++k) {
        Plan s;
        s.half_hour = k < 39 ? k + 1 : 47;  // 00:30 .. 19:30, and 23:30
        s.minutes = k < 39 ? 20 : 50;       // the last one runs past midnight
        if (k % 2 == 0) {
            s.mask = -1;
            s.first_day = 20 + (k / 2) % 10;
            s.last_day = s.first_day;
        } else {
            s.mask = (k * 37) % 127 + 1;
            s.first_day = 18 + k % 5;
            s.last_day = 26 + k % 6;
        }
        plans.push_back(s);
    }
    for (int k = 0; k < 40; ++k) {
        const Plan& s = plans[k];
        int sh = s.half_hour / 2, sm = (s.half_hour % 2) * 30;
        int end_total = sh * 60 + sm + s.minutes;
        int eh = (end_total / 60) % 24, em = end_total % 60;
        bool overnight = end_total >= 24 * 60;
        char sd[32], ed[32], st[32], et[32];
        std::snprintf(sd, sizeof(sd), "2610%02d", s.first_day);
        std::snprintf(ed, sizeof(ed), "2610%02d", s.mask < 0 && overnight ? s.last_day + 1 : s.last_day);
        std::snprintf(st, sizeof(st), "%02d%02d00", sh, sm);
        std::snprintf(et, sizeof(et), "%02d%02d00", eh, em);
        reserve(k, sd, ed, st, et, s.mask);
    }
    ASSERT_EQ(40, reservations.count);

    // The occurrences the rules make due, worked out day by day.
    std::int64_t from = local_time(2026, 10, 20, 0, 0, 0);
    std::int64_t to = local_time(2026, 10, 30, 0, 0, 0);
    std::set<std::pair<std::int64_t, int>> expected_starts;
    std::map<std::pair<std::int64_t, int>, std::int64_t> expected_stop;
    for (int k = 0; k < 40; ++k) {
        const Plan& s = plans[k];
        int sh = s.half_hour / 2, sm = (s.half_hour % 2) * 30;
        for (int day = 20; day <= 29; ++day) {
            if (day < s.first_day || day > s.last_day) continue;
            std::int64_t start = local_time(2026, 10, day, sh, sm, 0);
            int end_total = sh * 60 + sm + s.minutes;
            std::int64_t stop = local_time(2026, 10, day + end_total / (24 * 60),
                                           (end_total / 60) % 24, end_total % 60, 0);
            if (s.mask >= 0) {
                int weekday = (3 + (day - 21)) % 7;  // 21 October 2026 is a Wednesday (3)
                if (weekday < 0) weekday += 7;
                const int bit_of_weekday[7] = {1, 64, 32, 16, 8, 4, 2};
                if (!(s.mask & bit_of_weekday[weekday])) continue;
                if (day == s.last_day && end_total >= 24 * 60) continue;  // past its period
            }
            if (start - 60 < from || stop > to) continue;
            expected_starts.insert({start - 60, k});
            expected_stop[{start - 60, k}] = stop;
        }
    }

    run(from, to);

    std::set<std::pair<std::int64_t, int>> starts;
    std::int64_t busy_until = 0;
    int open_index = -1;
    std::int64_t open_at = 0;
    int stops = 0;
    for (const Event& e : host.events) {
        if (e.kind == 'S') {
            EXPECT_EQ(-1, open_index) << "two recordings overlap at " << e.at;
            EXPECT_GE(e.at, busy_until);
            EXPECT_TRUE(starts.insert({e.at, e.index}).second) << "started twice";
            open_index = e.index;
            open_at = e.at;
        } else {
            ASSERT_EQ(open_index, e.index);
            auto it = expected_stop.find({open_at, e.index});
            if (it != expected_stop.end()) {
                EXPECT_EQ(it->second, e.at) << "reservation " << e.index;
            }
            ++stops;
            open_index = -1;
            busy_until = e.at;
        }
    }
    EXPECT_EQ(expected_starts, starts);
    for (const auto& s : starts)
        if (!expected_starts.count(s)) {
            std::time_t t = (std::time_t)s.first;
            char buf[32];
            std::strftime(buf, sizeof(buf), "%m-%d %H:%M:%S", std::localtime(&t));
            ADD_FAILURE() << "unexpected start of " << s.second << " at " << buf;
        }
    for (const auto& s : expected_starts)
        if (!starts.count(s)) ADD_FAILURE() << "missed start of " << s.second << " at " << s.first;
    std::printf("ten days: %zu occurrences due, %zu started, %d stopped\n", expected_starts.size(),
                starts.size(), stops);
    EXPECT_GT(expected_starts.size(), 100u);
}

// next_start is the scan's own answer: random tables ticked second by second across both
// changes start each recording exactly at the moment predicted while idle, never earlier
// and never later. Times include the first minute of a day, the missing and the repeated
// hour, overnight windows and a damaged date.
TEST_F(SchedulerCalendar, NextStartIsTheMomentTheScanStarts) {
    std::mt19937 rng(2026);
    auto pick = [&](int n) { return (int)(rng() % (unsigned)n); };
    const char* times[] = {"000000", "000030", "000100", "013000", "023000", "025930",
                           "030000", "120000", "215500", "230000", "235930"};
    const char* dates[2][5] = {{"260327", "260328", "260329", "260330", "261341"},
                               {"261023", "261024", "261025", "261026", "261301"}};
    int starts = 0;
    for (int round = 0; round < 6; ++round) {
        const int spring = round % 2 == 0 ? 0 : 1;
        const std::int64_t from = spring == 0 ? utc(2026, 3, 27, 10, 0, 0) : utc(2026, 10, 23, 10, 0, 0);
        set_default_reservations(reservations.table);
        reset_schedule_cache();
        recording.active = 0;
        for (int i = 0; i < 4; ++i) {
            int first = pick(4);
            const char* start_date = dates[spring][pick(10) == 0 ? 4 : first];
            const char* end_date = dates[spring][first + pick(4 - first)];
            int mask = pick(3) == 0 ? -1 : pick(128);
            reserve(i, start_date, end_date, times[pick(11)], times[pick(11)], mask);
        }
        SCOPED_TRACE(round);
        std::time_t predicted = 0;
        bool has = next_start(reservations.table, reservations.count, (std::time_t)from, &predicted);
        for (std::int64_t t = from; t < from + 4 * 86400;) {
            host.clock = t;
            const bool idle = !recording.active;
            const std::size_t before = host.events.size();
            check_schedule(SchedulerRig::dialog(), reservations.count, &recording.capture_window, (std::time_t)t);
            const bool started = host.events.size() > before && host.events[before].kind == 'S';
            if (idle && started) {
                ASSERT_TRUE(has) << "started at " << t;
                ASSERT_EQ(predicted, t);
                ++starts;
            } else if (idle && has) {
                ASSERT_GT(predicted, t) << "predicted start did not happen";
            }
            t = host.next_tick(t);
            if (!recording.active && (started || !idle))
                has = next_start(reservations.table, reservations.count, (std::time_t)t, &predicted);
        }
    }
    EXPECT_GT(starts, 10);
}

// What the random runs below went through.
struct Tally {
    int checked = 0, missed = 0, restarts = 0;
    int deleted = 0, recording_moved = 0, refused = 0, missed_at_delete = 0;
};

// Ticking through random tables with random gaps of more than 90 seconds (a PC asleep),
// and the program ending at random moments (with or without its end line, during
// recordings too) and starting again later: every occurrence that became due is either
// started, or written to the journal as missed exactly once. With deletes, reservations
// are deleted at random moments as well (more often right after a gap or a start-up), the
// later ones and a hidden one moving up: an occurrence counts if it could no longer start
// while its reservation was still there, and is known by the reservation's name.
Tally every_occurrence_started_or_missed_once(FakePlatform& fake, SchedulerRig& host,
                                              unsigned seed, bool deletes) {
    std::mt19937 rng(seed);
    auto pick = [&](int n) { return (int)(rng() % (unsigned)n); };
    const char* times[] = {"000000", "000030", "013000", "020000", "023000", "025930",
                           "030000", "120000", "120500", "230000", "235930"};
    const char* dates[2][4] = {{"260327", "260328", "260329", "260330"},
                               {"261023", "261024", "261025", "261026"}};
    typedef std::pair<std::string, std::string> Key;  // name, window start as the journal writes it
    auto key_of = [](const Reservation& r, const Occurrence& o) {
        char start[32];
        journal_time_text(o.start, start, sizeof(start));
        return Key(r.name, start);
    };
    static Occurrence found[4000];
    Tally tally;
    const int made = deletes ? 8 : 5;
    for (int round = 0; round < 30; ++round) {
        SCOPED_TRACE(round);
        const int spring = round % 2;
        const std::int64_t from = spring == 0 ? utc(2026, 3, 27, 10, 0, 0) : utc(2026, 10, 23, 10, 0, 0);
        const std::int64_t to = from + 3 * 86400;
        set_default_reservations(reservations.table);
        for (int i = 0; i < made; ++i) {
            int first = pick(4);
            host.reserve(i, dates[spring][first], dates[spring][first + pick(4 - first)],
                         times[pick(11)], times[pick(11)], pick(3) == 0 ? -1 : pick(128));
        }
        // Beyond the first empty name: never due, wherever it moves.
        if (deletes) host.reserve(made + 1, dates[spring][0], dates[spring][3], "000000", "235930", 0x7F);
        const ReservationTable made_table = reservations.table;
        std::map<std::string, std::int64_t> deleted_at;
        fake.journal.files.clear();
        // Occurrences whose recording the end of a process cut short: started, and may be
        // written missed once when another recording keeps them from starting again.
        std::set<Key> cut;
        // A new process: only the table (as saved) and the journal's files are kept.
        auto start_program = [&](std::int64_t t) {
            Occurrence o;
            const Reservation& r = reservations.table.slots[recording.index];
            if (recording.active && occurrence_at(r, recording.index, recording.started_at, &o))
                cut.insert(key_of(r, o));
            const ReservationList kept = reservations;
            reset_core_state();
            reservations = kept;
            host.clock = t;
            journal_program_start((std::time_t)t);
            journal_missed_since_last_run((std::time_t)t);
        };
        start_program(from);
        host.events.clear();
        std::set<Key> started;
        std::int64_t t = from + pick(3), last_end = from;
        while (t < to) {
            bool jumped = false;
            if (pick(3000) == 0) t += 91 + pick(4 * 3600), jumped = true;
            if (pick(20000) == 0) {
                if (pick(2)) journal_program_end();
                t += 1 + pick(6 * 3600);
                start_program(t);
                t += pick(3);
                ++tally.restarts;
                jumped = true;
            }
            if (deletes && reservations.count > 0 && pick(jumped ? 6 : 60000) == 0) {
                const int slot = pick(reservations.count);
                const std::string name = reservations.table.slots[slot].name;
                const bool active = recording.active != 0;
                const int recorded = recording.index;
                const std::string recorded_name = active ? reservations.table.slots[recorded].name : "";
                host.clock = t;
                const unsigned lines = journal_lines_written();
                const DeleteOutcome outcome = delete_reservation(slot, (std::time_t)t);
                tally.missed_at_delete += journal_lines_written() - lines > 1;
                if (active && recorded == slot) {
                    EXPECT_EQ(kDeleteRecording, outcome);
                    ++tally.refused;
                } else {
                    EXPECT_EQ(kDeleted, outcome);
                    deleted_at[name] = t;
                    ++tally.deleted;
                    tally.recording_moved += active && slot < recorded;
                }
                if (active) {
                    EXPECT_EQ(recorded_name, reservations.table.slots[recording.index].name);
                }
            }
            const std::size_t before = host.events.size();
            host.tick(t);
            for (std::size_t k = before; k < host.events.size(); ++k) {
                Occurrence o;
                if (host.events[k].kind != 'S') continue;
                const Reservation& r = reservations.table.slots[host.events[k].index];
                if (!occurrence_at(r, host.events[k].index, (std::time_t)t, &o)) {
                    ADD_FAILURE() << "started at " << t;
                    continue;
                }
                // Started again after a restart during its recording, when still due.
                started.insert(key_of(r, o));
            }
            last_end = host.clock > t ? host.clock : t;
            t = host.next_tick(t);
        }
        // The last run ends without its end line; a start-up writes what it left.
        start_program(last_end + 1);
        std::map<Key, int> written;
        const std::string& log = fake.journal.files[kJournalFile];
        for (std::size_t at = 0, end; at < log.size(); at = end + 2) {
            end = log.find("\r\n", at);
            const std::string line = log.substr(at, end - at);
            const std::size_t word = line.find("\t録画漏れ\t");
            if (word == std::string::npos) continue;
            const std::size_t slot_end = line.find('\t', word + 1 + std::strlen("録画漏れ\t"));
            const std::size_t name_end = line.find('\t', slot_end + 1);
            ++written[Key(line.substr(slot_end + 1, name_end - slot_end - 1), line.substr(name_end + 1, 19))];
        }
        // Each reservation made, over its life: up to its delete, or the last start-up.
        std::set<Key> due;
        for (int i = 0; i < made; ++i) {
            ReservationTable alone;
            set_default_reservations(alone);
            alone.slots[0] = made_table.slots[i];
            const auto gone = deleted_at.find(alone.slots[0].name);
            const std::int64_t life_end = gone != deleted_at.end() ? gone->second : last_end + 1;
            const int n = missed_occurrences(alone, 1, (std::time_t)from, (std::time_t)life_end, true, found, 4000);
            for (int k = 0; k < n; ++k) due.insert(key_of(alone.slots[0], found[k]));
        }
        for (const Key& k : due) {
            const int lines = written.count(k) ? written[k] : 0;
            if (cut.count(k))
                EXPECT_LE(lines, 1) << k.first << " from " << k.second;
            else
                EXPECT_EQ(started.count(k) ? 0 : 1, lines) << k.first << " from " << k.second;
            ++tally.checked;
        }
        for (const auto& w : written)
            EXPECT_TRUE(due.count(w.first)) << "not due: " << w.first.first << " " << w.first.second;
        tally.missed += (int)written.size();
        if (deletes) {
            // The hidden one moved up once for each delete, and the last slots are cleared.
            const int hidden = made + 1 - (int)deleted_at.size();
            EXPECT_EQ(made - (int)deleted_at.size(), reservations.count);
            EXPECT_STREQ(made_table.slots[made + 1].name, reservations.table.slots[hidden].name);
            for (int i = hidden + 1; i < kMaxReservations; ++i)
                EXPECT_EQ('\0', reservations.table.slots[i].name[0]) << i;
        }
    }
    return tally;
}

TEST_F(SchedulerCalendar, EveryOccurrenceIsStartedOrWrittenMissedOnceAcrossRestarts) {
    const Tally tally = every_occurrence_started_or_missed_once(fake, host, 15, false);
    EXPECT_GT(tally.checked, 50);
    EXPECT_GT(tally.missed, 5);
    EXPECT_GT(tally.restarts, 5);
}

// Deleting a reservation writes none of the others' occurrences twice and loses none,
// in the running program or across a restart: start-up maps the slot numbers of the
// journal's older lines through each "予約削除" line.
TEST_F(SchedulerCalendar, EveryOccurrenceIsStartedOrWrittenMissedOnceAcrossDeletes) {
    const Tally tally = every_occurrence_started_or_missed_once(fake, host, 30, true);
    EXPECT_GT(tally.checked, 50);
    EXPECT_GT(tally.missed, 5);
    EXPECT_GT(tally.deleted, 60);
    EXPECT_GT(tally.recording_moved, 5);
    EXPECT_GT(tally.refused, 0);
    EXPECT_GT(tally.missed_at_delete, 10);
}

// Over a gap across the autumn change: a Saturday overnight window can be started only on
// its own day; a daily reservation whose period ends in the gap has no later day; a time
// of the repeated hour is its first, summer-time moment.
TEST_F(SchedulerCalendar, MissedOccurrencesOverAGapAcrossTheAutumnChange) {
    reserve(0, "261001", "261031", "230000", "040000", 2);     // Saturdays 23:00 to 04:00
    reserve(1, "261020", "261025", "120000", "130000", 0x7F);  // daily until Sunday 13:00
    reserve(2, "261025", "261025", "023000", "024500", -1);    // the repeated hour
    Occurrence found[10];
    // Saturday 22:00 CEST to Monday 15:00 CET.
    ASSERT_EQ(3, missed_occurrences(reservations.table, 3, (std::time_t)utc(2026, 10, 24, 20, 0, 0),
                                    (std::time_t)utc(2026, 10, 26, 14, 0, 0), false, found, 10));
    const Occurrence expected[3] = {
        {0, (std::time_t)utc(2026, 10, 24, 20, 59, 0), (std::time_t)utc(2026, 10, 24, 21, 59, 59),
         (std::time_t)utc(2026, 10, 24, 21, 0, 0), (std::time_t)utc(2026, 10, 25, 3, 0, 0)},
        {2, (std::time_t)utc(2026, 10, 25, 0, 29, 0), (std::time_t)utc(2026, 10, 25, 0, 44, 0),
         (std::time_t)utc(2026, 10, 25, 0, 30, 0), (std::time_t)utc(2026, 10, 25, 0, 45, 0)},
        {1, (std::time_t)utc(2026, 10, 25, 10, 59, 0), (std::time_t)utc(2026, 10, 25, 11, 59, 0),
         (std::time_t)utc(2026, 10, 25, 11, 0, 0), (std::time_t)utc(2026, 10, 25, 12, 0, 0)},
    };
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(expected[k].index, found[k].index) << k;
        EXPECT_EQ(expected[k].first, found[k].first) << k;
        EXPECT_EQ(expected[k].last, found[k].last) << k;
        EXPECT_EQ(expected[k].start, found[k].start) << k;
        EXPECT_EQ(expected[k].stop, found[k].stop) << k;
    }
    // Still startable at the end of the span: not missed.
    EXPECT_EQ(0, missed_occurrences(reservations.table, 3, (std::time_t)utc(2026, 10, 24, 20, 0, 0),
                                    (std::time_t)utc(2026, 10, 24, 21, 30, 0), false, found, 10));
}

}  // namespace
