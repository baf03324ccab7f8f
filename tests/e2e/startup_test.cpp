// tavrel.exe from the outside: the single-instance guard, the schedule file created on the
// first start, the main dialog as its template and initialisation make it, and the ways
// out of the program.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <vector>

#include "tests/e2e/driver.h"

namespace {

using namespace e2e;

bool running_under_wine() {
    return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

struct Expected {
    int id;  // -1: a static item without an id, matched by class and text
    const wchar_t* class_name;
    const wchar_t* text;
    int x, y, w, h;  // dialog units; h -1 for a combo box (its window is the edit's height)
    bool visible, enabled;
    DWORD style;     // bits that must be set
    DWORD ex_style;  // extended bits that must be set
};

// The dialog's base units, found from a control of known template position.
bool base_units(const Dialog& dialog, int id, int x, int y, int w, int h, int* bx, int* by) {
    RECT r = dialog.item_rect(dialog.item(id));
    *bx = *by = 0;
    for (int b = 1; b < 64; ++b) {
        if (MulDiv(x, b, 4) == r.left && MulDiv(w, b, 4) == r.right - r.left) *bx = b;
        if (MulDiv(y, b, 8) == r.top && MulDiv(h, b, 8) == r.bottom - r.top) *by = b;
    }
    return *bx && *by;
}

void expect_controls(const Dialog& dialog, const std::vector<Expected>& table, int bx, int by) {
    std::vector<HWND> children;
    for (HWND c = GetWindow(dialog.hwnd(), GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        children.push_back(c);
    std::vector<bool> used(children.size(), false);
    for (const Expected& e : table) {
        HWND control = nullptr;
        for (size_t i = 0; i < children.size() && !control; ++i) {
            if (used[i] || class_of(children[i]) != e.class_name) continue;
            if (e.id >= 0 ? GetDlgCtrlID(children[i]) == e.id : window_text(children[i]) == e.text) {
                control = children[i];
                used[i] = true;
            }
        }
        SCOPED_TRACE(testing::Message() << "control " << e.id << " " << testing::PrintToString(std::wstring(e.text)));
        ASSERT_NE(nullptr, control);
        EXPECT_EQ(std::wstring(e.text), window_text(control));
        RECT r = dialog.item_rect(control);
        EXPECT_EQ(MulDiv(e.x, bx, 4), r.left);
        EXPECT_EQ(MulDiv(e.y, by, 8), r.top);
        EXPECT_EQ(MulDiv(e.w, bx, 4), r.right - r.left);
        if (e.h >= 0) {
            EXPECT_EQ(MulDiv(e.h, by, 8), r.bottom - r.top);
        }
        LONG style = GetWindowLongW(control, GWL_STYLE);
        EXPECT_EQ(e.visible, (style & WS_VISIBLE) != 0);
        EXPECT_EQ(e.enabled, (style & WS_DISABLED) == 0);
        EXPECT_EQ(e.style, (DWORD)style & e.style);
        EXPECT_EQ(e.ex_style, (DWORD)GetWindowLongW(control, GWL_EXSTYLE) & e.ex_style);
    }
}

const DWORD kPushLike = BS_AUTOCHECKBOX | BS_PUSHLIKE | WS_TABSTOP;

// The controls after initialisation: the form has chosen "一回だけ録画" and disabled the
// weekday boxes. A combo box keeps its scroll bar style for its list, and an edit field
// turns its border into a sunken edge, so neither style is looked for on them.
const std::vector<Expected> kMainControls = {
    {IDC_NAME_LIST, L"ComboBox", L"", 56, 170, 120, -1, true, true,
     CBS_DROPDOWN | CBS_AUTOHSCROLL | CBS_DISABLENOSCROLL | WS_TABSTOP, 0},
    {IDC_REPEAT_MODE, L"ComboBox", L"一回だけ録画", 56, 221, 123, -1, true, true,
     CBS_DROPDOWNLIST | CBS_SORT | WS_TABSTOP, 0},
    {IDC_WEEKDAY_MON, L"Button", L"月", 56, 236, 15, 13, true, false, kPushLike, 0},
    {IDC_WEEKDAY_TUE, L"Button", L"火", 72, 236, 15, 13, true, false, kPushLike, 0},
    {IDC_WEEKDAY_WED, L"Button", L"水", 88, 236, 15, 13, true, false, kPushLike, 0},
    {IDC_WEEKDAY_THU, L"Button", L"木", 104, 236, 15, 13, true, false, kPushLike, 0},
    {IDC_WEEKDAY_FRI, L"Button", L"金", 120, 236, 15, 13, true, false, kPushLike, 0},
    {IDC_WEEKDAY_SAT, L"Button", L"土", 136, 236, 15, 13, true, false, kPushLike, 0},
    {IDC_WEEKDAY_SUN, L"Button", L"日", 152, 236, 15, 13, true, false, kPushLike, 0},
    {IDC_ADD, L"Button", L"新規登録", 230, 222, 23, 24, true, true, BS_MULTILINE | WS_TABSTOP, 0},
    {IDC_UPDATE, L"Button", L"予約更新", 204, 222, 23, 24, true, true, BS_MULTILINE | WS_TABSTOP, 0},
    {IDC_COLOUR, L"Button", L"色", 210, 170, 15, 12, true, true, WS_TABSTOP, 0},
    {IDC_OPEN_CONDITIONS, L"Button", L"録画条件\n設定", 204, 197, 49, 22, true, false,
     BS_MULTILINE | WS_TABSTOP, 0},
    {IDC_EXIT, L"Button", L"終了", 262, 226, 33, 25, true, true, WS_TABSTOP, 0},
    {IDC_CAPTURE_RECORD, L"Button", L"●", 73, 140, 12, 10, false, true, 0, 0},
    {IDC_CAPTURE_PLAY, L"Button", L"再生", 87, 140, 12, 10, false, true, 0, 0},
    {IDC_CAPTURE_STOP, L"Button", L"GET", 106, 138, 15, 10, false, true, 0, 0},
    {IDC_CAPTURE_TOGGLE, L"Button", L"Chg", 280, 209, 15, 10, false, true, BS_AUTOCHECKBOX | BS_PUSHLIKE, 0},
    {-1, L"Button", L"予約ウィンドウ", 7, 157, 251, 94, true, true, BS_GROUPBOX, 0},
    {-1, L"Button", L"ＴＸ２操作", 53, 131, 94, 22, false, true, BS_GROUPBOX, 0},
    {-1, L"Static", L"予約名：", 22, 173, 33, 8, true, true, 0, 0},
    {-1, L"Static", L"録画期間：", 14, 189, 41, 8, true, true, 0, 0},
    {-1, L"Static", L"録画時間：", 14, 206, 41, 8, true, true, 0, 0},
    {-1, L"Static", L"録画形式：", 14, 222, 41, 8, true, true, 0, 0},
    {-1, L"Static", L"～", 121, 188, 9, 8, true, true, 0, 0},
    {-1, L"Static", L"～", 121, 206, 9, 8, true, true, 0, 0},
    {IDC_SWATCH_FRAME, L"Static", L"", 179, 170, 31, 12, true, true, 0, WS_EX_CLIENTEDGE},
    {IDC_HIDDEN_H, L"Edit", L"", 119, 103, 19, 12, false, true, ES_NUMBER, 0},
    {IDC_HIDDEN_V, L"Edit", L"", 119, 119, 19, 12, false, true, ES_NUMBER, 0},
    {-1, L"Static", L"H:", 107, 105, 9, 8, false, true, 0, 0},
    {-1, L"Static", L"V:", 107, 122, 9, 8, false, true, 0, 0},
};

TEST(Startup, SecondStartIsRefusedAndLeavesTheFirstRunning) {
    CaptureFolder folder(L"second-start");
    ASSERT_TRUE(folder.write_schedule(default_table()));
    Process first;
    HWND dialog = start_tavrel(first, folder);
    ASSERT_NE(nullptr, dialog);

    Process second;
    ASSERT_TRUE(second.start(tavrel_exe(), folder.path()));
    MessageBoxSeen box;
    ASSERT_TRUE(wait_message_box(second.pid(), 20000, &box));
    EXPECT_EQ(L"重複起動はできません", box.text);
    EXPECT_EQ(L"二重起動防止", box.caption);
    EXPECT_EQ(nullptr, box.owner);
    press_ok(box.hwnd);
    DWORD code = 99;
    ASSERT_TRUE(second.wait_exit(15000, &code));
    EXPECT_EQ(0u, code);

    EXPECT_TRUE(first.running());
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_EQ(1, count_main_dialogs());
}

TEST(Startup, MissingScheduleIsAnnouncedBeforeTheDialogAndCreated) {
    CaptureFolder folder(L"no-schedule");
    Process tavrel;
    ASSERT_TRUE(tavrel.start(tavrel_exe(), folder.path()));
    MessageBoxSeen box;
    ASSERT_TRUE(wait_message_box(tavrel.pid(), 20000, &box));
    EXPECT_EQ(L"録画リストファイルを開けませんでした\n新規作成します", box.text);
    EXPECT_EQ(L"失敗", box.caption);
    EXPECT_EQ(0, count_main_dialogs());  // not shown before the box is closed
    ASSERT_NE(nullptr, box.owner);       // owned by the dialog that is still hidden
    EXPECT_EQ(L"Tavrel", window_text(box.owner));
    EXPECT_FALSE(folder.exists(L"recdata.dat"));  // created after the message

    press_ok(box.hwnd);
    ASSERT_NE(nullptr, wait_main_dialog(tavrel.pid(), 20000));
    ASSERT_EQ(11040, folder.file_size(L"recdata.dat"));
    std::string bytes = folder.read_file(L"recdata.dat");
    ReservationTable table;
    std::memcpy(&table, bytes.data(), sizeof(table));
    for (int i : {0, 39}) {
        const Reservation& r = table.slots[i];
        EXPECT_EQ('\0', r.name[0]);
        EXPECT_STREQ("020101", r.start_date);
        EXPECT_STREQ("000000", r.end_time);
        EXPECT_EQ(4000000, r.video_bitrate);
        EXPECT_EQ(48000, r.audio_sample_rate);
        EXPECT_EQ(0x5454FFu, r.colour);
        EXPECT_EQ(67, r.saturation);
    }
}

TEST(Startup, DialogIsItsTemplateWithPickersTopmostAtItsPlace) {
    CaptureFolder folder(L"template");
    ASSERT_TRUE(folder.write_schedule(default_table()));
    // The pickers start at the day of the program's start: this one, or the next when
    // midnight passes meanwhile.
    SYSTEMTIME before;
    GetLocalTime(&before);
    Process tavrel;
    HWND hwnd = start_tavrel(tavrel, folder);
    ASSERT_NE(nullptr, hwnd);
    Dialog dialog(hwnd);

    EXPECT_EQ(L"Tavrel", window_text(hwnd));
    LONG style = GetWindowLongW(hwnd, GWL_STYLE);
    EXPECT_TRUE(style & WS_POPUP);
    EXPECT_EQ((LONG)WS_CAPTION, style & WS_CAPTION);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    // Wine hands the topmost flag to the hidden calendar popup that each date picker owns
    // there, instead of to the dialog; Windows creates that popup only when it drops down.
    if (!running_under_wine()) {
        EXPECT_TRUE(GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST);
    }
    RECT window;
    GetWindowRect(hwnd, &window);
    EXPECT_EQ(0, window.left);
    EXPECT_EQ(30, window.top);
    // The class icon is not readable from another process under Wine: look for the two
    // icons in the program file instead.
    HMODULE file = LoadLibraryExW(tavrel_exe().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, file);
    EXPECT_NE(nullptr, FindResourceW(file, MAKEINTRESOURCEW(IDI_MAIN), (LPCWSTR)RT_GROUP_ICON));
    EXPECT_NE(nullptr, FindResourceW(file, MAKEINTRESOURCEW(IDI_SECOND), (LPCWSTR)RT_GROUP_ICON));
    FreeLibrary(file);

    int bx = 0, by = 0;
    ASSERT_TRUE(base_units(dialog, IDC_EXIT, 262, 226, 33, 25, &bx, &by));
    SIZE client = dialog.client_size();
    EXPECT_EQ(MulDiv(302, bx, 4), client.cx);
    EXPECT_EQ(MulDiv(258, by, 8), client.cy);
    expect_controls(dialog, kMainControls, bx, by);
    // The base units Windows gives the 10-point dialog font at 96 DPI; with others the
    // template's controls move while the pickers, in client pixels, stay.
    EXPECT_EQ(7, bx);
    EXPECT_EQ(13, by);
    // Each picker sits on its label's row: dates on "録画期間：", times on "録画時間：".
    auto centre_y = [](HWND w) {
        RECT r;
        GetWindowRect(w, &r);
        return (r.top + r.bottom) / 2.0;
    };
    auto label = [&](const wchar_t* text) {
        for (HWND c = GetWindow(hwnd, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
            if (window_text(c) == text) return c;
        return (HWND) nullptr;
    };
    const wchar_t* row_labels[] = {L"録画期間：", L"録画時間：", L"録画期間：", L"録画時間："};
    for (int n = 0; n < 4; ++n) {
        HWND row = label(row_labels[n]);
        ASSERT_NE(nullptr, row) << n;
        EXPECT_NEAR(centre_y(row), centre_y(dialog.picker(n)), 3.0) << "picker " << n;
    }
    // The swatch lies inside its frame, which repaints after the dialog: a whole repaint
    // still shows the swatch's colour.
    RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    const POINT swatch[] = {{316, 279}, {340, 286}, {363, 292}};
    Screenshot shot;
    wait_for_screen(shot, hwnd, [&](const Screenshot& s) {
        for (POINT p : swatch)
            if (s.pixel_in_client(hwnd, p.x, p.y) != 0x5454FFu) return false;
        return true;
    });
    for (POINT p : swatch)
        EXPECT_EQ(0x5454FFu, shot.pixel_in_client(hwnd, p.x, p.y)) << p.x << "," << p.y;

    // The pickers, in client pixels, with control id 0.
    struct PickerPlace {
        int x, y;
        bool date, enabled;
    } places[] = {{98, 302, true, true}, {98, 330, false, true}, {235, 302, true, false},
                  {235, 330, false, true}};
    auto day = [](const SYSTEMTIME& t) { return t.wYear * 10000 + t.wMonth * 100 + t.wDay; };
    for (int n = 0; n < 4; ++n) {
        SCOPED_TRACE(n);
        HWND picker = dialog.picker(n);
        ASSERT_NE(nullptr, picker);
        EXPECT_EQ(0, GetDlgCtrlID(picker));
        RECT r = dialog.item_rect(picker);
        EXPECT_EQ(places[n].x, r.left);
        EXPECT_EQ(places[n].y, r.top);
        EXPECT_EQ(105, r.right - r.left);
        EXPECT_EQ(25, r.bottom - r.top);
        LONG s = GetWindowLongW(picker, GWL_STYLE);
        EXPECT_EQ(places[n].enabled, IsWindowEnabled(picker) != FALSE);
        EXPECT_TRUE(s & WS_BORDER);
        EXPECT_TRUE(s & WS_TABSTOP);
        LONG kind = places[n].date ? DTS_LONGDATEFORMAT : DTS_TIMEFORMAT;
        EXPECT_EQ(kind, s & kind);
        SYSTEMTIME value;
        ASSERT_TRUE(dialog.get_picker(picker, &value));
        SYSTEMTIME after;
        GetLocalTime(&after);
        EXPECT_TRUE(day(value) == day(before) || day(value) == day(after)) << day(value);
    }

    // The values can be set from outside and read back.
    SYSTEMTIME set = before;
    set.wYear = 2031;
    set.wMonth = 12;
    set.wDay = 31;
    set.wHour = 23;
    set.wMinute = 45;
    set.wSecond = 6;
    set.wDayOfWeek = 3;
    ASSERT_TRUE(dialog.set_picker(dialog.picker(1), set));
    SYSTEMTIME back;
    ASSERT_TRUE(dialog.get_picker(dialog.picker(1), &back));
    EXPECT_EQ(23, back.wHour);
    EXPECT_EQ(45, back.wMinute);
    EXPECT_EQ(6, back.wSecond);
}

TEST(Startup, NamePickEnablesTheConditionsButtonWhichOpensItsDialog) {
    CaptureFolder folder(L"name-pick");
    ReservationTable table = default_table();
    std::strcpy(table.slots[0].name, "ニュース");
    std::strcpy(table.slots[1].name, "drama");
    ASSERT_TRUE(folder.write_schedule(table));
    Process tavrel;
    HWND hwnd = start_tavrel(tavrel, folder);
    ASSERT_NE(nullptr, hwnd);
    Dialog dialog(hwnd);

    ASSERT_EQ(2, dialog.combo_count(IDC_NAME_LIST));
    EXPECT_EQ(L"ニュース", dialog.combo_item(IDC_NAME_LIST, 0));
    EXPECT_EQ(L"drama", dialog.combo_item(IDC_NAME_LIST, 1));
    EXPECT_FALSE(dialog.enabled(IDC_OPEN_CONDITIONS));
    dialog.select_combo(IDC_NAME_LIST, 1);
    EXPECT_TRUE(dialog.enabled(IDC_OPEN_CONDITIONS));

    // Typing into the name box is not a pick.
    dialog.command(IDC_NAME_LIST, CBN_EDITCHANGE);
    EXPECT_TRUE(dialog.enabled(IDC_OPEN_CONDITIONS));

    dialog.post_command(IDC_OPEN_CONDITIONS);
    HWND conditions = nullptr;
    ASSERT_TRUE(wait_until(
        [&] {
            for (const WindowInfo& w : list_windows(tavrel.pid()))
                if (w.visible && w.title == L"細部設定") conditions = w.hwnd;
            return conditions != nullptr;
        },
        10000));
    EXPECT_EQ(hwnd, GetWindow(conditions, GW_OWNER));
    LONG style = GetWindowLongW(conditions, GWL_STYLE);
    EXPECT_FALSE(style & WS_SYSMENU);
    EXPECT_EQ(L"更新しない", window_text(GetDlgItem(conditions, IDC_DONT_STORE)));
    EXPECT_EQ(L"Spin1", window_text(GetDlgItem(conditions, IDC_BITRATE_SPIN)));
    EXPECT_EQ(L"msctls_updown32", class_of(GetDlgItem(conditions, IDC_BITRATE_SPIN)));
    EXPECT_EQ(L"GOP構造をいじってみる", window_text(GetDlgItem(conditions, IDC_USE_GOP)));
    PostMessageW(conditions, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    EXPECT_TRUE(wait_until([&] { return !IsWindow(conditions); }, 10000));

    // Back to no selection: the button is disabled again.
    dialog.select_combo(IDC_NAME_LIST, -1);
    EXPECT_FALSE(dialog.enabled(IDC_OPEN_CONDITIONS));
}

TEST(Startup, EscapeTheCloseBoxAndExitEndWithZeroAndSaveNothing) {
    enum Way { kEscape, kCloseBox, kExitButton };
    for (Way way : {kEscape, kCloseBox, kExitButton}) {
        SCOPED_TRACE(way);
        CaptureFolder folder(L"exit");
        ReservationTable table = default_table();
        std::strcpy(table.slots[0].name, "unchanged");
        table.slots[0].padding[0] = 0x5A;  // bytes that a rewrite from memory would keep too
        ASSERT_TRUE(folder.write_schedule(table));
        std::string before = folder.read_file(L"recdata.dat");
        WIN32_FILE_ATTRIBUTE_DATA before_attr;
        ASSERT_TRUE(GetFileAttributesExW(folder.file(L"recdata.dat").c_str(), GetFileExInfoStandard,
                                         &before_attr));

        Process tavrel;
        HWND hwnd = start_tavrel(tavrel, folder);
        ASSERT_NE(nullptr, hwnd);
        Dialog dialog(hwnd);
        Sleep(1500);  // let a tick or two pass
        if (way == kEscape) dialog.press_escape();
        if (way == kCloseBox) dialog.press_close_box();
        if (way == kExitButton) dialog.click(IDC_EXIT);
        DWORD code = 99;
        ASSERT_TRUE(tavrel.wait_exit(15000, &code));
        EXPECT_EQ(0u, code);
        EXPECT_EQ(before, folder.read_file(L"recdata.dat"));
        WIN32_FILE_ATTRIBUTE_DATA after_attr;
        ASSERT_TRUE(GetFileAttributesExW(folder.file(L"recdata.dat").c_str(), GetFileExInfoStandard,
                                         &after_attr));
        EXPECT_EQ(0, CompareFileTime(&before_attr.ftLastWriteTime, &after_attr.ftLastWriteTime));
        EXPECT_FALSE(folder.exists(L"recdata.dat.new"));
    }
}

}  // namespace
