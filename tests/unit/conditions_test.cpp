// What the recording conditions dialog shows for a reservation and what "更新" stores.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "base/capture_interface.h"
#include "engine/scheduler.h"
#include "capture_settings/conditions.h"
#include "tests/support/fakes.h"

namespace {

class Conditions : public ::testing::Test {
protected:
    FakePlatform fake;
    Reservation& r = reservations.table.slots[5];
    void SetUp() override { set_default_reservations(reservations.table); }
    // The form as the dialog opens it for slot 5, with MPEG-1 usable.
    ConditionsForm opened() {
        ConditionsForm form;
        EXPECT_TRUE(conditions_form_for(5, true, &form));
        return form;
    }
    void store(const ConditionsForm& form) { ASSERT_EQ(0, store_conditions(5, form)); }
};

TEST_F(Conditions, UnchangedDefaultRecordStoresBackByteForByte) {
    std::strcpy(r.move_folder, "D:\\録画");
    Reservation before = r;
    store(opened());
    EXPECT_EQ(0, std::memcmp(&before, &r, sizeof(Reservation)));
}

TEST_F(Conditions, VideoBitRateShownAndStoredInUnitsOf100000) {
    r.video_bitrate = 4000000;
    ConditionsForm form = opened();
    EXPECT_EQ(40, form.lists.video_bitrate);

    struct Case {
        const char* text;
        int stored;
    } cases[] = {
        {"0", 2000000},        {"1", 2000000},        {"19", 2000000},
        {"20", 2000000},       {"21", 2100000},       {"150", 15000000},
        {"151", 15000000},     {"99999", 15000000},   {"", 2000000},
        {"abc", 2000000},      {"-30", 2000000},      {" 75 ", 7500000},
        // Products that wrap a 32-bit value: 42950 x 100000 and 2^32 / 100000 + 1.
        {"42950", 15000000},   {"42949673", 15000000},
        {"99999999999999999999999999999999999999", 15000000},
    };
    for (const Case& c : cases) {
        form.lists.video_bitrate = parse_unsigned_entry(c.text);
        store(form);
        EXPECT_EQ(c.stored, r.video_bitrate) << '"' << c.text << '"';
    }
}

TEST_F(Conditions, SampleRateAndAudioBitRateLists) {
    ASSERT_STREQ("44.1Khz", sample_rate_texts[0]);
    ASSERT_STREQ("48.0Khz", sample_rate_texts[1]);
    r.audio_sample_rate = 44100;
    EXPECT_EQ(0, opened().lists.sample_rate);
    // Any other rate shows "48.0Khz" and is stored as 48000.
    r.audio_sample_rate = 32000;
    ConditionsForm form = opened();
    EXPECT_EQ(1, form.lists.sample_rate);
    store(form);
    EXPECT_EQ(48000, r.audio_sample_rate);

    const int kbps[] = {192, 224, 256, 320, 384};
    for (int p = 0; p < 5; ++p) {
        r.audio_bitrate = kbps[p];
        EXPECT_EQ(p, opened().lists.audio_bitrate);
    }
    form.lists.audio_bitrate = 1;
    store(form);
    EXPECT_EQ(224, r.audio_bitrate);
    EXPECT_STREQ("224Kbps", audio_bitrate_texts[1]);
}

TEST_F(Conditions, ListsWithoutSelectionKeepTheStoredRates) {
    // A rate that is none of the five: nothing selected, and the stored value stays.
    r.audio_bitrate = 128;
    ConditionsForm form = opened();
    EXPECT_EQ(-1, form.lists.audio_bitrate);
    store(form);
    EXPECT_EQ(128, r.audio_bitrate);
    // Positions that no list has never reach the value tables.
    r.audio_sample_rate = 44100;
    const int bad[][2] = {{-1, -1}, {2, 5}, {1000, 1000}, {-1000, -1000}};
    for (const auto& b : bad) {
        form.lists.sample_rate = b[0];
        form.lists.audio_bitrate = b[1];
        store(form);
        EXPECT_EQ(44100, r.audio_sample_rate) << b[0];
        EXPECT_EQ(128, r.audio_bitrate) << b[1];
    }
}

TEST_F(Conditions, RecordSizeMapsBetweenTheTwoLists) {
    r.record_size_index = 7;
    r.mpeg1 = 1;
    ConditionsForm form = opened();
    ASSERT_TRUE(form.lists.mpeg1);
    EXPECT_STREQ("480x240 pixel/inch", record_size_240_texts[form.lists.record_size]);
    store(form);
    EXPECT_EQ(0, r.record_size_index);

    r.record_size_index = 7;
    r.mpeg1 = 0;
    form = opened();
    ASSERT_FALSE(form.lists.mpeg1);
    EXPECT_STREQ("352x480 pixel/inch", record_size_480_texts[form.lists.record_size]);
    store(form);
    EXPECT_EQ(7, r.record_size_index);

    // Sizes 0..4 keep their position in the 240-line list; outside 0..8 nothing is chosen.
    ConditionsLists lists;
    for (int size : {0, 4, 5, 8}) {
        r.record_size_index = size;
        ASSERT_TRUE(conditions_lists_for(5, true, &lists));
        EXPECT_EQ(size <= 4 ? size : 0, lists.record_size) << size;
    }
    for (int size : {-1, 9, 255}) {
        r.record_size_index = size;
        conditions_lists_for(5, true, &lists);
        EXPECT_EQ(-1, lists.record_size);
        conditions_lists_for(5, false, &lists);
        EXPECT_EQ(-1, lists.record_size);
    }
    // Nothing selected stores -1.
    form.lists.record_size = -1;
    store(form);
    EXPECT_EQ(-1, r.record_size_index);
}

TEST_F(Conditions, PictureValuesAreLimited) {
    ConditionsForm form = opened();
    EXPECT_EQ(127, form.brightness);
    EXPECT_EQ(70, form.contrast);
    EXPECT_EQ(67, form.saturation);
    form.brightness = parse_signed_entry("300");
    form.contrast = parse_signed_entry("-5");
    form.saturation = parse_signed_entry("200");
    form.hue = parse_signed_entry("255");
    store(form);
    EXPECT_EQ(255, r.brightness);
    EXPECT_EQ(0, r.contrast);
    EXPECT_EQ(127, r.saturation);
    EXPECT_EQ(255, r.hue);

    // Long digit runs and values that wrap a 32-bit number still give the limits.
    form.brightness = parse_signed_entry("99999999999999");
    form.contrast = parse_signed_entry("4294967296");
    form.saturation = parse_signed_entry("4294967423");
    form.hue = parse_signed_entry("-99999999999999999999999999");
    store(form);
    EXPECT_EQ(255, r.brightness);
    EXPECT_EQ(255, r.contrast);
    EXPECT_EQ(127, r.saturation);
    EXPECT_EQ(0, r.hue);

    form.brightness = parse_signed_entry("12x");
    form.saturation = parse_signed_entry("126");
    store(form);
    EXPECT_EQ(0, r.brightness);
    EXPECT_EQ(126, r.saturation);
}

TEST_F(Conditions, AfterActionAndDelay) {
    ASSERT_STREQ("なにもしない", after_action_texts[0]);
    ASSERT_STREQ("スタンバイする", after_action_texts[4]);
    r.after_action = 4;
    r.after_delay = 300;
    ConditionsForm form = opened();
    EXPECT_EQ(4, form.after_action);
    EXPECT_EQ(300, form.after_delay);
    // 255 (nothing chosen) selects nothing and is stored back as 255.
    r.after_action = 255;
    form = opened();
    EXPECT_EQ(-1, form.after_action);
    store(form);
    EXPECT_EQ(255, r.after_action);

    struct Case {
        const char* text;
        int stored;
    } delays[] = {
        {"300", 300},
        {"", 0},
        {"-5", 0},  // not an unsigned number
        {"2147483647", 2147483647},
        // Beyond the int32 field: its largest value, never a negative wait.
        {"2147483648", 2147483647},
        {"4294967296", 2147483647},
        {"999999999999999999999999999999", 2147483647},
    };
    for (const Case& c : delays) {
        form.after_delay = parse_unsigned_entry(c.text);
        store(form);
        EXPECT_EQ(c.stored, r.after_delay) << '"' << c.text << '"';
    }
}

TEST_F(Conditions, StreamFormat) {
    for (int f = 1; f <= 4; ++f) {
        r.stream_format = (std::uint8_t)f;
        ConditionsForm form = opened();
        EXPECT_TRUE(form.change_format);
        EXPECT_EQ(f, form.format_button);
    }
    r.stream_format = 0;
    EXPECT_FALSE(opened().change_format);
    r.stream_format = 9;
    ConditionsForm form = opened();
    EXPECT_FALSE(form.change_format);
    EXPECT_EQ(0, form.format_button);

    // Unchecked stores 0 whatever radio button is chosen.
    r.stream_format = 3;
    form = opened();
    form.change_format = false;
    form.format_button = 2;
    store(form);
    EXPECT_EQ(0, r.stream_format);
    // Checked with no radio button keeps the stored value.
    r.stream_format = 3;
    form.change_format = true;
    form.format_button = 0;
    store(form);
    EXPECT_EQ(3, r.stream_format);
    form.format_button = 4;
    store(form);
    EXPECT_EQ(4, r.stream_format);
}

TEST_F(Conditions, GopListOnlyForMpeg2) {
    r.gop_pattern = 6;
    r.use_gop = 1;
    ConditionsForm form = opened();
    EXPECT_TRUE(form.gop_list_filled);
    EXPECT_EQ(6, form.gop_pattern);
    EXPECT_TRUE(form.use_gop);
    EXPECT_STREQ("I", gop_pattern_texts[6]);
    EXPECT_STREQ("IBBPBBPBBPBBPBB(標準)", gop_pattern_texts[0]);

    // MPEG-1: the list stays empty and "更新" stores 255.
    r.mpeg1 = 1;
    form = opened();
    EXPECT_FALSE(form.gop_list_filled);
    EXPECT_EQ(-1, form.gop_pattern);
    store(form);
    EXPECT_EQ(255, r.gop_pattern);

    r.mpeg1 = 0;
    r.gop_pattern = 255;
    form = opened();
    EXPECT_EQ(-1, form.gop_pattern);
    form.gop_pattern = 2;
    form.use_gop = false;
    store(form);
    EXPECT_EQ(2, r.gop_pattern);
    EXPECT_EQ(0, r.use_gop);
}

TEST_F(Conditions, CheckBoxesAndMpeg1Availability) {
    r.vbr = 1;
    r.use_conditions = 1;
    r.move_after_record = 1;
    r.use_quality = 1;
    r.mpeg1 = 1;
    ConditionsForm form = opened();
    EXPECT_TRUE(form.vbr && form.use_conditions && form.move_after_record && form.use_quality);
    EXPECT_TRUE(form.mpeg1_enabled);
    EXPECT_TRUE(form.mpeg1_checked);

    // Without MPEG-1: the box is off, yet the lists follow the stored flag; "更新" then
    // stores mpeg1 0 with a position of the 240-line list.
    r.record_size_index = 3;
    ASSERT_TRUE(conditions_form_for(5, false, &form));
    EXPECT_FALSE(form.mpeg1_enabled);
    EXPECT_FALSE(form.mpeg1_checked);
    EXPECT_TRUE(form.lists.mpeg1);
    form.vbr = form.use_conditions = form.move_after_record = form.use_quality = false;
    store(form);
    EXPECT_EQ(0, r.mpeg1);
    EXPECT_EQ(3, r.record_size_index);
    EXPECT_EQ(0, r.vbr);
    EXPECT_EQ(0, r.use_conditions);
    EXPECT_EQ(0, r.move_after_record);
    EXPECT_EQ(0, r.use_quality);

    // The look-up wants both files of the capture folder.
    EXPECT_FALSE(mpeg1_available());
    fake.files.files["KROTX1.exe"] = "";
    EXPECT_FALSE(mpeg1_available());
    fake.files.files["Krotx1.ini"] = "";
    EXPECT_TRUE(mpeg1_available());
    capture_choice.use_install_folder = 1;
    EXPECT_FALSE(mpeg1_available());
    fake.files.files["c:\\Program Files\\TARVO INC\\KRO-TX2\\KROTX1.exe"] = "";
    fake.files.files["c:\\Program Files\\TARVO INC\\KRO-TX2\\Krotx1.ini"] = "";
    EXPECT_TRUE(mpeg1_available());
}

TEST_F(Conditions, FolderCounterAndCut) {
    EXPECT_EQ(0, folder_counter_value(""));
    EXPECT_EQ(7, folder_counter_value("D:\\録画"));
    std::string long130(130, 'a');
    EXPECT_EQ(130, folder_counter_value(long130.c_str()));
    // The counter reads at most 254 bytes of a longer text.
    EXPECT_EQ(254, folder_counter_value(std::string(300, 'b').c_str()));

    ConditionsForm form = opened();
    std::strcpy(form.move_folder, long130.c_str());
    store(form);
    EXPECT_EQ(std::string(126, 'a'), std::string(r.move_folder));

    // A double-byte character on bytes 126 and 127 is left out whole.
    std::string split = std::string(125, 'c') + "録" + "dd";
    std::strcpy(form.move_folder, split.c_str());
    store(form);
    EXPECT_EQ(std::string(125, 'c'), std::string(r.move_folder));
    std::string fits = std::string(124, 'c') + "録" + "dd";
    std::strcpy(form.move_folder, fits.c_str());
    store(form);
    EXPECT_EQ(fits.substr(0, 126), std::string(r.move_folder));

    // A stored folder without its terminator is shown within the field.
    std::memset(r.move_folder, 'z', sizeof(r.move_folder));
    form = opened();
    EXPECT_EQ(std::string(128, 'z'), std::string(form.move_folder));
}

TEST_F(Conditions, IndexOutsideTheTableChangesNothing) {
    ReservationTable before = reservations.table;
    ConditionsForm form = opened();
    form.brightness = 1;
    for (int index : {-1, 40, 1000}) {
        EXPECT_FALSE(conditions_form_for(index, true, &form));
        EXPECT_EQ(-1, store_conditions(index, form));
    }
    EXPECT_EQ(0, std::memcmp(&before, &reservations.table, sizeof(ReservationTable)));
}

}  // namespace
