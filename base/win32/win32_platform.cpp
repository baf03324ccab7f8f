#include "base/win32/win32_platform.h"

#include <cstdio>
#include <ctime>
#include <cwchar>
#include "base/win32/text.h"

namespace {
// Writes all the bytes, flushes them to the disk and closes the file: true when all of
// that succeeded.
bool write_flush_close(HANDLE h, const void* data, std::size_t len) {
    const char* p = (const char*)data;
    std::size_t done = 0;
    bool ok = true;
    while (done < len) {
        DWORD n = 0;
        if (!WriteFile(h, p + done, (DWORD)(len - done), &n, nullptr) || n == 0) {
            ok = false;
            break;
        }
        done += n;
    }
    if (ok && !FlushFileBuffers(h)) ok = false;
    if (!CloseHandle(h)) ok = false;
    return ok;
}
// The box that closes itself, while it is shown (one at a time: it is modal).
struct ClosingBox {
    const wchar_t* caption;
    HWND found;
    bool closed_itself;
};
ClosingBox closing = {};

BOOL CALLBACK find_closing_box(HWND window, LPARAM) {
    wchar_t class_name[16], title[128];
    if (IsWindowVisible(window) && GetClassNameW(window, class_name, 16) > 0 &&
        std::wcscmp(class_name, L"#32770") == 0 && GetWindowTextW(window, title, 128) >= 0 &&
        std::wcscmp(title, closing.caption) == 0) {
        closing.found = window;
        return FALSE;
    }
    return TRUE;
}

// Runs inside the box's own message loop, on this thread.
void CALLBACK close_unanswered_box(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    closing.found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), find_closing_box, 0);
    if (!closing.found) return;
    closing.closed_itself = true;
    EndDialog(closing.found, IDOK);
}
}  // namespace

void Win32MessageBoxes::show(WindowRef owner, const char* text, const char* caption, MessageIcon icon) {
    MessageBoxW((HWND)owner, Wide(text), Wide(caption), MB_OK | (icon == kIconWarning ? MB_ICONWARNING : 0));
}

bool Win32MessageBoxes::show_closing(WindowRef owner, const char* text, const char* caption,
                                     std::uint32_t close_after_ms) {
    const Wide title(caption);
    closing = {title, nullptr, false};
    const UINT_PTR timer = SetTimer(nullptr, 0, close_after_ms, close_unanswered_box);
    MessageBoxW((HWND)owner, Wide(text), title, MB_OK);
    if (timer) KillTimer(nullptr, timer);
    const bool closed = closing.closed_itself;
    closing = {};
    return closed;
}

int Win32Files::read(const char* path, void* buf, std::size_t cap, std::size_t* got, bool* more) {
    *got = 0;
    *more = false;
    HANDLE h = CreateFileW(Wide(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return -1;
    char* p = (char*)buf;
    while (*got < cap) {
        DWORD n = 0;
        if (!ReadFile(h, p + *got, (DWORD)(cap - *got), &n, nullptr) || n == 0) break;
        *got += n;
    }
    if (*got == cap) {
        char extra;
        DWORD n = 0;
        if (ReadFile(h, &extra, 1, &n, nullptr) && n == 1) *more = true;
    }
    CloseHandle(h);
    return 0;
}

int Win32Files::replace(const char* path, const void* data, std::size_t len) {
    Wide wpath(path);
    // A read-only file is not to be replaced (Windows refuses that; some file systems
    // under it may not, so ask first), nor is a folder.
    DWORD attr = GetFileAttributesW(wpath);
    if (attr != INVALID_FILE_ATTRIBUTES &&
        (attr & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)))
        return -1;
    char tmp[300];
    if (std::snprintf(tmp, sizeof(tmp), "%s.new", path) >= (int)sizeof(tmp)) return -1;
    Wide wtmp(tmp);
    HANDLE h = CreateFileW(wtmp, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) return -1;
    bool ok = write_flush_close(h, data, len);
    if (ok && !MoveFileExW(wtmp, wpath, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        ok = false;
    if (!ok) {
        DeleteFileW(wtmp);
        return -1;
    }
    return 0;
}

bool Win32Files::exists(const char* path) {
    return GetFileAttributesW(Wide(path)) != INVALID_FILE_ATTRIBUTES;
}

bool Win32Files::is_file(const char* path) {
    const DWORD attributes = GetFileAttributesW(Wide(path));
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void Win32Clock::sleep_ms(std::uint32_t ms) { Sleep(ms); }

std::int64_t Win32Clock::now() { return (std::int64_t)std::time(nullptr); }

int Win32JournalFiles::append(const char* path, const void* data, std::size_t len) {
    HANDLE h = CreateFileW(Wide(path), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return -1;
    return write_flush_close(h, data, len) ? 0 : -1;
}

std::int64_t Win32JournalFiles::size(const char* path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(Wide(path), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return -1;
    return ((std::int64_t)data.nFileSizeHigh << 32) | data.nFileSizeLow;
}

int Win32JournalFiles::read_at(const char* path, std::int64_t offset, void* buf, std::size_t cap,
                               std::size_t* got) {
    *got = 0;
    HANDLE h = CreateFileW(Wide(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return -1;
    LARGE_INTEGER at;
    at.QuadPart = offset;
    bool ok = SetFilePointerEx(h, at, nullptr, FILE_BEGIN) != 0;
    char* p = (char*)buf;
    while (ok && *got < cap) {
        DWORD n = 0;
        if (!ReadFile(h, p + *got, (DWORD)(cap - *got), &n, nullptr)) ok = false;
        if (n == 0) break;
        *got += n;
    }
    CloseHandle(h);
    return ok ? 0 : -1;
}

int Win32JournalFiles::rename(const char* from, const char* to) {
    return MoveFileExW(Wide(from), Wide(to), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) ? 0 : -1;
}
