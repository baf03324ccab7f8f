// Deleting a reservation: the table closing up, the recording under way keeping its own
// reservation, what the journal says, and start-up reading slot numbers back through it.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/journal.h"
#include "engine/deletion.h"
#include "engine/history.h"
#include "engine/recording.h"
#include "reservations/reservation.h"
#include "tests/support/fakes.h"
#include "tests/support/scheduler_rig.h"

namespace {

class Deletion : public ::testing::Test {
protected:
    ScopedTimeZone tz{"Asia/Tokyo"};
    FakePlatform fake;
    FakePower power;
    SchedulerRig rig;
    void SetUp() override { platform.power = &power; }
    static std::int64_t at(int h, int m, int s) { return local_time(2026, 12, 7, h, m, s); }
    std::string& log() { return fake.journal.files[kJournalFile]; }
    // From the word on, of the lines of these words: "word\tslot\tname", and the details
    // of a missed line.
    std::vector<std::string> lines_of(std::size_t from = 0) {
        std::vector<std::string> out;
        const std::string& s = log();
        for (std::size_t p = from, end; p < s.size(); p = end + 2) {
            end = s.find("\r\n", p);
            const std::string line = s.substr(p, end - p);
            for (const char* word : {"\t録画開始\t", "\t録画失敗\t", "\t録画漏れ\t", "\t予約削除\t"}) {
                const std::size_t w = line.find(word);
                if (w == std::string::npos) continue;
                std::string kept = line.substr(w + 1);
                if (std::strcmp(word, "\t録画漏れ\t") != 0)
                    kept = kept.substr(0, kept.find('\t', kept.find('\t', kept.find('\t') + 1) + 1));
                out.push_back(kept);
            }
        }
        return out;
    }
};

// Before, during and after a recording. Deleted before it, a reservation leaves nothing;
// the slot recorded cannot be deleted, nor any while a sequence runs; deleted during it, an earlier one's occurrence
// that the recording kept from starting is written missed under its old slot number, the
// recording carries on as its own reservation's, now a slot higher, and what a gap during
// it wrote is neither written again nor hides the occurrence of the reservation that moved
// into that slot number. Every later slot moves up, a hidden one too, and the last is
// cleared to a default record.
TEST_F(Deletion, AroundARecording) {
    rig.reserve(0, "261207", "261207", "094000", "094500");  // deleted before
    rig.reserve(1, "261207", "261207", "102000", "102500");  // held back, deleted during
    rig.reserve(2, "261207", "261207", "104000", "104500");  // over in the gap
    rig.reserve(3, "261207", "261207", "104000", "105000");  // held back
    rig.reserve(4, "261207", "261207", "100000", "110000");  // recorded, deleted after
    rig.reserve(6, "261207", "261207", "100000", "110000");  // hidden
    Reservation& last = reservations.table.slots[kMaxReservations - 1];
    std::memset(&last, 0x5A, sizeof(last));
    std::strcpy(last.name, "r39");
    ASSERT_EQ(5, reservations.count);
    const ReservationTable before = reservations.table;
    reservations.selected_index = 2;

    rig.clock = at(9, 30, 0);
    EXPECT_EQ(kDeleted, delete_reservation(0, (std::time_t)at(9, 30, 0)));
    for (int i = 0; i < kMaxReservations - 1; ++i)
        EXPECT_EQ(0, std::memcmp(&before.slots[i + 1], &reservations.table.slots[i], sizeof(Reservation))) << i;
    // Every byte zeroed, then the default record: what the defaults give a zeroed table.
    static ReservationTable fresh;
    set_default_reservations(fresh);
    EXPECT_EQ(0, std::memcmp(&fresh.slots[0], &last, sizeof(last)));
    EXPECT_EQ(4, reservations.count);
    EXPECT_EQ(-1, reservations.selected_index);
    // The timer wakes the PC for the first start left: r4's, three minutes before 09:59.
    ASSERT_FALSE(power.wake.empty());
    EXPECT_EQ("arm " + std::to_string((long long)at(9, 56, 0)), power.wake.back());

    rig.run(at(9, 30, 0), at(10, 30, 0));
    ASSERT_TRUE(recording.active);
    ASSERT_EQ(3, recording.index);
    const ReservationTable during = reservations.table;
    EXPECT_EQ(kDeleteRecording, delete_reservation(3, (std::time_t)at(10, 30, 0)));
    for (int slot : {-1, 4, 5, kMaxReservations})
        EXPECT_EQ(kDeleteNoSlot, delete_reservation(slot, (std::time_t)at(10, 30, 0))) << slot;
    // As from inside a box that a sequence shows: it holds its slot number in hand.
    recording.sequence_running = 1;
    EXPECT_EQ(kDeleteRecording, delete_reservation(0, (std::time_t)at(10, 30, 0)));
    recording.sequence_running = 0;
    EXPECT_EQ(0, std::memcmp(&during, &reservations.table, sizeof(during)));
    // A gap from 10:30 to 10:47, then the delete at 10:50 and the stop at 11:00.
    rig.run(at(10, 47, 0), at(10, 50, 0));
    rig.clock = at(10, 50, 0);
    EXPECT_EQ(kDeleted, delete_reservation(0, (std::time_t)at(10, 50, 0)));
    EXPECT_EQ(2, recording.index);
    rig.run(at(10, 50, 1), at(11, 10, 0));
    ASSERT_FALSE(recording.active);
    ASSERT_EQ('E', rig.events.back().kind);
    EXPECT_EQ(2, rig.events.back().index);
    rig.clock = at(11, 10, 0);
    EXPECT_EQ(kDeleted, delete_reservation(2, (std::time_t)at(11, 10, 0)));

    const std::vector<std::string> expected = {
        "予約削除\t1\tr0",
        "録画開始\t4\tr4",
        "録画漏れ\t2\tr2\t2026/12/07 10:40:00〜2026/12/07 10:45:00: PCがスリープ中だったか、時計が変更されました",
        "録画漏れ\t1\tr1\t2026/12/07 10:20:00〜2026/12/07 10:25:00: 別の予約(4 r4)を録画中でした",
        "予約削除\t1\tr1",
        "録画漏れ\t2\tr3\t2026/12/07 10:40:00〜2026/12/07 10:50:00: 別の予約(3 r4)を録画中でした",
        "録画失敗\t3\tr4",
        "予約削除\t3\tr4",
    };
    EXPECT_EQ(expected, lines_of());
    EXPECT_EQ(2, reservations.count);
    EXPECT_STREQ("r6", reservations.table.slots[3].name);
    EXPECT_STREQ("r39", reservations.table.slots[kMaxReservations - 4].name);
}

// Start-up reads each line's slot number as it was when the line was written, and maps it
// through every "予約削除" line after it: the deleted slot's own lines map to nothing, later
// slots' one lower. A recording begun as slot 5 and ended as slot 4 after a delete below it
// ended; without its end, it is closed as slot 4, and what it kept from starting is
// written, except what the journal holds already.
TEST_F(Deletion, StartUpMapsSlotNumbersThroughADelete) {
    // As the table is now; before the delete, x was slot 2 and r1, r2, r3 were 3, 4, 5.
    rig.reserve(0, "261207", "261207", "103000", "104000");
    rig.reserve(1, "261207", "261207", "103000", "104000");
    rig.reserve(2, "261207", "261207", "103000", "104000");
    rig.reserve(3, "261207", "261207", "100000", "120000");
    const std::string begun = "2026/12/07 09:59:00 +0900\t録画開始\t5\tr3\t\r\n"
                              "2026/12/07 10:50:00 +0900\t録画漏れ\t2\tx\t2026/12/07 10:30:00〜2026/12/07 10:40:00: a\r\n"
                              "2026/12/07 10:50:00 +0900\t録画漏れ\t4\tr2\t2026/12/07 10:30:00〜2026/12/07 10:40:00: a\r\n"
                              "2026/12/07 10:51:00 +0900\t予約削除\t2\tx\t\r\n";
    const std::time_t now = (std::time_t)at(13, 0, 0);
    rig.clock = now;

    log() = begun + "2026/12/07 12:00:10 +0900\t録画失敗\t4\tr3\t\r\n"
                    "2026/12/07 12:00:30 +0900\t終了\t-\t\t\r\n";
    std::size_t old_size = log().size();
    journal_program_start(now);
    EXPECT_EQ(0, journal_missed_since_last_run(now));
    EXPECT_TRUE(lines_of(old_size).empty());

    reset_history();
    log() = begun + "2026/12/07 10:52:00 +0900\t終了\t-\t\t\r\n";
    old_size = log().size();
    journal_program_start(now);
    EXPECT_EQ(2, journal_missed_since_last_run(now));
    const std::vector<std::string> expected = {
        "録画漏れ\t1\tr0\t2026/12/07 10:30:00〜2026/12/07 10:40:00: 別の予約(4 r3)を録画中でした",
        "録画漏れ\t2\tr1\t2026/12/07 10:30:00〜2026/12/07 10:40:00: 別の予約(4 r3)を録画中でした",
        "録画失敗\t4\tr3",
    };
    EXPECT_EQ(expected, lines_of(old_size));
}

}  // namespace
