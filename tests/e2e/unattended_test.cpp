// A PC left alone, and someone at it: a settings file that cannot be written at a start
// gets a box that nobody answers, which closes itself so that the recording is still made;
// the countdown before a stand-by is found by its caption and cancelled with its button,
// which ends the wait at once. (Wine's stand-by request does nothing, so it is safe here.)
// Each recording falls due (a minute early) 15 s after the program is up.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "tests/e2e/driver.h"

namespace {

using namespace e2e;

const long long kLead = 75000;

// The journal, "tavrel.log", once it holds text; empty when it does not by the deadline.
std::string journal_once(const CaptureFolder& folder, const std::string& text, long long deadline) {
    std::string log;
    wait_until([&] { return (log = folder.read_file(L"tavrel.log")).find(text) != std::string::npos; },
               (int)(deadline - local_now()), 200);
    return log.find(text) != std::string::npos ? log : std::string();
}

TEST(Unattended, ABoxNobodyAnswersClosesItselfAndTheRecordingIsMade) {
    CaptureFolder folder(L"unattended-box");
    ASSERT_TRUE(SetFileAttributesW(folder.file(L"Krotx2.ini").c_str(), FILE_ATTRIBUTE_READONLY));
    const long long start = (local_now() / 1000) * 1000 + kLead;
    ReservationTable table = default_table();
    once_only(table.slots[0], "留守番", start, start + 60000);
    table.slots[0].use_conditions = 1;
    table.slots[0].use_quality = 1;
    ASSERT_TRUE(folder.write_schedule(table));
    Process tavrel;
    ASSERT_NE(nullptr, start_tavrel(tavrel, folder));

    // The first writer's box, left alone, is gone 30 s after it came; the second writer
    // shows none.
    MessageBoxSeen box;
    ASSERT_TRUE(wait_message_box(tavrel.pid(), (int)(start - local_now()), &box));
    EXPECT_EQ(L"err", box.caption);
    EXPECT_TRUE(wait_until([&] { return !IsWindow(box.hwnd); }, 60000)) << "the box stayed";
    // Then the launch (13 s) and the wait before the record command (42 s).
    EXPECT_TRUE(wait_until([&] { return count_of(folder.standin_log(), "message 2027 record") == 1; },
                           90000, 200))
        << folder.standin_log();
    const std::string log = journal_once(folder, "\t終了命令\t1\t", start + 60000 + 60000);
    EXPECT_EQ(3, count_of(log, "\t設定失敗\t1\t")) << log;
    EXPECT_EQ(1, count_of(log, "\t設定失敗\t1\t留守番\t30秒応答がなかったため閉じました\r\n")) << log;
    EXPECT_EQ(1, count_of(folder.standin_log(), "message 2025 stop"));
    EXPECT_FALSE(wait_message_box(tavrel.pid(), 500, &box)) << "a message box is open";
}

TEST(Unattended, TheCountdownBeforeAStandByIsCancelledWithItsButton) {
    CaptureFolder folder(L"unattended-countdown");
    const long long start = (local_now() / 1000) * 1000 + kLead;
    ReservationTable table = default_table();
    once_only(table.slots[0], "夜更かし", start, start + 10000);
    table.slots[0].after_action = 4;  // stand-by
    table.slots[0].after_delay = 60;
    ASSERT_TRUE(folder.write_schedule(table));
    Process tavrel;
    HWND main = start_tavrel(tavrel, folder);
    ASSERT_NE(nullptr, main);

    // It comes after the stop sequence: topmost, without an owner, counting down.
    HWND countdown = nullptr;
    ASSERT_TRUE(wait_until(
        [&] {
            for (const WindowInfo& w : list_windows(tavrel.pid()))
                if (w.visible && w.title == L"録画後の処理") countdown = w.hwnd;
            return countdown != nullptr;
        },
        (int)(start + 10000 + 60000 - local_now()), 200));
    EXPECT_EQ(nullptr, GetWindow(countdown, GW_OWNER));
    EXPECT_TRUE(GetWindowLongW(countdown, GWL_EXSTYLE) & WS_EX_TOPMOST);
    const std::wstring text = window_text(GetDlgItem(countdown, 100));
    EXPECT_EQ(0u, text.find(L"1 夜更かし: 「スタンバイする」まで あと ")) << testing::PrintToString(text);
    EXPECT_EQ(L"中止", window_text(GetDlgItem(countdown, IDCANCEL)));
    EXPECT_EQ(L"今すぐ実行", window_text(GetDlgItem(countdown, 101)));

    // 中止 ends the wait long before its minute is up.
    const long long cancelled = local_now();
    PostMessageW(countdown, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), (LPARAM)GetDlgItem(countdown, IDCANCEL));
    const std::string log = journal_once(folder, "\t中止されました\r\n", cancelled + 20000);
    ASSERT_NE("", log) << folder.read_file(L"tavrel.log");
    EXPECT_EQ(1, count_of(log, "\t電源操作\t1\t夜更かし\tスタンバイする(60秒後)\r\n")) << log;
    EXPECT_TRUE(wait_until([&] { return !IsWindow(countdown); }, 10000));
    DWORD_PTR answer = 0;
    EXPECT_TRUE(SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &answer)) << "the program hangs";
}

}  // namespace
