// The reservation form of tavrel.exe worked from outside: what "新規登録" and "予約更新"
// write into "recdata.dat", what picking a name shows, what the name box lets in, the
// repeat-mode list, the colour button and swatch, and the refusals (40 in use, nothing
// selected).
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <colordlg.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "tests/e2e/driver.h"

namespace {

using namespace e2e;

const int kRecord = 276;
const int kTable = 40 * kRecord;

// ---- records as the record table lays them out, byte by byte ----

void put_text(std::string& rec, int offset, const char* text) {
    std::memcpy(&rec[offset], text, std::strlen(text) + 1);
}

void put32(std::string& rec, int offset, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) rec[offset + i] = (char)((v >> (8 * i)) & 0xFF);
}

// The default record: dates 020101, times 000000, 4000000 bit/s, 384 kbit/s, 48000 Hz,
// colour 0x5454FF, brightness 127, contrast 70, saturation 67, all else zero or empty.
std::string default_record() {
    std::string r(kRecord, '\0');
    put_text(r, 21, "020101");
    put_text(r, 28, "020101");
    put_text(r, 35, "000000");
    put_text(r, 42, "000000");
    put32(r, 56, 4000000);
    put32(r, 60, 384);
    put32(r, 64, 48000);
    put32(r, 76, 0x5454FF);
    r[213] = (char)127;
    r[214] = (char)70;
    r[215] = (char)67;
    return r;
}

// The form's fields of a record over a default one.
std::string record(const char* name, const char* start_date, const char* end_date,
                   const char* start_time, const char* end_time, int mode, int mask,
                   std::uint32_t colour) {
    std::string r = default_record();
    put_text(r, 0, name);
    put_text(r, 21, start_date);
    put_text(r, 28, end_date);
    put_text(r, 35, start_time);
    put_text(r, 42, end_time);
    r[49] = (char)mask;
    put32(r, 52, (std::uint32_t)mode);
    put32(r, 76, colour);
    return r;
}

std::string default_file() {
    std::string file;
    for (int i = 0; i < 40; ++i) file += default_record();
    return file;
}

std::string slot(const std::string& file, int index) {
    if ((int)file.size() < (index + 1) * kRecord) return std::string();
    return file.substr((size_t)index * kRecord, kRecord);
}

// Bytes in hex, for a readable difference when a record does not match.
std::string hex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i && i % 16 == 0) out += '\n';
        out += digits[(unsigned char)bytes[i] >> 4];
        out += digits[(unsigned char)bytes[i] & 15];
        out += ' ';
    }
    return out;
}

#define EXPECT_RECORD(expected, actual) EXPECT_EQ(hex(expected), hex(actual))

// Every reservation lies in 2003, so none falls due while a test runs.
// 0 once only, 1 once only past midnight, 2 weekly 月 and 日 in green, 3 weekly every day,
// 4 once only without a colour of its own.
std::string five_reservations() {
    std::string file = default_file();
    const std::string recs[5] = {
        record("ニュース", "030110", "030110", "190000", "194500", 0, 0, 0x5454FF),
        record("映画", "031231", "040101", "233000", "011500", 0, 0, 0xC0C000),
        record("ドラマ", "030106", "030630", "210000", "215400", 1, 0x41, 0x00C000),
        record("天気", "030301", "030331", "063000", "064500", 1, 0x7F, 0x3080FF),
        record("音楽", "030505", "030505", "120000", "130000", 0, 0, 0),
    };
    for (int i = 0; i < 5; ++i) file.replace((size_t)i * kRecord, kRecord, recs[i]);
    return file;
}

SYSTEMTIME date_of(int year, int month, int day) {
    SYSTEMTIME t;
    GetLocalTime(&t);
    t.wYear = (WORD)year;
    t.wMonth = (WORD)month;
    t.wDay = (WORD)day;
    return t;
}

SYSTEMTIME time_of(int hour, int minute, int second) {
    SYSTEMTIME t;
    GetLocalTime(&t);
    t.wHour = (WORD)hour;
    t.wMinute = (WORD)minute;
    t.wSecond = (WORD)second;
    t.wMilliseconds = 0;
    return t;
}

// tavrel.exe in a capture folder of its own, on the given "recdata.dat" (none when empty).
struct Session {
    CaptureFolder folder;
    Process tavrel;
    HWND main = nullptr;

    Session(const wchar_t* name, const std::string& schedule) : folder(name) {
        if (!schedule.empty()) folder.write_file(L"recdata.dat", schedule);
        if (!tavrel.start(tavrel_exe(), folder.path())) return;
        if (schedule.empty()) {
            // The file is created at start-up, after its message.
            MessageBoxSeen box;
            if (wait_message_box(tavrel.pid(), 15000, &box)) press_ok(box.hwnd);
        }
        main = wait_main_dialog(tavrel.pid(), 15000);
    }

    Dialog dialog() const { return Dialog(main); }
    std::string schedule() const { return folder.read_file(L"recdata.dat"); }

    void set_picker(int n, const SYSTEMTIME& t) const {
        EXPECT_TRUE(dialog().set_picker(dialog().picker(n), t)) << "picker " << n;
    }
    SYSTEMTIME picker(int n) const {
        SYSTEMTIME t;
        EXPECT_TRUE(dialog().get_picker(dialog().picker(n), &t)) << "picker " << n;
        return t;
    }
    // A command that does nothing but repaint: once it has been handled, so has every
    // command before it.
    void settle() const { EXPECT_TRUE(dialog().command(IDC_CAPTURE_PLAY)); }
};

// ---- the colour chooser ----

HWND wait_colour_chooser(DWORD pid) {
    HWND found = nullptr;
    wait_until(
        [&] {
            for (const WindowInfo& w : list_windows(pid))
                if (w.visible && w.class_name == L"#32770" && w.title != L"Tavrel" &&
                    GetDlgItem(w.hwnd, COLOR_RED)) {
                    found = w.hwnd;
                    return true;
                }
            return false;
        },
        15000);
    return found;
}

// Presses "色" and picks red, green and blue in the chooser's edit fields; OK, or cancel.
void choose_in_chooser(const Session& s, int red, int green, int blue, bool ok) {
    s.dialog().post_command(IDC_COLOUR);
    HWND chooser = wait_colour_chooser(s.tavrel.pid());
    ASSERT_NE(nullptr, chooser);
    EXPECT_EQ(s.main, GetWindow(chooser, GW_OWNER));
    Dialog c(chooser);
    if (ok) {
        c.set_text(COLOR_RED, std::to_wstring(red));
        c.set_text(COLOR_GREEN, std::to_wstring(green));
        c.set_text(COLOR_BLUE, std::to_wstring(blue));
        press_ok(chooser);
    } else {
        PostMessageW(chooser, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                     (LPARAM)GetDlgItem(chooser, IDCANCEL));
    }
    ASSERT_TRUE(wait_until([&] { return !IsWindow(chooser); }, 10000));
    s.settle();
}

// The swatch (client 315,278 to 365,294) is filled with one colour: corners and middle.
void expect_swatch(HWND dialog, COLORREF colour) {
    const POINT points[] = {{315, 278}, {364, 278}, {315, 293}, {364, 293}, {340, 286}};
    Screenshot shot;
    wait_for_screen(shot, dialog, [&](const Screenshot& s) {
        for (POINT p : points)
            if (s.pixel_in_client(dialog, p.x, p.y) != colour) return false;
        return true;
    });
    for (POINT p : points)
        EXPECT_EQ(colour, shot.pixel_in_client(dialog, p.x, p.y)) << p.x << "," << p.y;
}

void expect_weekly_controls(const Session& s, bool enabled) {
    EXPECT_EQ(enabled, IsWindowEnabled(s.dialog().picker(2)) != FALSE) << "end date";
    for (int i = 0; i < 7; ++i) EXPECT_EQ(enabled, s.dialog().enabled(IDC_WEEKDAY_MON + i)) << i;
}

void expect_boxes(const Session& s, const bool (&checked)[7]) {
    for (int i = 0; i < 7; ++i) EXPECT_EQ(checked[i], s.dialog().checked(IDC_WEEKDAY_MON + i)) << i;
}

// The range of a date picker: flags and the two limits, read in tavrel.exe's memory.
DWORD picker_range(HWND picker, SYSTEMTIME range[2]) {
    DWORD pid = 0, flags = 0;
    GetWindowThreadProcessId(picker, &pid);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (!process) return 0;
    const SIZE_T size = 2 * sizeof(SYSTEMTIME);
    void* remote = VirtualAllocEx(process, nullptr, size, MEM_COMMIT, PAGE_READWRITE);
    DWORD_PTR result = 0;
    SIZE_T n = 0;
    if (remote &&
        SendMessageTimeoutW(picker, DTM_GETRANGE, 0, (LPARAM)remote, SMTO_NORMAL, 10000, &result) &&
        ReadProcessMemory(process, remote, range, size, &n))
        flags = (DWORD)result;
    if (remote) VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
    return flags;
}

// Puts text on the clipboard, as another program's copy would.
bool put_on_clipboard(const std::wstring& text) {
    HWND owner = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
    bool ok = false;
    if (owner && memory && OpenClipboard(owner)) {
        std::memcpy(GlobalLock(memory), text.c_str(), (text.size() + 1) * sizeof(wchar_t));
        GlobalUnlock(memory);
        ok = EmptyClipboard() && SetClipboardData(CF_UNICODETEXT, memory);
        CloseClipboard();
    }
    if (!ok && memory) GlobalFree(memory);
    if (owner) DestroyWindow(owner);
    return ok;
}

// ---- tests ----

TEST(Form, AddWritesTheFormIntoANewScheduleFile) {
    Session s(L"form-add", "");
    ASSERT_NE(nullptr, s.main);
    Dialog d = s.dialog();
    ASSERT_EQ((long long)kTable, s.folder.file_size(L"recdata.dat"));
    EXPECT_FALSE(d.enabled(IDC_OPEN_CONDITIONS));

    // A cancelled chooser leaves the swatch at its first colour.
    choose_in_chooser(s, 0, 0, 0, false);
    expect_swatch(s.main, 0x5454FF);
    // Red 0, green 128, blue 255.
    choose_in_chooser(s, 0, 128, 255, true);
    expect_swatch(s.main, 0xFF8000);

    d.set_text(IDC_NAME_LIST, L"ニュース");
    s.set_picker(0, date_of(2003, 2, 16));
    s.set_picker(1, time_of(23, 30, 0));
    s.set_picker(3, time_of(1, 15, 0));
    d.select_combo(IDC_REPEAT_MODE, 1);  // 毎週録画
    s.set_picker(2, date_of(2003, 3, 31));
    d.click(IDC_WEEKDAY_MON);  // mask 64
    d.click(IDC_WEEKDAY_FRI);  // mask 4
    ASSERT_TRUE(d.command(IDC_ADD));

    std::string file = s.schedule();
    ASSERT_EQ((size_t)kTable, file.size());
    EXPECT_RECORD(record("ニュース", "030216", "030331", "233000", "011500", 1, 68, 0xFF8000),
                  slot(file, 0));
    for (int i = 1; i < 40; ++i) EXPECT_RECORD(default_record(), slot(file, i)) << "slot " << i;
    ASSERT_EQ(1, d.combo_count(IDC_NAME_LIST));
    EXPECT_EQ(L"ニュース", d.combo_item(IDC_NAME_LIST, 0));
    EXPECT_EQ(0, d.combo_selection(IDC_NAME_LIST));
    EXPECT_TRUE(d.enabled(IDC_OPEN_CONDITIONS));

    // The form changed, then the name picked again: the form shows what was added.
    d.click(IDC_WEEKDAY_MON);
    d.select_combo(IDC_REPEAT_MODE, 0);
    d.set_text(IDC_NAME_LIST, L"別");
    s.set_picker(0, date_of(2003, 1, 1));
    s.set_picker(1, time_of(5, 0, 0));
    s.set_picker(2, date_of(2003, 1, 2));
    s.set_picker(3, time_of(6, 0, 0));
    d.select_combo(IDC_NAME_LIST, 0);
    EXPECT_EQ(L"ニュース", d.text(IDC_NAME_LIST));
    SYSTEMTIME t = s.picker(0);
    EXPECT_EQ(2003, t.wYear);
    EXPECT_EQ(2, t.wMonth);
    EXPECT_EQ(16, t.wDay);
    t = s.picker(1);
    EXPECT_EQ(23, t.wHour);
    EXPECT_EQ(30, t.wMinute);
    EXPECT_EQ(0, t.wSecond);
    t = s.picker(2);
    EXPECT_EQ(3, t.wMonth);
    EXPECT_EQ(31, t.wDay);
    t = s.picker(3);
    EXPECT_EQ(1, t.wHour);
    EXPECT_EQ(15, t.wMinute);
    EXPECT_EQ(1, d.combo_selection(IDC_REPEAT_MODE));
    expect_weekly_controls(s, true);
    expect_boxes(s, {true, false, false, false, true, false, false});
}

TEST(Form, AddWithAnEmptyNameFillsTheFreeSlotButListsNothingNew) {
    Session s(L"form-add-empty", default_file());
    ASSERT_NE(nullptr, s.main);
    Dialog d = s.dialog();
    // Into an empty list: nothing listed, nothing selected, nothing to set up.
    s.set_picker(0, date_of(2003, 5, 5));
    s.set_picker(1, time_of(10, 0, 0));
    s.set_picker(3, time_of(10, 0, 0));
    ASSERT_TRUE(d.command(IDC_ADD));
    EXPECT_EQ(0, d.combo_count(IDC_NAME_LIST));
    EXPECT_EQ(-1, d.combo_selection(IDC_NAME_LIST));
    EXPECT_FALSE(d.enabled(IDC_OPEN_CONDITIONS));
    std::string file = s.schedule();
    // Equal times: the end date is the start date.
    EXPECT_RECORD(record("", "030505", "030505", "100000", "100000", 0, 0, 0x5454FF),
                  slot(file, 0));

    d.set_text(IDC_NAME_LIST, L"朝");
    ASSERT_TRUE(d.command(IDC_ADD));
    ASSERT_EQ(1, d.combo_count(IDC_NAME_LIST));

    // With one in use, the empty name goes to slot 1; the list keeps its one entry, which
    // stays selected. Once only, 22:00 to 02:00: ends on the next day.
    d.set_text(IDC_NAME_LIST, L"");
    s.set_picker(0, date_of(2003, 2, 28));
    s.set_picker(1, time_of(22, 0, 0));
    s.set_picker(3, time_of(2, 0, 0));
    ASSERT_TRUE(d.command(IDC_ADD));
    EXPECT_EQ(1, d.combo_count(IDC_NAME_LIST));
    EXPECT_EQ(L"朝", d.combo_item(IDC_NAME_LIST, 0));
    EXPECT_EQ(0, d.combo_selection(IDC_NAME_LIST));
    EXPECT_TRUE(d.enabled(IDC_OPEN_CONDITIONS));
    file = s.schedule();
    EXPECT_RECORD(record("朝", "030505", "030505", "100000", "100000", 0, 0, 0x5454FF),
                  slot(file, 0));
    EXPECT_RECORD(record("", "030228", "030301", "220000", "020000", 0, 0, 0x5454FF),
                  slot(file, 1));
}

TEST(Form, PickingANameShowsItsReservation) {
    Session s(L"form-show", five_reservations());
    ASSERT_NE(nullptr, s.main);
    Dialog d = s.dialog();
    ASSERT_EQ(5, d.combo_count(IDC_NAME_LIST));
    EXPECT_EQ(L"ドラマ", d.combo_item(IDC_NAME_LIST, 2));

    d.select_combo(IDC_NAME_LIST, 2);
    EXPECT_EQ(L"ドラマ", d.text(IDC_NAME_LIST));
    SYSTEMTIME t = s.picker(0);
    EXPECT_EQ(2003, t.wYear);
    EXPECT_EQ(1, t.wMonth);
    EXPECT_EQ(6, t.wDay);
    t = s.picker(2);
    EXPECT_EQ(2003, t.wYear);
    EXPECT_EQ(6, t.wMonth);
    EXPECT_EQ(30, t.wDay);
    t = s.picker(1);
    EXPECT_EQ(21, t.wHour);
    EXPECT_EQ(0, t.wMinute);
    EXPECT_EQ(0, t.wSecond);
    t = s.picker(3);
    EXPECT_EQ(21, t.wHour);
    EXPECT_EQ(54, t.wMinute);
    EXPECT_EQ(1, d.combo_selection(IDC_REPEAT_MODE));
    expect_weekly_controls(s, true);
    expect_boxes(s, {true, false, false, false, false, false, true});  // 0x41: 月 and 日
    EXPECT_TRUE(d.enabled(IDC_OPEN_CONDITIONS));
    expect_swatch(s.main, 0x00C000);

    // Once only past midnight: the weekly controls are disabled and the boxes cleared.
    d.select_combo(IDC_NAME_LIST, 1);
    EXPECT_EQ(L"映画", d.text(IDC_NAME_LIST));
    t = s.picker(0);
    EXPECT_EQ(2003, t.wYear);
    EXPECT_EQ(12, t.wMonth);
    EXPECT_EQ(31, t.wDay);
    t = s.picker(1);
    EXPECT_EQ(23, t.wHour);
    EXPECT_EQ(30, t.wMinute);
    t = s.picker(3);
    EXPECT_EQ(1, t.wHour);
    EXPECT_EQ(15, t.wMinute);
    EXPECT_EQ(0, d.combo_selection(IDC_REPEAT_MODE));
    expect_weekly_controls(s, false);
    expect_boxes(s, {false, false, false, false, false, false, false});
    expect_swatch(s.main, 0xC0C000);

    // A record without a colour of its own keeps the swatch's colour after the repaint.
    d.select_combo(IDC_NAME_LIST, 4);
    expect_swatch(s.main, 0xC0C000);
}

TEST(Form, UpdateStoresTheChangedFormIntoTheSelectedSlot) {
    const std::string before = five_reservations();
    Session s(L"form-update", before);
    ASSERT_NE(nullptr, s.main);
    Dialog d = s.dialog();
    d.select_combo(IDC_NAME_LIST, 2);  // ドラマ, weekly, 月 and 日, green

    d.set_text(IDC_NAME_LIST, L"連続ドラマ");
    s.set_picker(1, time_of(20, 0, 0));
    s.set_picker(2, date_of(2003, 9, 30));
    d.click(IDC_WEEKDAY_MON);  // off
    d.click(IDC_WEEKDAY_WED);  // on: 16 + 日 1
    ASSERT_TRUE(d.command(IDC_UPDATE));
    std::string file = s.schedule();
    ASSERT_EQ((size_t)kTable, file.size());
    EXPECT_RECORD(record("連続ドラマ", "030106", "030930", "200000", "215400", 1, 17, 0x00C000),
                  slot(file, 2));
    for (int i : {0, 1, 3, 4}) EXPECT_RECORD(slot(before, i), slot(file, i)) << "slot " << i;
    EXPECT_EQ(L"連続ドラマ", d.combo_item(IDC_NAME_LIST, 2));
    EXPECT_EQ(2, d.combo_selection(IDC_NAME_LIST));

    // Once only now: the end date follows the times, not the disabled end-date picker,
    // and the boxes still count.
    d.select_combo(IDC_REPEAT_MODE, 0);
    s.set_picker(0, date_of(2003, 12, 31));
    s.set_picker(1, time_of(23, 0, 0));
    s.set_picker(3, time_of(1, 0, 0));
    ASSERT_TRUE(d.command(IDC_UPDATE));
    file = s.schedule();
    EXPECT_RECORD(record("連続ドラマ", "031231", "040101", "230000", "010000", 0, 17, 0x00C000),
                  slot(file, 2));
}

TEST(Form, UpdateThatClearsANameShortensTheList) {
    const std::string before = five_reservations();
    Session s(L"form-clear", before);
    ASSERT_NE(nullptr, s.main);
    Dialog d = s.dialog();
    d.select_combo(IDC_NAME_LIST, 2);
    d.set_text(IDC_NAME_LIST, L"");
    ASSERT_TRUE(d.command(IDC_UPDATE));
    ASSERT_EQ(2, d.combo_count(IDC_NAME_LIST));
    EXPECT_EQ(L"ニュース", d.combo_item(IDC_NAME_LIST, 0));
    EXPECT_EQ(L"映画", d.combo_item(IDC_NAME_LIST, 1));

    std::string file = s.schedule();
    ASSERT_EQ((size_t)kTable, file.size());
    std::string cleared = slot(file, 2);
    EXPECT_EQ('\0', cleared[0]);
    // The rest of the form went back as it was shown.
    EXPECT_EQ(slot(before, 2).substr(21), cleared.substr(21));
    for (int i : {0, 1, 3, 4}) EXPECT_RECORD(slot(before, i), slot(file, i)) << "slot " << i;

    // An add names slot 2 again, and 3 and 4 come back.
    d.set_text(IDC_NAME_LIST, L"ドラマ");
    ASSERT_TRUE(d.command(IDC_ADD));
    ASSERT_EQ(5, d.combo_count(IDC_NAME_LIST));
    EXPECT_EQ(L"音楽", d.combo_item(IDC_NAME_LIST, 4));
    EXPECT_EQ(4, d.combo_selection(IDC_NAME_LIST));
}

// The name box holds only what a record stores, however the text comes in: characters of
// code page 932, at most 20 bytes of them, ending on a whole character.
TEST(Form, NameBoxHoldsWhatARecordStores) {
    Session s(L"form-name-box", default_file());
    ASSERT_NE(nullptr, s.main);
    Dialog d = s.dialog();
    HWND edit = FindWindowExW(d.item(IDC_NAME_LIST), nullptr, L"Edit", nullptr);
    ASSERT_NE(nullptr, edit);
    DWORD_PTR caret = 0;
    auto read_caret = [&] {
        SendMessageTimeoutW(d.item(IDC_NAME_LIST), CB_GETEDITSEL, 0, 0, SMTO_NORMAL, 10000, &caret);
    };

    // Typed: 21 full-width characters, of which the first 10 fill the 20 bytes.
    const std::wstring typed = L"あいうえおかきくけこさしすせそたちつてとな";
    for (wchar_t c : typed) SendMessageTimeoutW(edit, WM_CHAR, c, 1, SMTO_NORMAL, 10000, nullptr);
    EXPECT_EQ(typed.substr(0, 10), d.text(IDC_NAME_LIST));
    read_caret();
    EXPECT_EQ(MAKELONG(10, 10), (DWORD)caret);

    // Pasted: the Hangul syllable has no form in code page 932 and is left out; 5 half-width
    // bytes and 7 full-width characters make 19, and "マ" would make 21.
    d.set_text(IDC_NAME_LIST, L"");
    ASSERT_TRUE(put_on_clipboard(L"Aﾃﾚﾋﾞ\uD55C国天気予報ドラマ特集"));
    SendMessageTimeoutW(edit, WM_PASTE, 0, 0, SMTO_NORMAL, 10000, nullptr);
    const std::wstring shown = L"Aﾃﾚﾋﾞ国天気予報ドラ";
    EXPECT_EQ(shown, d.text(IDC_NAME_LIST));
    read_caret();
    EXPECT_EQ(MAKELONG(12, 12), (DWORD)caret);

    ASSERT_TRUE(d.command(IDC_ADD));
    std::string name = sjis(shown);
    ASSERT_EQ(19u, name.size());
    name.resize(21, '\0');
    EXPECT_EQ(hex(name), hex(slot(s.schedule(), 0).substr(0, 21)));

    // Copied from a web page: wave dash, minus sign, double vertical line, em dash, cent,
    // pound and not sign are kept and stored as code page 932 has them; "é", which it has
    // not, is left out, never stored as "e".
    d.set_text(IDC_NAME_LIST, L"");
    ASSERT_TRUE(put_on_clipboard(L"\u301C\u2212\u2016\u2014\u00A2\u00A3\u00ACcaf\u00E9"));
    SendMessageTimeoutW(edit, WM_PASTE, 0, 0, SMTO_NORMAL, 10000, nullptr);
    EXPECT_EQ(L"\u301C\u2212\u2016\u2014\u00A2\u00A3\u00ACcaf", d.text(IDC_NAME_LIST));
    ASSERT_TRUE(d.command(IDC_ADD));
    std::string copied("\x81\x60\x81\x7C\x81\x61\x81\x5C\x81\x91\x81\x92\x81\xCA" "caf");
    copied.resize(21, '\0');
    EXPECT_EQ(hex(copied), hex(slot(s.schedule(), 1).substr(0, 21)));
}

TEST(Form, AddWithFortyInUseIsRefusedAndTheFileKeepsItsBytes) {
    std::string full;
    for (int i = 0; i < 40; ++i) {
        std::string name = "番組" + std::to_string(i);
        full += record(name.c_str(), "030401", "030401", "080000", "090000", 0, 0, 0x5454FF);
    }
    Session s(L"form-forty", full);
    ASSERT_NE(nullptr, s.main);
    Dialog d = s.dialog();
    ASSERT_EQ(40, d.combo_count(IDC_NAME_LIST));
    d.set_text(IDC_NAME_LIST, L"四十一");
    d.post_command(IDC_ADD);
    MessageBoxSeen box;
    ASSERT_TRUE(wait_message_box(s.tavrel.pid(), 15000, &box));
    EXPECT_EQ(L"これ以上追加できません", box.text);
    EXPECT_EQ(L"リストは40まで", box.caption);
    EXPECT_EQ(s.main, box.owner);
    press_ok(box.hwnd);
    // The box's own loop would handle settle's command before its OK.
    ASSERT_TRUE(wait_until([&] { return !IsWindow(box.hwnd); }, 10000));
    s.settle();

    EXPECT_EQ((long long)kTable, s.folder.file_size(L"recdata.dat"));
    EXPECT_TRUE(s.schedule() == full) << "the file's content changed";
    EXPECT_EQ(40, d.combo_count(IDC_NAME_LIST));
    EXPECT_EQ(39, d.combo_selection(IDC_NAME_LIST));
    EXPECT_TRUE(d.enabled(IDC_OPEN_CONDITIONS));
}

TEST(Form, RepeatModeListSwitchesTheWeeklyControls) {
    Session s(L"form-mode", five_reservations());
    ASSERT_NE(nullptr, s.main);
    Dialog d = s.dialog();
    ASSERT_EQ(2, d.combo_count(IDC_REPEAT_MODE));
    EXPECT_EQ(L"一回だけ録画", d.combo_item(IDC_REPEAT_MODE, 0));
    EXPECT_EQ(L"毎週録画", d.combo_item(IDC_REPEAT_MODE, 1));
    EXPECT_EQ(0, d.combo_selection(IDC_REPEAT_MODE));
    expect_weekly_controls(s, false);

    d.select_combo(IDC_REPEAT_MODE, 1);
    expect_weekly_controls(s, true);
    d.click(IDC_WEEKDAY_WED);
    d.select_combo(IDC_REPEAT_MODE, 0);
    expect_weekly_controls(s, false);
    EXPECT_TRUE(d.checked(IDC_WEEKDAY_WED)) << "disabling keeps the boxes' contents";
    // Closing the list without a new pick switches too.
    SendMessageTimeoutW(d.item(IDC_REPEAT_MODE), CB_SETCURSEL, 1, 0, SMTO_NORMAL, 5000, nullptr);
    ASSERT_TRUE(d.command(IDC_REPEAT_MODE, CBN_CLOSEUP));
    expect_weekly_controls(s, true);
    // Other notifications of the list are ignored.
    SendMessageTimeoutW(d.item(IDC_REPEAT_MODE), CB_SETCURSEL, 0, 0, SMTO_NORMAL, 5000, nullptr);
    ASSERT_TRUE(d.command(IDC_REPEAT_MODE, CBN_SETFOCUS));
    expect_weekly_controls(s, true);
}

TEST(Form, DatePickersKeepToTheCenturyOfTheStoredYear) {
    Session s(L"form-range", five_reservations());
    ASSERT_NE(nullptr, s.main);
    for (int n : {0, 2}) {
        SYSTEMTIME range[2];
        std::memset(range, 0, sizeof(range));
        ASSERT_EQ((DWORD)(GDTR_MIN | GDTR_MAX), picker_range(s.dialog().picker(n), range)) << n;
        EXPECT_EQ(2000, range[0].wYear);
        EXPECT_EQ(1, range[0].wMonth);
        EXPECT_EQ(1, range[0].wDay);
        EXPECT_EQ(2099, range[1].wYear);
        EXPECT_EQ(12, range[1].wMonth);
        EXPECT_EQ(31, range[1].wDay);
    }
}

TEST(Form, UpdateWithNothingSelectedWritesNothing) {
    // Bytes after the table: any save would cut them off.
    const std::string longer = five_reservations() + "TAIL";
    Session s(L"form-no-selection", longer);
    ASSERT_NE(nullptr, s.main);
    Dialog d = s.dialog();
    EXPECT_EQ(-1, d.combo_selection(IDC_NAME_LIST));
    d.set_text(IDC_NAME_LIST, L"新番組");
    ASSERT_TRUE(d.command(IDC_UPDATE));
    s.settle();
    MessageBoxSeen box;
    EXPECT_FALSE(wait_message_box(s.tavrel.pid(), 1000, &box)) << "no message";
    EXPECT_TRUE(s.tavrel.running());
    EXPECT_TRUE(s.schedule() == longer) << "the file was rewritten";
    EXPECT_EQ(5, d.combo_count(IDC_NAME_LIST));
}

TEST(Form, ARecordWithAnUnknownModeIsStoredAsOnceOnly) {
    std::string file = five_reservations();
    put32(file, 3 * kRecord + 52, 7);  // slot 3: neither list entry
    Session s(L"form-unknown-mode", file);
    ASSERT_NE(nullptr, s.main);
    Dialog d = s.dialog();
    d.select_combo(IDC_NAME_LIST, 3);
    EXPECT_EQ(-1, d.combo_selection(IDC_REPEAT_MODE));
    ASSERT_TRUE(d.command(IDC_UPDATE));
    std::string saved = s.schedule();
    // Once only, 06:30 to 06:45: the end date is the start date.
    EXPECT_RECORD(record("天気", "030301", "030301", "063000", "064500", 0, 0x7F, 0x3080FF),
                  slot(saved, 3));
}

}  // namespace
