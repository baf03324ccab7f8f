// A stand-in for the capture application, for the tests and the demo folder. Copied into
// a capture folder as "KROTX2.exe" and "KROTX1.exe", it opens a control window of the
// standard dialog class titled "KRO-TX2 Controls" and obeys the four private messages:
//   2027 record: starts a file Samples\YYYYMMDD-HHMMSS.mpg that grows every second,
//   2025 stop:   finishes that file,
//   2026 play:   is only logged,
//   2029 close:  finishes any file and exits.
// It records no video. Every event goes, with its local time and the program's own file
// name in front, to "capture_standin.log" beside the program, which is how tests see
// what the recorder asked of it:
//   start pid <n> command line <text>
//   settings <ini name> <n> bytes | settings <ini name> missing
//   setting <line>                (each line of the settings file)
//   delay <n> s                   (see standin_delay.txt)
//   hang <n> s                    (see standin_hang.txt)
//   window shown at <x>,<y>
//   message <number> <name>
//   recording Samples\<file>
//   written Samples\<file> <n> bytes
//   exit
// The settings file is "Krotx1.ini" when the program's own name is KROTX1.exe, else
// "Krotx2.ini", read from its own folder at start. A file "standin_delay.txt" beside it
// holding a number of seconds delays the window by that long (a slow capture application);
// a file "standin_hang.txt" holding seconds makes it stop answering for that long when
// the record command arrives (a hung capture application).
#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const UINT kStop = 2025, kPlay = 2026, kRecord = 2027, kClose = 2029;
const int kDialog = 100, kStateText = 1000;
const UINT_PTR kGrowTimer = 1;
const DWORD kChunkBytes = 2048;

wchar_t folder[MAX_PATH];    // own folder, ending in a backslash
wchar_t exe_name[MAX_PATH];  // own file name
char exe_name_utf8[MAX_PATH * 3];
HANDLE recording = INVALID_HANDLE_VALUE;
wchar_t recording_name[64];  // Samples\...mpg
unsigned long recorded_bytes;

void to_utf8(const wchar_t* text, char* out, int outlen) {
    out[0] = '\0';
    int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, out, outlen, nullptr, nullptr);
    if (n <= 0) out[0] = '\0';
    out[outlen - 1] = '\0';
}

void in_folder(const wchar_t* name, wchar_t* out) {
    lstrcpynW(out, folder, MAX_PATH);
    lstrcpynW(out + lstrlenW(out), name, MAX_PATH - lstrlenW(out));
}

// Appends one line; opened and closed each time, as several copies may share the log.
void log_bytes(const char* text, int len) {
    wchar_t path[MAX_PATH];
    in_folder(L"capture_standin.log", path);
    HANDLE log = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 50 && log == INVALID_HANDLE_VALUE; ++attempt) {
        log = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                          OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (log == INVALID_HANDLE_VALUE) Sleep(20);
    }
    if (log == INVALID_HANDLE_VALUE) return;
    SYSTEMTIME now;
    GetLocalTime(&now);
    char head[160];
    int n = std::snprintf(head, sizeof(head), "%04d-%02d-%02d %02d:%02d:%02d.%03d %s ", now.wYear,
                          now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond,
                          now.wMilliseconds, exe_name_utf8);
    DWORD written;
    SetFilePointer(log, 0, nullptr, FILE_END);
    WriteFile(log, head, (DWORD)n, &written, nullptr);
    WriteFile(log, text, (DWORD)len, &written, nullptr);
    WriteFile(log, "\r\n", 2, &written, nullptr);
    CloseHandle(log);
}

void log_line(const char* format, ...) {
    char text[2048];
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(text, sizeof(text), format, args);
    va_end(args);
    if (n < 0) return;
    if (n >= (int)sizeof(text)) n = (int)sizeof(text) - 1;
    log_bytes(text, n);
}

void show_state(HWND dialog, const wchar_t* text) { SetDlgItemTextW(dialog, kStateText, text); }

bool own_name_is(const wchar_t* name) { return lstrcmpiW(exe_name, name) == 0; }

void log_settings() {
    const wchar_t* ini = own_name_is(L"KROTX1.exe") ? L"Krotx1.ini" : L"Krotx2.ini";
    char ini_utf8[32];
    to_utf8(ini, ini_utf8, sizeof(ini_utf8));
    wchar_t path[MAX_PATH];
    in_folder(ini, path);
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        log_line("settings %s missing", ini_utf8);
        return;
    }
    static char text[65536];
    DWORD got = 0;
    ReadFile(file, text, sizeof(text) - 1, &got, nullptr);
    CloseHandle(file);
    text[got] = '\0';
    log_line("settings %s %lu bytes", ini_utf8, (unsigned long)got);
    char* line = text;
    while (*line) {
        char* end = line;
        while (*end && *end != '\r' && *end != '\n') ++end;
        char line_head[] = "setting ";
        char buf[1100];
        int len = (int)(end - line);
        if (len > 1000) len = 1000;
        std::memcpy(buf, line_head, sizeof(line_head) - 1);
        std::memcpy(buf + sizeof(line_head) - 1, line, (size_t)len);
        log_bytes(buf, (int)(sizeof(line_head) - 1) + len);
        line = end;
        if (*line == '\r') ++line;
        if (*line == '\n') ++line;
    }
}

// Seconds from a small file beside the program, 0 when there is none (at most an hour).
DWORD seconds_from(const wchar_t* name) {
    wchar_t path[MAX_PATH];
    in_folder(name, path);
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    char text[32] = {0};
    DWORD got = 0;
    ReadFile(file, text, sizeof(text) - 1, &got, nullptr);
    CloseHandle(file);
    unsigned long seconds = std::strtoul(text, nullptr, 10);
    return seconds > 3600 ? 3600 : (DWORD)seconds;
}

void write_chunk() {
    if (recording == INVALID_HANDLE_VALUE) return;
    static unsigned char chunk[kChunkBytes];
    // An MPEG pack start code in front of padding: enough to look like a stream.
    chunk[0] = 0x00;
    chunk[1] = 0x00;
    chunk[2] = 0x01;
    chunk[3] = 0xBA;
    DWORD written = 0;
    WriteFile(recording, chunk, kChunkBytes, &written, nullptr);
    recorded_bytes += written;
}

void start_recording(HWND dialog) {
    if (recording != INVALID_HANDLE_VALUE) {
        log_line("already recording");
        return;
    }
    wchar_t samples[MAX_PATH];
    in_folder(L"Samples", samples);
    CreateDirectoryW(samples, nullptr);
    SYSTEMTIME now;
    GetLocalTime(&now);
    for (int n = 1; n < 100 && recording == INVALID_HANDLE_VALUE; ++n) {
        if (n == 1)
            wsprintfW(recording_name, L"Samples\\%04d%02d%02d-%02d%02d%02d.mpg", now.wYear,
                      now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond);
        else
            wsprintfW(recording_name, L"Samples\\%04d%02d%02d-%02d%02d%02d-%d.mpg", now.wYear,
                      now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, n);
        wchar_t path[MAX_PATH];
        in_folder(recording_name, path);
        recording = CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    char name[200];
    to_utf8(recording_name, name, sizeof(name));
    if (recording == INVALID_HANDLE_VALUE) {
        log_line("cannot create %s", name);
        return;
    }
    recorded_bytes = 0;
    log_line("recording %s", name);
    write_chunk();
    SetTimer(dialog, kGrowTimer, 1000, nullptr);
    wchar_t state[100];
    wsprintfW(state, L"recording %s (no video)", recording_name);
    show_state(dialog, state);
}

void finish_recording(HWND dialog) {
    if (recording == INVALID_HANDLE_VALUE) return;
    KillTimer(dialog, kGrowTimer);
    CloseHandle(recording);
    recording = INVALID_HANDLE_VALUE;
    char name[200];
    to_utf8(recording_name, name, sizeof(name));
    log_line("written %s %lu bytes", name, recorded_bytes);
    show_state(dialog, L"idle");
}

INT_PTR CALLBACK standin_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        // Away from the corner, so that a placement by the recorder shows.
        SetWindowPos(dialog, nullptr, 200, 200, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        log_line("window shown at 200,200");
        return TRUE;
    case WM_TIMER:
        if (wparam == kGrowTimer) write_chunk();
        return TRUE;
    case kRecord: {
        log_line("message 2027 record");
        DWORD hang = seconds_from(L"standin_hang.txt");
        if (hang) {
            log_line("hang %lu s", (unsigned long)hang);
            Sleep(hang * 1000);
        }
        start_recording(dialog);
        return TRUE;
    }
    case kStop:
        log_line("message 2025 stop");
        finish_recording(dialog);
        return TRUE;
    case kPlay:
        log_line("message 2026 play");
        return TRUE;
    case kClose:
        log_line("message 2029 close");
        finish_recording(dialog);
        EndDialog(dialog, 0);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wparam) == IDCANCEL) {
            log_line("closed by the user");
            finish_recording(dialog);
            EndDialog(dialog, 0);
        }
        return TRUE;
    default:
        return FALSE;
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return 1;
    int cut = (int)n;
    while (cut > 0 && path[cut - 1] != L'\\' && path[cut - 1] != L'/') --cut;
    lstrcpynW(exe_name, path + cut, MAX_PATH);
    path[cut] = L'\0';
    lstrcpynW(folder, path, MAX_PATH);
    to_utf8(exe_name, exe_name_utf8, sizeof(exe_name_utf8));

    char command_line[2048];
    to_utf8(GetCommandLineW(), command_line, sizeof(command_line));
    log_line("start pid %lu command line %s", GetCurrentProcessId(), command_line);
    log_settings();
    DWORD delay = seconds_from(L"standin_delay.txt");
    if (delay) {
        log_line("delay %lu s", (unsigned long)delay);
        Sleep(delay * 1000);
    }
    DialogBoxParamW(instance, MAKEINTRESOURCEW(kDialog), nullptr, standin_proc, 0);
    if (recording != INVALID_HANDLE_VALUE) CloseHandle(recording);
    log_line("exit");
    return 0;
}
