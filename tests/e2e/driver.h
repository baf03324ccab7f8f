// Driver for the end-to-end tests: runs tavrel.exe in a capture folder of its own and works
// its main dialog from another process, as a user or the system would.
//
// A test (a Windows gtest program under tests/e2e/, run under Wine by ctest) goes:
//
//     e2e::CaptureFolder folder(L"my-test");         // fresh folder: KROTX2.exe and
//                                                     // KROTX1.exe (the stand-in), their
//                                                     // .ini files, an empty Samples
//     folder.write_schedule(table);                   // optional: "recdata.dat"
//     e2e::Process tavrel;
//     ASSERT_TRUE(tavrel.start(e2e::tavrel_exe(), folder.path()));
//     e2e::MessageBoxSeen box;                        // a box of the program, if expected
//     if (e2e::wait_message_box(tavrel.pid(), 5000, &box)) e2e::press_ok(box.hwnd);
//     e2e::Dialog dialog(e2e::wait_main_dialog(tavrel.pid(), 15000));
//     dialog.command(IDC_CAPTURE_RECORD);             // WM_COMMAND, as a click would send
//     dialog.select_combo(IDC_NAME_LIST, 0);          // CB_SETCURSEL + CBN_SELCHANGE
//     SYSTEMTIME t; dialog.get_picker(dialog.picker(0), &t);   // pickers 0..3: start
//                                                     // date, start time, end date, end time
//     e2e::Screenshot shot; shot.capture();           // the whole screen
//     COLORREF c = shot.pixel_in_client(dialog.hwnd(), 100, 40);  // 0x00BBGGRR
//     e2e::wait_for_screen(shot, dialog.hwnd(), ready);   // captures until ready(shot)
//     std::string log = folder.standin_log();         // what the stand-in was asked to do
//
// Nothing is awaited with a fixed sleep: a window, a file or the screen is polled up to a
// generous deadline (wait_until, wait_for_screen), as a busy machine may be slow to show it.
//
// Everything the test started ends with the objects: ~Process ends tavrel.exe, and
// ~CaptureFolder ends every program that runs from the folder (stand-ins launched by the
// program too) and deletes the folder (kept when TAVREL_E2E_KEEP is set).
//
// The stand-in's log lines, and its files standin_delay.txt (show the window only after n
// seconds), standin_hang.txt (stop answering for n seconds on the record command) and
// standin_output.txt ("none": the record command writes no file; "small": one 2048-byte
// chunk only), are described at the top of tools/capture_standin/capture_standin.cpp.
// Otherwise a recording ends, on stop or close, at the size its settings file's bit rates
// give: (dwVideoBitrate + dwAudioBitrate x 1000) x seconds / 8 bytes, counted from the
// record command, as logged in "written Samples\<file> <n> bytes". Wait for its log line
// "window shown" before looking at where its window is.
//
// The paths of tavrel.exe and of the stand-in come from the environment (TAVREL_EXE,
// TAVREL_STANDIN, set by ctest); a Unix path is taken as the Z: drive.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "reservations/reservation.h"
#include "resources/resource_ids.h"

namespace e2e {

// "/a/b" -> "Z:\a\b"; a Windows path is returned as it is.
std::wstring windows_path(const std::string& path);
std::wstring tavrel_exe();
std::wstring standin_exe();

// Polls condition every step_ms until it holds or timeout_ms has passed.
bool wait_until(const std::function<bool()>& condition, int timeout_ms, int step_ms = 100);

// Local time in milliseconds since 1601, as the Wine process sees it.
long long to_ms(const SYSTEMTIME& t);
SYSTEMTIME from_ms(long long ms);  // with the weekday worked out
long long local_now();
void sleep_until(long long moment);

// Shift-JIS (code page 932) form of text, as the program stores it; empty when too long.
std::string sjis(const std::wstring& text);

// A fresh capture folder in the temporary folder.
class CaptureFolder {
public:
    enum Content { kEmpty = 0, kStandins = 1, kSettings = 2, kSamples = 4, kAll = 7 };
    explicit CaptureFolder(const wchar_t* name, int content = kAll);
    // Makes the capture folder at an exact path (for the install folder).
    CaptureFolder(const std::wstring& exact_path, int content);
    ~CaptureFolder();
    CaptureFolder(const CaptureFolder&) = delete;
    CaptureFolder& operator=(const CaptureFolder&) = delete;

    const std::wstring& path() const { return path_; }
    std::wstring file(const std::wstring& name) const { return path_ + L"\\" + name; }
    bool exists(const std::wstring& name) const;
    bool write_file(const std::wstring& name, const std::string& bytes) const;
    // The file's bytes; empty when it cannot be read.
    std::string read_file(const std::wstring& name) const;
    // Size in bytes, -1 when missing.
    long long file_size(const std::wstring& name) const;
    // Names of the files in a subfolder ("Samples").
    std::vector<std::wstring> list(const std::wstring& subfolder) const;
    bool write_schedule(const ReservationTable& table) const;
    // The stand-in's log ("capture_standin.log"), "" when it has not written one.
    std::string standin_log() const { return read_file(L"capture_standin.log"); }
    // Ends every process whose program file lies in this folder.
    void end_programs() const;

private:
    void make(int content);
    std::wstring path_;
};

// A 40-slot table of default records (as "recdata.dat" holds after its creation).
ReservationTable default_table();
// A once-only reservation from start to stop (local milliseconds), as the form stores it.
void once_only(Reservation& r, const char* name, long long start, long long stop);

// A program started by the test.
class Process {
public:
    Process() = default;
    ~Process() { end(); }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    // Starts exe (quoted, then arguments as they stand) with folder as its current folder.
    bool start(const std::wstring& exe, const std::wstring& folder, const std::wstring& arguments = L"");
    DWORD pid() const { return pid_; }
    HANDLE handle() const { return handle_; }
    bool running() const;
    // Waits for the process to end; true with its exit code when it did.
    bool wait_exit(int timeout_ms, DWORD* exit_code);
    // Terminates the process if it still runs and closes its handle.
    void end();

private:
    HANDLE handle_ = nullptr;
    DWORD pid_ = 0;
};

// Ends every process whose program file lies in folder (a Windows path).
void end_programs_in(const std::wstring& folder);
// Ends every process run from exactly this program file.
void end_program_file(const std::wstring& image);

// Starts tavrel.exe in folder and waits for its main dialog; null when it did not show.
HWND start_tavrel(Process& process, const CaptureFolder& folder, int timeout_ms = 20000);

// How often text occurs in log.
int count_of(const std::string& log, const std::string& text);

struct WindowInfo {
    HWND hwnd;
    std::wstring class_name, title;
    DWORD pid;
    RECT rect;  // screen
    bool visible;
    HWND owner;
};
// The top-level windows of the desktop, of process pid only when pid is not 0.
std::vector<WindowInfo> list_windows(DWORD pid = 0);

// The main dialog ("#32770" titled "Tavrel") of process pid once it is visible; null
// when it has not shown within timeout_ms.
HWND wait_main_dialog(DWORD pid, int timeout_ms);

// True when window lies below every visible top-level window of process pid in the z-order
// (windows of other programs, such as one still closing from an earlier test, do not count).
bool lies_below_windows_of(HWND window, DWORD pid);

// A small visible window of the test program itself, not topmost, out of the way. Made
// before a window is to be put at the bottom of the z-order, it must end up above that
// window: lies_below_windows_of(w, GetCurrentProcessId()).
class ReferenceWindow {
public:
    ReferenceWindow();
    ~ReferenceWindow();
    ReferenceWindow(const ReferenceWindow&) = delete;
    ReferenceWindow& operator=(const ReferenceWindow&) = delete;
    HWND hwnd() const { return hwnd_; }
private:
    HWND hwnd_;
};
// Visible main dialogs of any process.
int count_main_dialogs();
// The capture control window ("#32770" titled "KRO-TX2 Controls"), null when none.
HWND find_capture_window();

struct MessageBoxSeen {
    HWND hwnd;
    HWND owner;
    std::wstring caption, text;
    bool icon;  // an icon is shown beside the text
};
// A visible message box of process pid: a "#32770" window holding only an OK or a Yes
// button (and maybe other buttons) and static texts.
bool wait_message_box(DWORD pid, int timeout_ms, MessageBoxSeen* seen);
// Presses its OK button.
void press_ok(HWND box);

// Window text through WM_GETTEXT, which is carried between processes.
std::wstring window_text(HWND window);
std::wstring class_of(HWND window);

// The main dialog as seen from outside.
class Dialog {
public:
    explicit Dialog(HWND dialog) : hwnd_(dialog) {}
    HWND hwnd() const { return hwnd_; }
    HWND item(int id) const { return GetDlgItem(hwnd_, id); }

    // Sends a command message as the control would (waits until it is handled);
    // false when the dialog did not take it within timeout_ms.
    bool command(int id, int code = 0, int timeout_ms = 60000) const;
    // Queues it without waiting.
    void post_command(int id, int code = 0) const;
    // Escape as typed into the dialog, and the close box.
    void press_escape() const;
    void press_close_box() const;

    std::wstring text(int id) const { return window_text(item(id)); }
    void set_text(int id, const std::wstring& text) const;
    bool visible(int id) const { return IsWindowVisible(item(id)) != FALSE; }
    bool enabled(int id) const { return IsWindowEnabled(item(id)) != FALSE; }
    LONG style(int id) const { return GetWindowLongW(item(id), GWL_STYLE); }

    // Combo boxes.
    int combo_count(int id) const;
    int combo_selection(int id) const;
    std::wstring combo_item(int id, int index) const;
    // Selects entry index and tells the dialog, as a user's pick does.
    void select_combo(int id, int index) const;

    // Check boxes: state set directly, or a click (which notifies the dialog).
    void set_check(int id, bool checked) const;
    bool checked(int id) const;
    void click(int id) const;

    // The client area's top-left corner on the screen, and its size.
    POINT client_origin() const;
    SIZE client_size() const;
    // A control's rectangle in the dialog's client pixels.
    RECT item_rect(HWND control) const;

    // The date and time pickers in creation order: 0 start date, 1 start time, 2 end
    // date, 3 end time; null when missing.
    HWND picker(int n) const;
    bool get_picker(HWND picker, SYSTEMTIME* value) const;
    bool set_picker(HWND picker, const SYSTEMTIME& value) const;

private:
    HWND hwnd_;
};

// The screen, captured through GDI; pixels as COLORREF (0x00BBGGRR).
class Screenshot {
public:
    bool capture();
    int width() const { return width_; }
    int height() const { return height_; }
    COLORREF pixel(int x, int y) const;
    // A pixel at client coordinates of window.
    COLORREF pixel_in_client(HWND window, int x, int y) const;
    // Writes a 24-bit BMP file.
    bool save_bmp(const std::wstring& path) const;

private:
    std::vector<unsigned char> bgra_;
    int width_ = 0, height_ = 0;
};

// One pixel of the screen now.
COLORREF probe(int x, int y);

// Captures the screen into shot until ready holds for it, each time only once window and
// its child windows have nothing left to paint; false when timeout_ms passed first. shot
// keeps the last capture, for the test's own checks. Under Wine, drawing reaches the screen
// some time after it is done, later the busier the machine.
bool wait_for_screen(Screenshot& shot, HWND window,
                     const std::function<bool(const Screenshot&)>& ready, int timeout_ms = 20000);

}  // namespace e2e
