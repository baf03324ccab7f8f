// After a recording: which file the folder listing offers, how missing folders are
// created, what the move shows, and which power request follows after how long a wait.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "base/capture_interface.h"
#include "base/sjis.h"
#include "engine/after_actions.h"
#include "engine/event_script.h"
#include "engine/scheduler.h"
#include "tests/support/fakes.h"

namespace {

FoundFile found(const std::string& name, std::uint32_t attributes, std::int64_t written = 0) {
    FoundFile f;
    std::memset(&f, 0, sizeof(f));
    f.attributes = attributes;
    f.last_write_time = written;
    f.creation_time = written - 100;
    f.last_access_time = written + 100;
    f.size = 1234;
    std::strncpy(f.name, name.c_str(), sizeof(f.name) - 1);
    f.name_exact = true;
    return f;
}

// A directory search over a fixed list of results, and folders and moves in memory.
struct FakeFolders : FolderSystem {
    std::vector<FoundFile> results;
    std::size_t handed_out = 0;
    bool open = false;
    int closes = 0;
    std::vector<std::string> patterns;

    std::set<std::string> folders;  // existing folders; a drive such as "d:" counts as one
    std::vector<std::string> creates;
    std::vector<std::pair<std::string, std::string>> moves;
    bool fail_move = false;

    int search_first(const char* pattern, FoundFile* out) override {
        patterns.push_back(pattern);
        handed_out = 0;
        if (results.empty()) return -1;
        open = true;
        *out = results[handed_out++];
        return 0;
    }
    int search_next(FoundFile* out) override {
        EXPECT_TRUE(open);
        if (handed_out >= results.size()) return -1;
        *out = results[handed_out++];
        return 0;
    }
    void search_close() override {
        ++closes;
        open = false;
    }
    int create_folder(const char* path) override {
        creates.push_back(path);
        std::string p = path;
        long cut = sjis_last_backslash(p.c_str(), p.size());
        std::string parent = cut < 0 ? "" : p.substr(0, (std::size_t)cut);
        if (folders.count(p) || !folders.count(parent)) return -1;
        folders.insert(p);
        return 0;
    }
    int move_file(const char* from, const char* to) override {
        moves.push_back({from, to});
        return fail_move ? -1 : 0;
    }
    std::int64_t free_space(const char*) override { return free_bytes; }
    std::int64_t free_bytes = -1;
};

class AfterActions : public ::testing::Test {
protected:
    FakePlatform fake;
    FakeFolders fs;
    FakePower power;
    FolderListing folder_listing = {};
    void SetUp() override {
        // The platform as it was comes back with the fake's end.
        platform.folders = &fs;
        platform.power = &power;
    }
    std::vector<std::string> listed_names() const {
        std::vector<std::string> names;
        for (int i = 0; i < folder_listing.count; ++i) names.push_back(folder_listing.entries[i].name);
        return names;
    }
};

TEST_F(AfterActions, FirstEntryNeedsExactAttributesAndNoDotLaterOnesOnlyTheBit) {
    fs.results = {found(".", 16),         found("..", 16),       found("ro.ts", 33),
                  found(".hidden.ts", 32), found("first.ts", 32, 77), found("ro2.ts", 33),
                  found("sub", 16),        found(".late.ts", 32),  found("hid.ts", 34)};
    EXPECT_EQ(4, list_folder("Samples\\*.*", 32, &folder_listing));
    EXPECT_EQ((std::vector<std::string>{"first.ts", "ro2.ts", ".late.ts", "hid.ts"}), listed_names());
    const FolderEntry& e = folder_listing.entries[0];
    EXPECT_EQ(32u, e.attributes);
    EXPECT_EQ(77, e.last_write_time);
    EXPECT_EQ(-23, e.creation_time);
    EXPECT_EQ(177, e.last_access_time);
    EXPECT_EQ(1234u, e.size);
    EXPECT_EQ(1, fs.closes);
    EXPECT_FALSE(fs.open);
    EXPECT_EQ("Samples\\*.*", fs.patterns.at(0));
}

TEST_F(AfterActions, ListingIsEmptyWithoutAQualifyingFirstEntry) {
    // Nothing at all: no search is left open.
    EXPECT_EQ(0, list_folder("Samples\\*.*", 32, &folder_listing));
    EXPECT_EQ(-1, find_newest_file("Samples\\*.*", &folder_listing));

    // Only folders and a file that is not exactly archive: the search runs out, and the
    // previous listing is cleared.
    folder_listing.count = 5;
    std::strcpy(folder_listing.entries[0].name, "stale");
    fs.results = {found(".", 16), found("..", 16), found("a", 16), found("ro.ts", 33)};
    EXPECT_EQ(0, list_folder("Samples\\*.*", 32, &folder_listing));
    EXPECT_EQ(0, folder_listing.count);
    EXPECT_EQ('\0', folder_listing.entries[0].name[0]);
    EXPECT_EQ(1, fs.closes);
    EXPECT_EQ(-1, find_newest_file("Samples\\*.*", &folder_listing));
}

TEST_F(AfterActions, AtMost256EntriesAndNoFurtherResultsFetched) {
    for (int i = 0; i < 300; ++i)
        fs.results.push_back(found("f" + std::to_string(i) + ".ts", 32, i == 280 ? 9999 : i));
    EXPECT_EQ(256, list_folder("Samples\\*.*", 32, &folder_listing));
    EXPECT_EQ(256u, fs.handed_out);
    EXPECT_STREQ("f255.ts", folder_listing.entries[255].name);
    // The file at 280 is the newest of all but lies beyond the listing.
    EXPECT_EQ(255, find_newest_file("Samples\\*.*", &folder_listing));
}

TEST_F(AfterActions, NewestByLastWriteTimeFirstListedOnTies) {
    fs.results = {found("old.ts", 32, 100), found("a.ts", 32, 500), found("b.ts", 32, 500),
                  found("c.ts", 32, 499)};
    EXPECT_EQ(1, find_newest_file("Samples\\*.*", &folder_listing));
    fs.results = {found("a.ts", 32, 100), found("b.ts", 32, 100)};
    EXPECT_EQ(0, find_newest_file("Samples\\*.*", &folder_listing));
    // Times before 1970 compare as well.
    fs.results = {found("a.ts", 32, -50), found("b.ts", 32, -10)};
    EXPECT_EQ(1, find_newest_file("Samples\\*.*", &folder_listing));
}

TEST_F(AfterActions, OverlongNameIsCutWithinTheEntryAndNeverMoved) {
    std::string name;
    for (int i = 0; i < 200; ++i) name += "録";  // 400 bytes
    name += ".ts";
    fs.results = {found(name, 32, 5)};
    ASSERT_EQ(1, list_folder("Samples\\*.*", 32, &folder_listing));
    const FolderEntry& e = folder_listing.entries[0];
    EXPECT_EQ(258u, std::strlen(e.name));  // 129 whole characters, never half of one
    EXPECT_EQ(0, std::memcmp(e.name, name.data(), 258));
    EXPECT_TRUE(e.name_unusable);

    fs.folders = {"d:", "d:\\rec"};
    move_newest_recording(nullptr, "d:\\rec");
    EXPECT_TRUE(fs.moves.empty());
    auto texts = fake.surfaces.texts();
    ASSERT_EQ(5u, texts.size());
    EXPECT_EQ("ファイル移動に失敗しました", texts[4].text);

    // A name that has no exact Shift-JIS form is not moved either.
    fs.results = {found("x?.ts", 32, 5)};
    fs.results[0].name_exact = false;
    ASSERT_EQ(1, list_folder("Samples\\*.*", 32, &folder_listing));
    EXPECT_TRUE(folder_listing.entries[0].name_unusable);
    fs.results[0].name_exact = true;
    ASSERT_EQ(1, list_folder("Samples\\*.*", 32, &folder_listing));
    EXPECT_FALSE(folder_listing.entries[0].name_unusable);
}

TEST_F(AfterActions, EnsureFolderCreatesMissingParentsFromTheTopDown) {
    fs.folders = {"d:"};
    EXPECT_EQ(0, ensure_folder("d:\\rec\\news"));
    EXPECT_EQ((std::vector<std::string>{"d:\\rec\\news", "d:\\rec", "d:\\rec\\news"}), fs.creates);
    EXPECT_TRUE(fs.folders.count("d:\\rec\\news"));

    // An existing folder fails harmlessly, trying its parents down to the one below the
    // drive ("d:" has no backslash and is never tried).
    fs.creates.clear();
    EXPECT_EQ(-1, ensure_folder("d:\\rec\\news"));
    EXPECT_EQ((std::vector<std::string>{"d:\\rec\\news", "d:\\rec"}), fs.creates);

    // Nothing to fall back on: never created.
    fs.creates.clear();
    EXPECT_EQ(-1, ensure_folder(""));
    EXPECT_EQ(-1, ensure_folder("bare"));
    EXPECT_EQ(-1, ensure_folder("\\top"));  // the only "\" is the first character
    EXPECT_TRUE(fs.creates.empty());
}

TEST_F(AfterActions, EnsureFolderNeverSplitsADoubleByteCharacter) {
    // "表" and "ソ" end in the byte of "\".
    fs.folders = {"d:"};
    EXPECT_EQ(0, ensure_folder("d:\\表\\ソ"));
    EXPECT_EQ((std::vector<std::string>{"d:\\表\\ソ", "d:\\表", "d:\\表\\ソ"}), fs.creates);

    fs.creates.clear();
    EXPECT_EQ(-1, ensure_folder("ソ表"));
    EXPECT_TRUE(fs.creates.empty());
}

TEST_F(AfterActions, MoveShowsFiveLinesMovesTheNewestAndWaitsThreeSeconds) {
    fs.folders = {"d:", "d:\\rec"};
    fs.results = {found("old.ts", 32, 10), found("news.ts", 32, 20)};
    move_newest_recording((WindowRef)0x1234, "d:\\rec");

    EXPECT_EQ("Samples\\*.*", fs.patterns.at(0));
    ASSERT_EQ(1u, fs.moves.size());
    EXPECT_EQ("Samples\\news.ts", fs.moves[0].first);
    EXPECT_EQ("d:\\rec\\news.ts", fs.moves[0].second);

    struct Line {
        int y;
        Colour colour;
        std::string text;
    };
    const Line expected[] = {{135, 0xFCC8C8, "Samples\\news.ts"},
                             {150, 0x9696FF, "　　↓↓↓↓"},
                             {165, 0xFCC8C8, "d:\\rec\\news.ts"},
                             {180, 0x54FCFC, "ファイルを移動します"},
                             {195, 0xB4FFB4, "ファイルを移動しました"}};
    auto texts = fake.surfaces.texts();
    ASSERT_EQ(5u, texts.size());
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ((WindowRef)0x1234, texts[i].window);
        EXPECT_EQ(20, texts[i].x);
        EXPECT_EQ(expected[i].y, texts[i].y);
        EXPECT_EQ(expected[i].colour, texts[i].colour);
        EXPECT_EQ(expected[i].text, texts[i].text);
        EXPECT_EQ(15, texts[i].font_row);
        EXPECT_EQ(2, texts[i].bk_mode);
        EXPECT_EQ(0u, texts[i].bk_colour);
    }
    EXPECT_EQ(fake.surfaces.open_count, fake.surfaces.close_count);
    EXPECT_EQ(3000u, fake.clock.slept_ms);
}

TEST_F(AfterActions, FailedMoveShowsTheFailureLineAndStillWaits) {
    fs.folders = {"d:"};
    fs.fail_move = true;
    fs.results = {found("news.ts", 32, 20)};
    move_newest_recording(nullptr, "d:\\rec\\news");
    // The destination is made first, from the top down.
    EXPECT_EQ((std::vector<std::string>{"d:\\rec\\news", "d:\\rec", "d:\\rec\\news"}), fs.creates);
    auto texts = fake.surfaces.texts();
    ASSERT_EQ(5u, texts.size());
    EXPECT_EQ(195, texts[4].y);
    EXPECT_EQ(0x9696FFu, texts[4].colour);
    EXPECT_EQ("ファイル移動に失敗しました", texts[4].text);
    EXPECT_EQ(3000u, fake.clock.slept_ms);
}

TEST_F(AfterActions, NothingToMoveDrawsNothingAndDoesNotWait) {
    fs.results = {found(".", 16), found("..", 16), found("sub", 16)};
    move_newest_recording(nullptr, "d:\\rec");
    EXPECT_TRUE(fs.moves.empty());
    EXPECT_EQ(0, fake.surfaces.open_count);
    EXPECT_TRUE(fake.surfaces.ops.empty());
    EXPECT_EQ(0u, fake.clock.slept_ms);
    EXPECT_TRUE(fake.clock.sleeps.empty());
}

// A recording is made only when "Samples" holds a file written since its start, of at least
// half its expected size: (video bit/s + audio kbit/s x 1000) x seconds / 8. The move then
// takes only that file; an older one stays, and nothing is drawn.
TEST_F(AfterActions, ResultAndMoveTakeOnlyThisRecordingsFile) {
    set_default_reservations(reservations.table);
    Reservation& r = reservations.table.slots[2];
    recording.index = 2;
    r.use_conditions = 1;
    r.video_bitrate = 4000000;
    r.audio_bitrate = 256;
    const std::int64_t started = 1796600000;
    // 600 s at 4 256 000 bit/s: 319 200 000 bytes expected, half of it 159 600 000.
    EXPECT_EQ(319200000u, expected_recording_bytes(4000000, 256, 600));
    auto journal_has = [&](const char* text) {
        return fake.journal.files[kJournalFile].find(text) != std::string::npos;
    };
    FoundFile old_file = found("old.mpg", 32, started - 1);
    fs.results = {old_file};
    EXPECT_FALSE(check_recording(2, (std::time_t)started, 600));
    EXPECT_TRUE(journal_has("\t録画失敗\t3\t"));
    move_newest_recording(nullptr, "d:\\rec", started);
    EXPECT_TRUE(fs.moves.empty());
    EXPECT_TRUE(fake.surfaces.ops.empty());
    EXPECT_EQ(0u, fake.clock.slept_ms);
    EXPECT_TRUE(journal_has("\t移動失敗\t3\t"));

    FoundFile small = found("new.mpg", 32, started + 600);
    small.size = 159599999;
    fs.results = {old_file, small};
    fake.journal.files.clear();
    EXPECT_FALSE(check_recording(2, (std::time_t)started, 600));
    EXPECT_TRUE(journal_has("\t録画失敗\t3\t"));
    // From the settings file in use when the record has no rates of its own: 4 GiB and more.
    r.use_conditions = 0;
    fake.files.files["Krotx2.ini"] = "dwVideoBitrate=60000000\r\ndwAudioBitrate=0\r\n";
    FoundFile big = found("big.mpg", 32, started + 600);
    big.size = 4500000000ull;  // 7 500 000 bytes a second for 600 s
    fs.results = {big, old_file};
    fake.journal.files.clear();
    EXPECT_TRUE(check_recording(2, (std::time_t)started, 600));
    EXPECT_TRUE(journal_has("\t録画終了\t3\t"));
    EXPECT_TRUE(journal_has("4500000000"));
    big.size = 2249999999ull;
    fs.results = {big};
    EXPECT_FALSE(check_recording(2, (std::time_t)started, 600));
    // Unknown rates: the file alone counts. So do rates beyond 32 bits, which would wrap.
    fake.files.files["Krotx2.ini"] = "dwVideoBitrate=999999999999999999\r\ndwAudioBitrate=0\r\n";
    EXPECT_TRUE(check_recording(2, (std::time_t)started, 600));
    EXPECT_EQ(0u, expected_recording_bytes(2147483648LL, 0, 600));
    fake.files.files.erase("Krotx2.ini");
    EXPECT_TRUE(check_recording(2, (std::time_t)started, 600));
}

TEST_F(AfterActions, SourceAndDestinationPaths) {
    fs.results = {found("news.ts", 32, 20)};
    capture_choice.use_install_folder = 1;
    move_newest_recording(nullptr, "");
    EXPECT_EQ("c:\\Program Files\\TARVO INC\\KRO-TX2\\Samples\\*.*", fs.patterns.at(0));
    ASSERT_EQ(1u, fs.moves.size());
    EXPECT_EQ("c:\\Program Files\\TARVO INC\\KRO-TX2\\Samples\\news.ts", fs.moves[0].first);
    // An empty folder means the root of the current drive.
    EXPECT_EQ("\\news.ts", fs.moves[0].second);

    // A damaged record whose folder fills all 128 bytes without a NUL: read within the
    // field, the whole field is the folder.
    Reservation r;
    std::memset(&r, 0, sizeof(r));
    std::memset(r.move_folder, 'a', sizeof(r.move_folder));
    r.move_after_record = 0xEE;  // the byte after the field must not be read
    fs.moves.clear();
    move_newest_recording(nullptr, r.move_folder);
    ASSERT_EQ(1u, fs.moves.size());
    EXPECT_EQ(std::string(128, 'a') + "\\news.ts", fs.moves[0].second);
}

TEST_F(AfterActions, EachActionMakesItsRequestAfterItsDelay) {
    struct Case {
        std::uint8_t action;
        std::int32_t delay;
        const char* request;  // nullptr: none
    };
    const Case cases[] = {{0, 30, nullptr},         {1, 5, "reboot"},   {2, 7, "shutdown"},
                          {3, 11, "force_logoff"},  {4, 13, "suspend"}, {5, 2, nullptr},
                          {0xFF, 3, nullptr},       {0x80, 1, nullptr}, {4, 0, "suspend"},
                          {0, 0, nullptr}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "action " << (int)c.action << " delay " << c.delay);
        power.calls.clear();
        fake.clock.slept_ms = 0;
        reservations.table.slots[7].after_action = c.action;
        reservations.table.slots[7].after_delay = c.delay;
        run_after_action(7);
        EXPECT_EQ((std::uint64_t)c.delay * 1000u, fake.clock.slept_ms);
        if (c.request)
            EXPECT_EQ(std::vector<std::string>{c.request}, power.calls);
        else
            EXPECT_TRUE(power.calls.empty());
    }
}

TEST_F(AfterActions, LongestDelaysAreWaitedInFullWithoutWrapping) {
    reservations.table.slots[0].after_action = 2;
    reservations.table.slots[0].after_delay = 0x7FFFFFFF;
    run_after_action(0);
    EXPECT_EQ(2147483647000ull, fake.clock.slept_ms);
    EXPECT_EQ(std::vector<std::string>{"shutdown"}, power.calls);

    // A negative field is its unsigned value: 4294967295 seconds.
    fake.clock.slept_ms = 0;
    fake.clock.sleeps.clear();
    reservations.table.slots[0].after_delay = (std::int32_t)0xFFFFFFFFu;
    run_after_action(0);
    EXPECT_EQ(4294967295000ull, fake.clock.slept_ms);
    for (std::uint32_t ms : fake.clock.sleeps) ASSERT_LT(ms, 0xFFFFFFFFu);  // never "forever"
}

TEST_F(AfterActions, IndexOutsideTheTableDoesNothing) {
    reservations.table.slots[0].after_action = 1;
    reservations.table.slots[0].after_delay = 1;
    run_after_action(-1);
    run_after_action(40);
    EXPECT_EQ(0u, fake.clock.slept_ms);
    EXPECT_TRUE(power.calls.empty());
}

// After the delay the timer is rearmed; a stand-by is left out when the next start is less
// than five minutes away (the PC would sleep through it).
TEST_F(AfterActions, NoStandByWhenTheNextStartIsNear) {
    ScopedTimeZone tz("Asia/Tokyo");
    set_default_reservations(reservations.table);
    const std::int64_t start = local_time(2026, 12, 7, 21, 0, 0);
    std::snprintf(reservations.table.slots[1].name, sizeof(reservations.table.slots[1].name), "next");
    std::memcpy(reservations.table.slots[1].start_date, "261207", 7);
    std::memcpy(reservations.table.slots[1].end_date, "261207", 7);
    std::memcpy(reservations.table.slots[1].start_time, "210000", 7);
    std::memcpy(reservations.table.slots[1].end_time, "220000", 7);
    reservations.count = 2;
    struct Case {
        int action;
        std::int64_t now_after_delay;  // the next start is at 20:59:00
        const char* request;
    } cases[] = {{4, start - 60 - 300, "suspend"}, {4, start - 60 - 299, nullptr},
                 {4, start + 3600, "suspend"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.now_after_delay - start);
        power.calls.clear();
        power.wake.clear();
        fake.clock.slept_ms = 0;
        fake.clock.base = c.now_after_delay - 20;
        reservations.table.slots[0].after_action = (std::uint8_t)c.action;
        reservations.table.slots[0].after_delay = 20;
        run_after_action(0);
        EXPECT_EQ(c.request ? std::vector<std::string>{c.request} : std::vector<std::string>{},
                  power.calls);
        ASSERT_EQ(1u, power.wake.size());
        EXPECT_EQ(c.now_after_delay < start - 60 ? "arm " + std::to_string((long long)std::max(
                                                            start - 60 - 180, c.now_after_delay))
                                                 : std::string("cancel"),
                  power.wake[0]);
    }

    // A reboot, shutdown or log-off is held back, without its countdown, when the next
    // start (20:59:00) would come less than half an hour after it; not 31 minutes before.
    const char* requests[] = {"reboot", "shutdown", "force_logoff"};
    for (int action = 1; action <= 3; ++action) {
        for (std::int64_t ends : {start - 60 - 1799, start - 60 - 31 * 60}) {
            SCOPED_TRACE(action);
            power.calls.clear();
            fake.clock.slept_ms = 0;
            fake.journal.files.clear();
            fake.clock.base = ends - 20;
            reservations.table.slots[0].after_action = (std::uint8_t)action;
            run_after_action(0);
            const bool held = ends > start - 60 - 1800;
            EXPECT_EQ(held ? std::vector<std::string>{} : std::vector<std::string>{requests[action - 1]},
                      power.calls);
            EXPECT_EQ(held ? 0u : 20000u, fake.clock.slept_ms);
            EXPECT_EQ(held, fake.journal.files[kJournalFile].find(
                                "\t電源操作\t1\t\t次の録画(2 next、2026/12/07 21:00:00)が30分以内のため実行しません") !=
                                std::string::npos);
        }
    }
    reservations.count = 0;
}

// The countdown: at least a minute when someone used the PC in the last five minutes, none
// when nobody is there and there is no delay; 中止 ends the wait and the action with a line
// of its own that starts the script, 今すぐ実行 ends the wait and makes the request.
TEST_F(AfterActions, TheCountdownCanBeCancelledOrCutShort) {
    struct Countdown : FakePower {
        std::vector<std::string> shown;
        std::int64_t idle = -1;
        CountdownEnd end = kCountdownElapsed;
        CountdownEnd count_down(const char* label, std::uint32_t seconds) override {
            shown.push_back(std::string(label) + " " + std::to_string(seconds));
            return end;
        }
        std::int64_t seconds_since_input() override { return idle; }
    } countdown;
    platform.power = &countdown;
    struct : Scripts {
        int started = 0;
        int start(const char*, const ScriptVariable*, int) override { return ++started, 0; }
    } scripts;
    platform.scripts = &scripts;
    fake.files.files["tavrel-event.bat"] = "rem";
    set_default_reservations(reservations.table);
    std::snprintf(reservations.table.slots[0].name, sizeof(reservations.table.slots[0].name), "news");
    reservations.table.slots[0].after_action = 4;
    auto journal = [&] { return fake.journal.files[kJournalFile]; };
    run_after_action(0);  // no delay, nobody there
    EXPECT_TRUE(countdown.shown.empty());
    EXPECT_EQ(std::vector<std::string>{"suspend"}, countdown.calls);
    countdown.idle = 299;  // someone is there
    countdown.end = kCountdownCancelled;
    event_script_begin();
    run_after_action(0);
    EXPECT_EQ(std::vector<std::string>{"1 news: 「スタンバイする」まで あと 60"}, countdown.shown);
    EXPECT_EQ(1u, countdown.calls.size());
    EXPECT_NE(std::string::npos, journal().find("\t電源操作\t1\tnews\tスタンバイする(60秒後)\r\n"));
    EXPECT_NE(std::string::npos, journal().find("\t電源操作\t1\tnews\t中止されました\r\n"));
    EXPECT_EQ(2, scripts.started);
    countdown.idle = 300;
    countdown.end = kCountdownNow;
    reservations.table.slots[0].after_delay = 90;
    reservations.table.slots[0].after_action = 2;
    run_after_action(0);
    EXPECT_EQ("1 news: 「シャットダウンする」まで あと 90", countdown.shown.back());
    EXPECT_EQ("shutdown", countdown.calls.back());
    EXPECT_EQ(0u, fake.clock.slept_ms);
}

}  // namespace
