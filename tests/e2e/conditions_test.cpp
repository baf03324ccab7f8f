// The recording conditions dialog inside tavrel.exe, worked from outside: what it shows for
// the selected reservation, what "更新" stores (saved by "予約更新" into "recdata.dat"), the
// three ways of closing it without storing, and the MPEG-1 check box.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <string>

#include "tests/e2e/driver.h"

namespace {

using namespace e2e;

void set_field(char* field, std::size_t size, const char* text) {
    std::memset(field, 0, size);
    std::size_t n = std::strlen(text);
    std::memcpy(field, text, n < size ? n : size - 1);
}

// A table whose slot 0 is a weekly reservation that never falls due while the test runs
// (its period ended long ago), so no recording takes the dialog's place.
ReservationTable one_reservation() {
    ReservationTable table = default_table();
    Reservation& r = table.slots[0];
    set_field(r.name, sizeof(r.name), "ドラマ");
    set_field(r.start_date, sizeof(r.start_date), "030101");
    set_field(r.end_date, sizeof(r.end_date), "030102");
    set_field(r.start_time, sizeof(r.start_time), "210000");
    set_field(r.end_time, sizeof(r.end_time), "220000");
    r.repeat_mode = 1;
    r.weekday_mask = 64;
    return table;
}

HWND find_conditions_dialog(DWORD pid) {
    for (const WindowInfo& w : list_windows(pid))
        if (w.visible && w.class_name == L"#32770" && w.title == L"細部設定") return w.hwnd;
    return nullptr;
}

// tavrel.exe in a capture folder of its own, with reservation 0 selected in the name list.
struct Session {
    CaptureFolder folder;
    Process tavrel;
    HWND main = nullptr;

    Session(const wchar_t* name, const ReservationTable& table, int content = CaptureFolder::kAll)
        : folder(name, content) {
        folder.write_schedule(table);
        main = start_tavrel(tavrel, folder);
        if (!main) return;
        Dialog(main).select_combo(IDC_NAME_LIST, 0);
    }

    HWND open_conditions() const {
        Dialog(main).post_command(IDC_OPEN_CONDITIONS);
        HWND found = nullptr;
        wait_until([&] { return (found = find_conditions_dialog(tavrel.pid())) != nullptr; },
                   15000);
        return found;
    }

    Reservation saved_slot0() const {
        EXPECT_TRUE(Dialog(main).command(IDC_UPDATE));
        Reservation r;
        std::memset(&r, 0xEE, sizeof(r));
        std::string bytes = folder.read_file(L"recdata.dat");
        EXPECT_EQ(sizeof(ReservationTable), bytes.size());
        if (bytes.size() >= sizeof(r)) std::memcpy(&r, bytes.data(), sizeof(r));
        return r;
    }
};

bool closed(HWND window) {
    return wait_until([&] { return !IsWindow(window); }, 10000);
}

// The recording-condition bytes of a record: everything but the form's own fields and the
// colour.
std::string condition_bytes(const Reservation& r) {
    const char* p = (const char*)&r;
    return std::string(p + 56, 20) + std::string(p + 80, 147);
}

TEST(ConditionsDialog, ShowsTheRecordChangesEveryControlAndStores) {
    Session s(L"conditions-store", one_reservation());
    ASSERT_NE(nullptr, s.main);
    ASSERT_TRUE(Dialog(s.main).enabled(IDC_OPEN_CONDITIONS));
    HWND hwnd = s.open_conditions();
    ASSERT_NE(nullptr, hwnd);
    Dialog d(hwnd);
    EXPECT_EQ(s.main, GetWindow(hwnd, GW_OWNER));

    // The default record as shown.
    EXPECT_EQ(L"40", d.text(IDC_VIDEO_BITRATE));
    ASSERT_EQ(2, d.combo_count(IDC_SAMPLE_RATE));
    EXPECT_EQ(L"48.0Khz", d.combo_item(IDC_SAMPLE_RATE, d.combo_selection(IDC_SAMPLE_RATE)));
    ASSERT_EQ(5, d.combo_count(IDC_AUDIO_BITRATE));
    EXPECT_EQ(L"384Kbps", d.combo_item(IDC_AUDIO_BITRATE, d.combo_selection(IDC_AUDIO_BITRATE)));
    ASSERT_EQ(9, d.combo_count(IDC_RECORD_SIZE));
    EXPECT_EQ(L"720x480 pixel/inch", d.combo_item(IDC_RECORD_SIZE, d.combo_selection(IDC_RECORD_SIZE)));
    EXPECT_EQ(L"320x480 pixel/inch", d.combo_item(IDC_RECORD_SIZE, 8));  // unsorted, by position
    ASSERT_EQ(7, d.combo_count(IDC_GOP_PATTERN));
    EXPECT_EQ(L"IBBPBBPBBPBBPBB(標準)", d.combo_item(IDC_GOP_PATTERN, d.combo_selection(IDC_GOP_PATTERN)));
    ASSERT_EQ(5, d.combo_count(IDC_AFTER_ACTION));
    EXPECT_EQ(L"なにもしない", d.combo_item(IDC_AFTER_ACTION, d.combo_selection(IDC_AFTER_ACTION)));
    EXPECT_EQ(L"スタンバイする", d.combo_item(IDC_AFTER_ACTION, 4));
    EXPECT_EQ(L"0", d.text(IDC_AFTER_DELAY));
    EXPECT_EQ(L"127", d.text(IDC_BRIGHTNESS));
    EXPECT_EQ(L"70", d.text(IDC_CONTRAST));
    EXPECT_EQ(L"67", d.text(IDC_SATURATION));
    EXPECT_EQ(L"0", d.text(IDC_HUE));
    EXPECT_EQ(L"", d.text(IDC_MOVE_FOLDER));
    EXPECT_EQ(L"0", d.text(IDC_FOLDER_LENGTH));
    for (int id : {IDC_VBR, IDC_USE_CONDITIONS, IDC_USE_QUALITY, IDC_MOVE_AFTER_RECORD, IDC_MPEG1,
                   IDC_CHANGE_FORMAT, IDC_USE_GOP, IDC_FORMAT_PS, IDC_FORMAT_VES_AES, IDC_FORMAT_VES,
                   IDC_FORMAT_AVI})
        EXPECT_FALSE(d.checked(id)) << id;
    EXPECT_TRUE(d.enabled(IDC_MPEG1));  // KROTX1.exe and Krotx1.ini are in the folder
    DWORD_PTR range = 0;
    SendMessageTimeoutW(d.item(IDC_BITRATE_SPIN), UDM_GETRANGE, 0, 0, SMTO_NORMAL, 5000, &range);
    EXPECT_EQ(20, (int)HIWORD(range));
    EXPECT_EQ(150, (int)LOWORD(range));

    // Every control changed.
    d.set_text(IDC_VIDEO_BITRATE, L"75");
    d.click(IDC_VBR);
    d.select_combo(IDC_AUDIO_BITRATE, 1);
    d.select_combo(IDC_SAMPLE_RATE, 0);
    d.select_combo(IDC_RECORD_SIZE, 3);
    d.click(IDC_USE_CONDITIONS);
    d.click(IDC_USE_QUALITY);
    d.click(IDC_MOVE_AFTER_RECORD);
    d.set_text(IDC_BRIGHTNESS, L"300");
    d.set_text(IDC_CONTRAST, L"12");
    d.set_text(IDC_SATURATION, L"200");
    d.set_text(IDC_HUE, L"45");
    d.set_text(IDC_MOVE_FOLDER, L"D:\\録画\\ドラマ");
    EXPECT_EQ(L"14", d.text(IDC_FOLDER_LENGTH));  // 3 + 4 + 1 + 6 bytes
    d.select_combo(IDC_AFTER_ACTION, 2);
    d.set_text(IDC_AFTER_DELAY, L"300");
    d.click(IDC_CHANGE_FORMAT);
    d.click(IDC_FORMAT_VES);
    d.click(IDC_USE_GOP);
    d.select_combo(IDC_GOP_PATTERN, 5);
    d.click(IDC_STORE);
    ASSERT_TRUE(closed(hwnd));

    Reservation r = s.saved_slot0();
    EXPECT_STREQ("ドラマ", r.name);
    EXPECT_EQ(7500000, r.video_bitrate);
    EXPECT_EQ(1, r.vbr);
    EXPECT_EQ(224, r.audio_bitrate);
    EXPECT_EQ(44100, r.audio_sample_rate);
    EXPECT_EQ(3, r.record_size_index);
    EXPECT_EQ(1, r.use_conditions);
    EXPECT_EQ(1, r.use_quality);
    EXPECT_EQ(1, r.move_after_record);
    EXPECT_EQ(255, r.brightness);
    EXPECT_EQ(12, r.contrast);
    EXPECT_EQ(127, r.saturation);
    EXPECT_EQ(45, r.hue);
    EXPECT_STREQ("D:\\録画\\ドラマ", r.move_folder);
    EXPECT_EQ(2, r.after_action);
    EXPECT_EQ(300, r.after_delay);
    EXPECT_EQ(3, r.stream_format);
    EXPECT_EQ(1, r.use_gop);
    EXPECT_EQ(5, r.gop_pattern);
    EXPECT_EQ(0, r.mpeg1);

    // Reopened, it shows what was stored; long numbers and a long folder are limited.
    hwnd = s.open_conditions();
    ASSERT_NE(nullptr, hwnd);
    d = Dialog(hwnd);
    EXPECT_EQ(L"75", d.text(IDC_VIDEO_BITRATE));
    EXPECT_EQ(L"224Kbps", d.combo_item(IDC_AUDIO_BITRATE, d.combo_selection(IDC_AUDIO_BITRATE)));
    EXPECT_EQ(L"544x480 pixel/inch", d.combo_item(IDC_RECORD_SIZE, d.combo_selection(IDC_RECORD_SIZE)));
    EXPECT_EQ(L"IPP", d.combo_item(IDC_GOP_PATTERN, d.combo_selection(IDC_GOP_PATTERN)));
    EXPECT_EQ(L"14", d.text(IDC_FOLDER_LENGTH));
    EXPECT_TRUE(d.checked(IDC_FORMAT_VES));
    EXPECT_TRUE(d.checked(IDC_CHANGE_FORMAT));
    d.set_text(IDC_VIDEO_BITRATE, L"99999999999999999999");
    d.set_text(IDC_BRIGHTNESS, L"99999999999999");
    d.set_text(IDC_AFTER_DELAY, L"99999999999999999999");
    // 130 bytes: 62 double-byte characters and six ASCII ones.
    std::wstring folder = L"C:\\";
    for (int i = 0; i < 62; ++i) folder += L"録";
    folder += L"\\ab";
    d.set_text(IDC_MOVE_FOLDER, folder);
    EXPECT_EQ(L"130", d.text(IDC_FOLDER_LENGTH));
    d.set_text(IDC_MOVE_FOLDER, std::wstring(300, L'x'));  // longer than the counter reads
    EXPECT_EQ(L"254", d.text(IDC_FOLDER_LENGTH));
    d.set_text(IDC_MOVE_FOLDER, folder);
    d.click(IDC_CHANGE_FORMAT);  // format unchecked: 0 whatever radio button is chosen
    d.click(IDC_STORE);
    ASSERT_TRUE(closed(hwnd));

    r = s.saved_slot0();
    EXPECT_EQ(15000000, r.video_bitrate);
    EXPECT_EQ(255, r.brightness);
    EXPECT_EQ(2147483647, r.after_delay);
    EXPECT_EQ(0, r.stream_format);
    std::string stored(r.move_folder);
    EXPECT_EQ(125u, stored.size());  // 126 would split the 62nd character
    EXPECT_EQ(std::string("C:\\"), stored.substr(0, 3));
}

TEST(ConditionsDialog, ClosingWithoutStoringChangesNothing) {
    ReservationTable table = one_reservation();
    table.slots[0].after_delay = 300;
    table.slots[0].stream_format = 2;
    Session s(L"conditions-cancel", table);
    ASSERT_NE(nullptr, s.main);
    const std::string before = condition_bytes(table.slots[0]);

    enum Way { kButton, kEscape, kEnterInEdit };
    for (Way way : {kButton, kEscape, kEnterInEdit}) {
        SCOPED_TRACE(way);
        HWND hwnd = s.open_conditions();
        ASSERT_NE(nullptr, hwnd);
        Dialog d(hwnd);
        EXPECT_EQ(L"300", d.text(IDC_AFTER_DELAY));
        EXPECT_TRUE(d.checked(IDC_FORMAT_VES_AES));
        EXPECT_EQ(L"127", d.text(IDC_BRIGHTNESS));
        d.set_text(IDC_BRIGHTNESS, L"5");
        d.set_text(IDC_VIDEO_BITRATE, L"100");
        d.select_combo(IDC_AFTER_ACTION, 3);
        d.click(IDC_VBR);
        d.click(IDC_FORMAT_AVI);
        if (way == kButton) {
            d.click(IDC_DONT_STORE);
        } else if (way == kEscape) {
            d.press_escape();
        } else {
            // Enter in an edit presses the default push button, "更新しない".
            PostMessageW(d.item(IDC_BRIGHTNESS), WM_KEYDOWN, VK_RETURN, 0x001C0001);
            PostMessageW(d.item(IDC_BRIGHTNESS), WM_KEYUP, VK_RETURN, 0xC01C0001);
        }
        ASSERT_TRUE(closed(hwnd));
    }
    Reservation r = s.saved_slot0();
    EXPECT_EQ(before, condition_bytes(r));
}

TEST(ConditionsDialog, Mpeg1WithoutItsSettingsFileIsDisabled) {
    ReservationTable table = one_reservation();
    table.slots[0].mpeg1 = 1;
    table.slots[0].record_size_index = 7;
    table.slots[0].audio_bitrate = 128;  // none of the five
    Session s(L"conditions-no-mpeg1", table);
    ASSERT_NE(nullptr, s.main);
    ASSERT_TRUE(DeleteFileW(s.folder.file(L"Krotx1.ini").c_str()));
    ASSERT_TRUE(s.folder.exists(L"KROTX1.exe"));

    HWND hwnd = s.open_conditions();
    ASSERT_NE(nullptr, hwnd);
    Dialog d(hwnd);
    EXPECT_FALSE(d.enabled(IDC_MPEG1));
    EXPECT_FALSE(d.checked(IDC_MPEG1));
    // The lists still follow the stored flag: the 240-line sizes, size 7 shown as the first.
    ASSERT_EQ(5, d.combo_count(IDC_RECORD_SIZE));
    EXPECT_EQ(L"480x240 pixel/inch", d.combo_item(IDC_RECORD_SIZE, d.combo_selection(IDC_RECORD_SIZE)));
    EXPECT_EQ(0, d.combo_count(IDC_GOP_PATTERN));
    EXPECT_EQ(-1, d.combo_selection(IDC_AUDIO_BITRATE));
    d.click(IDC_STORE);
    ASSERT_TRUE(closed(hwnd));

    Reservation r = s.saved_slot0();
    EXPECT_EQ(0, r.mpeg1);
    EXPECT_EQ(0, r.record_size_index);
    EXPECT_EQ(255, r.gop_pattern);
    EXPECT_EQ(128, r.audio_bitrate);  // kept: the list had no selection
}

TEST(ConditionsDialog, Mpeg1BoxRefillsTheListsFromTheStoredRecord) {
    ReservationTable table = one_reservation();
    table.slots[0].mpeg1 = 1;
    table.slots[0].record_size_index = 2;
    table.slots[0].gop_pattern = 4;
    Session s(L"conditions-mpeg1", table);
    ASSERT_NE(nullptr, s.main);

    HWND hwnd = s.open_conditions();
    ASSERT_NE(nullptr, hwnd);
    Dialog d(hwnd);
    EXPECT_TRUE(d.enabled(IDC_MPEG1));
    EXPECT_TRUE(d.checked(IDC_MPEG1));
    EXPECT_EQ(L"320x240 pixel/inch", d.combo_item(IDC_RECORD_SIZE, d.combo_selection(IDC_RECORD_SIZE)));
    EXPECT_EQ(0, d.combo_count(IDC_GOP_PATTERN));

    // Changes to the bit rate and the lists are dropped by the refill.
    d.set_text(IDC_VIDEO_BITRATE, L"99");
    d.select_combo(IDC_AUDIO_BITRATE, 0);
    d.click(IDC_MPEG1);  // now MPEG-2
    EXPECT_FALSE(d.checked(IDC_MPEG1));
    ASSERT_EQ(9, d.combo_count(IDC_RECORD_SIZE));
    EXPECT_EQ(L"640x480 pixel/inch", d.combo_item(IDC_RECORD_SIZE, d.combo_selection(IDC_RECORD_SIZE)));
    EXPECT_EQ(L"40", d.text(IDC_VIDEO_BITRATE));
    EXPECT_EQ(L"384Kbps", d.combo_item(IDC_AUDIO_BITRATE, d.combo_selection(IDC_AUDIO_BITRATE)));
    ASSERT_EQ(7, d.combo_count(IDC_GOP_PATTERN));
    EXPECT_EQ(-1, d.combo_selection(IDC_GOP_PATTERN));
    d.select_combo(IDC_GOP_PATTERN, 1);
    d.click(IDC_MPEG1);  // back to MPEG-1: the GOP list stays as it is
    ASSERT_EQ(5, d.combo_count(IDC_RECORD_SIZE));
    EXPECT_EQ(1, d.combo_selection(IDC_GOP_PATTERN));
    d.click(IDC_STORE);
    ASSERT_TRUE(closed(hwnd));

    Reservation r = s.saved_slot0();
    EXPECT_EQ(1, r.mpeg1);
    EXPECT_EQ(2, r.record_size_index);
    EXPECT_EQ(1, r.gop_pattern);

    // Opened once more, with MPEG-1 set the GOP list is empty: "更新" stores 255.
    hwnd = s.open_conditions();
    ASSERT_NE(nullptr, hwnd);
    d = Dialog(hwnd);
    EXPECT_EQ(0, d.combo_count(IDC_GOP_PATTERN));
    d.click(IDC_STORE);
    ASSERT_TRUE(closed(hwnd));
    EXPECT_EQ(255, s.saved_slot0().gop_pattern);
}

TEST(ConditionsDialog, NoReservationSelectedOpensNothing) {
    CaptureFolder folder(L"conditions-none");
    ASSERT_TRUE(folder.write_schedule(one_reservation()));
    Process tavrel;
    HWND main = start_tavrel(tavrel, folder);
    ASSERT_NE(nullptr, main);
    EXPECT_FALSE(Dialog(main).enabled(IDC_OPEN_CONDITIONS));
    // The command anyway, as if the button had been pressed: the dialog ends at once.
    ASSERT_TRUE(Dialog(main).command(IDC_OPEN_CONDITIONS, 0, 15000));
    EXPECT_EQ(nullptr, find_conditions_dialog(tavrel.pid()));
    EXPECT_TRUE(tavrel.running());
}

}  // namespace
