// The forecast of tavrel.exe from outside: the "録画予定" window opened from the system menu,
// the warning box after a save that makes a reservation fare worse, and the history and
// forecast windows opening with nothing selected.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "tests/e2e/driver.h"

namespace {

using namespace e2e;

const long long kMinute = 60000;

// Opens a window from the main dialog's system menu and waits for it.
HWND open_from_menu(HWND main, DWORD pid, WPARAM item, const std::wstring& title) {
    PostMessageW(main, WM_SYSCOMMAND, item, 0);
    HWND found = nullptr;
    wait_until(
        [&] {
            for (const WindowInfo& w : list_windows(pid))
                if (w.visible && w.title == title) found = w.hwnd;
            return found != nullptr;
        },
        10000);
    return found;
}

// The caret of an edit control, without a selection; -1 when a selection is made.
int caret_alone(HWND edit) {
    DWORD_PTR sel = 0;
    if (!SendMessageTimeoutW(edit, EM_GETSEL, 0, 0, SMTO_NORMAL, 10000, &sel)) return -2;
    return LOWORD(sel) == HIWORD(sel) ? (int)LOWORD(sel) : -1;
}

// "HH:MM" of a local moment.
std::wstring hh_mm(long long ms) {
    const SYSTEMTIME t = from_ms(ms);
    wchar_t text[8];
    swprintf(text, 8, L"%02d:%02d", t.wHour, t.wMinute);
    return text;
}

TEST(Forecast, WindowListsTheReservationsWithNothingSelectedAndSoDoesTheHistory) {
    // No settings file: the window says so above its list.
    CaptureFolder folder(L"forecast-window", CaptureFolder::kStandins | CaptureFolder::kSamples);
    const long long now = (local_now() / kMinute) * kMinute;
    ReservationTable table = default_table();
    once_only(table.slots[0], "Morning news", now + 3 * 60 * kMinute, now + 3 * 60 * kMinute + 20 * kMinute);
    once_only(table.slots[1], "夜のドラマ", now + 26 * 60 * kMinute, now + 27 * 60 * kMinute);
    ASSERT_TRUE(folder.write_schedule(table));
    Process tavrel;
    HWND main = start_tavrel(tavrel, folder);
    ASSERT_NE(nullptr, main);

    HWND forecast = open_from_menu(main, tavrel.pid(), IDM_FORECAST, L"録画予定");
    ASSERT_NE(nullptr, forecast);
    EXPECT_EQ(main, GetWindow(forecast, GW_OWNER));
    HWND list = GetDlgItem(forecast, IDC_FORECAST_LIST);
    const std::wstring shown = window_text(list);
    for (const wchar_t* name : {L"Morning news", L"夜のドラマ"})
        EXPECT_NE(std::wstring::npos, shown.find(name)) << testing::PrintToString(shown);
    EXPECT_NE(std::wstring::npos, shown.find(hh_mm(now + 3 * 60 * kMinute))) << testing::PrintToString(shown);
    EXPECT_NE(std::wstring::npos, shown.find(hh_mm(now + 27 * 60 * kMinute))) << testing::PrintToString(shown);
    EXPECT_LT(shown.find(L"Morning news"), shown.find(L"夜のドラマ")) << "in the order they fall due";
    EXPECT_LT(shown.find(L"設定ファイル Krotx2.ini を開けません"), shown.find(L"Morning news"));
    EXPECT_EQ(0, caret_alone(list));

    // Escape reaches it as a dialog key and closes it.
    PostMessageW(list, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_TRUE(wait_until([&] { return !IsWindow(forecast); }, 5000));

    HWND history = open_from_menu(main, tavrel.pid(), IDM_HISTORY, L"録画履歴");
    ASSERT_NE(nullptr, history);
    HWND lines = GetDlgItem(history, IDC_HISTORY_LIST);
    EXPECT_EQ((int)window_text(lines).size(), caret_alone(lines)) << "at the end, newest last";
}

TEST(Forecast, ASaveThatMakesAClashWarnsOnceAndOneWithoutSaysNothing) {
    CaptureFolder folder(L"forecast-warning");
    const long long now = (local_now() / kMinute) * kMinute;
    const long long first = now + 2 * 60 * kMinute;
    ReservationTable table = default_table();
    once_only(table.slots[0], "News", first, first + 20 * kMinute);
    ASSERT_TRUE(folder.write_schedule(table));
    Process tavrel;
    HWND main = start_tavrel(tavrel, folder);
    ASSERT_NE(nullptr, main);
    HWND forecast = open_from_menu(main, tavrel.pid(), IDM_FORECAST, L"録画予定");
    ASSERT_NE(nullptr, forecast);
    Dialog d(main);

    // Ten minutes into News, within it: held back by its recording.
    auto fill_form = [&](const wchar_t* name, long long start, long long stop) {
        d.set_text(IDC_NAME_LIST, name);
        const SYSTEMTIME s = from_ms(start), e = from_ms(stop);
        EXPECT_TRUE(d.set_picker(d.picker(0), s));
        EXPECT_TRUE(d.set_picker(d.picker(1), s));
        EXPECT_TRUE(d.set_picker(d.picker(3), e));
    };
    fill_form(L"Drama", first + 10 * kMinute, first + 15 * kMinute);
    d.post_command(IDC_ADD);
    MessageBoxSeen box;
    ASSERT_TRUE(wait_message_box(tavrel.pid(), 15000, &box));
    EXPECT_EQ(L"予約の重なり", box.caption);
    EXPECT_EQ(main, box.owner);
    EXPECT_TRUE(box.icon);
    // The occurrence, when it is, and the recording that holds it back.
    for (const std::wstring& part : {std::wstring(L"Drama"), hh_mm(first + 10 * kMinute), std::wstring(L"News")})
        EXPECT_NE(std::wstring::npos, box.text.find(part)) << testing::PrintToString(box.text);
    const std::size_t pointer = box.text.rfind(L"録画予定");
    EXPECT_TRUE(pointer != std::wstring::npos && pointer > box.text.find_last_of(L'\n'))
        << "the last line points at the window";
    press_ok(box.hwnd);
    ASSERT_TRUE(wait_until([&] { return !IsWindow(box.hwnd); }, 5000));
    // Saved all the same, and shown in the open window.
    ASSERT_TRUE(d.command(IDC_CAPTURE_PLAY));
    EXPECT_EQ(2, d.combo_count(IDC_NAME_LIST));
    EXPECT_NE(std::wstring::npos, window_text(GetDlgItem(forecast, IDC_FORECAST_LIST)).find(L"Drama"));
    EXPECT_FALSE(wait_message_box(tavrel.pid(), 500, &box)) << "one box only";

    // Tomorrow, clear of both: no box.
    fill_form(L"Weather", first + 24 * 60 * kMinute, first + 24 * 60 * kMinute + 5 * kMinute);
    d.post_command(IDC_ADD);
    if (wait_message_box(tavrel.pid(), 2000, &box)) {
        ADD_FAILURE() << "a box after a save without a clash: " << testing::PrintToString(box.text);
        press_ok(box.hwnd);
    }
    ASSERT_TRUE(d.command(IDC_CAPTURE_PLAY));
    EXPECT_EQ(3, d.combo_count(IDC_NAME_LIST));

    // Clearing the first name hides every reservation: each still to be recorded is named.
    d.select_combo(IDC_NAME_LIST, 0);
    d.set_text(IDC_NAME_LIST, L"");
    d.post_command(IDC_UPDATE);
    ASSERT_TRUE(wait_message_box(tavrel.pid(), 15000, &box));
    for (const wchar_t* part : {L"News  この登録で録画されなくなります", L"Weather  この登録で録画されなくなります"})
        EXPECT_NE(std::wstring::npos, box.text.find(part)) << testing::PrintToString(box.text);
    press_ok(box.hwnd);
}

}  // namespace
