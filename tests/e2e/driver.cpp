#include "tests/e2e/driver.h"

#include <commctrl.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <cstdlib>
#include <cstring>

#include "tests/support/capture_settings_text.h"
#include "tests/support/win32_support.h"

namespace e2e {

namespace {

const UINT kSendTimeoutMs = 10000;

std::wstring from_environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? windows_path(value) : std::wstring();
}

bool copy_file(const std::wstring& from, const std::wstring& to) {
    return CopyFileW(from.c_str(), to.c_str(), FALSE) != FALSE;
}

void make_folders(const std::wstring& path) {
    for (size_t i = 3; i <= path.size(); ++i)
        if (i == path.size() || path[i] == L'\\') CreateDirectoryW(path.substr(0, i).c_str(), nullptr);
}

bool starts_with_folder(const std::wstring& file, const std::wstring& folder) {
    if (file.size() <= folder.size()) return false;
    if (CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, file.c_str(), (int)folder.size(),
                       folder.c_str(), (int)folder.size()) != CSTR_EQUAL)
        return false;
    return file[folder.size()] == L'\\';
}

}  // namespace

std::wstring windows_path(const std::string& path) {
    std::wstring out;
    if (!path.empty() && path[0] == '/') out = L"Z:";
    for (char c : path) out += (c == '/') ? L'\\' : (wchar_t)(unsigned char)c;
    return out;
}

std::wstring tavrel_exe() { return from_environment("TAVREL_EXE"); }
std::wstring standin_exe() { return from_environment("TAVREL_STANDIN"); }

bool wait_until(const std::function<bool()>& condition, int timeout_ms, int step_ms) {
    DWORD start = GetTickCount();
    for (;;) {
        if (condition()) return true;
        if ((int)(GetTickCount() - start) >= timeout_ms) return false;
        Sleep(step_ms);
    }
}

// ---- local time ----

long long to_ms(const SYSTEMTIME& t) {
    FILETIME f;
    SystemTimeToFileTime(&t, &f);
    ULARGE_INTEGER u;
    u.LowPart = f.dwLowDateTime;
    u.HighPart = f.dwHighDateTime;
    return (long long)(u.QuadPart / 10000);
}

SYSTEMTIME from_ms(long long ms) {
    ULARGE_INTEGER u;
    u.QuadPart = (unsigned long long)ms * 10000;
    FILETIME f;
    f.dwLowDateTime = u.LowPart;
    f.dwHighDateTime = u.HighPart;
    SYSTEMTIME t;
    FileTimeToSystemTime(&f, &t);  // also works out the weekday
    return t;
}

long long local_now() {
    SYSTEMTIME t;
    GetLocalTime(&t);
    return to_ms(t);
}

void sleep_until(long long moment) {
    for (long long left = moment - local_now(); left > 0; left = moment - local_now())
        Sleep((DWORD)(left > 500 ? 500 : left));
}

std::string sjis(const std::wstring& text) {
    char buf[512];
    int n = WideCharToMultiByte(932, 0, text.c_str(), -1, buf, sizeof(buf), nullptr, nullptr);
    return n > 0 ? std::string(buf) : std::string();
}

// ---- capture folder ----

CaptureFolder::CaptureFolder(const wchar_t* name, int content) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    path_ = std::wstring(temp) + L"tavrel-e2e-" + name + L"-" + std::to_wstring(GetCurrentProcessId());
    if (!path_.empty() && path_.back() == L'\\') path_.pop_back();
    make(content);
}

CaptureFolder::CaptureFolder(const std::wstring& exact_path, int content) : path_(exact_path) {
    if (!path_.empty() && path_.back() == L'\\') path_.pop_back();
    make(content);
}

void CaptureFolder::make(int content) {
    end_programs();
    remove_tree(path_);
    make_folders(path_);
    if (content & kStandins) {
        copy_file(standin_exe(), file(L"KROTX2.exe"));
        copy_file(standin_exe(), file(L"KROTX1.exe"));
    }
    if (content & kSettings) {
        write_file(L"Krotx2.ini", kCaptureSettingsText);
        write_file(L"Krotx1.ini", kCaptureSettingsText);
    }
    if (content & kSamples) CreateDirectoryW(file(L"Samples").c_str(), nullptr);
}

CaptureFolder::~CaptureFolder() {
    end_programs();
    if (!std::getenv("TAVREL_E2E_KEEP")) remove_tree(path_);
}

bool CaptureFolder::exists(const std::wstring& name) const { return path_exists(file(name)); }

bool CaptureFolder::write_file(const std::wstring& name, const std::string& bytes) const {
    return write_whole_file(file(name), bytes);
}

std::string CaptureFolder::read_file(const std::wstring& name) const {
    return read_whole_file(file(name));
}

long long CaptureFolder::file_size(const std::wstring& name) const {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(file(name).c_str(), GetFileExInfoStandard, &data)) return -1;
    return ((long long)data.nFileSizeHigh << 32) | data.nFileSizeLow;
}

std::vector<std::wstring> CaptureFolder::list(const std::wstring& subfolder) const {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((file(subfolder) + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

bool CaptureFolder::write_schedule(const ReservationTable& table) const {
    return write_whole_file(file(L"recdata.dat"), &table, sizeof(table));
}

void CaptureFolder::end_programs() const { end_programs_in(path_); }

void once_only(Reservation& r, const char* name, long long start, long long stop) {
    const SYSTEMTIME s = from_ms(start), e = from_ms(stop);
    auto six = [](char* out, int a, int b, int c) {
        std::snprintf(out, 7, "%02d%02d%02d", a % 100, b % 100, c % 100);
    };
    std::snprintf(r.name, sizeof(r.name), "%s", name);
    six(r.start_date, s.wYear, s.wMonth, s.wDay);
    six(r.start_time, s.wHour, s.wMinute, s.wSecond);
    six(r.end_date, e.wYear, e.wMonth, e.wDay);
    six(r.end_time, e.wHour, e.wMinute, e.wSecond);
    r.repeat_mode = 0;
}

ReservationTable default_table() {
    ReservationTable table;
    std::memset(&table, 0, sizeof(table));
    set_default_reservations(table);
    return table;
}

// ---- processes ----

bool Process::start(const std::wstring& exe, const std::wstring& folder, const std::wstring& arguments) {
    end();
    std::wstring line = L"\"" + exe + L"\"";
    if (!arguments.empty()) line += L" " + arguments;
    std::vector<wchar_t> command(line.begin(), line.end());
    command.push_back(L'\0');
    STARTUPINFOW startup;
    ZeroMemory(&startup, sizeof(startup));
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info;
    if (!CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.c_str(), &startup, &info))
        return false;
    CloseHandle(info.hThread);
    handle_ = info.hProcess;
    pid_ = info.dwProcessId;
    return true;
}

bool Process::running() const {
    return handle_ && WaitForSingleObject(handle_, 0) == WAIT_TIMEOUT;
}

bool Process::wait_exit(int timeout_ms, DWORD* exit_code) {
    if (!handle_ || WaitForSingleObject(handle_, (DWORD)timeout_ms) != WAIT_OBJECT_0) return false;
    if (exit_code) GetExitCodeProcess(handle_, exit_code);
    return true;
}

void Process::end() {
    if (!handle_) return;
    if (running()) {
        TerminateProcess(handle_, 1);
        WaitForSingleObject(handle_, 5000);
    }
    CloseHandle(handle_);
    handle_ = nullptr;
    pid_ = 0;
}

namespace {
// Ends every other process whose program file satisfies matches.
void end_programs_where(const std::function<bool(const std::wstring&)>& matches) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return;
    PROCESSENTRY32W entry;
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        if (entry.th32ProcessID == GetCurrentProcessId()) continue;
        HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | PROCESS_TERMINATE |
                                         SYNCHRONIZE,
                                     FALSE, entry.th32ProcessID);
        if (!process) continue;
        wchar_t image[MAX_PATH] = {0};
        if (GetModuleFileNameExW(process, nullptr, image, MAX_PATH) && matches(image)) {
            TerminateProcess(process, 1);
            WaitForSingleObject(process, 5000);
        }
        CloseHandle(process);
    }
    CloseHandle(snapshot);
}
}  // namespace

void end_programs_in(const std::wstring& folder) {
    end_programs_where([&](const std::wstring& image) { return starts_with_folder(image, folder); });
}

void end_program_file(const std::wstring& image_path) {
    end_programs_where([&](const std::wstring& image) {
        return lstrcmpiW(image.c_str(), image_path.c_str()) == 0;
    });
}

HWND start_tavrel(Process& process, const CaptureFolder& folder, int timeout_ms) {
    if (!process.start(tavrel_exe(), folder.path())) return nullptr;
    return wait_main_dialog(process.pid(), timeout_ms);
}

int count_of(const std::string& log, const std::string& text) {
    int n = 0;
    for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1)) ++n;
    return n;
}

// ---- windows ----

std::wstring class_of(HWND window) {
    wchar_t name[256] = {0};
    GetClassNameW(window, name, 256);
    return name;
}

std::wstring window_text(HWND window) {
    if (!window) return L"";
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, kSendTimeoutMs, &length))
        return L"";
    std::vector<wchar_t> text(length + 2, L'\0');
    DWORD_PTR got = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, (WPARAM)text.size(), (LPARAM)text.data(), SMTO_NORMAL,
                        kSendTimeoutMs, &got);
    return std::wstring(text.data());
}

namespace {
BOOL CALLBACK collect_window(HWND window, LPARAM param) {
    auto* out = (std::vector<HWND>*)param;
    out->push_back(window);
    return TRUE;
}
}  // namespace

std::vector<WindowInfo> list_windows(DWORD pid) {
    std::vector<HWND> handles;
    EnumWindows(collect_window, (LPARAM)&handles);
    std::vector<WindowInfo> out;
    for (HWND h : handles) {
        WindowInfo info;
        info.hwnd = h;
        GetWindowThreadProcessId(h, &info.pid);
        if (pid && info.pid != pid) continue;
        info.class_name = class_of(h);
        wchar_t title[512] = {0};
        GetWindowTextW(h, title, 512);  // a top-level window's caption is held by the system
        info.title = title;
        GetWindowRect(h, &info.rect);
        info.visible = IsWindowVisible(h) != FALSE;
        info.owner = GetWindow(h, GW_OWNER);
        out.push_back(info);
    }
    return out;
}

bool lies_below_windows_of(HWND window, DWORD pid) {
    bool seen = false;
    for (const WindowInfo& w : list_windows()) {
        if (w.hwnd == window) seen = true;
        else if (seen && w.visible && w.pid == pid) return false;
    }
    return seen;
}

ReferenceWindow::ReferenceWindow() {
    hwnd_ = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, L"STATIC", L"reference",
                            WS_POPUP | WS_VISIBLE, 1000, 740, 8, 8, nullptr, nullptr,
                            GetModuleHandleW(nullptr), nullptr);
}

ReferenceWindow::~ReferenceWindow() {
    if (hwnd_) DestroyWindow(hwnd_);
}

HWND wait_main_dialog(DWORD pid, int timeout_ms) {
    HWND found = nullptr;
    wait_until(
        [&] {
            for (const WindowInfo& w : list_windows(pid))
                if (w.visible && w.class_name == L"#32770" && w.title == L"Tavrel") {
                    found = w.hwnd;
                    return true;
                }
            return false;
        },
        timeout_ms);
    return found;
}

int count_main_dialogs() {
    int n = 0;
    for (const WindowInfo& w : list_windows())
        if (w.visible && w.class_name == L"#32770" && w.title == L"Tavrel") ++n;
    return n;
}

HWND find_capture_window() { return FindWindowW(L"#32770", L"KRO-TX2 Controls"); }

bool wait_message_box(DWORD pid, int timeout_ms, MessageBoxSeen* seen) {
    return wait_until(
        [&] {
            for (const WindowInfo& w : list_windows(pid)) {
                if (!w.visible || w.class_name != L"#32770" || w.title == L"Tavrel") continue;
                // A message box: an OK (or a Yes) button, its text and icon in static
                // controls, and nothing else (a dialog such as the recording conditions has
                // many more).
                if (!GetDlgItem(w.hwnd, IDOK) && !GetDlgItem(w.hwnd, IDYES)) continue;
                int children = 0;
                bool other = false;
                for (HWND c = GetWindow(w.hwnd, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
                    ++children;
                    std::wstring kind = class_of(c);
                    if (kind != L"Static" && kind != L"Button") other = true;
                }
                if (other || children > 8) continue;
                seen->hwnd = w.hwnd;
                seen->owner = w.owner;
                seen->caption = w.title;
                seen->text = window_text(GetDlgItem(w.hwnd, 0xFFFF));
                seen->icon = false;
                for (HWND c = GetWindow(w.hwnd, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
                    DWORD_PTR icon = 0;
                    if (class_of(c) == L"Static" && (GetWindowLongW(c, GWL_STYLE) & SS_TYPEMASK) == SS_ICON &&
                        SendMessageTimeoutW(c, STM_GETICON, 0, 0, SMTO_NORMAL, kSendTimeoutMs, &icon) && icon)
                        seen->icon = true;
                }
                if (seen->text.empty()) {
                    // Not the usual id: the longest static text of the box.
                    for (HWND c = GetWindow(w.hwnd, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
                        if (class_of(c) != L"Static") continue;
                        std::wstring t = window_text(c);
                        if (t.size() > seen->text.size()) seen->text = t;
                    }
                }
                return true;
            }
            return false;
        },
        timeout_ms);
}

void press_ok(HWND box) {
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), (LPARAM)GetDlgItem(box, IDOK));
}

// ---- the main dialog ----

bool Dialog::command(int id, int code, int timeout_ms) const {
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(hwnd_, WM_COMMAND, MAKEWPARAM(id, code), (LPARAM)item(id),
                               SMTO_NORMAL, (UINT)timeout_ms, &result) != 0;
}

void Dialog::post_command(int id, int code) const {
    PostMessageW(hwnd_, WM_COMMAND, MAKEWPARAM(id, code), (LPARAM)item(id));
}

void Dialog::press_escape() const {
    // Typed keys reach the dialog's message loop, where the dialog manager turns Escape
    // into the cancel command.
    PostMessageW(hwnd_, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    PostMessageW(hwnd_, WM_KEYUP, VK_ESCAPE, 0xC0010001);
}

void Dialog::press_close_box() const { PostMessageW(hwnd_, WM_SYSCOMMAND, SC_CLOSE, 0); }

void Dialog::set_text(int id, const std::wstring& text) const {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(item(id), WM_SETTEXT, 0, (LPARAM)text.c_str(), SMTO_NORMAL, kSendTimeoutMs,
                        &result);
}

int Dialog::combo_count(int id) const {
    DWORD_PTR n = 0;
    if (!SendMessageTimeoutW(item(id), CB_GETCOUNT, 0, 0, SMTO_NORMAL, kSendTimeoutMs, &n)) return -1;
    return (int)(LRESULT)n;
}

int Dialog::combo_selection(int id) const {
    DWORD_PTR n = 0;
    if (!SendMessageTimeoutW(item(id), CB_GETCURSEL, 0, 0, SMTO_NORMAL, kSendTimeoutMs, &n)) return -1;
    return (int)(LRESULT)n;
}

std::wstring Dialog::combo_item(int id, int index) const {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(item(id), CB_GETLBTEXTLEN, (WPARAM)index, 0, SMTO_NORMAL,
                             kSendTimeoutMs, &length) ||
        (LRESULT)length < 0)
        return L"";
    std::vector<wchar_t> text(length + 2, L'\0');
    DWORD_PTR got = 0;
    SendMessageTimeoutW(item(id), CB_GETLBTEXT, (WPARAM)index, (LPARAM)text.data(), SMTO_NORMAL,
                        kSendTimeoutMs, &got);
    return std::wstring(text.data());
}

void Dialog::select_combo(int id, int index) const {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(item(id), CB_SETCURSEL, (WPARAM)index, 0, SMTO_NORMAL, kSendTimeoutMs,
                        &result);
    command(id, CBN_SELCHANGE);
}

void Dialog::set_check(int id, bool checked) const {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(item(id), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0,
                        SMTO_NORMAL, kSendTimeoutMs, &result);
}

bool Dialog::checked(int id) const {
    DWORD_PTR state = 0;
    SendMessageTimeoutW(item(id), BM_GETCHECK, 0, 0, SMTO_NORMAL, kSendTimeoutMs, &state);
    return state == BST_CHECKED;
}

void Dialog::click(int id) const {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(item(id), BM_CLICK, 0, 0, SMTO_NORMAL, 60000, &result);
}

POINT Dialog::client_origin() const {
    POINT p = {0, 0};
    ClientToScreen(hwnd_, &p);
    return p;
}

SIZE Dialog::client_size() const {
    RECT r = {0, 0, 0, 0};
    GetClientRect(hwnd_, &r);
    SIZE s = {r.right - r.left, r.bottom - r.top};
    return s;
}

RECT Dialog::item_rect(HWND control) const {
    RECT r = {0, 0, 0, 0};
    GetWindowRect(control, &r);
    POINT o = client_origin();
    OffsetRect(&r, -o.x, -o.y);
    return r;
}

HWND Dialog::picker(int n) const {
    int seen = 0;
    for (HWND c = GetWindow(hwnd_, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        if (class_of(c) != L"SysDateTimePick32") continue;
        if (seen++ == n) return c;
    }
    return nullptr;
}

namespace {
// The pickers' messages carry a pointer into their own process: the SYSTEMTIME is placed
// there and read back from there.
bool picker_call(HWND picker, UINT message, WPARAM wparam, SYSTEMTIME* value, bool read_back) {
    DWORD pid = 0;
    GetWindowThreadProcessId(picker, &pid);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (!process) return false;
    bool ok = false;
    void* remote = VirtualAllocEx(process, nullptr, sizeof(SYSTEMTIME), MEM_COMMIT, PAGE_READWRITE);
    if (remote) {
        SIZE_T n = 0;
        DWORD_PTR result = 0;
        if (WriteProcessMemory(process, remote, value, sizeof(SYSTEMTIME), &n) &&
            SendMessageTimeoutW(picker, message, wparam, (LPARAM)remote, SMTO_NORMAL, kSendTimeoutMs,
                                &result)) {
            ok = message == DTM_GETSYSTEMTIME ? (LRESULT)result == GDT_VALID : result != 0;
            if (ok && read_back)
                ok = ReadProcessMemory(process, remote, value, sizeof(SYSTEMTIME), &n) != FALSE;
        }
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    }
    CloseHandle(process);
    return ok;
}
}  // namespace

bool Dialog::get_picker(HWND picker, SYSTEMTIME* value) const {
    ZeroMemory(value, sizeof(*value));
    return picker_call(picker, DTM_GETSYSTEMTIME, 0, value, true);
}

bool Dialog::set_picker(HWND picker, const SYSTEMTIME& value) const {
    SYSTEMTIME copy = value;
    return picker_call(picker, DTM_SETSYSTEMTIME, GDT_VALID, &copy, false);
}

// ---- screen ----

bool Screenshot::capture() {
    width_ = GetSystemMetrics(SM_CXSCREEN);
    height_ = GetSystemMetrics(SM_CYSCREEN);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info;
    ZeroMemory(&info, sizeof(info));
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width_;
    info.bmiHeader.biHeight = -height_;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool ok = false;
    if (bitmap) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        ok = BitBlt(memory, 0, 0, width_, height_, screen, 0, 0, SRCCOPY) != FALSE;
        GdiFlush();
        const unsigned char* p = (const unsigned char*)bits;
        bgra_.assign(p, p + (size_t)width_ * height_ * 4);
        SelectObject(memory, old);
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return ok;
}

COLORREF Screenshot::pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return CLR_INVALID;
    const unsigned char* p = &bgra_[((size_t)y * width_ + x) * 4];
    return RGB(p[2], p[1], p[0]);
}

COLORREF Screenshot::pixel_in_client(HWND window, int x, int y) const {
    POINT p = {x, y};
    ClientToScreen(window, &p);
    return pixel(p.x, p.y);
}

bool Screenshot::save_bmp(const std::wstring& path) const {
    int row = (width_ * 3 + 3) & ~3;
    std::vector<unsigned char> data(sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER) +
                                    (size_t)row * height_);
    BITMAPFILEHEADER* file = (BITMAPFILEHEADER*)data.data();
    BITMAPINFOHEADER* info = (BITMAPINFOHEADER*)(data.data() + sizeof(BITMAPFILEHEADER));
    file->bfType = 0x4D42;
    file->bfSize = (DWORD)data.size();
    file->bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    info->biSize = sizeof(BITMAPINFOHEADER);
    info->biWidth = width_;
    info->biHeight = height_;  // bottom-up
    info->biPlanes = 1;
    info->biBitCount = 24;
    unsigned char* out = data.data() + file->bfOffBits;
    for (int y = 0; y < height_; ++y) {
        const unsigned char* src = &bgra_[(size_t)y * width_ * 4];
        unsigned char* dst = out + (size_t)(height_ - 1 - y) * row;
        for (int x = 0; x < width_; ++x) {
            dst[x * 3] = src[x * 4];
            dst[x * 3 + 1] = src[x * 4 + 1];
            dst[x * 3 + 2] = src[x * 4 + 2];
        }
    }
    return write_whole_file(path, data.data(), data.size());
}

COLORREF probe(int x, int y) {
    HDC screen = GetDC(nullptr);
    COLORREF c = GetPixel(screen, x, y);
    ReleaseDC(nullptr, screen);
    return c;
}

namespace {
BOOL CALLBACK find_unpainted(HWND window, LPARAM found) {
    if (!GetUpdateRect(window, nullptr, FALSE)) return TRUE;
    *(bool*)found = true;
    return FALSE;
}
}  // namespace

bool wait_for_screen(Screenshot& shot, HWND window,
                     const std::function<bool(const Screenshot&)>& ready, int timeout_ms) {
    return wait_until(
        [&] {
            // An invalidation from outside is painted later by the window's own thread;
            // until then the screen may still show the picture from before it.
            bool unpainted = GetUpdateRect(window, nullptr, FALSE) != FALSE;
            if (!unpainted) EnumChildWindows(window, find_unpainted, (LPARAM)&unpainted);
            return !unpainted && shot.capture() && ready(shot);
        },
        timeout_ms);
}

}  // namespace e2e
