// Shift-JIS cutting and searching: never split a double-byte character, never take the
// second byte of one for a "\".
#include <gtest/gtest.h>

#include <string>
#include "base/sjis.h"
#include "view/fonts.h"

TEST(ShiftJis, CutNeverEndsInHalfACharacter) {
    // "ab" then two double-byte characters: cut points 2, 4, 6.
    const char* text = "abニュ";
    ASSERT_EQ(6u, std::string(text).size());
    EXPECT_EQ(2u, sjis_cut_length(text, 3));
    EXPECT_EQ(4u, sjis_cut_length(text, 4));
    EXPECT_EQ(4u, sjis_cut_length(text, 5));
    EXPECT_EQ(6u, sjis_cut_length(text, 20));
    char out[8];
    sjis_copy_cut(out, sizeof(out), "ニュースです", 7);
    EXPECT_EQ(std::string("ニュー"), out);
    // A lone lead byte at the very end counts as one byte.
    const char lone[] = {'a', (char)0x82, 0};
    EXPECT_EQ(2u, sjis_cut_length(lone, 5));
}

TEST(ShiftJis, BackslashInsideADoubleByteCharacterIsNotASeparator) {
    // "表" and "ソ" end in 0x5C.
    std::string path = "d:\\表\\ソ";
    long pos = sjis_last_backslash(path.c_str(), path.size());
    EXPECT_EQ(5, pos);  // d : \ 表(2 bytes) \ ソ(2 bytes)
    std::string only = "表ソ";
    EXPECT_EQ(-1, sjis_last_backslash(only.c_str(), only.size()));
}

TEST(FontTable, MetricsOfTheRowsInUse) {
    EXPECT_EQ(14, font_metric(4, 0));
    EXPECT_EQ(14, font_metric(4, 1));
    EXPECT_EQ(6, font_metric(15, 0));
    EXPECT_EQ(12, font_metric(15, 1));
    EXPECT_EQ(9, font_metric(1, 1));
    EXPECT_EQ(3, base_font_index());
    EXPECT_EQ(0, font_metric(23, 1));
    EXPECT_EQ(0, font_metric(-1, 0));
}
