// The one rule for a record's date and time texts, which the scheduler, the timetable and
// the form all read with.
#include <gtest/gtest.h>

#include "base/calendar.h"

namespace {

TEST(Calendar, OnlyRealDatesAndTimesOfDayAreRead) {
    CivilDate d = {1, 2, 3};
    CivilTime t = {4, 5, 6};
    for (const char* bad : {"260230", "250229", "261301", "260001", "261200", "260431", "26123",
                            "2612311", "26x231", " 61231", ""})
        EXPECT_FALSE(parse_yymmdd(bad, &d)) << bad;
    for (const char* bad : {"240000", "236000", "235960", "23595", "2359599", "-10000", "12 000"})
        EXPECT_FALSE(parse_hhmmss(bad, &t)) << bad;
    EXPECT_EQ(10203, date_number(d)) << "left as it was";
    EXPECT_EQ(4, t.hour);

    ASSERT_TRUE(parse_yymmdd("000229", &d));  // 2000 is a leap year
    EXPECT_EQ(20000229, date_number(d));
    ASSERT_TRUE(parse_yymmdd("991231", &d));
    EXPECT_EQ(20991231, date_number(d));
    ASSERT_TRUE(parse_hhmmss("235959", &t));
    EXPECT_EQ(23 * 3600 + 59 * 60 + 59, t.hour * 3600 + t.minute * 60 + t.second);

    char out[7];
    format_yymmdd({2107, 3, 4}, out);  // the last two digits of each number
    EXPECT_STREQ("070304", out);
    format_hhmmss({0, 5, 9}, out);
    EXPECT_STREQ("000509", out);
}

}  // namespace
