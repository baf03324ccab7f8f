// The capture settings file: where it is, how keys are found and replaced, what the four
// writers put into it, and that a file is never lost, shortened or overrun.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "base/capture_interface.h"
#include "engine/scheduler.h"
#include "capture_settings/settings_file.h"
#include "reservations/reservation.h"
#include "tests/support/fakes.h"

namespace {

const char kIni2[] = "Krotx2.ini";
const char kInstallIni1[] = "c:\\Program Files\\TARVO INC\\KRO-TX2\\Krotx1.ini";

class CaptureSettings : public ::testing::Test {
protected:
    FakePlatform fake;
    Reservation& r = reservations.table.slots[0];
    void SetUp() override {
        set_default_reservations(reservations.table);
        std::strcpy(r.name, "ニュース");
    }
    SettingsLineTable table = {};
    std::string& file(const char* path = kIni2) { return fake.files.files[path]; }
    void expect_one_error(const char* path, const char* what) {
        ASSERT_EQ(1u, fake.messages.shown.size());
        const ShownMessage& m = fake.messages.shown[0];
        EXPECT_EQ(std::string("err"), m.caption);
        EXPECT_EQ((WindowRef)0x77, m.owner);
        EXPECT_NE(std::string::npos, m.text.find(path)) << m.text;
        EXPECT_NE(std::string::npos, m.text.find(what)) << m.text;
    }
};

TEST_F(CaptureSettings, Mpeg1EditsKrotx1InEitherCaptureFolder) {
    r.mpeg1 = 1;
    r.hue = 5;
    for (int install = 0; install <= 1; ++install) {
        capture_choice.use_install_folder = install;
        const char* one = install ? kInstallIni1 : "Krotx1.ini";
        const char* two = install ? "c:\\Program Files\\TARVO INC\\KRO-TX2\\Krotx2.ini" : kIni2;
        file(one) = "Hue=1\r\n";
        file(two) = "Hue=2\r\n";
        EXPECT_EQ(0, apply_picture_quality(nullptr, 0));
        EXPECT_EQ("Hue=5\r\n", file(one));
        EXPECT_EQ("Hue=2\r\n", file(two));
    }
    EXPECT_STREQ(kInstallIni1, capture_settings_path(0));
    EXPECT_EQ(nullptr, capture_settings_path(-1));
    EXPECT_EQ(nullptr, capture_settings_path(40));
}

TEST_F(CaptureSettings, OnlyTheFirstOfTwoKeysInTwoSectionsChanges) {
    file() = "[Video]\r\nHRes=3\r\n[Mpeg1]\r\nHRes=5\r\n";
    r.record_size_index = 7;
    EXPECT_EQ(0, apply_recording_conditions(nullptr, 0));
    EXPECT_EQ("[Video]\r\nHRes=7\r\n[Mpeg1]\r\nHRes=5\r\n", file());
}

TEST_F(CaptureSettings, KeyIsTheExactTextBeforeTheFirstEquals) {
    // Blanks around "=", a longer key, a lower-case key and a line without "=" are no
    // match; a value holding a second "=" is.
    file() = "Hue = 9\r\nHueShift=9\r\nhue=9\r\nHue\r\nHue=a=b\r\nHue=4\r\n";
    r.hue = 12;
    EXPECT_EQ(0, apply_picture_quality(nullptr, 0));
    EXPECT_EQ("Hue = 9\r\nHueShift=9\r\nhue=9\r\nHue\r\nHue=12\r\nHue=4\r\n", file());

    // A last line that is just the key, with neither "=" nor line end, stays as it is.
    // Keys missing from the file are not added.
    file() = "Hue=1\r\nContrast";
    EXPECT_EQ(0, apply_picture_quality(nullptr, 0));
    EXPECT_EQ("Hue=12\r\nContrast", file());
    EXPECT_TRUE(fake.messages.shown.empty());
}

TEST_F(CaptureSettings, LineEndsComeBackAsCrLf) {
    // A key on a last line without line end gets one.
    file() = "OMODE=1\r\nIsEs=0";
    r.stream_format = 1;
    EXPECT_EQ(0, apply_stream_format(nullptr, 0));
    EXPECT_EQ("OMODE=0\r\nIsEs=3\r\n", file());

    // LF-only line ends become CR LF even when nothing is replaced; a last line without
    // line end that is not replaced keeps having none; a lone CR is kept.
    // A Ctrl-Z is not an end of file.
    file() = "[a]\nfoo=1\n\nbar\rbaz\n\x1A;end";
    r.gop_pattern = 255;
    EXPECT_EQ(0, apply_gop_structure(nullptr, 0));
    EXPECT_EQ("[a]\r\nfoo=1\r\n\r\nbar\rbaz\r\n\x1A;end", file());
}

TEST_F(CaptureSettings, HundredByteLineIsTwoPiecesAndComesBackUnchanged) {
    std::string line(100, 'x');
    file() = "A=1\r\n" + line + "\r\nB=2\r\n";
    ASSERT_EQ(0, read_capture_settings(nullptr, 0, &table));
    ASSERT_EQ(4, table.count);
    EXPECT_EQ(std::string(79, 'x'), table.slots[1]);
    EXPECT_EQ(std::string(21, 'x') + "\n", table.slots[2]);
    EXPECT_EQ(0, table.continues[1]);
    EXPECT_EQ(1, table.continues[2]);
    EXPECT_EQ(0, table.continues[3]);
    EXPECT_EQ('\0', table.slots[4][0]);
    ASSERT_EQ(0, write_capture_settings(nullptr, 0, table));
    EXPECT_EQ("A=1\r\n" + line + "\r\nB=2\r\n", file());

    // 78 bytes and a line feed make exactly one piece; 79 bytes make two.
    file() = std::string(78, 'y') + "\r\n" + std::string(79, 'z') + "\r\n";
    ASSERT_EQ(0, read_capture_settings(nullptr, 0, &table));
    EXPECT_EQ(3, table.count);
    EXPECT_STREQ("\n", table.slots[2]);
}

TEST_F(CaptureSettings, StreamFormatTable) {
    struct Case {
        int format;
        const char* expected;
    } cases[] = {
        {1, "OMODE=0\r\nIsEs=3\r\n"},  {2, "OMODE=0\r\nIsEs=2\r\n"},
        {3, "OMODE=0\r\nIsEs=1\r\n"},  {4, "OMODE=2\r\nIsEs=7\r\n"},
        {5, "OMODE=9\r\nIsEs=7\r\n"},  {0, "OMODE=9\r\nIsEs=7\r\n"},
        {0x80, "OMODE=9\r\nIsEs=7\r\n"}, {0xFF, "OMODE=9\r\nIsEs=7\r\n"},
    };
    for (const Case& c : cases) {
        file() = "OMODE=9\nIsEs=7\n";
        r.stream_format = (std::uint8_t)c.format;
        EXPECT_EQ(0, apply_stream_format(nullptr, 0)) << c.format;
        EXPECT_EQ(c.expected, file()) << "stream_format " << c.format;
    }
}

TEST_F(CaptureSettings, GopPatternTable) {
    struct Case {
        int pattern;
        const char* expected;
    } cases[] = {
        {0, "MPeriod=3\r\nm_NNtsc=15\r\n"}, {1, "MPeriod=1\r\nm_NNtsc=15\r\n"},
        {2, "MPeriod=1\r\nm_NNtsc=12\r\n"}, {3, "MPeriod=3\r\nm_NNtsc=12\r\n"},
        {4, "MPeriod=3\r\nm_NNtsc=3\r\n"},  {5, "MPeriod=1\r\nm_NNtsc=3\r\n"},
        {6, "MPeriod=1\r\nm_NNtsc=1\r\n"},  {7, "MPeriod=9\r\nm_NNtsc=99\r\n"},
        {255, "MPeriod=9\r\nm_NNtsc=99\r\n"},
    };
    for (const Case& c : cases) {
        file() = "MPeriod=9\r\nm_NNtsc=99\r\n";
        r.gop_pattern = (std::uint8_t)c.pattern;
        EXPECT_EQ(0, apply_gop_structure(nullptr, 0)) << c.pattern;
        EXPECT_EQ(c.expected, file()) << "gop_pattern " << c.pattern;
    }
}

TEST_F(CaptureSettings, RecordingConditionsAreSignedDecimals) {
    file() = "m_bIsVBR=0\r\nHRes=3\r\ndwAudioSampleFreq=1\r\ndwAudioBitrate=1\r\ndwVideoBitrate=1\r\n";
    r.video_bitrate = 15000000;
    r.audio_bitrate = 192;
    r.audio_sample_rate = 44100;
    r.record_size_index = -1;
    r.vbr = 1;
    EXPECT_EQ(0, apply_recording_conditions(nullptr, 0));
    EXPECT_EQ("m_bIsVBR=1\r\nHRes=-1\r\ndwAudioSampleFreq=44100\r\ndwAudioBitrate=192\r\n"
              "dwVideoBitrate=15000000\r\n",
              file());
}

TEST_F(CaptureSettings, PictureQualityBytesAreUnsigned) {
    file() = "Brightness=1\r\nContrast=1\r\nSaturation=1\r\nHue=1\r\n";
    r.brightness = 200;
    r.contrast = 255;
    r.saturation = 127;
    r.hue = 0;
    EXPECT_EQ(0, apply_picture_quality(nullptr, 0));
    EXPECT_EQ("Brightness=200\r\nContrast=255\r\nSaturation=127\r\nHue=0\r\n", file());
}

TEST_F(CaptureSettings, ShorterFileAfterALongerOneWritesOnlyItsOwnPieces) {
    std::string longer;
    for (int i = 0; i < 30; ++i) longer += "line" + std::to_string(i) + "=" + std::string(90, 'v') + "\r\n";
    file() = longer;
    reservations.table.slots[1] = r;
    reservations.table.slots[1].mpeg1 = 1;
    file("Krotx1.ini") = "Hue=1\r\n";
    r.hue = 3;
    reservations.table.slots[1].hue = 4;
    EXPECT_EQ(0, apply_picture_quality(nullptr, 0));
    EXPECT_EQ(0, apply_picture_quality(nullptr, 1));
    EXPECT_EQ("Hue=4\r\n", file("Krotx1.ini"));
    EXPECT_EQ(longer, file());
}

TEST_F(CaptureSettings, MissingFileShowsOneMessageWithTheFullPathAndCreatesNothing) {
    capture_choice.use_install_folder = 1;
    r.mpeg1 = 1;
    r.use_conditions = r.use_quality = r.use_gop = 1;
    r.stream_format = 2;
    EXPECT_EQ(-1, apply_recording_conditions((WindowRef)0x77, 0));
    ASSERT_EQ(1u, fake.messages.shown.size());
    EXPECT_EQ(std::string("file open error \n can't detect -> ") + kInstallIni1,
              fake.messages.shown[0].text);
    EXPECT_EQ(std::string("err"), fake.messages.shown[0].caption);
    EXPECT_EQ((WindowRef)0x77, fake.messages.shown[0].owner);
    EXPECT_EQ(-1, apply_picture_quality(nullptr, 0));
    EXPECT_EQ(-1, apply_stream_format(nullptr, 0));
    EXPECT_EQ(-1, apply_gop_structure(nullptr, 0));
    EXPECT_EQ(4u, fake.messages.shown.size());
    EXPECT_EQ(0, fake.files.replace_calls);
    EXPECT_TRUE(fake.files.files.empty());
}

TEST_F(CaptureSettings, FailedWriteShowsTheMessageAndLeavesTheFileWhole) {
    file() = "Hue=1\r\n";
    fake.files.fail_replace = true;
    r.hue = 9;
    EXPECT_EQ(-1, apply_picture_quality((WindowRef)0x77, 0));
    ASSERT_EQ(1u, fake.messages.shown.size());
    EXPECT_EQ(std::string("file open error \n can't detect -> Krotx2.ini"),
              fake.messages.shown[0].text);
    EXPECT_EQ(std::string("err"), fake.messages.shown[0].caption);
    EXPECT_EQ(1, fake.files.replace_calls);
    EXPECT_EQ("Hue=1\r\n", file());
}

TEST_F(CaptureSettings, FileOfMoreThan400PiecesIsRefusedUntouched) {
    // 400 pieces fit, the last one holding the key; 401 do not.
    std::string fits;
    for (int i = 0; i < 399; ++i) fits += ";\r\n";
    fits += "Hue=1";
    file() = fits;
    r.hue = 2;
    EXPECT_EQ(0, apply_picture_quality(nullptr, 0));
    EXPECT_EQ(fits.substr(0, fits.size() - 1) + "2\r\n", file());
    ASSERT_EQ(0, read_capture_settings(nullptr, 0, &table));
    EXPECT_EQ(400, table.count);

    char slot0[kSettingsSlotSize];
    std::memcpy(slot0, table.slots[0], sizeof(slot0));
    std::string over = "Hue=1\r\n" + std::string(400, '\n');
    file() = over;
    EXPECT_EQ(-1, apply_picture_quality((WindowRef)0x77, 0));
    expect_one_error(kIni2, "too long");
    EXPECT_EQ(over, file());
    EXPECT_EQ(1, fake.files.replace_calls);
    // A refused read leaves the table as it was.
    EXPECT_EQ(-1, read_capture_settings(nullptr, 0, &table));
    EXPECT_EQ(400, table.count);
    EXPECT_EQ(0, std::memcmp(slot0, table.slots[0], sizeof(slot0)));
}

TEST_F(CaptureSettings, RawSizeBoundOf32000Bytes) {
    // 400 lines of 78 bytes and CR LF: 32000 bytes and exactly 400 pieces, accepted.
    std::string full;
    for (int i = 0; i < 400; ++i) full += std::string(78, 'a' + i % 26) + "\r\n";
    ASSERT_EQ(32000u, full.size());
    file() = full;
    EXPECT_EQ(0, apply_picture_quality(nullptr, 0));
    EXPECT_EQ(full, file());
    EXPECT_TRUE(fake.messages.shown.empty());

    // One byte more cannot fit whatever it is.
    file() = full + "x";
    EXPECT_EQ(-1, apply_picture_quality((WindowRef)0x77, 0));
    expect_one_error(kIni2, "too long");
    EXPECT_EQ(full + "x", file());

    // 32000 bytes without line ends are 406 pieces, refused though read whole.
    fake.messages.shown.clear();
    file() = std::string(32000, 'b');
    EXPECT_EQ(-1, apply_picture_quality((WindowRef)0x77, 0));
    expect_one_error(kIni2, "too long");
    EXPECT_EQ(1, fake.files.replace_calls);
}

TEST_F(CaptureSettings, FileWithANulByteIsRefusedUntouched) {
    std::string bytes = std::string("Hue=1\r\n;x\0y\r\n", 13);
    file() = bytes;
    r.hue = 8;
    EXPECT_EQ(-1, apply_picture_quality((WindowRef)0x77, 0));
    expect_one_error(kIni2, "NUL");
    EXPECT_EQ(bytes, file());
    EXPECT_EQ(0, fake.files.replace_calls);
}

TEST_F(CaptureSettings, ContinuationOfALongLineIsNeverTakenForAKey) {
    // The second piece of this comment starts with "Hue=".
    std::string comment = ";" + std::string(78, '-') + "Hue=5 was the old value";
    file() = comment + "\r\n[Picture]\r\nHue=1\r\n";
    r.hue = 9;
    EXPECT_EQ(0, apply_picture_quality(nullptr, 0));
    EXPECT_EQ(comment + "\r\n[Picture]\r\nHue=9\r\n", file());

    // Without a real Hue line nothing changes.
    file() = comment + "\r\n";
    EXPECT_EQ(0, apply_picture_quality(nullptr, 0));
    EXPECT_EQ(comment + "\r\n", file());
}

TEST_F(CaptureSettings, LongKeyLineIsReplacedWhole) {
    // The old value runs over two more pieces; none of it may survive as a line.
    file() = "Hue=" + std::string(200, '7') + "\r\nContrast=1\r\n";
    r.hue = 6;
    r.contrast = 2;
    EXPECT_EQ(0, apply_picture_quality(nullptr, 0));
    EXPECT_EQ("Hue=6\r\nContrast=2\r\n", file());

    // The same at the end of a file without line end.
    file() = "Hue=" + std::string(100, '7');
    EXPECT_EQ(0, apply_picture_quality(nullptr, 0));
    EXPECT_EQ("Hue=6\r\n", file());
}

TEST_F(CaptureSettings, ReplaceSettingComparesWholeKeysAcrossPieces) {
    std::string k79(79, 'K');
    std::string k85(85, 'K');
    file() = k79 + "Z=1\n" + k85 + "=2\n" + k79 + "=3\n";
    ASSERT_EQ(0, read_capture_settings(nullptr, 0, &table));
    EXPECT_EQ(1, replace_setting(&table, k79.c_str(), "x"));    // the third line, not the first
    EXPECT_EQ(1, replace_setting(&table, k85.c_str(), "y"));
    EXPECT_EQ(0, replace_setting(&table, "Missing", "1"));
    // Keys and values that cannot form one line of a slot change nothing.
    EXPECT_EQ(-1, replace_setting(&table, "", "1"));
    EXPECT_EQ(-1, replace_setting(&table, "a=b", "1"));
    EXPECT_EQ(-1, replace_setting(&table, k85.c_str(), "123"));
    EXPECT_EQ(-1, replace_setting(&table, k79.c_str(), "1\n[x]"));
    ASSERT_EQ(0, write_capture_settings(nullptr, 0, table));
    EXPECT_EQ(k79 + "Z=1\r\n" + k85 + "=y\r\n" + k79 + "=x\r\n", file());
}

TEST_F(CaptureSettings, RealisticFileThroughAllFourWriters) {
    const std::string before =
        "; 録画設定 KRO-TX2\r\n"
        "[Video]\r\n"
        "dwVideoBitrate=6000000\r\n"
        "HRes=4\r\n"
        "m_bIsVBR=1\r\n"
        "OMODE=0\r\n"
        "IsEs=3\r\n"
        "MPeriod=3\r\n"
        "m_NNtsc=15\r\n"
        "\r\n"
        "[Audio]\r\n"
        "dwAudioBitrate=224\r\n"
        "dwAudioSampleFreq=44100\r\n"
        "\r\n"
        "[Picture]\r\n"
        "Brightness=128\r\n"
        "Contrast=64\r\n"
        "Saturation=64\r\n"
        "Hue=0\r\n"
        "; HRes=99\r\n"
        "LastFile=C:\\Samples\\ドラマ表.mpg\r\n";
    file() = before;
    r.use_conditions = 1;
    r.video_bitrate = 8000000;
    r.audio_bitrate = 256;
    r.audio_sample_rate = 48000;
    r.record_size_index = 2;
    r.vbr = 0;
    r.use_quality = 1;
    r.brightness = 200;
    r.contrast = 70;
    r.saturation = 67;
    r.hue = 255;
    r.stream_format = 4;
    r.use_gop = 1;
    r.gop_pattern = 5;
    // The order in which a due reservation has them run.
    EXPECT_EQ(0, apply_recording_conditions(nullptr, 0));
    EXPECT_EQ(0, apply_picture_quality(nullptr, 0));
    EXPECT_EQ(0, apply_stream_format(nullptr, 0));
    EXPECT_EQ(0, apply_gop_structure(nullptr, 0));
    EXPECT_EQ(4, fake.files.replace_calls);
    EXPECT_TRUE(fake.messages.shown.empty());
    EXPECT_EQ(
        "; 録画設定 KRO-TX2\r\n"
        "[Video]\r\n"
        "dwVideoBitrate=8000000\r\n"
        "HRes=2\r\n"
        "m_bIsVBR=0\r\n"
        "OMODE=2\r\n"
        "IsEs=3\r\n"
        "MPeriod=1\r\n"
        "m_NNtsc=3\r\n"
        "\r\n"
        "[Audio]\r\n"
        "dwAudioBitrate=256\r\n"
        "dwAudioSampleFreq=48000\r\n"
        "\r\n"
        "[Picture]\r\n"
        "Brightness=200\r\n"
        "Contrast=70\r\n"
        "Saturation=67\r\n"
        "Hue=255\r\n"
        "; HRes=99\r\n"
        "LastFile=C:\\Samples\\ドラマ表.mpg\r\n",
        file());
}

// ---- Random files --------------------------------------------------------------------

// What a writer must make of a file, worked out line by line (not piece by piece): the
// file is refused when it holds a NUL or more than 400 pieces; else the first line with
// each key before its first "=" is replaced and every line end becomes CR LF.
struct Expectation {
    bool refused;
    std::string bytes;
};

Expectation expected_after(const std::string& input,
                           const std::vector<std::pair<std::string, std::string>>& replacements) {
    if (input.find('\0') != std::string::npos) return {true, input};
    std::string text;
    for (std::size_t i = 0; i < input.size(); ++i)
        if (!(input[i] == '\r' && i + 1 < input.size() && input[i + 1] == '\n')) text += input[i];
    std::vector<std::string> lines;  // each with its line feed, the last maybe without
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t lf = text.find('\n', pos);
        std::size_t end = lf == std::string::npos ? text.size() : lf + 1;
        lines.push_back(text.substr(pos, end - pos));
        pos = end;
    }
    std::size_t pieces = 0;
    for (const std::string& l : lines) pieces += (l.size() + 78) / 79;
    // A raw file beyond 32000 bytes cannot fit: the bound the reader relies on.
    if (input.size() > 32000) {
        EXPECT_GT(pieces, 400u) << "raw size bound broken";
    }
    if (pieces > 400) return {true, input};
    for (const auto& kv : replacements) {
        for (std::string& l : lines) {
            std::size_t eq = l.find('=');
            if (eq != std::string::npos && l.compare(0, eq, kv.first) == 0 && eq == kv.first.size()) {
                l = kv.first + "=" + kv.second + "\n";
                break;
            }
        }
    }
    std::string out;
    for (const std::string& l : lines)
        for (char c : l) {
            if (c == '\n') out += '\r';
            out += c;
        }
    return {false, out};
}

std::string random_file(std::mt19937& rng) {
    static const char* const kTokens[] = {
        "Hue", "Hue ", "HueX", "hue", "Contrast", "Brightness", "Saturation", "HRes", "IsEs",
        "OMODE", "MPeriod", "m_NNtsc", "dwVideoBitrate", "m_bIsVBR", "=", "=", "==", "\r\n",
        "\r\n", "\n", "\n", "\r", "[Video]", ";", " ", "123", "-4", "録画", "\x81", "\xFF",
    };
    auto pick = [&](unsigned n) { return (unsigned)(rng() % n); };
    std::string s;
    switch (pick(6)) {
    case 0:  // one long run with few or no line ends
        s.assign(pick(34000), (char)('a' + pick(26)));
        if (!s.empty())
            for (unsigned i = pick(4); i > 0; --i) s[pick((unsigned)s.size())] = '\n';
        break;
    case 1:  // around 400 short lines
        for (unsigned i = 390 + pick(20); i > 0; --i) s += pick(3) ? "Hue=1\r\n" : "\n";
        break;
    default:  // tokens and raw bytes
        for (unsigned i = pick(400); i > 0; --i) {
            unsigned k = pick(10);
            if (k < 7) s += kTokens[pick(sizeof(kTokens) / sizeof(kTokens[0]))];
            else if (k < 9) s.append(pick(120), (char)(1 + pick(255)));
            else s += (char)(pick(60) == 0 ? '\0' : (char)pick(256));
        }
    }
    return s;
}

TEST_F(CaptureSettings, RandomFilesChangeOnlyTheReplacedValues) {
    std::mt19937 rng(20020101);
    int refused = 0, written = 0;
    for (int round = 0; round < 700; ++round) {
        std::string input = random_file(rng);
        file() = input;
        fake.messages.shown.clear();
        fake.files.replace_calls = 0;
        std::vector<std::pair<std::string, std::string>> kv;
        int result;
        if (rng() % 2) {
            r.brightness = (std::uint8_t)rng();
            r.contrast = (std::uint8_t)rng();
            r.saturation = (std::uint8_t)rng();
            r.hue = (std::uint8_t)rng();
            kv = {{"Brightness", std::to_string(r.brightness)},
                  {"Contrast", std::to_string(r.contrast)},
                  {"Saturation", std::to_string(r.saturation)},
                  {"Hue", std::to_string(r.hue)}};
            result = apply_picture_quality(nullptr, 0);
        } else {
            r.video_bitrate = (std::int32_t)rng();
            r.record_size_index = (std::int32_t)(rng() % 11) - 1;
            kv = {{"dwVideoBitrate", std::to_string(r.video_bitrate)},
                  {"dwAudioBitrate", std::to_string(r.audio_bitrate)},
                  {"dwAudioSampleFreq", std::to_string(r.audio_sample_rate)},
                  {"HRes", std::to_string(r.record_size_index)},
                  {"m_bIsVBR", std::to_string(r.vbr)}};
            result = apply_recording_conditions(nullptr, 0);
        }
        Expectation e = expected_after(input, kv);
        if (e.refused) {
            ++refused;
            EXPECT_EQ(-1, result) << "round " << round;
            EXPECT_EQ(1u, fake.messages.shown.size()) << "round " << round;
            EXPECT_EQ(0, fake.files.replace_calls) << "round " << round;
        } else {
            ++written;
            EXPECT_EQ(0, result) << "round " << round;
            EXPECT_TRUE(fake.messages.shown.empty()) << "round " << round;
        }
        ASSERT_EQ(e.bytes, file()) << "round " << round;
    }
    // Both outcomes were exercised.
    EXPECT_GT(refused, 50);
    EXPECT_GT(written, 200);
}

}  // namespace
