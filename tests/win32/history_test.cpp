// The recording history from the main dialog's system menu, with the main dialog hosted in
// this process (another process cannot read the dialog's system menu under Wine).
#include <gtest/gtest.h>

#include <windows.h>
#include <cstdlib>
#include <ctime>
#include <string>

#include "app/win32/history_window.h"
#include "app/win32/main_dialog.h"
#include "app/win32/win32_seams.h"
#include "base/journal.h"
#include "resources/resource_ids.h"
#include "tests/support/core_state.h"
#include "tests/support/win32_support.h"

namespace {

void pump() {
    MSG msg;
    for (int i = 0; i < 50; ++i) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(10);
    }
}

std::wstring list_text(HWND history) {
    HWND list = GetDlgItem(history, IDC_HISTORY_LIST);
    std::wstring text(GetWindowTextLengthW(list) + 1, L'\0');
    text.resize(GetWindowTextW(list, &text[0], (int)text.size()));
    return text;
}

TEST(HistoryWindow, TheSystemMenuOpensItAndItFollowsTheJournal) {
    TempFolder folder(L"history", true);
    const Platform saved = platform;
    install_win32_platform();
    RecordingMessageBoxes messages;
    platform.messages = &messages;
    reset_core_state();
    ASSERT_TRUE(write_whole_file(L"recdata.dat", std::string(11040, '\0')));
    ASSERT_TRUE(write_whole_file(L"tavrel.log", "2026/12/07 20:00:00\t終了\t-\t\t\r\n"));

    HWND dialog = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_MAIN), nullptr,
                                     main_dialog_proc, 0);
    ASSERT_NE(nullptr, dialog);
    // The program's items end the system menu, after a separator, each a system-menu command.
    HMENU menu = GetSystemMenu(dialog, FALSE);
    const int n = GetMenuItemCount(menu);
    const struct {
        UINT id;
        const wchar_t* text;
    } items[] = {{IDM_HISTORY, L"録画履歴(&L)..."},
                 {IDM_FORECAST, L"録画予定(&P)..."},
                 {IDM_DELETE, L"予約の削除(&D)..."},
                 {IDM_ASSOCIATE, L"iEPGの関連付け(&I)..."}};
    const int count = (int)(sizeof(items) / sizeof(items[0]));
    ASSERT_GE(n, count + 1);
    EXPECT_TRUE(GetMenuState(menu, n - count - 1, MF_BYPOSITION) & MF_SEPARATOR);
    for (int k = 0; k < count; ++k) {
        wchar_t item[64] = L"";
        EXPECT_EQ(items[k].id, GetMenuItemID(menu, n - count + k));
        EXPECT_EQ(0u, items[k].id & 0xF);
        GetMenuStringW(menu, n - count + k, item, 64, MF_BYPOSITION);
        EXPECT_STREQ(items[k].text, item);
    }

    SendMessageW(dialog, WM_SYSCOMMAND, IDM_HISTORY, 0);
    HWND history = history_window();
    ASSERT_NE(nullptr, history);
    EXPECT_EQ(dialog, GetWindow(history, GW_OWNER)) << "owned: never behind the main dialog";
    wchar_t title[32] = L"";
    GetWindowTextW(history, title, 32);
    EXPECT_STREQ(L"録画履歴", title);
    std::wstring shown = list_text(history);
    EXPECT_EQ(0u, shown.find(L"2026/12/07 20:00:00\t終了")) << "the older line first";
    EXPECT_NE(std::wstring::npos, shown.find(L"\t起動\t-\t\t録画ソフトのフォルダ: "));

    // A line written while it is open is shown at the next tick.
    journal_write(kEventScheduleNotSaved, 0, nullptr, 0, "%s", "recdata.dat");
    follow_history();
    EXPECT_NE(std::wstring::npos, list_text(history).find(L"\t保存失敗\t-\t\trecdata.dat\r\n"));

    // Escape reaches it through the main dialog's loop as a dialog key, and closes it.
    SetFocus(GetDlgItem(history, IDC_HISTORY_LIST));
    PostMessageW(GetDlgItem(history, IDC_HISTORY_LIST), WM_KEYDOWN, VK_ESCAPE, 0);
    pump();
    EXPECT_EQ(nullptr, history_window());
    EXPECT_FALSE(IsWindow(history));

    SendMessageW(dialog, WM_COMMAND, IDC_EXIT, 0);
    DestroyWindow(dialog);
    const std::string log = read_whole_file(L"tavrel.log");
    EXPECT_NE(std::string::npos, log.find("\t終了\t-\t\t\r\n", 30)) << "the end line";
    // The start line's time carries a numeric offset from UTC (msvcrt's "%z" would give a
    // zone name), and read with it, it is now.
    const std::size_t line = log.find("\r\n") + 2;
    ASSERT_LT(line + 26, log.size());
    EXPECT_TRUE(log[line + 19] == ' ' && (log[line + 20] == '+' || log[line + 20] == '-') &&
                log.find_first_not_of("0123456789", line + 21) == line + 25)
        << log.substr(line, 30);
    std::time_t when = 0;
    std::size_t used = 0;
    ASSERT_TRUE(journal_read_time(log.c_str() + line, 25, &when, &used));
    EXPECT_EQ(25u, used);
    EXPECT_LT(std::llabs((long long)(when - std::time(nullptr))), 120LL);
    platform = saved;
    reset_core_state();
}

}  // namespace
