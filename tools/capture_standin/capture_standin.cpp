// A stand-in for the capture application, for the tests and the demo folder. Copied into
// a capture folder as "KROTX2.exe" and "KROTX1.exe", it opens a control window of the
// standard dialog class titled "KRO-TX2 Controls" and obeys the four private messages:
//   2027 record: reads the bit rates from the settings file (the recorder may have
//                rewritten it since the start) and starts a file
//                Samples\YYYYMMDD-HHMMSS.mpg, which grows by 2048 bytes every second,
//   2025 stop:   finishes that file: it is extended (sparse, never shortened) to the size
//                the bit rates make expected, (dwVideoBitrate + dwAudioBitrate x 1000) x
//                seconds / 8 bytes, the seconds counted in milliseconds from the record
//                command and the bytes rounded up; without usable bit rates it keeps the
//                size of its periodic writes,
//   2026 play:   is only logged,
//   2029 close:  finishes any file as stop does and exits.
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
//   output none: no file written  (see standin_output.txt)
//   output small: one chunk only
//   output <text> not understood: normal output
//   bit rates video <n> bit/s audio <n> kbit/s
//   bit rates unusable: <why>; periodic writes only
//   recording Samples\<file>
//   expected <n> bytes for <n> ms
//   written Samples\<file> <n> bytes    (the final size, 64-bit)
//   exit
// The settings file is "Krotx1.ini" when the program's own name is KROTX1.exe, else
// "Krotx2.ini", read from its own folder at start and again on the record command, where
// only its lines dwVideoBitrate=<bit/s> and dwAudioBitrate=<kbit/s> count, in any section.
// A file "standin_delay.txt" beside it holding a number of seconds delays the window by
// that long (a slow capture application); a file "standin_hang.txt" holding seconds makes
// it stop answering for that long when the record command arrives (a hung capture
// application). A file "standin_output.txt" holding "none" makes the record command write
// no file at all, and one holding "small" makes it write a single 2048-byte chunk however
// long the recording runs (a capture application that fails to record); both are read on
// each record command.
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
unsigned long long recorded_bytes;
DWORD record_tick;                   // when the record command arrived
unsigned long long bits_per_second;  // from the settings at the record command; 0: unknown
enum Output { kNormal, kSmall, kNone } output;

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

const wchar_t* settings_name() {
    return own_name_is(L"KROTX1.exe") ? L"Krotx1.ini" : L"Krotx2.ini";
}

// The settings file's text into text (at most size - 1 bytes); -1 when it cannot be opened.
long read_settings(char* text, DWORD size) {
    wchar_t path[MAX_PATH];
    in_folder(settings_name(), path);
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return -1;
    DWORD got = 0;
    ReadFile(file, text, size - 1, &got, nullptr);
    CloseHandle(file);
    text[got] = '\0';
    return (long)got;
}

// Calls take(line, length) for each line of text, without its line break.
template <typename Take>
void each_line(const char* text, Take take) {
    const char* line = text;
    while (*line) {
        const char* end = line;
        while (*end && *end != '\r' && *end != '\n') ++end;
        take(line, (int)(end - line));
        line = end;
        if (*line == '\r') ++line;
        if (*line == '\n') ++line;
    }
}

void log_settings() {
    char ini_utf8[32];
    to_utf8(settings_name(), ini_utf8, sizeof(ini_utf8));
    static char text[65536];
    long got = read_settings(text, sizeof(text));
    if (got < 0) {
        log_line("settings %s missing", ini_utf8);
        return;
    }
    log_line("settings %s %lu bytes", ini_utf8, (unsigned long)got);
    each_line(text, [](const char* line, int len) {
        char line_head[] = "setting ";
        char buf[1100];
        if (len > 1000) len = 1000;
        std::memcpy(buf, line_head, sizeof(line_head) - 1);
        std::memcpy(buf + sizeof(line_head) - 1, line, (size_t)len);
        log_bytes(buf, (int)(sizeof(line_head) - 1) + len);
    });
}

// The value of the first line "key=<digits>" (blanks allowed around both) into value:
// 1 when found and a whole number that fits a DWORD, 0 when the key is missing, -1 when
// its value is not such a number.
int setting_number(const char* text, const char* key, unsigned long long* value) {
    int result = 0;
    each_line(text, [&](const char* line, int len) {
        if (result != 0) return;
        const char* end = line + len;
        while (line < end && (*line == ' ' || *line == '\t')) ++line;
        const int key_len = (int)std::strlen(key);
        if (end - line <= key_len ||
            CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, line, key_len, key, key_len) !=
                CSTR_EQUAL)
            return;
        const char* at = line + key_len;
        while (at < end && (*at == ' ' || *at == '\t')) ++at;
        if (at == end || *at != '=') return;
        ++at;
        while (at < end && (*at == ' ' || *at == '\t')) ++at;
        while (end > at && (end[-1] == ' ' || end[-1] == '\t')) --end;
        unsigned long long n = 0;
        result = at < end && end - at <= 10 ? 1 : -1;
        for (const char* c = at; c < end && result == 1; ++c) {
            if (*c < '0' || *c > '9') result = -1;
            else n = n * 10 + (unsigned)(*c - '0');
        }
        if (result == 1 && n > 0xFFFFFFFFull) result = -1;
        *value = n;
    });
    return result;
}

// video + audio x 1000 bit/s from the settings file as it is now; 0 when unusable.
unsigned long long read_bit_rates() {
    char ini_utf8[32];
    to_utf8(settings_name(), ini_utf8, sizeof(ini_utf8));
    static char text[65536];
    if (read_settings(text, sizeof(text)) < 0) {
        log_line("bit rates unusable: %s missing; periodic writes only", ini_utf8);
        return 0;
    }
    unsigned long long video = 0, audio = 0;
    const char* keys[] = {"dwVideoBitrate", "dwAudioBitrate"};
    unsigned long long* values[] = {&video, &audio};
    for (int i = 0; i < 2; ++i) {
        int found = setting_number(text, keys[i], values[i]);
        if (found != 1) {
            log_line("bit rates unusable: %s %s in %s; periodic writes only", keys[i],
                     found == 0 ? "missing" : "not a number", ini_utf8);
            return 0;
        }
    }
    log_line("bit rates video %llu bit/s audio %llu kbit/s", video, audio);
    return video + audio * 1000;
}

Output output_mode() {
    wchar_t path[MAX_PATH];
    in_folder(L"standin_output.txt", path);
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return kNormal;
    char text[64] = {0};
    DWORD got = 0;
    ReadFile(file, text, sizeof(text) - 1, &got, nullptr);
    CloseHandle(file);
    text[got] = '\0';
    char* word = text;
    while (*word == ' ' || *word == '\t' || *word == '\r' || *word == '\n') ++word;
    char* end = word + std::strlen(word);
    while (end > word && (end[-1] == ' ' || end[-1] == '\t' || end[-1] == '\r' || end[-1] == '\n'))
        *--end = '\0';
    if (lstrcmpiA(word, "none") == 0) return kNone;
    if (lstrcmpiA(word, "small") == 0) return kSmall;
    log_line("output %s not understood: normal output", word);
    return kNormal;
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

void start_recording(HWND dialog, DWORD commanded) {
    if (recording != INVALID_HANDLE_VALUE) {
        log_line("already recording");
        return;
    }
    output = output_mode();
    if (output == kNone) {
        log_line("output none: no file written");
        show_state(dialog, L"recording nothing (no file)");
        return;
    }
    record_tick = commanded;
    bits_per_second = output == kSmall ? 0 : read_bit_rates();
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
    if (output == kSmall)
        log_line("output small: one chunk only");
    else
        SetTimer(dialog, kGrowTimer, 1000, nullptr);
    wchar_t state[100];
    wsprintfW(state, L"recording %s (no video)", recording_name);
    show_state(dialog, state);
}

// Extends the open recording to what its bit rates give for the time since the record
// command, so that a recorder checking the size against its settings finds it whole.
void extend_to_expected() {
    if (bits_per_second == 0) return;
    const DWORD ms = GetTickCount() - record_tick;
    if (ms > (~0ull - 7999) / bits_per_second) {
        log_line("expected size too large for %lu ms", (unsigned long)ms);
        return;
    }
    const unsigned long long expected = (bits_per_second * ms + 7999) / 8000;
    log_line("expected %llu bytes for %lu ms", expected, (unsigned long)ms);
    if (expected <= recorded_bytes) return;
    LARGE_INTEGER at;
    at.QuadPart = (LONGLONG)expected;
    if (SetFilePointerEx(recording, at, nullptr, FILE_BEGIN) && SetEndOfFile(recording))
        recorded_bytes = expected;
    else
        log_line("cannot extend to %llu bytes: error %lu", expected, GetLastError());
}

void finish_recording(HWND dialog) {
    if (recording == INVALID_HANDLE_VALUE) return;
    KillTimer(dialog, kGrowTimer);
    extend_to_expected();
    CloseHandle(recording);
    recording = INVALID_HANDLE_VALUE;
    char name[200];
    to_utf8(recording_name, name, sizeof(name));
    log_line("written %s %llu bytes", name, recorded_bytes);
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
        const DWORD commanded = GetTickCount();
        log_line("message 2027 record");
        DWORD hang = seconds_from(L"standin_hang.txt");
        if (hang) {
            log_line("hang %lu s", (unsigned long)hang);
            Sleep(hang * 1000);
        }
        start_recording(dialog, commanded);
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
