// Records that the form never writes, as a damaged "recdata.dat" may hold them: what the
// pictures make of them. (Cases found by fuzzing the table.)
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "engine/scheduler.h"
#include "tests/support/fakes.h"
#include "view/timetable.h"

namespace {

std::string first_status_line(int index) {
    RecordingSurfaces& s = *static_cast<RecordingSurfaces*>(platform.surfaces);
    s.ops.clear();
    paint_status_panel(nullptr, 7, index);
    return s.texts().at(0).text;
}

TEST(DamagedRecords, NameEndingInHalfACharacterLeavesTheStatusLineWhole) {
    FakePlatform fake;
    // 20 letters and a lead byte where the terminator belongs: no NUL in the field.
    Reservation& r = reservations.table.slots[0];
    std::memset(r.name, 'X', 20);
    r.name[20] = (char)0x82;
    r.start_date[0] = '9';
    EXPECT_EQ(std::string("予約名：XXXXXXXXXXXXXXXXXXXXの実行時間です"), first_status_line(0));
    // A lead byte right before the terminator.
    std::strcpy(reservations.table.slots[1].name, "abcd\x82");
    EXPECT_EQ(std::string("予約名：abcdの実行時間です"), first_status_line(1));
    // A whole double-byte character at the end stays.
    std::strcpy(reservations.table.slots[2].name, "ニュース");
    EXPECT_EQ(std::string("予約名：ニュースの実行時間です"), first_status_line(2));
}

}  // namespace
