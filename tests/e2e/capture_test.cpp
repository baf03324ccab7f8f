// The capture application seen from tavrel.exe: an open control window is adopted and
// receives the hidden buttons' commands; "Chg" launches the application from the capture
// folder, places its window and closes it again.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "base/capture_interface.h"
#include "tests/e2e/driver.h"

namespace {

using namespace e2e;

// Waits for text to appear in the stand-in's log.
bool log_shows(const CaptureFolder& folder, const std::string& text, int timeout_ms = 10000) {
    return wait_until([&] { return folder.standin_log().find(text) != std::string::npos; },
                      timeout_ms);
}

RECT rect_of(HWND window) {
    RECT r = {0, 0, 0, 0};
    GetWindowRect(window, &r);
    return r;
}

// Waits until a stand-in started from folder shows its window, placed where it puts it.
HWND wait_standin_window(const CaptureFolder& folder) {
    if (!log_shows(folder, "window shown", 15000)) return nullptr;
    HWND found = nullptr;
    wait_until(
        [&] {
            found = find_capture_window();
            return found && IsWindowVisible(found);
        },
        5000);
    return found;
}

int capture_windows() {
    int n = 0;
    for (const WindowInfo& w : list_windows())
        if (w.visible && w.class_name == L"#32770" && w.title == L"KRO-TX2 Controls") ++n;
    return n;
}

TEST(Capture, OpenControlWindowIsAdoptedAndCommanded) {
    CaptureFolder folder(L"adopt");
    ASSERT_TRUE(folder.write_schedule(default_table()));
    Process standin;
    ASSERT_TRUE(standin.start(folder.file(L"KROTX2.exe"), folder.path()));
    HWND capture = wait_standin_window(folder);
    ASSERT_NE(nullptr, capture);

    Process tavrel;
    HWND hwnd = start_tavrel(tavrel, folder);
    ASSERT_NE(nullptr, hwnd);
    Dialog dialog(hwnd);

    ASSERT_TRUE(dialog.command(IDC_CAPTURE_RECORD));
    EXPECT_TRUE(log_shows(folder, "message 2027 record"));
    EXPECT_TRUE(log_shows(folder, "recording Samples\\"));
    // The recording grows once a second.
    EXPECT_TRUE(wait_until(
        [&] {
            const std::vector<std::wstring> files = folder.list(L"Samples");
            return files.size() == 1 && folder.file_size(L"Samples\\" + files[0]) > 2048;
        },
        20000))
        << "one file in Samples, grown past its first 2048 bytes";

    ASSERT_TRUE(dialog.command(IDC_CAPTURE_STOP));
    EXPECT_TRUE(log_shows(folder, "message 2025 stop"));
    EXPECT_TRUE(log_shows(folder, "written Samples\\"));
    ASSERT_TRUE(dialog.command(IDC_CAPTURE_PLAY));
    EXPECT_TRUE(log_shows(folder, "message 2026 play"));

    std::string log = folder.standin_log();
    EXPECT_LT(log.find("message 2027"), log.find("message 2025"));
    EXPECT_LT(log.find("message 2025"), log.find("message 2026"));
    // Adopting the window at start-up does not move it.
    EXPECT_EQ(200, rect_of(capture).left);
    EXPECT_EQ(200, rect_of(capture).top);
    EXPECT_TRUE(standin.running());
    EXPECT_TRUE(tavrel.running());
}

TEST(Capture, WithoutAControlWindowTheCaptureButtonsDoNothing) {
    CaptureFolder folder(L"no-window");
    ASSERT_TRUE(folder.write_schedule(default_table()));
    Process tavrel;
    HWND hwnd = start_tavrel(tavrel, folder);
    ASSERT_NE(nullptr, hwnd);
    Dialog dialog(hwnd);

    for (int id : {IDC_CAPTURE_RECORD, IDC_CAPTURE_STOP, IDC_CAPTURE_PLAY})
        ASSERT_TRUE(dialog.command(id, 0, 5000)) << id;
    Sleep(1500);
    EXPECT_EQ(nullptr, find_capture_window());
    EXPECT_FALSE(folder.exists(L"capture_standin.log"));  // nothing was launched
    EXPECT_TRUE(folder.list(L"Samples").empty());
    EXPECT_TRUE(tavrel.running());
}

TEST(Capture, ChgLaunchesThroughTheQuotedPathPlacesTheWindowAndClosesIt) {
    CaptureFolder folder(L"chg");
    ASSERT_TRUE(folder.write_schedule(default_table()));
    Process tavrel;
    HWND hwnd = start_tavrel(tavrel, folder);
    ASSERT_NE(nullptr, hwnd);
    Dialog dialog(hwnd);

    ReferenceWindow reference;  // the placed window must end up below it
    // The dialog waits 13 s for the launched application before it answers.
    DWORD started = GetTickCount();
    ASSERT_TRUE(dialog.command(IDC_CAPTURE_TOGGLE, 0, 60000));
    EXPECT_GE(GetTickCount() - started, 12500u);
    HWND capture = find_capture_window();
    ASSERT_NE(nullptr, capture);
    std::string log = folder.standin_log();
    EXPECT_NE(std::string::npos, log.find("KROTX2.exe start pid"));
    EXPECT_NE(std::string::npos, log.find("command line \"KROTX2.exe\"\r\n"));
    EXPECT_NE(std::string::npos, log.find("settings Krotx2.ini"));
    EXPECT_NE(std::string::npos, log.find("setting dwVideoBitrate=4000000"));
    EXPECT_EQ(0, rect_of(capture).left);
    EXPECT_EQ(0, rect_of(capture).top);
    EXPECT_TRUE(wait_until([&] { return lies_below_windows_of(capture, tavrel.pid()); }, 10000));
    EXPECT_TRUE(lies_below_windows_of(capture, GetCurrentProcessId()));

    // A second "Chg" sends the close command; the application ends.
    ASSERT_TRUE(dialog.command(IDC_CAPTURE_TOGGLE, 0, 30000));
    EXPECT_TRUE(log_shows(folder, "message 2029 close"));
    EXPECT_TRUE(log_shows(folder, "exit"));
    EXPECT_TRUE(wait_until([] { return find_capture_window() == nullptr; }, 10000));
    EXPECT_EQ(1, count_of(folder.standin_log(), " start pid"));
}

TEST(Capture, ChgUsesAnAlreadyOpenWindowWithoutASecondCopy) {
    CaptureFolder folder(L"chg-open");
    ASSERT_TRUE(folder.write_schedule(default_table()));
    Process tavrel;
    HWND hwnd = start_tavrel(tavrel, folder);
    ASSERT_NE(nullptr, hwnd);
    Dialog dialog(hwnd);
    ReferenceWindow reference;  // the placed window must end up below it
    // Opened after the program's start, so the program has not adopted it yet.
    Process standin;
    ASSERT_TRUE(standin.start(folder.file(L"KROTX2.exe"), folder.path()));
    HWND capture = wait_standin_window(folder);
    ASSERT_NE(nullptr, capture);
    EXPECT_EQ(200, rect_of(capture).left);

    DWORD started = GetTickCount();
    ASSERT_TRUE(dialog.command(IDC_CAPTURE_TOGGLE, 0, 60000));
    EXPECT_LT(GetTickCount() - started, 10000u);  // no launch, no wait
    EXPECT_EQ(0, rect_of(capture).left);
    EXPECT_EQ(0, rect_of(capture).top);
    EXPECT_TRUE(wait_until([&] { return lies_below_windows_of(capture, tavrel.pid()); }, 10000));
    EXPECT_TRUE(lies_below_windows_of(capture, GetCurrentProcessId()));
    Sleep(1000);
    EXPECT_EQ(1, count_of(folder.standin_log(), " start pid"));
    EXPECT_EQ(1, capture_windows());

    // The window is adopted now: the record command reaches it.
    ASSERT_TRUE(dialog.command(IDC_CAPTURE_RECORD));
    EXPECT_TRUE(log_shows(folder, "message 2027 record"));
}

TEST(Capture, InstallFolderWithSpacesLaunchesTheRightProgram) {
    // No "KROTX2.EXE" in the program's folder: the install folder is used, and its path
    // holds spaces. A program at "C:\Program.exe" would catch an unquoted command line.
    CaptureFolder here(L"install", CaptureFolder::kEmpty);
    ReservationTable table = default_table();
    std::strcpy(table.slots[0].name, "mpeg1");
    table.slots[0].mpeg1 = 1;
    ASSERT_TRUE(here.write_schedule(table));
    struct Cleanup {  // runs after the install folder has gone
        ~Cleanup() {
            end_program_file(L"C:\\Program.exe");
            DeleteFileW(L"C:\\Program.exe");
            DeleteFileW(L"C:\\capture_standin.log");
            RemoveDirectoryW(L"C:\\Program Files\\TARVO INC");
        }
    } cleanup;
    CaptureFolder install(std::wstring(L"C:\\Program Files\\TARVO INC\\KRO-TX2"), CaptureFolder::kAll);
    ASSERT_TRUE(CopyFileW(standin_exe().c_str(), L"C:\\Program.exe", FALSE));

    Process tavrel;
    HWND hwnd = start_tavrel(tavrel, here);
    ASSERT_NE(nullptr, hwnd);
    Dialog dialog(hwnd);
    dialog.select_combo(IDC_NAME_LIST, 0);  // the reservation recorded with MPEG-1
    ASSERT_TRUE(dialog.command(IDC_CAPTURE_TOGGLE, 0, 60000));

    HWND capture = find_capture_window();
    ASSERT_NE(nullptr, capture);
    std::string log = install.standin_log();
    EXPECT_NE(std::string::npos, log.find("KROTX1.exe start pid"));
    EXPECT_NE(std::string::npos,
              log.find("command line \"c:\\Program Files\\TARVO INC\\KRO-TX2\\KROTX1.exe\"\r\n"));
    EXPECT_NE(std::string::npos, log.find("settings Krotx1.ini"));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(L"C:\\capture_standin.log"));
    EXPECT_EQ(0, rect_of(capture).left);
    EXPECT_EQ(0, rect_of(capture).top);

    ASSERT_TRUE(dialog.command(IDC_CAPTURE_TOGGLE, 0, 30000));
    EXPECT_TRUE(wait_until([] { return find_capture_window() == nullptr; }, 10000));
}

TEST(Capture, StandinShowsItsWindowOnlyAfterTheDelayItsFileAsksFor) {
    // The stand-in as a slow capture application, for tests of a late control window.
    CaptureFolder folder(L"standin-delay");
    ASSERT_TRUE(folder.write_file(L"standin_delay.txt", "3\r\n"));
    Process standin;
    DWORD started = GetTickCount();
    ASSERT_TRUE(standin.start(folder.file(L"KROTX1.exe"), folder.path()));
    ASSERT_TRUE(wait_until([] { return find_capture_window() != nullptr; }, 15000));
    EXPECT_GE(GetTickCount() - started, 3000u);
    std::string log = folder.standin_log();
    EXPECT_NE(std::string::npos, log.find("KROTX1.exe delay 3 s"));
    EXPECT_NE(std::string::npos, log.find("settings Krotx1.ini"));
    EXPECT_NE(std::string::npos, log.find("setting m_NNtsc=15"));
    EXPECT_TRUE(log_shows(folder, "window shown"));

    // It ends on the close command, finishing a recording that runs.
    HWND capture = find_capture_window();
    SendMessageW(capture, kCaptureRecord, 0, 0);
    SendMessageW(capture, kCaptureClose, 0, 0);
    DWORD code = 99;
    EXPECT_TRUE(standin.wait_exit(10000, &code));
    EXPECT_EQ(0u, code);
    EXPECT_TRUE(log_shows(folder, "written Samples\\"));
    EXPECT_TRUE(log_shows(folder, "exit"));
}

// The size in the stand-in's last "written" line, which the file on disk must have too.
long long last_written(const CaptureFolder& folder) {
    const std::string log = folder.standin_log();
    std::size_t at = log.rfind(" written ");
    if (at == std::string::npos) return -1;
    at += std::strlen(" written ");
    const std::size_t space = log.find(' ', at);
    const std::string name = log.substr(at, space - at);
    const long long size = std::atoll(log.c_str() + space + 1);
    EXPECT_EQ(size, folder.file_size(std::wstring(name.begin(), name.end()))) << name;
    return size;
}

TEST(Capture, StandinWritesTheSizeItsSettingsGiveOrWhatItsOutputFileAsks) {
    // The size the recorder's result check is tested against: bit rates read on each record
    // command, here written after the stand-in's start.
    CaptureFolder folder(L"standin-size");
    Process standin;
    ASSERT_TRUE(standin.start(folder.file(L"KROTX2.exe"), folder.path()));
    HWND capture = wait_standin_window(folder);
    ASSERT_NE(nullptr, capture);
    // Records for about ms; lo and hi bound the stand-in's own time from record to stop.
    DWORD lo = 0, hi = 0;
    auto record = [&](DWORD ms) {
        const DWORD before = GetTickCount();
        SendMessageW(capture, kCaptureRecord, 0, 0);
        const DWORD recording = GetTickCount();
        Sleep(ms);
        const DWORD stopping = GetTickCount();
        SendMessageW(capture, kCaptureStop, 0, 0);
        lo = stopping - recording - 16;  // the tick's granularity on Windows
        hi = GetTickCount() - before + 16;
    };

    // 1000000 bit/s video and 128 kbit/s audio: 1128000 bit/s, 141 bytes a millisecond.
    ASSERT_TRUE(folder.write_file(L"Krotx2.ini", "[Encoder]\r\ndwVideoBitrate=1000000\r\n"
                                                 "dwAudioBitrate = 128\r\n"));
    record(2500);
    long long size = last_written(folder);
    EXPECT_GE(size, 141LL * lo);
    EXPECT_LE(size, 141LL * hi);
    // Without the audio key, only the periodic writes: 2048 bytes at once and each second.
    ASSERT_TRUE(folder.write_file(L"Krotx2.ini", "dwVideoBitrate=1000000\r\n"));
    record(2500);
    size = last_written(folder);
    EXPECT_EQ(0, size % 2048) << size;
    EXPECT_GE(size, 2048 * 2);
    EXPECT_LE(size, 2048 * 4);
    EXPECT_EQ(1, count_of(folder.standin_log(), "bit rates unusable: dwAudioBitrate missing"));
    // "small": one chunk, however long it records.
    ASSERT_TRUE(folder.write_file(L"standin_output.txt", "small\r\n"));
    record(2500);
    EXPECT_EQ(2048, last_written(folder));
    EXPECT_EQ(3u, folder.list(L"Samples").size());
}

TEST(Capture, HungCaptureApplicationDoesNotHoldTheProgramForEver) {
    // The capture application stops answering when told to record: the program gives the
    // command up after a while instead of waiting with it for ever.
    CaptureFolder folder(L"hung");
    ASSERT_TRUE(folder.write_schedule(default_table()));
    ASSERT_TRUE(folder.write_file(L"standin_hang.txt", "120"));
    Process standin;
    ASSERT_TRUE(standin.start(folder.file(L"KROTX2.exe"), folder.path()));
    ASSERT_NE(nullptr, wait_standin_window(folder));
    Process tavrel;
    HWND hwnd = start_tavrel(tavrel, folder);
    ASSERT_NE(nullptr, hwnd);
    Dialog dialog(hwnd);

    DWORD started = GetTickCount();
    EXPECT_TRUE(dialog.command(IDC_CAPTURE_RECORD, 0, 90000));
    DWORD took = GetTickCount() - started;
    EXPECT_TRUE(log_shows(folder, "hang 120 s", 1000));
    EXPECT_LT(took, 45000u);
    // The dialog answers again.
    started = GetTickCount();
    EXPECT_TRUE(dialog.command(IDC_ADD + 1000, 0, 5000));  // an id without a command
    EXPECT_LT(GetTickCount() - started, 5000u);
}

}  // namespace
