// Faults around unattended recordings, in real time with the stand-in capture application.
// Each test is one fault in a capture folder of its own: the recording runs its course and
// the one after it is still made or started. ctest runs each test on its own, side by side.
//   MissingCaptureApplication: "KROTX1.exe", which the reservation needs, is not there and
//     the newest file of "Samples" has a namesake in the move folder: nothing is launched,
//     the move fails, both files stay.
//   ClosedByHand: the stand-in is closed by hand during the recording.
//   LateWindow: the stand-in shows its window only after 20 s, when the program's 13 s are
//     up: the commands are lost, nothing hangs; the next recording uses that late window.
//   MovedFile: a normal recording; its file is moved, an earlier one and its namesake stay.
//   ReadOnlySchedule: "予約更新" while "recdata.dat" is read-only shows the message and
//     keeps the file and the edit; a later save writes the edit.
// The panel is not looked at: under Wine, drawing done while the sequences block the
// program reaches the screen late or not at all.
// The first recording starts 75 s after the schedule is written, so that it falls due (a
// minute early) once the program is up; each lasts 10 s and the next starts 85 s after it
// ended (the start and stop sequences wait 60 s and 18 s).
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>

#include "tests/e2e/driver.h"

namespace {

using namespace e2e;
using ::testing::AssertionFailure;
using ::testing::AssertionResult;
using ::testing::AssertionSuccess;

const long long kLead = 75000, kLength = 10000, kGap = 85000;

// Once-only recordings of kLength in slots 0 and up: the first starts kLead from now, each
// next kGap after the one before ended.
struct Schedule {
    ReservationTable table = default_table();
    long long start[2] = {0, 0};
    explicit Schedule(std::initializer_list<const char*> names) {
        const long long first = (local_now() / 1000) * 1000 + kLead;
        int n = 0;
        for (const char* name : names) {
            start[n] = first + n * (kLength + kGap);
            once_only(table.slots[n], name, start[n], stop(n));
            ++n;
        }
    }
    long long stop(int n) const { return start[n] + kLength; }
};

// Writes the schedule and starts tavrel.exe, which must be up before the first start
// sequence begins (a minute before the start): the waits below count from there.
AssertionResult start_in_time(Process& tavrel, const CaptureFolder& folder, const Schedule& s) {
    if (!folder.write_schedule(s.table)) return AssertionFailure() << "recdata.dat not written";
    if (!start_tavrel(tavrel, folder)) return AssertionFailure() << "no main dialog";
    if (local_now() >= s.start[0] - 60000)
        return AssertionFailure() << "starting the program took too long for the timeline";
    return AssertionSuccess();
}

// The stand-in has been launched n times by 10 s after the start sequence of a recording
// starting at start began.
AssertionResult launched(const CaptureFolder& folder, int n, long long start) {
    if (wait_until([&] { return count_of(folder.standin_log(), " start pid ") == n; },
                   (int)(start - 50000 - local_now())))
        return AssertionSuccess();
    return AssertionFailure() << folder.standin_log();
}

// How many record, stop and close commands reached the stand-in, and how often it exited.
std::string commands(const std::string& log) {
    char text[64];
    std::snprintf(text, sizeof(text), "record %d stop %d close %d exit %d",
                  count_of(log, "message 2027 record"), count_of(log, "message 2025 stop"),
                  count_of(log, "message 2029 close"), count_of(log, "exit"));
    return text;
}
// One recording's commands, all of them.
const char* const kAllOnce = "record 1 stop 1 close 1 exit 1";

// "Samples" holds an earlier recording whose name the move folder has already; r moves
// its recording there.
void with_earlier_file_and_namesake(const CaptureFolder& folder, Reservation& r) {
    ASSERT_TRUE(CreateDirectoryW(folder.file(L"moved").c_str(), nullptr));
    ASSERT_TRUE(folder.write_file(L"Samples\\earlier.mpg", "recorded earlier"));
    ASSERT_TRUE(folder.write_file(L"moved\\earlier.mpg", "kept in the move folder"));
    const std::string move_folder = sjis(folder.file(L"moved"));
    ASSERT_LT(move_folder.size(), sizeof(r.move_folder) - 1);
    r.move_after_record = 1;
    std::snprintf(r.move_folder, sizeof(r.move_folder), "%s", move_folder.c_str());
}

void expect_earlier_file_and_namesake_kept(const CaptureFolder& folder) {
    EXPECT_EQ("recorded earlier", folder.read_file(L"Samples\\earlier.mpg"));
    EXPECT_EQ("kept in the move folder", folder.read_file(L"moved\\earlier.mpg"));
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
    Schedule schedule({"missing app", "next"});
    schedule.table.slots[0].mpeg1 = 1;
    ASSERT_NO_FATAL_FAILURE(with_earlier_file_and_namesake(folder, schedule.table.slots[0]));
    Process tavrel;
    ASSERT_TRUE(start_in_time(tavrel, folder, schedule));

    // Nothing launched by just before the next start sequence (the stop sequence takes
    // 15 s to the close and 3 s after the move).
    sleep_until(schedule.stop(0) + 24000);
    EXPECT_EQ("", folder.standin_log());
    // The next recording falls due and its capture application is launched: the first
    // one's failed move is over by then, whenever it came.
    EXPECT_TRUE(launched(folder, 1, schedule.start[1]));
    expect_earlier_file_and_namesake_kept(folder);
    expect_still_running(tavrel);
}

TEST(Faults, ClosedByHand) {
    CaptureFolder folder(L"faults-closed");
    Schedule schedule({"closed by hand", "next"});
    Process tavrel;
    ASSERT_TRUE(start_in_time(tavrel, folder, schedule));

    // Closed by hand once it records.
    ASSERT_TRUE(wait_until([&] { return count_of(folder.standin_log(), "message 2027") == 1; },
                           (int)(schedule.start[0] + 10000 - local_now())))
        << folder.standin_log();
    Sleep(2000);
    end_program_file(folder.file(L"KROTX2.exe"));
    ASSERT_TRUE(wait_until([&] { return find_capture_window() == nullptr; }, 5000));

    // The stop sequence runs its course without a window; the next recording falls due
    // and its capture application is launched.
    ASSERT_TRUE(launched(folder, 2, schedule.start[1]));
    EXPECT_EQ("record 1 stop 0 close 0 exit 0", commands(folder.standin_log()));
    expect_still_running(tavrel);
}

TEST(Faults, LateWindow) {
    CaptureFolder folder(L"faults-late");
    ASSERT_TRUE(folder.write_file(L"standin_delay.txt", "20"));
    Schedule schedule({"late window", "next"});
    Process tavrel;
    ASSERT_TRUE(start_in_time(tavrel, folder, schedule));
    ASSERT_TRUE(launched(folder, 1, schedule.start[0]));
    // It has read its delay before the file goes.
    ASSERT_TRUE(
        wait_until([&] { return count_of(folder.standin_log(), "delay 20 s") == 1; }, 20000));
    DeleteFileW(folder.file(L"standin_delay.txt").c_str());

    // The window came after the program's 13 s: its record, stop and close were lost.
    sleep_until(schedule.stop(0) + 24000);
    std::string log = folder.standin_log();
    EXPECT_EQ(1, count_of(log, "delay 20 s")) << log;
    EXPECT_EQ(1, count_of(log, "window shown")) << log;
    EXPECT_EQ("record 0 stop 0 close 0 exit 0", commands(log));

    // The next recording finds the late window open and records with it, stops and
    // closes it, launching nothing.
    EXPECT_TRUE(wait_until([&] { return commands(log = folder.standin_log()) == kAllOnce; },
                           (int)(schedule.stop(1) + 60000 - local_now())));
    EXPECT_EQ(1, count_of(log, " start pid ")) << log;
    EXPECT_EQ(kAllOnce, commands(log));
    EXPECT_EQ(nullptr, find_capture_window());  // gone before the stand-in logs its exit
    expect_still_running(tavrel);
}

TEST(Faults, MovedFile) {
    CaptureFolder folder(L"faults-moved");
    Schedule schedule({"normal"});
    ASSERT_NO_FATAL_FAILURE(with_earlier_file_and_namesake(folder, schedule.table.slots[0]));
    Process tavrel;
    ASSERT_TRUE(start_in_time(tavrel, folder, schedule));

    // Recorded, stopped, closed, and the recording moved out of "Samples".
    std::string log;
    std::wstring wide;
    auto moved = [&] {
        log = folder.standin_log();
        size_t at = log.rfind("recording Samples\\");
        if (at == std::string::npos) return false;
        at += std::strlen("recording Samples\\");
        const std::string recorded = log.substr(at, log.find("\r\n", at) - at);
        wide.assign(recorded.begin(), recorded.end());
        return commands(log) == kAllOnce && folder.exists(L"moved\\" + wide);
    };
    ASSERT_TRUE(wait_until(moved, (int)(schedule.stop(0) + 60000 - local_now()))) << log;
    EXPECT_EQ(1, count_of(log, " start pid ")) << log;
    // Moved, not copied; the earlier file and its namesake stay.
    EXPECT_FALSE(folder.exists(L"Samples\\" + wide));
    expect_earlier_file_and_namesake_kept(folder);
    EXPECT_EQ(nullptr, find_capture_window());  // gone before the stand-in logs its exit
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
