// One unattended recording in real time: a once-only reservation is added through the form
// and the recording conditions dialog, falls due a minute before its start, and is
// recorded by the stand-in capture application, stopped, closed and moved. The stand-in's
// log, the settings file, the recorded file and the main dialog's panel on the screen are
// checked against the fixed waits of the sequences: 13 s after the launch, 42 s before
// the record command, 15 s between stop and close, 3 s after the move.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tests/e2e/driver.h"

namespace {

using namespace e2e;

const COLORREF kYellow = 0x54FCFC;  // status lines
const COLORREF kBlack = 0x000000;
const COLORREF kFrame = 0x909090;
const COLORREF kInnerBand = 0xFCFCFC;
const COLORREF kHourLine = 0xFF5454;
const COLORREF kBarColour = 0x5454FF;  // the form's colour when none was chosen
const COLORREF kMovedLine = 0xB4FFB4;  // "ファイルを移動しました"

// Every key the program writes, each with a value that the reservation below changes, and
// two lines it must carry through untouched.
const char* const kSettingsBefore =
    "; capture settings\r\n"
    "[Encoder]\r\n"
    "dwVideoBitrate=4000000\r\n"
    "dwAudioBitrate=384\r\n"
    "dwAudioSampleFreq=48000\r\n"
    "HRes=0\r\n"
    "m_bIsVBR=0\r\n"
    "[Picture]\r\n"
    "Brightness=127\r\n"
    "Contrast=70\r\n"
    "Saturation=67\r\n"
    "Hue=0\r\n"
    "[Stream]\r\n"
    "OMODE=2\r\n"
    "IsEs=3\r\n"
    "MPeriod=3\r\n"
    "m_NNtsc=15\r\n"
    "Volume=12\r\n";

// The same file with the reservation's values: bit rate 65 x 100000, 256 kbit/s, 44.1 kHz,
// record size entry 4, VBR; brightness 100, contrast 80, saturation 50, hue 10;
// "MPEG2(VES-AES)" (OMODE 0, IsEs 2); GOP "IPP" (MPeriod 1, m_NNtsc 3).
const char* const kSettingsAfter =
    "; capture settings\r\n"
    "[Encoder]\r\n"
    "dwVideoBitrate=6500000\r\n"
    "dwAudioBitrate=256\r\n"
    "dwAudioSampleFreq=44100\r\n"
    "HRes=4\r\n"
    "m_bIsVBR=1\r\n"
    "[Picture]\r\n"
    "Brightness=100\r\n"
    "Contrast=80\r\n"
    "Saturation=50\r\n"
    "Hue=10\r\n"
    "[Stream]\r\n"
    "OMODE=0\r\n"
    "IsEs=2\r\n"
    "MPeriod=1\r\n"
    "m_NNtsc=3\r\n"
    "Volume=12\r\n";

std::string six_digits(int a, int b, int c) {
    char buf[8];
    std::snprintf(buf, sizeof(buf), "%02d%02d%02d", a % 100, b, c);
    return buf;
}

// ---- the stand-in's log ----

// When the first line holding " KROTX2.exe <what>" was written; -1 when there is none.
long long logged_at(const std::string& log, const std::string& what) {
    size_t at = log.find(" KROTX2.exe " + what);
    if (at == std::string::npos) return -1;
    size_t line = log.rfind('\n', at);
    line = line == std::string::npos ? 0 : line + 1;
    SYSTEMTIME t = {};
    int y, mo, d, h, mi, s, ms;
    if (std::sscanf(log.c_str() + line, "%4d-%2d-%2d %2d:%2d:%2d.%3d", &y, &mo, &d, &h, &mi, &s,
                    &ms) != 7)
        return -1;
    t.wYear = (WORD)y;
    t.wMonth = (WORD)mo;
    t.wDay = (WORD)d;
    t.wHour = (WORD)h;
    t.wMinute = (WORD)mi;
    t.wSecond = (WORD)s;
    t.wMilliseconds = (WORD)ms;
    return to_ms(t);
}

// The text after "<what>" up to the line's end.
std::string logged_rest(const std::string& log, const std::string& what) {
    std::string key = " KROTX2.exe " + what;
    size_t at = log.find(key);
    if (at == std::string::npos) return "";
    at += key.size();
    return log.substr(at, log.find("\r\n", at) - at);
}

// ---- the panel on the screen ----

// The main dialog's client area in a screenshot.
struct Client {
    const Screenshot& shot;
    POINT origin;
    Client(const Screenshot& s, HWND dialog) : shot(s), origin{0, 0} {
        ClientToScreen(dialog, &origin);
    }
    COLORREF at(int x, int y) const { return shot.pixel(origin.x + x, origin.y + y); }
    int count(COLORREF colour, int x0, int y0, int x1, int y1) const {
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) n += at(x, y) == colour;
        return n;
    }
};

// Yellow text is smoothed into black: its edge pixels are darker shades of the same yellow
// (red = green, blue a third of them).
bool yellow_shade(COLORREF c) {
    int r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
    return c != kBlack && r - g <= 2 && g - r <= 2 && 3 * b - r <= 8 && r - 3 * b <= 8;
}

struct Cell {
    int yellow = 0, shade = 0, other = 0;  // shade: smoothed yellow, not black
    int left = 100000, top = 100000;      // of the pure yellow pixels
};

Cell scan(const Client& client, int x0, int y0, int x1, int y1) {
    Cell cell;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            COLORREF c = client.at(x, y);
            if (c == kYellow) {
                ++cell.yellow;
                if (x < cell.left) cell.left = x;
                if (y < cell.top) cell.top = y;
            }
            if (c == kBlack) continue;
            if (yellow_shade(c))
                ++cell.shade;
            else
                ++cell.other;
        }
    return cell;
}

// The status panel shows lines 0 .. shown-1, yellow text on black in 12-pixel cells at
// x = 20, y = 30 + 15 i, and nothing in the cells after them down to y = 147.
void expect_status_lines(const Client& client, int shown) {
    EXPECT_EQ(kFrame, client.at(8, 100));
    EXPECT_EQ(kFrame, client.at(516, 251));
    EXPECT_EQ(kBlack, client.at(300, 200));
    for (int i = 0; i < 8; ++i) {
        SCOPED_TRACE("status line " + std::to_string(i));
        const int y = 30 + 15 * i;
        Cell cell = scan(client, 20, y, 512, y + 12);
        EXPECT_EQ(0, cell.other);
        if (i < shown) {
            EXPECT_GT(cell.yellow, 30);
            EXPECT_LT(cell.left, 24);  // the text starts at x = 20
            EXPECT_LT(cell.top, y + 4);
        } else {
            EXPECT_EQ(0, cell.shade);
        }
        // Left of the text and in the three pixels between two lines: black only.
        Cell margin = scan(client, 11, y, 20, y + 12);
        EXPECT_EQ(0, margin.shade + margin.other);
        Cell gap = scan(client, 11, y + 12, 512, y + 15);
        EXPECT_EQ(0, gap.shade + gap.other);
    }
}

// Lines 0 .. shown-1 are up, and none after them: what expect_status_lines then checks.
bool shows_status_lines(const Client& client, int shown) {
    const int last = 30 + 15 * (shown - 1), next = last + 15;
    return scan(client, 20, last, 512, last + 12).yellow > 30 &&
           scan(client, 20, next, 512, next + 12).shade == 0;
}

// With TAVREL_E2E_KEEP set, the screenshots stay in the kept capture folder.
void keep_shot(const CaptureFolder& folder, const Screenshot& shot, const wchar_t* name) {
    if (std::getenv("TAVREL_E2E_KEEP")) shot.save_bmp(folder.file(name));
}

HWND find_conditions_dialog(DWORD pid) {
    for (const WindowInfo& w : list_windows(pid))
        if (w.visible && w.class_name == L"#32770" && w.title == L"細部設定") return w.hwnd;
    return nullptr;
}

// x of h:m on the timetable's axis: trunc(left + h W + m W / 60 + W / 2), W = 17.8.
int axis_x(int h, int m) {
    return (int)(70 + h * 17.8 + m * 0.016666666666666666 * 17.8 + 0.5 * 17.8);
}

TEST(Scheduler, OnceOnlyRecordingFromTheFormToTheMovedFile) {
    CaptureFolder folder(L"scheduler");
    ASSERT_TRUE(folder.write_schedule(default_table()));
    ASSERT_TRUE(folder.write_file(L"Krotx2.ini", kSettingsBefore));
    const std::wstring move_folder = folder.file(L"録画済み\\ニュース");

    ReferenceWindow reference;  // the capture window, once placed, must end up below it
    Process tavrel;
    HWND main = start_tavrel(tavrel, folder);
    ASSERT_NE(nullptr, main);
    Dialog dialog(main);

    // Start about a minute and a half from now, in whole seconds, for one minute: it falls
    // due half a minute from now.
    const long long start = (local_now() / 1000 + 95) * 1000;
    const long long stop = start + 60000;
    const SYSTEMTIME s = from_ms(start), e = from_ms(stop);

    // The form: name, start date and time, end time, "新規登録".
    const std::wstring name = L"定時ニュース";
    dialog.set_text(IDC_NAME_LIST, name);
    ASSERT_TRUE(dialog.set_picker(dialog.picker(0), s));
    ASSERT_TRUE(dialog.set_picker(dialog.picker(1), s));
    ASSERT_TRUE(dialog.set_picker(dialog.picker(3), e));
    ASSERT_TRUE(dialog.command(IDC_ADD));
    ASSERT_EQ(1, dialog.combo_count(IDC_NAME_LIST));
    ASSERT_TRUE(dialog.enabled(IDC_OPEN_CONDITIONS));

    // The recording conditions dialog: every group enabled, a move folder that does not
    // exist yet (two levels), no power action.
    dialog.post_command(IDC_OPEN_CONDITIONS);
    HWND conditions = nullptr;
    ASSERT_TRUE(wait_until(
        [&] { return (conditions = find_conditions_dialog(tavrel.pid())) != nullptr; }, 15000));
    Dialog c(conditions);
    c.click(IDC_USE_CONDITIONS);
    c.set_text(IDC_VIDEO_BITRATE, L"65");
    c.click(IDC_VBR);
    c.select_combo(IDC_AUDIO_BITRATE, 2);  // 256Kbps
    c.select_combo(IDC_SAMPLE_RATE, 0);  // 44.1Khz
    c.select_combo(IDC_RECORD_SIZE, 4);  // 480x480
    c.click(IDC_USE_QUALITY);
    c.set_text(IDC_BRIGHTNESS, L"100");
    c.set_text(IDC_CONTRAST, L"80");
    c.set_text(IDC_SATURATION, L"50");
    c.set_text(IDC_HUE, L"10");
    c.click(IDC_MOVE_AFTER_RECORD);
    c.set_text(IDC_MOVE_FOLDER, move_folder);
    c.click(IDC_CHANGE_FORMAT);
    c.click(IDC_FORMAT_VES_AES);
    c.click(IDC_USE_GOP);
    c.select_combo(IDC_GOP_PATTERN, 5);  // "IPP"
    c.click(IDC_STORE);
    ASSERT_TRUE(wait_until([&] { return !IsWindow(conditions); }, 10000));
    ASSERT_TRUE(dialog.command(IDC_UPDATE));  // saves the conditions too

    // What the form and the dialog stored.
    std::string bytes = folder.read_file(L"recdata.dat");
    ASSERT_EQ(sizeof(ReservationTable), bytes.size());
    Reservation r;
    std::memcpy(&r, bytes.data(), sizeof(r));
    EXPECT_EQ(six_digits(s.wYear, s.wMonth, s.wDay), std::string(r.start_date));
    EXPECT_EQ(six_digits(s.wHour, s.wMinute, s.wSecond), std::string(r.start_time));
    EXPECT_EQ(six_digits(e.wHour, e.wMinute, e.wSecond), std::string(r.end_time));
    EXPECT_EQ(0, r.repeat_mode);
    EXPECT_EQ(1, r.use_conditions);
    EXPECT_EQ(1, r.use_quality);
    EXPECT_EQ(2, r.stream_format);
    EXPECT_EQ(1, r.use_gop);
    EXPECT_EQ(1, r.move_after_record);
    EXPECT_EQ(0, r.after_action);
    EXPECT_EQ(0, r.after_delay);
    // All this has to be done before the reservation falls due.
    ASSERT_LT(local_now(), start - 63000) << "setting up took too long for the timeline";
    EXPECT_FALSE(folder.exists(L"capture_standin.log"));

    // Launched at the start tick, a minute before the start; its window is placed in the
    // top-left corner after the 13 s wait. Wine keeps a window put at the bottom above the
    // others on the X screen, where it would hide the panel: once placed, and found at the
    // bottom of the z-order, it is moved out of the way.
    HWND capture = nullptr;
    RECT place = {-1, -1, -1, -1};
    ASSERT_TRUE(wait_until(
        [&] {
            capture = find_capture_window();
            // Visible: before its first message the stand-in's dialog exists, hidden, at
            // the template's (0, 0); only the recorder's placement counts.
            return capture && IsWindowVisible(capture) && GetWindowRect(capture, &place) &&
                   place.left == 0 && place.top == 0;
        },
        (int)(start - 30000 - local_now()), 50))
        << "the capture control window was not placed at (0, 0)";
    const long long placed = local_now();
    EXPECT_TRUE(wait_until([&] { return lies_below_windows_of(capture, tavrel.pid()); }, 10000));
    EXPECT_TRUE(lies_below_windows_of(capture, GetCurrentProcessId()));
    SetWindowPos(capture, nullptr, 620, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);

    // Status step 5 once the record command has gone out. (The steps before it are drawn
    // while the program waits, and Wine shows a window's drawing only once its thread
    // takes messages again.)
    ASSERT_TRUE(wait_until(
        [&] { return folder.standin_log().find("message 2027 record") != std::string::npos; },
        (int)(stop - local_now())))
        << folder.standin_log();
    {
        SCOPED_TRACE("step 5");
        Screenshot shot;
        wait_for_screen(
            shot, main, [&](const Screenshot& s) { return shows_status_lines(Client(s, main), 5); },
            (int)(stop - local_now()));
        keep_shot(folder, shot, L"step5.bmp");
        expect_status_lines(Client(shot, main), 5);
    }

    // Stop, close, move, then the timetable again: the panel's first band turns white.
    const int bar = axis_x(s.wHour, s.wMinute);
    const int band_x = bar > 120 && bar < 140 ? 250 : 130;  // a point of the band off the bar
    const POINT origin = Dialog(main).client_origin();
    long long table_back = 0;
    ASSERT_TRUE(wait_until(
        [&] {
            table_back = local_now();
            return probe(origin.x + band_x, origin.y + 30) == kInnerBand;
        },
        (int)(stop + 40000 - local_now()), 50))
        << "the timetable did not come back";
    // The rest of it, with nothing left of the status and move lines.
    Screenshot table_shot;
    wait_for_screen(table_shot, main, [&](const Screenshot& shot) {
        Client client(shot, main);
        return client.at(184, 150) == kHourLine && scan(client, 79, 26, 505, 233).yellow == 0 &&
               client.count(kMovedLine, 10, 10, 515, 250) == 0;
    });
    keep_shot(folder, table_shot, L"timetable.bmp");

    // ---- the stand-in's log ----
    const std::string log = folder.standin_log();
    EXPECT_EQ(1, count_of(log, " start pid ")) << log;
    EXPECT_EQ(1, count_of(log, "message 2027 record"));
    EXPECT_EQ(1, count_of(log, "message 2025 stop"));
    EXPECT_EQ(1, count_of(log, "message 2029 close"));
    EXPECT_EQ(0, count_of(log, "message 2026"));
    // It read the settings file with the reservation's values, every line of it.
    EXPECT_NE(std::string::npos, log.find(" KROTX2.exe settings Krotx2.ini "));
    std::string after = kSettingsAfter;
    for (size_t at = 0; at < after.size();) {
        size_t end = after.find("\r\n", at);
        std::string line = after.substr(at, end - at);
        EXPECT_NE(std::string::npos, log.find(" KROTX2.exe setting " + line + "\r\n")) << line;
        at = end + 2;
    }
    // The timeline. The start tick comes in the second after start - 60 s; the launch
    // follows at once, then 13 s for the window and 42 s before the record command.
    const long long launched = logged_at(log, "start pid");
    const long long shown = logged_at(log, "window shown");
    const long long record = logged_at(log, "message 2027");
    const long long stopped = logged_at(log, "message 2025");
    const long long closed = logged_at(log, "message 2029");
    const long long exited = logged_at(log, "exit");
    ASSERT_TRUE(launched > 0 && shown > 0 && record > 0 && stopped > 0 && closed > 0 && exited > 0)
        << log;
    EXPECT_GE(launched, start - 60000 - 200);
    EXPECT_LE(launched, start - 60000 + 4000);
    EXPECT_GE(record - launched, 13000 + 42000 - 200);
    EXPECT_LE(record - launched, 13000 + 42000 + 3000);
    // Stopped at the first tick at or after the stop time, with no look-ahead.
    EXPECT_GE(stopped, stop - 200);
    EXPECT_LE(stopped, stop + 4000);
    EXPECT_GE(closed - stopped, 15000 - 200);
    EXPECT_LE(closed - stopped, 15000 + 2000);
    EXPECT_LT(shown, record);
    // The window was placed once the 13 s after the launch had passed.
    EXPECT_GE(placed, launched + 13000 - 200);
    EXPECT_LE(placed, launched + 13000 + 2000);
    EXPECT_GE(record - placed, 42000 - 300);
    EXPECT_LE(record - placed, 42000 + 2500);
    EXPECT_LE(closed, exited);

    // ---- the settings file and the recording ----
    EXPECT_EQ(std::string(kSettingsAfter), folder.read_file(L"Krotx2.ini"));
    const std::string recorded = logged_rest(log, "recording Samples\\");
    ASSERT_FALSE(recorded.empty()) << log;
    const std::string written = logged_rest(log, "written Samples\\" + recorded + " ");
    EXPECT_NE(std::string::npos, written.find(" bytes"));
    const long long size = std::atoll(written.c_str());
    EXPECT_GT(size, 2048 * 50);  // grown once a second for over a minute
    EXPECT_TRUE(folder.list(L"Samples").empty());
    std::wstring wide(recorded.begin(), recorded.end());  // ASCII: date and time
    EXPECT_EQ(size, folder.file_size(L"録画済み\\ニュース\\" + wide));
    EXPECT_EQ(nullptr, find_capture_window());

    // ---- the timetable again ----
    {
        SCOPED_TRACE("timetable");
        // Drawn after the close and the 3 s that the move lines stay up.
        EXPECT_GE(table_back, closed + 3000 - 200);
        EXPECT_LE(table_back, closed + 3000 + 3000);
        Client client(table_shot, main);
        EXPECT_EQ(kFrame, client.at(8, 100));
        EXPECT_EQ(kFrame, client.at(516, 8));
        EXPECT_EQ(kBlack, client.at(40, 240));
        for (int row = 1; row <= 7; ++row) {
            for (int x : {130, 250, 350, 470}) {
                if (x - bar > -3 && x - bar < 3) continue;
                EXPECT_EQ(kInnerBand, client.at(x, 30 * row)) << x << "," << 30 * row;
            }
        }
        EXPECT_EQ(kHourLine, client.at(184, 150));
        EXPECT_EQ(kHourLine, client.at(398, 249));
        // Nothing is left of the status lines on the bands, nor of the move lines.
        Cell bands = scan(client, 79, 26, 505, 233);
        EXPECT_EQ(0, bands.yellow);
        EXPECT_EQ(0, client.count(kMovedLine, 10, 10, 515, 250));
        EXPECT_EQ(0, client.count(0xFCC8C8, 10, 10, 515, 250));  // the two paths
        EXPECT_EQ(0, client.count(0x9696FF, 10, 10, 515, 250));  // the arrows
        // The reservation's one-minute bar on today's row, when it lies on today.
        SYSTEMTIME today;
        GetLocalTime(&today);
        if (today.wDay == s.wDay && e.wDay == s.wDay) {
            EXPECT_EQ(kBarColour, client.at(bar, 30));
        }
    }

    // Once only: it is not started again.
    Sleep(3000);
    EXPECT_EQ(1, count_of(folder.standin_log(), " start pid "));
    EXPECT_TRUE(tavrel.running());
}

}  // namespace
