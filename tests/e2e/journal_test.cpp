// The recording journal of tavrel.exe: what was missed while the program was not running
// opens the history window by itself at start-up, and one real recording through the
// stand-in leaves its lines in "tavrel.log" in the order of its sequences. A recording for
// which the capture application wrote no file is journalled as failed, and an older file
// of "Samples" is not moved in its place.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

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

// The journal's lines split at their tabs: time, word, slot, name, details.
std::vector<std::vector<std::string>> journal_fields(const std::string& log) {
    std::vector<std::vector<std::string>> lines;
    for (std::size_t at = 0; at < log.size();) {
        std::size_t end = log.find("\r\n", at);
        if (end == std::string::npos) end = log.size();
        std::vector<std::string> fields;
        for (std::size_t f = at; f <= end;) {
            std::size_t tab = log.find('\t', f);
            if (tab == std::string::npos || tab > end) tab = end;
            fields.push_back(log.substr(f, tab - f));
            f = tab + 1;
        }
        lines.push_back(fields);
        at = end + 2;
    }
    return lines;
}

// The words of the journal's lines for slot ("1".."40").
std::vector<std::string> words_for(const std::string& log, const std::string& slot) {
    std::vector<std::string> words;
    for (const auto& f : journal_fields(log))
        if (f.size() > 2 && f[2] == slot) words.push_back(f[1]);
    return words;
}

bool has(const std::vector<std::string>& words, const std::wstring& word) {
    for (const std::string& w : words)
        if (w == sjis(word)) return true;
    return false;
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

TEST(Journal, NoFileWrittenFailsTheRecordingAndLeavesAnOlderFileWhereItIs) {
    CaptureFolder folder(L"journal-no-file");
    ASSERT_TRUE(folder.write_file(L"standin_output.txt", "none"));
    // An earlier recording, last written a day ago: the newest file of "Samples", but not
    // one of this recording.
    const std::wstring earlier = L"Samples\\earlier.mpg";
    ASSERT_TRUE(folder.write_file(earlier, "recorded earlier"));
    {
        HANDLE file = CreateFileW(folder.file(earlier).c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, file);
        FILETIME t;
        GetSystemTimeAsFileTime(&t);
        ULARGE_INTEGER u = {{t.dwLowDateTime, t.dwHighDateTime}};
        u.QuadPart -= 24ull * 3600 * 10000000;
        t = {u.LowPart, u.HighPart};
        EXPECT_TRUE(SetFileTime(file, &t, &t, &t));
        CloseHandle(file);
    }
    ASSERT_TRUE(CreateDirectoryW(folder.file(L"moved").c_str(), nullptr));
    const long long start = (local_now() / 1000) * 1000 + 75000;  // due in a quarter minute
    ReservationTable table = default_table();
    once_only(table.slots[0], "録画なし", start, start + 10000);
    table.slots[0].move_after_record = 1;
    std::snprintf(table.slots[0].move_folder, sizeof(table.slots[0].move_folder), "%s",
                  sjis(folder.file(L"moved")).c_str());
    ASSERT_TRUE(folder.write_schedule(table));

    Process tavrel;
    HWND main = start_tavrel(tavrel, folder);
    ASSERT_NE(nullptr, main);
    // The stand-in closes 15 s after the stop; the result and the move step follow.
    ASSERT_TRUE(wait_until([&] { return count_of(folder.standin_log(), " exit") == 1; },
                           (int)(start + 10000 + 40000 - local_now()), 200))
        << folder.standin_log();
    EXPECT_TRUE(wait_until(
        [&] { return has(words_for(folder.read_file(L"tavrel.log"), "1"), L"移動失敗"); }, 15000, 200));
    ASSERT_TRUE(Dialog(main).command(IDC_EXIT));
    ASSERT_TRUE(tavrel.wait_exit(10000, nullptr));

    const std::string standin = folder.standin_log();
    EXPECT_EQ(1, count_of(standin, "output none: no file written")) << standin;
    EXPECT_EQ(0, count_of(standin, "recording Samples\\"));
    EXPECT_EQ("recorded earlier", folder.read_file(earlier));
    EXPECT_TRUE(folder.list(L"moved").empty());
    const std::string log = folder.read_file(L"tavrel.log");
    const std::vector<std::string> words = words_for(log, "1");
    EXPECT_TRUE(has(words, L"録画失敗")) << log;
    EXPECT_FALSE(has(words, L"録画終了")) << log;
    EXPECT_TRUE(has(words, L"移動失敗")) << log;
    int moves = 0;
    for (const auto& f : journal_fields(log)) moves += f.size() > 1 && f[1] == sjis(L"移動");
    EXPECT_EQ(0, moves) << log;
}

}  // namespace
