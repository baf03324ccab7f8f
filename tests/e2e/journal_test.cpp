// The recording journal of tavrel.exe: what was missed while the program was not running
// opens the history window by itself at start-up, and one real recording through the
// stand-in leaves its lines in "tavrel.log" in the order of its sequences.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "resources/resource_ids.h"
#include "tests/e2e/driver.h"

using namespace e2e;

namespace {

// "YYYY/MM/DD HH:MM:SS" of a local moment in milliseconds.
std::string journal_time(long long ms) {
    const SYSTEMTIME t = from_ms(ms);
    char text[32];
    std::snprintf(text, sizeof(text), "%04d/%02d/%02d %02d:%02d:%02d", t.wYear, t.wMonth, t.wDay,
                  t.wHour, t.wMinute, t.wSecond);
    return text;
}

HWND history_window_of(DWORD pid) {
    for (const WindowInfo& w : list_windows(pid))
        if (w.visible && w.title == L"録画履歴") return w.hwnd;
    return nullptr;
}

TEST(Journal, MissedAtStartUpIsShownAndARecordingLeavesItsLinesInOrder) {
    CaptureFolder folder(L"journal");
    const long long now = (local_now() / 1000) * 1000;
    ReservationTable table = default_table();
    // Half an hour ago, for ten minutes, while the program was not running.
    once_only(table.slots[0], "朝のニュース", now - 30 * 60000, now - 20 * 60000);
    // Due a quarter of a minute from now (a minute before its start), recorded and moved.
    const long long start = now + 75000;
    once_only(table.slots[1], "夜のドラマ", start, start + 30000);
    table.slots[1].move_after_record = 1;
    ASSERT_TRUE(CreateDirectoryW(folder.file(L"moved").c_str(), nullptr));
    std::snprintf(table.slots[1].move_folder, sizeof(table.slots[1].move_folder), "%s",
                  sjis(folder.file(L"moved")).c_str());
    ASSERT_TRUE(folder.write_schedule(table));
    // The journal's last line is an hour old.
    ASSERT_TRUE(folder.write_file(L"tavrel.log", journal_time(now - 3600000) + "\t終了\t-\t\t\r\n"));

    Process tavrel;
    HWND main = start_tavrel(tavrel, folder);
    ASSERT_NE(nullptr, main);
    HWND history = nullptr;
    ASSERT_TRUE(wait_until([&] { return (history = history_window_of(tavrel.pid())) != nullptr; }, 10000))
        << "the history window did not open by itself";
    EXPECT_EQ(main, GetWindow(history, GW_OWNER));
    const std::wstring shown = window_text(GetDlgItem(history, IDC_HISTORY_LIST));
    EXPECT_NE(std::wstring::npos, shown.find(L"\t録画漏れ\t1\t朝のニュース\t")) << shown.size();

    // The recording's stop sequence ends with the move.
    const std::string moved = "\t移動\t2\t";
    ASSERT_TRUE(wait_until([&] { return folder.read_file(L"tavrel.log").find(moved) != std::string::npos; },
                           (int)(start + 30000 + 60000 - local_now()), 200))
        << folder.read_file(L"tavrel.log");
    ASSERT_TRUE(Dialog(main).command(IDC_EXIT));
    DWORD code = 0;
    ASSERT_TRUE(tavrel.wait_exit(10000, &code));

    const std::string log = folder.read_file(L"tavrel.log");
    const std::vector<std::string> in_order = {
        "\t起動\t-\t",           "\t録画漏れ\t1\t",  "\t録画開始\t2\t", "\t録画ソフト起動\t2\t",
        "\t録画命令\t2\t",       "\t停止命令\t2\t",  "\t終了命令\t2\t", moved,
        "\t終了\t-\t\t\r\n",
    };
    std::size_t at = 0;
    for (const std::string& word : in_order) {
        std::size_t found = log.find(word, at);
        ASSERT_NE(std::string::npos, found) << "missing or out of order: " << word << "\n" << log;
        at = found + word.size();
    }
    EXPECT_EQ(std::string::npos, log.find("\t応答なし\t"));
}

}  // namespace
