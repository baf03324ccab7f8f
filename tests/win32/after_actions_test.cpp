// The after-recording move on real files and folders: each test runs in a temporary folder
// of its own, made the current folder so that it is the capture folder. The power requests
// are checked against stand-in system calls only; the wake-up timer is the real one.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <time.h>
#include <vector>

#include "app/win32/main_dialog.h"
#include "engine/after_actions.h"
#include "engine/wake.h"
#include "engine/win32/after_actions_win32.h"
#include "tests/support/core_state.h"
#include "tests/support/win32_support.h"

namespace {

struct Line {
    int x, y;
    Colour colour;
    std::string text;
    int font_row, bk_mode;
    Colour bk_colour;
};

// Records what is drawn and how long is waited, instead of drawing and waiting.
struct RecordingScreen : Surfaces, Canvas, Clock {
    std::vector<Line> lines;
    int opened = 0, closed = 0;
    std::uint64_t slept_ms = 0;
    int sleeps = 0;
    Canvas* open(WindowRef) override {
        ++opened;
        return this;
    }
    void close(Canvas*) override { ++closed; }
    void fill_rect(int, int, int, int, Colour) override {}
    void draw_text(int x, int y, Colour colour, const char* text, int font_row, int bk_mode,
                   Colour bk_colour) override {
        lines.push_back({x, y, colour, text, font_row, bk_mode, bk_colour});
    }
    std::int64_t now() override { return (std::int64_t)std::time(nullptr); }
    void sleep_ms(std::uint32_t ms) override {
        slept_ms += ms;
        ++sleeps;
    }
};

std::string sjis_of(const std::wstring& w) {
    char out[1024];
    wide_to_sjis(w.c_str(), out, sizeof(out));
    return out;
}

// Seconds from 1970 as a FILETIME.
FILETIME filetime(std::int64_t seconds) {
    ULARGE_INTEGER t;
    t.QuadPart = (ULONGLONG)(seconds + 11644473600LL) * 10000000ULL;
    FILETIME ft;
    ft.dwLowDateTime = t.LowPart;
    ft.dwHighDateTime = t.HighPart;
    return ft;
}

const std::int64_t kBase = 1100000000;  // some day in 2004

class Win32AfterActions : public ::testing::Test {
protected:
    RecordingScreen screen;
    Win32FolderSystem folders;
    FolderListing folder_listing = {};
    Platform saved_platform = platform;
    TempFolder folder{L"after", true};
    const std::wstring dir = folder.path();

    void SetUp() override {
        reset_core_state();
        platform = inert_platform();
        platform.surfaces = &screen;
        platform.clock = &screen;
        platform.folders = &folders;
        ASSERT_TRUE(folder.made());
        ASSERT_TRUE(CreateDirectoryW(L"Samples", nullptr));
    }
    void TearDown() override { platform = saved_platform; }

    // A recording in "Samples" with the given last-write time.
    void make_file(const std::wstring& name, std::int64_t written, const char* content = "ts") {
        std::wstring path = L"Samples\\" + name;
        HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_ARCHIVE, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, h);
        DWORD n;
        WriteFile(h, content, (DWORD)strlen(content), &n, nullptr);
        FILETIME ft = filetime(written);
        ASSERT_TRUE(SetFileTime(h, nullptr, nullptr, &ft));
        CloseHandle(h);
    }
    void set_time(const std::wstring& name, std::int64_t written) {
        HANDLE h = CreateFileW((L"Samples\\" + name).c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                               OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, h);
        FILETIME ft = filetime(written);
        ASSERT_TRUE(SetFileTime(h, nullptr, nullptr, &ft));
        CloseHandle(h);
    }
    // The files of "Samples" in the order the system's own search returns them.
    std::vector<std::wstring> search_order() {
        std::vector<std::wstring> names;
        WIN32_FIND_DATAW data;
        HANDLE h = FindFirstFileW(L"Samples\\*.*", &data);
        if (h == INVALID_HANDLE_VALUE) return names;
        do {
            if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(data.cFileName);
        } while (FindNextFileW(h, &data));
        FindClose(h);
        return names;
    }
    std::string dir_sjis() const { return folder.sjis(); }
    void expect_moved_lines(const std::string& source, const std::string& destination,
                            bool succeeded) {
        ASSERT_EQ(5u, screen.lines.size());
        EXPECT_EQ(source, screen.lines[0].text);
        EXPECT_EQ("　　↓↓↓↓", screen.lines[1].text);
        EXPECT_EQ(destination, screen.lines[2].text);
        EXPECT_EQ("ファイルを移動します", screen.lines[3].text);
        EXPECT_EQ(succeeded ? "ファイルを移動しました" : "ファイル移動に失敗しました",
                  screen.lines[4].text);
        EXPECT_EQ(succeeded ? 0xB4FFB4u : 0x9696FFu, screen.lines[4].colour);
        for (const Line& l : screen.lines) {
            EXPECT_EQ(20, l.x);
            EXPECT_EQ(15, l.font_row);
            EXPECT_EQ(2, l.bk_mode);
        }
        EXPECT_EQ(screen.opened, screen.closed);
        EXPECT_EQ(3000u, screen.slept_ms);
    }
};

TEST_F(Win32AfterActions, EmptySamplesOrOnlyFoldersMoveNothingDrawNothingAndDoNotWait) {
    std::string out = dir_sjis() + "\\out";
    move_newest_recording(nullptr, out.c_str());
    EXPECT_TRUE(screen.lines.empty());
    EXPECT_EQ(0, screen.sleeps);

    ASSERT_TRUE(CreateDirectoryW(L"Samples\\sub", nullptr));
    ASSERT_TRUE(CreateDirectoryW(L"Samples\\more", nullptr));
    move_newest_recording(nullptr, out.c_str());
    EXPECT_TRUE(screen.lines.empty());
    EXPECT_EQ(0, screen.opened);
    EXPECT_EQ(0, screen.sleeps);
    EXPECT_TRUE(path_exists(L"Samples\\sub"));
    EXPECT_TRUE(path_exists(L"Samples\\more"));

    // No "Samples" at all is the same.
    RemoveDirectoryW(L"Samples\\sub");
    RemoveDirectoryW(L"Samples\\more");
    RemoveDirectoryW(L"Samples");
    move_newest_recording(nullptr, out.c_str());
    EXPECT_TRUE(screen.lines.empty());
    EXPECT_EQ(0, screen.sleeps);
}

TEST_F(Win32AfterActions, NewestByLastWriteTimeIsMovedAndTheOthersStay) {
    make_file(L"a.ts", kBase + 10);
    make_file(L"b.ts", kBase + 30);
    make_file(L"c.ts", kBase + 20);
    ASSERT_TRUE(CreateDirectoryW(L"out", nullptr));
    std::string out = dir_sjis() + "\\out";
    move_newest_recording(nullptr, out.c_str());
    EXPECT_TRUE(path_exists(dir + L"\\out\\b.ts"));
    EXPECT_FALSE(path_exists(L"Samples\\b.ts"));
    EXPECT_TRUE(path_exists(L"Samples\\a.ts"));
    EXPECT_TRUE(path_exists(L"Samples\\c.ts"));
    expect_moved_lines("Samples\\b.ts", out + "\\b.ts", true);
}

TEST_F(Win32AfterActions, OnEqualTimesTheFirstListedIsMoved) {
    make_file(L"x1.ts", kBase);
    make_file(L"x2.ts", kBase);
    make_file(L"x3.ts", kBase);
    make_file(L"old.ts", kBase - 1000);
    std::vector<std::wstring> order = search_order();
    ASSERT_EQ(4u, order.size());
    std::wstring first;
    for (const std::wstring& n : order)
        if (n != L"old.ts") {
            first = n;
            break;
        }
    int index = find_newest_file("Samples\\*.*", &folder_listing);
    ASSERT_GE(index, 0);
    EXPECT_EQ(sjis_of(first), folder_listing.entries[index].name);
    EXPECT_EQ(kBase, folder_listing.entries[index].last_write_time);
    EXPECT_EQ(2u, folder_listing.entries[index].size);

    ASSERT_TRUE(CreateDirectoryW(L"out", nullptr));
    move_newest_recording(nullptr, (dir_sjis() + "\\out").c_str());
    EXPECT_TRUE(path_exists(dir + L"\\out\\" + first));
}

TEST_F(Win32AfterActions, FirstEntryMustBeExactlyArchiveLaterOnesOnlyNeedTheBit) {
    make_file(L"p.ts", 0);
    make_file(L"q.ts", 0);
    make_file(L"r.ts", 0);
    std::vector<std::wstring> order = search_order();
    ASSERT_EQ(3u, order.size());
    // The first listed is read-only and the newest; the third read-only and newer than the second.
    set_time(order[0], kBase + 300);
    set_time(order[1], kBase + 100);
    set_time(order[2], kBase + 200);
    ASSERT_TRUE(SetFileAttributesW((L"Samples\\" + order[0]).c_str(),
                                   FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(SetFileAttributesW((L"Samples\\" + order[2]).c_str(),
                                   FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY));

    int index = find_newest_file("Samples\\*.*", &folder_listing);
    ASSERT_EQ(2, folder_listing.count);
    EXPECT_EQ(sjis_of(order[1]), folder_listing.entries[0].name);
    EXPECT_EQ(32u, folder_listing.entries[0].attributes);
    EXPECT_EQ(sjis_of(order[2]), folder_listing.entries[1].name);
    EXPECT_EQ(33u, folder_listing.entries[1].attributes);
    EXPECT_EQ(1, index);
}

TEST_F(Win32AfterActions, OnlyTheFirst256ListedAreConsidered) {
    for (int i = 0; i < 270; ++i) {
        wchar_t name[32];
        wsprintfW(name, L"rec%03d.ts", i);
        make_file(name, kBase + i % 7);
    }
    std::vector<std::wstring> order = search_order();
    ASSERT_EQ(270u, order.size());
    set_time(order[260], kBase + 5000);  // beyond the listing
    set_time(order[100], kBase + 4000);

    int index = find_newest_file("Samples\\*.*", &folder_listing);
    EXPECT_EQ(256, folder_listing.count);
    ASSERT_EQ(100, index);
    EXPECT_EQ(sjis_of(order[100]), folder_listing.entries[index].name);

    std::string out = dir_sjis() + "\\out";
    move_newest_recording(nullptr, out.c_str());
    EXPECT_TRUE(path_exists(dir + L"\\out\\" + order[100]));
    EXPECT_TRUE(path_exists(L"Samples\\" + order[260]));
}

TEST_F(Win32AfterActions, MissingFoldersAreCreatedFromTheTopDown) {
    std::string two = dir_sjis() + "\\rec\\news";
    EXPECT_EQ(0, ensure_folder(two.c_str()));
    EXPECT_TRUE(path_exists(dir + L"\\rec"));
    EXPECT_TRUE(path_exists(dir + L"\\rec\\news"));
    // Existing already: nothing changes.
    EXPECT_EQ(-1, ensure_folder(two.c_str()));
    EXPECT_TRUE(path_exists(dir + L"\\rec\\news"));

    make_file(L"show.ts", kBase);
    std::string dest = dir_sjis() + "\\tv\\drama";
    move_newest_recording(nullptr, dest.c_str());
    EXPECT_TRUE(path_exists(dir + L"\\tv\\drama\\show.ts"));
    expect_moved_lines("Samples\\show.ts", dest + "\\show.ts", true);
}

TEST_F(Win32AfterActions, ExistingDestinationFileIsNeverReplaced) {
    make_file(L"show.ts", kBase, "new recording");
    ASSERT_TRUE(CreateDirectoryW(L"out", nullptr));
    ASSERT_TRUE(write_whole_file(L"out\\show.ts", "kept"));

    std::string out = dir_sjis() + "\\out";
    move_newest_recording(nullptr, out.c_str());
    expect_moved_lines("Samples\\show.ts", out + "\\show.ts", false);
    EXPECT_TRUE(path_exists(L"Samples\\show.ts"));
    WIN32_FILE_ATTRIBUTE_DATA info;
    ASSERT_TRUE(GetFileAttributesExW(L"out\\show.ts", GetFileExInfoStandard, &info));
    EXPECT_EQ(4u, info.nFileSizeLow);
}

TEST_F(Win32AfterActions, BareFolderNameIsNeverCreated) {
    make_file(L"show.ts", kBase);
    move_newest_recording(nullptr, "bare");
    EXPECT_FALSE(path_exists(L"bare"));
    EXPECT_TRUE(path_exists(L"Samples\\show.ts"));
    expect_moved_lines("Samples\\show.ts", "bare\\show.ts", false);
}

TEST_F(Win32AfterActions, JapaneseFolderAndFileNames) {
    // "表" and "ソ" carry the byte of "\" inside them.
    make_file(L"ニュース表.ts", kBase);
    std::string dest = dir_sjis() + "\\録画\\ソフト表";
    move_newest_recording(nullptr, dest.c_str());
    EXPECT_TRUE(path_exists(dir + L"\\録画\\ソフト表\\ニュース表.ts"));
    EXPECT_FALSE(path_exists(L"Samples\\ニュース表.ts"));
    // No stray folder from a cut inside a character.
    int entries = 0;
    WIN32_FIND_DATAW data;
    HANDLE h = FindFirstFileW((dir + L"\\録画\\*").c_str(), &data);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    do {
        if (lstrcmpW(data.cFileName, L".") && lstrcmpW(data.cFileName, L"..")) ++entries;
    } while (FindNextFileW(h, &data));
    FindClose(h);
    EXPECT_EQ(1, entries);
    expect_moved_lines("Samples\\ニュース表.ts", dest + "\\ニュース表.ts", true);
}

TEST_F(Win32AfterActions, NameWithoutAShiftJisFormIsNotMoved) {
    // "é" has no Shift-JIS form; a look-alike must not stand in for it.
    make_file(L"caf\u00e9.ts", kBase + 10);
    make_file(L"cafe.ts", kBase);
    ASSERT_TRUE(CreateDirectoryW(L"out", nullptr));
    move_newest_recording(nullptr, (dir_sjis() + "\\out").c_str());
    EXPECT_TRUE(path_exists(L"Samples\\caf\u00e9.ts"));
    EXPECT_TRUE(path_exists(L"Samples\\cafe.ts"));
    EXPECT_FALSE(path_exists(L"out\\cafe.ts"));
    ASSERT_EQ(5u, screen.lines.size());
    EXPECT_EQ("ファイル移動に失敗しました", screen.lines[4].text);
}

// Stand-in system calls: what the power requests would have asked of the system.
std::vector<std::string> power_calls;
BOOL WINAPI fake_exit_windows(UINT flags, DWORD reason) {
    power_calls.push_back("exit " + std::to_string(flags) + " " + std::to_string(reason));
    return TRUE;
}
BOOL WINAPI fake_set_power_state(BOOL suspend, BOOL force) {
    power_calls.push_back("power " + std::to_string(suspend) + " " + std::to_string(force));
    return TRUE;
}
int fake_enable_privilege() {
    power_calls.push_back("privilege");
    return 0;
}

// Typed text takes the code page 932 form of what other programs copy; what code page 932
// has not is left out, never a "?" or a look-alike.
TEST(Win32TypedText, CopiedFormsAreKeptAndTheRestLeftOut) {
    char out[64];
    wide_to_sjis_typed(L"\u30C9\u30E9\u30DE\u301C\u2212x caf\u00E9\U0001F600!", out, sizeof(out));
    EXPECT_EQ(std::string("\x83\x68\x83\x89\x83\x7D\x81\x60\x81\x7Cx caf!"), out);
}

TEST(Win32PowerRequests, EachRequestEnablesTheShutdownPrivilegeFirst) {
    const PowerCalls calls = {fake_exit_windows, fake_set_power_state, fake_enable_privilege, nullptr, nullptr};
    Win32PowerRequests power(calls);
    power_calls.clear();
    power.reboot();
    power.shutdown();
    power.force_logoff();
    power.suspend();
    EXPECT_EQ((std::vector<std::string>{"privilege", "exit 2 0", "privilege", "exit 1 0",
                                        "privilege", "exit 4 0",
                                        // stand-by, not hibernation; never forced
                                        "privilege", "power 1 0"}),
              power_calls);
}

TEST(Win32PowerRequests, RunAfterActionReachesTheSystemCallsThroughTheRequests) {
    const PowerCalls calls = {fake_exit_windows, fake_set_power_state, fake_enable_privilege, nullptr, nullptr};
    Win32PowerRequests power(calls);
    RecordingScreen screen;
    Platform saved = platform;
    platform.clock = &screen;
    reset_core_state();
    platform.power = &power;
    power_calls.clear();
    reservations.table.slots[3].after_action = 4;
    reservations.table.slots[3].after_delay = 2;
    run_after_action(3);
    platform = saved;
    EXPECT_EQ((std::vector<std::string>{"privilege", "power 1 0"}), power_calls);
    EXPECT_EQ(2000u, screen.slept_ms);
}

TEST(Win32PowerRequests, ShutdownPrivilegeIsEnabledInTheProcessToken) {
    HANDLE token;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY | TOKEN_ADJUST_PRIVILEGES, &token));
    LUID shutdown;
    ASSERT_TRUE(LookupPrivilegeValueW(nullptr, SE_SHUTDOWN_NAME, &shutdown));
    // Held but disabled, as a process starts.
    TOKEN_PRIVILEGES off;
    off.PrivilegeCount = 1;
    off.Privileges[0].Luid = shutdown;
    off.Privileges[0].Attributes = 0;
    ASSERT_TRUE(AdjustTokenPrivileges(token, FALSE, &off, 0, nullptr, nullptr));

    ASSERT_EQ(0, enable_shutdown_privilege());
    char buf[4096];
    DWORD got = 0;
    ASSERT_TRUE(GetTokenInformation(token, TokenPrivileges, buf, sizeof(buf), &got));
    const TOKEN_PRIVILEGES* held = (const TOKEN_PRIVILEGES*)buf;
    bool enabled = false;
    for (DWORD i = 0; i < held->PrivilegeCount; ++i) {
        const LUID_AND_ATTRIBUTES& p = held->Privileges[i];
        if (p.Luid.LowPart == shutdown.LowPart && p.Luid.HighPart == shutdown.HighPart)
            enabled = (p.Attributes & SE_PRIVILEGE_ENABLED) != 0;
    }
    EXPECT_TRUE(enabled);
    CloseHandle(token);
}

// Seconds until the timer goes off, read back from the system (NtQueryTimer, looked up at
// run time: the i686 import library lacks it).
double seconds_left(HANDLE timer) {
    struct {
        LARGE_INTEGER remaining;
        BOOLEAN signalled;
    } info = {};
    typedef LONG(WINAPI * QueryTimer)(HANDLE, int, void*, ULONG, ULONG*);
    QueryTimer query = reinterpret_cast<QueryTimer>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryTimer")));
    if (!query || query(timer, 0, &info, sizeof(info), nullptr) != 0) return -1;
    return (double)info.remaining.QuadPart / 1e7;
}

LRESULT CALLBACK time_change_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_TIMECHANGE) on_time_change(window);
    return DefWindowProcW(window, message, wparam, lparam);
}

// The wake-up timer is armed for an absolute time, also past 49 days, and follows a change
// of time zone announced by WM_TIMECHANGE (Wine sends none: the test posts it).
TEST(Win32PowerRequests, WakeTimerIsArmedForTheNextStartAndFollowsTheZone) {
    const PowerCalls calls = {fake_exit_windows, fake_set_power_state, fake_enable_privilege, nullptr, nullptr};
    Win32PowerRequests power(calls);
    const std::time_t now = std::time(nullptr);
    for (long ahead : {3600L, 60L * 86400}) {
        int armed = power.arm_wake_timer(now + ahead);
        EXPECT_TRUE(armed == 0 || armed == 1) << armed;  // 1: this PC cannot resume by timer
        EXPECT_NEAR((double)(now + ahead - std::time(nullptr)), seconds_left(power.wake_timer()), 3.0);
    }

    // A once-only reservation ten days ahead at 12:00 local time, first in Coordinated
    // Universal Time, then in Japan, nine hours ahead of it.
    _putenv("TZ=UTC0");
    _tzset();
    reset_core_state();
    reset_wake_state();
    reset_schedule_cache();
    set_default_reservations(reservations.table);
    std::time_t day = now + 10 * 86400;
    char date[7];
    std::strftime(date, sizeof(date), "%y%m%d", std::localtime(&day));
    Reservation& r = reservations.table.slots[0];
    std::snprintf(r.name, sizeof(r.name), "zone");
    std::memcpy(r.start_date, date, 7);
    std::memcpy(r.end_date, date, 7);
    std::memcpy(r.start_time, "120000", 7);
    std::memcpy(r.end_time, "130000", 7);
    reservations.count = 1;
    platform.power = &power;
    rearm_wake_timer(std::time(nullptr));
    const double in_utc = seconds_left(power.wake_timer());

    WNDCLASSW wc = {};
    wc.lpfnWndProc = time_change_proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"TavrelTimeChangeTest";
    RegisterClassW(&wc);
    HWND window = CreateWindowExW(0, wc.lpszClassName, L"", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10,
                                  nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(nullptr, window);
    _putenv("TZ=JST-9");
    PostMessageW(window, WM_TIMECHANGE, 0, 0);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    const double in_japan = seconds_left(power.wake_timer());
    DestroyWindow(window);
    platform.power = inert_platform().power;
    power.cancel_wake_timer();
    _putenv("TZ=");
    _tzset();
    reset_schedule_cache();
    reset_core_state();

    // Armed three minutes before the start moment (a minute early) in each zone.
    EXPECT_NEAR(9 * 3600.0, in_utc - in_japan, 3.0);
    EXPECT_GT(in_japan, 9 * 86400.0);
}

}  // namespace
