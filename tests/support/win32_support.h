// For the Windows test programs and the end-to-end driver: whole files, folder trees and a
// test's own temporary folder through the W calls, and the program's files on the real disk
// with its messages recorded. Header only, because every tests/support/*.cpp is also built
// into the native unit tests, which have no <windows.h>.
#pragma once
#include <windows.h>

#include <string>

#include "base/win32/text.h"
#include "base/win32/win32_platform.h"
#include "engine/scheduler.h"
#include "tests/support/core_state.h"
#include "tests/support/fakes.h"

// The file's bytes; empty when it cannot be read. Another process may hold it open.
inline std::string read_whole_file(const std::wstring& path) {
    std::string out;
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return out;
    char buf[8192];
    DWORD n = 0;
    while (ReadFile(h, buf, sizeof(buf), &n, nullptr) && n) out.append(buf, n);
    CloseHandle(h);
    return out;
}

// Creates or replaces the file with exactly these bytes.
inline bool write_whole_file(const std::wstring& path, const void* data, size_t len) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = WriteFile(h, data, (DWORD)len, &written, nullptr);
    CloseHandle(h);
    return ok && written == len;
}

inline bool write_whole_file(const std::wstring& path, const std::string& bytes) {
    return write_whole_file(path, bytes.data(), bytes.size());
}

inline bool path_exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Deletes the folder with everything in it, read-only files too.
inline void remove_tree(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            std::wstring child = folder + L"\\" + name;
            SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                remove_tree(child);
            else
                DeleteFileW(child.c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
}

// A fresh empty folder "tavrel-<tag>-<process id>-<n>" in the temporary folder, removed
// with everything in it at the end of the scope. With enter set it is the current folder
// meanwhile, as the capture folder is for the program.
class TempFolder {
public:
    TempFolder(const std::wstring& tag, bool enter) : entered_(enter) {
        static int serial = 0;
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        path_ = std::wstring(temp) + L"tavrel-" + tag + L"-" +
                std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++serial);
        remove_tree(path_);
        CreateDirectoryW(path_.c_str(), nullptr);
        GetCurrentDirectoryW(MAX_PATH, saved_);
        if (entered_) SetCurrentDirectoryW(path_.c_str());
    }
    ~TempFolder() {
        if (entered_) SetCurrentDirectoryW(saved_);
        remove_tree(path_);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    bool made() const { return path_exists(path_); }
    const std::wstring& path() const { return path_; }
    std::wstring file(const std::wstring& name) const { return path_ + L"\\" + name; }
    // The path as the program names it.
    std::string sjis() const {
        char out[MAX_PATH * 2];
        wide_to_sjis(path_.c_str(), out, sizeof(out));
        return out;
    }

private:
    std::wstring path_;
    wchar_t saved_[MAX_PATH];
    bool entered_;
};

// The program's files on the real disk, its messages recorded instead of shown, the rest
// of the platform inert; the program state reset. All put back at the end of the scope.
struct Win32FilePlatform {
    RecordingMessageBoxes messages;
    Win32Files files;
    Platform saved = platform;
    Win32FilePlatform() {
        reset_core_state();
        platform = inert_platform();
        platform.messages = &messages;
        platform.files = &files;
    }
    ~Win32FilePlatform() {
        platform = saved;
        reset_core_state();
    }
    Win32FilePlatform(const Win32FilePlatform&) = delete;
    Win32FilePlatform& operator=(const Win32FilePlatform&) = delete;
    // The text of the last message shown, "" when none was.
    std::string last_text() const { return messages.shown.empty() ? "" : messages.shown.back().text; }
};
