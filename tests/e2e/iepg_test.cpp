// Reservations in one step, in tavrel.exe from outside: an iEPG file handed over by a
// second instance (as a browser starts one), a full table that takes nothing, and a
// reservation deleted through the system menu.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "tests/e2e/driver.h"

namespace {

using namespace e2e;

const long long kDay = 24LL * 3600 * 1000;

// A version-1 iEPG text for a programme on the day of ms, 21:00 to 22:00.
std::string iepg_file(long long ms, const char* title) {
    const SYSTEMTIME d = from_ms(ms);
    char text[512];
    std::snprintf(text, sizeof(text),
                  "Content-type: application/x-tv-program-info; charset=shift_jis\r\n"
                  "version: 1\r\nstation: NHK\r\nyear: %d\r\nmonth: %02d\r\ndate: %02d\r\n"
                  "start: 21:00\r\nend: 22:00\r\nprogram-title: %s\r\n\r\n番組の説明\r\n",
                  d.wYear, d.wMonth, d.wDay, title);
    return text;
}

// recdata.dat as a table; false when it is not whole.
bool read_table(const CaptureFolder& folder, ReservationTable* table) {
    const std::string bytes = folder.read_file(L"recdata.dat");
    if (bytes.size() != sizeof(ReservationTable)) return false;
    std::memcpy(table, bytes.data(), sizeof(ReservationTable));
    return true;
}

TEST(Iepg, ASecondInstanceHandsTheFileOverWithoutAWindow) {
    CaptureFolder folder(L"iepg-handover");
    ReservationTable table = default_table();
    once_only(table.slots[0], "News", local_now() + 3 * kDay, local_now() + 3 * kDay + 600000);
    ASSERT_TRUE(folder.write_schedule(table));
    Process tavrel;
    ASSERT_NE(nullptr, start_tavrel(tavrel, folder));

    const long long tomorrow = local_now() + kDay;
    ASSERT_TRUE(folder.write_file(L"guide.tvpi", iepg_file(tomorrow, "夜のドラマ")));
    Process second;
    ASSERT_TRUE(second.start(tavrel_exe(), folder.path(), L"\"" + folder.file(L"guide.tvpi") + L"\""));
    bool window = false;
    DWORD code = 1;
    ASSERT_TRUE(wait_until(
        [&] {
            for (const WindowInfo& w : list_windows(second.pid())) window = window || w.visible;
            return !second.running();
        },
        60000, 50));
    ASSERT_TRUE(second.wait_exit(1000, &code));
    EXPECT_EQ(0u, code);
    EXPECT_FALSE(window) << "the second instance showed a window";
    // Its bytes were taken at its start: the browser may delete the file at once.
    EXPECT_TRUE(DeleteFileW(folder.file(L"guide.tvpi").c_str()));

    ASSERT_TRUE(wait_until([&] { return read_table(folder, &table) && table.slots[1].name[0] != '\0'; }, 20000));
    const Reservation& r = table.slots[1];
    const SYSTEMTIME d = from_ms(tomorrow);
    char date[8];
    std::snprintf(date, sizeof(date), "%02d%02d%02d", d.wYear % 100, d.wMonth, d.wDay);
    EXPECT_STREQ("夜のドラマ", r.name);
    EXPECT_STREQ(date, r.start_date);
    EXPECT_STREQ(date, r.end_date);
    EXPECT_STREQ("210000", r.start_time);
    EXPECT_STREQ("220000", r.end_time);
    EXPECT_EQ(0, r.repeat_mode);
    EXPECT_EQ(0x5454FFu, r.colour);
    EXPECT_NE(std::string::npos, folder.read_file(L"tavrel.log").find("\t予約追加\t2\t夜のドラマ\t"));
}

TEST(Iepg, AFullTableTakesNothingAndItsFileStaysAsItWas) {
    CaptureFolder folder(L"iepg-full");
    ReservationTable table = default_table();
    for (int i = 0; i < kMaxReservations; ++i) {
        char name[8];
        std::snprintf(name, sizeof(name), "r%d", i + 1);
        once_only(table.slots[i], name, local_now() + 3 * kDay + i * 3600000LL, local_now() + 3 * kDay + i * 3600000LL + 600000);
    }
    ASSERT_TRUE(folder.write_schedule(table));
    const std::string before = folder.read_file(L"recdata.dat");
    ASSERT_TRUE(folder.write_file(L"guide.tvpi", iepg_file(local_now() + kDay, "Late show")));
    // Not running yet: started elsewhere, as a browser starts it through the association,
    // it makes /dir its folder first, starts as usual and imports the file after start-up.
    Process tavrel;
    ASSERT_TRUE(tavrel.start(tavrel_exe(), folder.file(L"Samples"),
                             L"/dir \"" + folder.path() + L"\" \"" + folder.file(L"guide.tvpi") + L"\""));
    MessageBoxSeen box;
    ASSERT_TRUE(wait_message_box(tavrel.pid(), 30000, &box));
    EXPECT_EQ(L"iEPGの読み込み", box.caption);
    press_ok(box.hwnd);
    EXPECT_TRUE(wait_until([&] { return !IsWindow(box.hwnd); }, 5000));
    EXPECT_EQ(before, folder.read_file(L"recdata.dat"));
    EXPECT_EQ(std::string::npos, folder.read_file(L"tavrel.log").find("\t予約追加\t"));
}

// A value of HKCU\Software\Classes, "" when there is none.
std::wstring class_value(const wchar_t* key, const wchar_t* name = nullptr) {
    wchar_t value[1024] = L"";
    DWORD size = sizeof(value);
    std::wstring path = std::wstring(L"Software\\Classes\\") + key;
    if (RegGetValueW(HKEY_CURRENT_USER, path.c_str(), name, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS)
        return L"";
    return value;
}

TEST(Iepg, DeleteAndAssociateThroughTheSystemMenu) {
    CaptureFolder folder(L"iepg-delete");
    ReservationTable table = default_table();
    const char* names[5] = {"A", "B", "C", "", "hidden"};
    for (int i = 0; i < 5; ++i) {
        once_only(table.slots[i], names[i], local_now() + 3 * kDay + i * 3600000LL,
                  local_now() + 3 * kDay + i * 3600000LL + 600000);
        table.slots[i].after_action = (std::uint8_t)(i == 4 ? 2 : 0);
    }
    ASSERT_TRUE(folder.write_schedule(table));
    Process tavrel;
    HWND main = start_tavrel(tavrel, folder);
    ASSERT_NE(nullptr, main);
    Dialog d(main);
    MessageBoxSeen box;
    // Nothing selected: it says what to do.
    PostMessageW(main, WM_SYSCOMMAND, IDM_DELETE, 0);
    ASSERT_TRUE(wait_message_box(tavrel.pid(), 10000, &box));
    EXPECT_EQ(L"予約の削除", box.caption);
    EXPECT_EQ(L"削除する予約を名前の一覧で選んでください", box.text);
    press_ok(box.hwnd);
    ASSERT_TRUE(wait_until([&] { return !IsWindow(box.hwnd); }, 5000));

    d.select_combo(IDC_NAME_LIST, 1);
    PostMessageW(main, WM_SYSCOMMAND, IDM_DELETE, 0);
    ASSERT_TRUE(wait_message_box(tavrel.pid(), 10000, &box));
    EXPECT_EQ(L"「B」を削除しますか？", box.text);
    PostMessageW(box.hwnd, WM_COMMAND, MAKEWPARAM(IDYES, BN_CLICKED), (LPARAM)GetDlgItem(box.hwnd, IDYES));
    ASSERT_TRUE(wait_until([&] { return read_table(folder, &table) && std::strcmp(table.slots[1].name, "C") == 0; },
                           10000));
    // The hidden one moved up with the rest, and the freed last slot holds nothing of it.
    EXPECT_STREQ("hidden", table.slots[3].name);
    EXPECT_EQ(2, table.slots[3].after_action);
    EXPECT_STREQ("", table.slots[4].name);
    EXPECT_EQ(0, table.slots[4].after_action);
    EXPECT_EQ(2, d.combo_count(IDC_NAME_LIST));
    EXPECT_NE(std::string::npos, folder.read_file(L"tavrel.log").find("\t予約削除\t2\tB\t"));

    // For the current user; a second time changes nothing.
    for (int round = 0; round < 2; ++round) {
        PostMessageW(main, WM_SYSCOMMAND, IDM_ASSOCIATE, 0);
        ASSERT_TRUE(wait_message_box(tavrel.pid(), 10000, &box));
        EXPECT_EQ(L"iEPGの関連付け", box.caption);
        EXPECT_EQ(0u, box.text.find(L"iEPGファイル(.tvpi, .tvpid)をTavrelで開くように登録しました"));
        press_ok(box.hwnd);
        ASSERT_TRUE(wait_until([&] { return !IsWindow(box.hwnd); }, 5000));
        EXPECT_EQ(L"Tavrel.iEPG", class_value(L".tvpi"));
        EXPECT_EQ(L"Tavrel.iEPG", class_value(L".tvpid"));
        EXPECT_EQ(L"\"" + tavrel_exe() + L"\" /dir \"" + folder.path() + L"\" \"%1\"",
                  class_value(L"Tavrel.iEPG\\shell\\open\\command"));
        EXPECT_EQ(L".tvpi", class_value(L"MIME\\Database\\Content Type\\application/x-multi-tv-program-info",
                                        L"Extension"));
    }
}

}  // namespace
