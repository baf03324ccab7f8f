// Faults around unattended recordings, in real time with the stand-in capture application.
// Each test is a capture folder of its own and one recording that goes wrong, which runs its
// course, after which the next recording is still made or started:
//
//   MissingCaptureApplication: the capture application the reservation needs ("KROTX1.exe")
//      is not in the capture folder, and the newest file of "Samples" has a namesake in the
//      move folder: nothing is launched, the move fails, both files stay.
//   ClosedByHand: the stand-in is closed by hand during the recording.
//   LateWindow: the stand-in shows its window only after 20 s: the program's 13 s are up,
//      the commands are lost, nothing hangs; the next recording finds that late window
//      open and records with it.
//   MovedFile: a normal recording, whose file is moved; an earlier file of "Samples" and
//      its namesake in the move folder stay as they were.
//   ReadOnlySchedule: "予約更新" while "recdata.dat" is read-only shows the message, keeps
//      the file and the edit in memory, and a later save writes the edit.
// What the program draws on its panel meanwhile is not looked at: under Wine, drawing done
// while the sequences block the program reaches the screen late or not at all.
//
// The reservations are written into "recdata.dat" before the program starts. The first
// starts 75 s later, so that it falls due (a minute early) once the program is up; each
// records for 10 s and the next starts 85 s after it ended (the fixed waits of the start
// and stop sequences take 60 s and 18 s). ctest runs each test on its own, side by side
// with the others; the longest, LateWindow, takes about three and a half minutes.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "resources/resource_ids.h"
#include "tests/e2e/driver.h"

namespace {

using namespace e2e;

const long long kLead = 75000, kLength = 10000, kGap = 85000;

// The start of the n-th recording of a test whose first starts at first.
long long start_of(long long first, int n) { return first + n * (kLength + kGap); }

// "Samples" holds an earlier recording whose name the move folder has already; returns
// the move folder as a reservation stores it.
std::string with_earlier_file_and_namesake(const CaptureFolder& folder) {
    EXPECT_TRUE(CreateDirectoryW(folder.file(L"moved").c_str(), nullptr));
    EXPECT_TRUE(folder.write_file(L"Samples\\earlier.mpg", "recorded earlier"));
    EXPECT_TRUE(folder.write_file(L"moved\\earlier.mpg", "kept in the move folder"));
    const std::string move_folder = sjis(folder.file(L"moved"));
    EXPECT_LT(move_folder.size(), sizeof(Reservation::move_folder) - 1);
    return move_folder;
}

void move_after(Reservation& r, const std::string& move_folder) {
    r.move_after_record = 1;
    std::snprintf(r.move_folder, sizeof(r.move_folder), "%s", move_folder.c_str());
}

void expect_earlier_file_and_namesake_kept(const CaptureFolder& folder) {
    EXPECT_EQ("recorded earlier", folder.read_file(L"Samples\\earlier.mpg"));
    EXPECT_EQ("kept in the move folder", folder.read_file(L"moved\\earlier.mpg"));
}

// Starts tavrel.exe, which must be up before the first start sequence begins (a minute
// before the start): the timeline's waits count from there. Null when it is not.
HWND start_in_time(Process& tavrel, const CaptureFolder& folder, long long first) {
    HWND main = start_tavrel(tavrel, folder);
    if (main && local_now() >= first - 60000) {
        ADD_FAILURE() << "starting the program took too long for the timeline";
        return nullptr;
    }
    return main;
}

// The program goes on: still running, no message box left open.
void expect_still_running(Process& tavrel) {
    EXPECT_TRUE(tavrel.running());
    MessageBoxSeen box;
    EXPECT_FALSE(wait_message_box(tavrel.pid(), 500, &box)) << "a message box is open";
}

TEST(Faults, MissingCaptureApplication) {
    CaptureFolder folder(L"faults-missing");
    // No MPEG-1 capture application; the MPEG-2 one is there (so the capture folder is
    // this one).
    ASSERT_TRUE(DeleteFileW(folder.file(L"KROTX1.exe").c_str()));
    const std::string move_folder = with_earlier_file_and_namesake(folder);

    const long long first = (local_now() / 1000) * 1000 + kLead;
    const long long s0 = start_of(first, 0), s1 = start_of(first, 1);
    ReservationTable table = default_table();
    once_only(table.slots[0], "missing app", s0, s0 + kLength);
    table.slots[0].mpeg1 = 1;
    move_after(table.slots[0], move_folder);
    once_only(table.slots[1], "next", s1, s1 + kLength);
    ASSERT_TRUE(folder.write_schedule(table));

    Process tavrel;
    ASSERT_NE(nullptr, start_in_time(tavrel, folder, first));

    // Past the stop sequence (15 s to the close, 3 s after the move), just before the
    // next start sequence.
    sleep_until(s0 + kLength + 24000);
    expect_earlier_file_and_namesake_kept(folder);
    EXPECT_EQ(0, count_of(folder.standin_log(), " start pid ")) << folder.standin_log();

    // The next recording falls due and its capture application is launched.
    EXPECT_TRUE(wait_until([&] { return count_of(folder.standin_log(), " start pid ") == 1; },
                           (int)(s1 - 50000 - local_now())))
        << folder.standin_log();
    expect_still_running(tavrel);
}

TEST(Faults, ClosedByHand) {
    CaptureFolder folder(L"faults-closed");
    const long long first = (local_now() / 1000) * 1000 + kLead;
    const long long s0 = start_of(first, 0), s1 = start_of(first, 1);
    ReservationTable table = default_table();
    once_only(table.slots[0], "closed by hand", s0, s0 + kLength);
    once_only(table.slots[1], "next", s1, s1 + kLength);
    ASSERT_TRUE(folder.write_schedule(table));

    Process tavrel;
    ASSERT_NE(nullptr, start_in_time(tavrel, folder, first));

    // Closed by hand once it records.
    ASSERT_TRUE(wait_until([&] { return count_of(folder.standin_log(), "message 2027") == 1; },
                           (int)(s0 + 10000 - local_now())))
        << folder.standin_log();
    Sleep(2000);
    end_program_file(folder.file(L"KROTX2.exe"));
    ASSERT_TRUE(wait_until([&] { return find_capture_window() == nullptr; }, 5000));

    // The stop sequence runs its course without a window; then the next recording falls
    // due and its capture application is launched.
    ASSERT_TRUE(wait_until([&] { return count_of(folder.standin_log(), " start pid ") == 2; },
                           (int)(s1 - 50000 - local_now())))
        << folder.standin_log();
    const std::string log = folder.standin_log();
    EXPECT_EQ(1, count_of(log, "message 2027 record")) << log;
    EXPECT_EQ(0, count_of(log, "message 2025 stop")) << log;
    EXPECT_EQ(0, count_of(log, "message 2029 close")) << log;
    EXPECT_EQ(0, count_of(log, "exit")) << log;
    expect_still_running(tavrel);
}

TEST(Faults, LateWindow) {
    CaptureFolder folder(L"faults-late");
    ASSERT_TRUE(folder.write_file(L"standin_delay.txt", "20"));
    const long long first = (local_now() / 1000) * 1000 + kLead;
    const long long s0 = start_of(first, 0), s1 = start_of(first, 1);
    ReservationTable table = default_table();
    once_only(table.slots[0], "late window", s0, s0 + kLength);
    once_only(table.slots[1], "next", s1, s1 + kLength);
    ASSERT_TRUE(folder.write_schedule(table));

    Process tavrel;
    ASSERT_NE(nullptr, start_in_time(tavrel, folder, first));

    ASSERT_TRUE(wait_until([&] { return count_of(folder.standin_log(), " start pid ") == 1; },
                           (int)(s0 - 50000 - local_now())))
        << folder.standin_log();
    Sleep(3000);
    DeleteFileW(folder.file(L"standin_delay.txt").c_str());

    // The window came after the program's 13 s: its record, stop and close were lost.
    sleep_until(s0 + kLength + 24000);
    {
        const std::string log = folder.standin_log();
        EXPECT_EQ(1, count_of(log, "delay 20 s")) << log;
        EXPECT_NE(std::string::npos, log.find("window shown")) << log;
        EXPECT_EQ(0, count_of(log, "message 2027 record")) << log;
        EXPECT_EQ(0, count_of(log, "message 2025 stop")) << log;
        EXPECT_EQ(0, count_of(log, "message 2029 close")) << log;
    }

    // The next recording finds the late window open and records with it, stops and
    // closes it, launching nothing.
    sleep_until(s1 + kLength + 25000);
    const std::string log = folder.standin_log();
    EXPECT_EQ(1, count_of(log, " start pid ")) << log;
    EXPECT_EQ(1, count_of(log, "message 2027 record")) << log;
    EXPECT_EQ(1, count_of(log, "message 2025 stop")) << log;
    EXPECT_EQ(1, count_of(log, "message 2029 close")) << log;
    EXPECT_EQ(1, count_of(log, "exit")) << log;
    EXPECT_EQ(nullptr, find_capture_window());
    expect_still_running(tavrel);
}

TEST(Faults, MovedFile) {
    CaptureFolder folder(L"faults-moved");
    const std::string move_folder = with_earlier_file_and_namesake(folder);
    const long long s0 = (local_now() / 1000) * 1000 + kLead;
    ReservationTable table = default_table();
    once_only(table.slots[0], "normal", s0, s0 + kLength);
    move_after(table.slots[0], move_folder);
    ASSERT_TRUE(folder.write_schedule(table));

    Process tavrel;
    ASSERT_NE(nullptr, start_in_time(tavrel, folder, s0));

    sleep_until(s0 + kLength + 25000);
    const std::string log = folder.standin_log();
    EXPECT_EQ(1, count_of(log, " start pid ")) << log;
    EXPECT_EQ(1, count_of(log, "message 2027 record")) << log;
    EXPECT_EQ(1, count_of(log, "message 2025 stop")) << log;
    EXPECT_EQ(1, count_of(log, "message 2029 close")) << log;
    EXPECT_EQ(1, count_of(log, "exit")) << log;
    // The recording left "Samples" for the move folder; the earlier file is still there.
    size_t at = log.rfind("recording Samples\\");
    ASSERT_NE(std::string::npos, at) << log;
    at += std::strlen("recording Samples\\");
    const std::string recorded = log.substr(at, log.find("\r\n", at) - at);
    const std::wstring wide(recorded.begin(), recorded.end());
    EXPECT_TRUE(folder.exists(L"moved\\" + wide)) << recorded;
    EXPECT_FALSE(folder.exists(L"Samples\\" + wide));
    expect_earlier_file_and_namesake_kept(folder);
    EXPECT_EQ(nullptr, find_capture_window());
    expect_still_running(tavrel);
}

TEST(Faults, ReadOnlySchedule) {
    CaptureFolder folder(L"faults-read-only");
    // Hours away: nothing falls due while the test runs.
    const long long later = (local_now() / 1000) * 1000 + 3 * 3600000LL;
    ReservationTable table = default_table();
    const char* const names[] = {"first", "second", "third", "fourth"};
    for (int i = 0; i < 4; ++i)
        once_only(table.slots[i], names[i], later + i * 600000LL, later + i * 600000LL + kLength);
    ASSERT_TRUE(folder.write_schedule(table));

    Process tavrel;
    HWND main = start_tavrel(tavrel, folder);
    ASSERT_NE(nullptr, main);
    Dialog dialog(main);

    const std::string saved = folder.read_file(L"recdata.dat");
    ASSERT_EQ(sizeof(ReservationTable), saved.size());
    dialog.select_combo(IDC_NAME_LIST, 2);
    dialog.set_text(IDC_NAME_LIST, L"遅い窓");
    ASSERT_TRUE(SetFileAttributesW(folder.file(L"recdata.dat").c_str(), FILE_ATTRIBUTE_READONLY));
    dialog.post_command(IDC_UPDATE);
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
    dialog.select_combo(IDC_NAME_LIST, 1);
    ASSERT_TRUE(dialog.command(IDC_UPDATE));
    const std::string now_saved = folder.read_file(L"recdata.dat");
    ASSERT_EQ(sizeof(ReservationTable), now_saved.size());
    ReservationTable back;
    std::memcpy(&back, now_saved.data(), sizeof(back));
    EXPECT_EQ(sjis(L"遅い窓"), std::string(back.slots[2].name));
    EXPECT_EQ(std::string(table.slots[2].start_time), back.slots[2].start_time);
    EXPECT_EQ(0, std::memcmp(&back.slots[0], &table.slots[0], sizeof(Reservation)));
    EXPECT_EQ(0, std::memcmp(&back.slots[3], &table.slots[3], sizeof(Reservation)));
    expect_still_running(tavrel);
}

}  // namespace
