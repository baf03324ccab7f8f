// The status panel's progress lines for each step, the capture application's name, and
// names that must be shown as they are.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/scheduler.h"
#include "tests/support/fakes.h"
#include "view/timetable.h"

namespace {

WindowRef const kDialog = reinterpret_cast<WindowRef>(0x77);

const char* const kLines2[] = {
    "予約名：ニュースの実行時間です", "KROTX2.exeを起動します", "録画待ちです",
    "録画コマンドを送信します", "多分録画してます", "停止コマンドを送ります",
    "KROTX2.exeを終了します",
};

class StatusPanel : public ::testing::Test {
protected:
    FakePlatform fake;
    void SetUp() override {
        std::strcpy(reservations.table.slots[3].name, "ニュース");
    }
    std::vector<std::string> lines(int step, int index = 3) {
        fake.surfaces.ops.clear();
        EXPECT_EQ(step, paint_status_panel(kDialog, step, index));
        std::vector<std::string> out;
        for (const DrawOp& t : fake.surfaces.texts()) out.push_back(t.text);
        return out;
    }
    static std::vector<std::string> first(int n) { return std::vector<std::string>(kLines2, kLines2 + n); }
};

TEST_F(StatusPanel, FrameAndLinePlacement) {
    paint_status_panel(kDialog, 9, 3);
    std::vector<DrawOp> fills = fake.surfaces.fills();
    ASSERT_EQ(2u, fills.size());
    EXPECT_EQ(7, fills[0].left);
    EXPECT_EQ(7, fills[0].top);
    EXPECT_EQ(518, fills[0].right);
    EXPECT_EQ(253, fills[0].bottom);
    EXPECT_EQ(0x909090u, fills[0].colour);
    EXPECT_EQ(10, fills[1].left);
    EXPECT_EQ(10, fills[1].top);
    EXPECT_EQ(515, fills[1].right);
    EXPECT_EQ(250, fills[1].bottom);
    EXPECT_EQ(0x000000u, fills[1].colour);
    std::vector<DrawOp> texts = fake.surfaces.texts();
    ASSERT_EQ(7u, texts.size());
    const int ys[] = {30, 45, 60, 75, 90, 105, 120};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(20, texts[i].x);
        EXPECT_EQ(ys[i], texts[i].y);
        EXPECT_EQ(15, texts[i].font_row);
        EXPECT_EQ(0x54FCFCu, texts[i].colour);
        EXPECT_EQ(2, texts[i].bk_mode);
        EXPECT_EQ(0x000000u, texts[i].bk_colour);
    }
    EXPECT_EQ(1, fake.surfaces.open_count);
    EXPECT_EQ(1, fake.surfaces.close_count);
}

TEST_F(StatusPanel, LinesShownPerStep) {
    EXPECT_EQ(first(3), lines(2));
    EXPECT_EQ(first(3), lines(3));
    EXPECT_EQ(first(5), lines(5));
    EXPECT_EQ(first(7), lines(7));
    EXPECT_EQ(first(7), lines(9));
    // Steps below 2, and nonsense steps, still show the first three lines.
    EXPECT_EQ(first(3), lines(0));
    EXPECT_EQ(first(3), lines(-2147483647 - 1));
    EXPECT_EQ(first(7), lines(2147483647));
}

TEST_F(StatusPanel, Mpeg1UsesTheOtherCaptureApplication) {
    reservations.table.slots[3].mpeg1 = 1;
    std::vector<std::string> got = lines(7);
    ASSERT_EQ(7u, got.size());
    EXPECT_EQ("KROTX1.exeを起動します", got[1]);
    EXPECT_EQ("KROTX1.exeを終了します", got[6]);
    EXPECT_EQ(kLines2[0], got[0]);
}

TEST_F(StatusPanel, NameIsAValueNeverAFormat) {
    std::strcpy(reservations.table.slots[3].name, "100%s %n%d%%");
    EXPECT_EQ("予約名：100%s %n%d%%の実行時間です", lines(2)[0]);
}

TEST_F(StatusPanel, DamagedRecords) {
    // A name filling all 21 bytes without its NUL stops at the field's end.
    Reservation& r = reservations.table.slots[3];
    std::memset(r.name, 'A', sizeof(r.name));
    std::memcpy(r.start_date, "250130", 7);
    EXPECT_EQ("予約名：" + std::string(21, 'A') + "の実行時間です", lines(2)[0]);
    // An index outside the table: an empty name and the MPEG-2 application.
    std::vector<std::string> got = lines(2, 40);
    ASSERT_EQ(3u, got.size());
    EXPECT_EQ("予約名：の実行時間です", got[0]);
    EXPECT_EQ("KROTX2.exeを起動します", got[1]);
    EXPECT_EQ(3u, lines(2, -1).size());
}

TEST(FillTemplate, CutsWithoutSplittingACharacter) {
    char out[8];
    fill_template(out, sizeof(out), "予約名：%s", "abc");
    EXPECT_EQ(std::string("予約名"), out);  // "：" would not fit whole
    fill_template(out, sizeof(out), "%s!", "ab%sc");
    EXPECT_EQ(std::string("ab%sc!"), out);
    fill_template(out, sizeof(out), "x%s", "ニュース");
    EXPECT_EQ(std::string("xニュー"), out);
    char one[1];
    fill_template(one, sizeof(one), "abc", "");
    EXPECT_EQ('\0', one[0]);
}

}  // namespace
