// Faults around unattended recordings, in real time with the stand-in capture application:
// each recording that goes wrong runs its course, and the next one is still recorded.
//
//   0. The capture application it needs ("KROTX1.exe") is not in the capture folder, and
//      the newest file of "Samples" has a namesake in the move folder: nothing is
//      launched, the move fails, both files stay.
//   1. The stand-in is closed by hand during the recording.
//   2. The stand-in shows its window only after 20 s: the program's 13 s are up, the
//      commands are lost, nothing hangs.
//   3. A normal recording, which finds the late window of 2 open and uses it; its file is
//      moved.
// What the program draws on its panel meanwhile is not looked at: under Wine, drawing done
// while the sequences block the program reaches the screen late or not at all.
// Before them: "予約更新" while "recdata.dat" is read-only shows the message, keeps the
// file and the edit in memory, and a later save writes the edit.
//
// The reservations are written into "recdata.dat" before the program starts; each records
// for 10 s and the next falls due 85 s after it ended (the fixed waits of the start and
// stop sequences take 60 s and 18 s). The whole run takes about seven minutes.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "tests/e2e/driver.h"

namespace {

using namespace e2e;

// The lines of the stand-in's log that hold what.
int lines_with(const std::string& log, const std::string& what) { return count_of(log, what); }

TEST(Faults, RecordingsGoOnAfterEachFault) {
    CaptureFolder folder(L"faults");
    // No MPEG-1 capture application; the MPEG-2 one is there (so the capture folder is
    // this one).
    ASSERT_TRUE(DeleteFileW(folder.file(L"KROTX1.exe").c_str()));
    // "Samples" holds an earlier recording whose name the move folder has already.
    ASSERT_TRUE(CreateDirectoryW(folder.file(L"moved").c_str(), nullptr));
    ASSERT_TRUE(folder.write_file(L"Samples\\earlier.mpg", "recorded earlier"));
    ASSERT_TRUE(folder.write_file(L"moved\\earlier.mpg", "kept in the move folder"));
    const std::string move_folder = sjis(folder.file(L"moved"));
    ASSERT_LT(move_folder.size(), sizeof(Reservation::move_folder) - 1);

    const long long s0 = (local_now() / 1000 + 100) * 1000;
    const long long e0 = s0 + 10000, s1 = e0 + 85000;
    const long long e1 = s1 + 10000, s2 = e1 + 85000;
    const long long e2 = s2 + 10000, s3 = e2 + 85000;
    const long long e3 = s3 + 10000;

    ReservationTable table = default_table();
    once_only(table.slots[0], "missing app", s0, e0);
    table.slots[0].mpeg1 = 1;
    table.slots[0].move_after_record = 1;
    std::snprintf(table.slots[0].move_folder, sizeof(table.slots[0].move_folder), "%s",
                  move_folder.c_str());
    once_only(table.slots[1], "closed by hand", s1, e1);
    once_only(table.slots[2], "late window", s2, e2);
    once_only(table.slots[3], "normal", s3, e3);
    table.slots[3].move_after_record = 1;
    std::snprintf(table.slots[3].move_folder, sizeof(table.slots[3].move_folder), "%s",
                  move_folder.c_str());
    ASSERT_TRUE(folder.write_schedule(table));

    Process tavrel;
    HWND main = start_tavrel(tavrel, folder);
    ASSERT_NE(nullptr, main);
    Dialog dialog(main);

    // ---- "予約更新" while the schedule file is read-only ----
    const std::string saved = folder.read_file(L"recdata.dat");
    ASSERT_EQ(sizeof(ReservationTable), saved.size());
    dialog.select_combo(1121, 2);
    dialog.set_text(1121, L"遅い窓");
    ASSERT_TRUE(SetFileAttributesW(folder.file(L"recdata.dat").c_str(), FILE_ATTRIBUTE_READONLY));
    dialog.post_command(1123);
    MessageBoxSeen box;
    ASSERT_TRUE(wait_message_box(tavrel.pid(), 10000, &box));
    EXPECT_EQ(L"ファイルを開けませんでした", box.text);
    EXPECT_EQ(L"失敗", box.caption);
    EXPECT_EQ(main, box.owner);
    press_ok(box.hwnd);
    ASSERT_TRUE(wait_until([&] { return !IsWindow(box.hwnd); }, 5000));
    EXPECT_TRUE(folder.read_file(L"recdata.dat") == saved) << "the read-only file changed";
    // Writable again: an update of another entry saves the whole table, the edit with it.
    ASSERT_TRUE(SetFileAttributesW(folder.file(L"recdata.dat").c_str(), FILE_ATTRIBUTE_NORMAL));
    dialog.select_combo(1121, 1);
    ASSERT_TRUE(dialog.command(1123));
    {
        const std::string now_saved = folder.read_file(L"recdata.dat");
        ASSERT_EQ(sizeof(ReservationTable), now_saved.size());
        ReservationTable back;
        std::memcpy(&back, now_saved.data(), sizeof(back));
        EXPECT_EQ(sjis(L"遅い窓"), std::string(back.slots[2].name));
        EXPECT_EQ(std::string(table.slots[2].start_time), back.slots[2].start_time);
        EXPECT_EQ(0, std::memcmp(&back.slots[0], &table.slots[0], sizeof(Reservation)));
        EXPECT_EQ(0, std::memcmp(&back.slots[3], &table.slots[3], sizeof(Reservation)));
    }
    ASSERT_LT(local_now(), s0 - 63000) << "setting up took too long for the timeline";

    // ---- 0: no capture application, and a move onto an existing file ----
    // (The panel's lines are not looked at: under Wine what the program draws while its
    // sequences block reaches the screen late or not at all. The unit tests check them.)
    sleep_until(e0 + 25000);
    EXPECT_EQ("recorded earlier", folder.read_file(L"Samples\\earlier.mpg"));
    EXPECT_EQ("kept in the move folder", folder.read_file(L"moved\\earlier.mpg"));
    EXPECT_EQ(0, lines_with(folder.standin_log(), " start pid "));

    // ---- 1: the stand-in closed by hand once it records ----
    ASSERT_TRUE(wait_until([&] { return lines_with(folder.standin_log(), "message 2027") == 1; },
                           (int)(s1 + 10000 - local_now())))
        << folder.standin_log();
    Sleep(2000);
    end_program_file(folder.file(L"KROTX2.exe"));
    ASSERT_TRUE(wait_until([&] { return find_capture_window() == nullptr; }, 5000));

    // ---- 2: a stand-in that shows its window only after 20 s ----
    sleep_until(e1 + 5000);
    ASSERT_TRUE(folder.write_file(L"standin_delay.txt", "20"));
    ASSERT_TRUE(wait_until([&] { return lines_with(folder.standin_log(), " start pid ") == 2; },
                           (int)(s2 - 50000 - local_now())))
        << folder.standin_log();
    Sleep(3000);
    DeleteFileW(folder.file(L"standin_delay.txt").c_str());

    // ---- 3: the next recording, to its moved file ----
    sleep_until(e3 + 25000);

    const std::string log = folder.standin_log();
    // Launched for 1 and for 2, never for 3, which found the late window of 2.
    EXPECT_EQ(2, lines_with(log, " start pid ")) << log;
    EXPECT_EQ(1, lines_with(log, "delay 20 s")) << log;
    // Record commands reached 1 and 3; 2's were lost, as were 1's stop and close.
    EXPECT_EQ(2, lines_with(log, "message 2027 record")) << log;
    EXPECT_EQ(1, lines_with(log, "message 2025 stop")) << log;
    EXPECT_EQ(1, lines_with(log, "message 2029 close")) << log;
    EXPECT_EQ(1, lines_with(log, "exit")) << log;
    // 3's recording left "Samples" for the move folder; the earlier file is still there.
    size_t at = log.rfind("recording Samples\\");
    ASSERT_NE(std::string::npos, at) << log;
    at += std::strlen("recording Samples\\");
    const std::string recorded = log.substr(at, log.find("\r\n", at) - at);
    const std::wstring wide(recorded.begin(), recorded.end());
    EXPECT_TRUE(folder.exists(L"moved\\" + wide)) << recorded;
    EXPECT_FALSE(folder.exists(L"Samples\\" + wide));
    EXPECT_EQ("recorded earlier", folder.read_file(L"Samples\\earlier.mpg"));
    EXPECT_EQ("kept in the move folder", folder.read_file(L"moved\\earlier.mpg"));
    EXPECT_EQ(nullptr, find_capture_window());
    EXPECT_TRUE(tavrel.running());
    EXPECT_FALSE(wait_message_box(tavrel.pid(), 500, &box)) << "a message box is open";
}

}  // namespace
