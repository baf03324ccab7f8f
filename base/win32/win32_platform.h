// The Win32 implementations of the core's platform interfaces.
#pragma once
#include <windows.h>
#include "base/platform.h"

class Win32MessageBoxes : public MessageBoxes {
public:
    void show(WindowRef owner, const char* text, const char* caption, MessageIcon icon) override;
    // A thread timer set before the box finds it (this thread's dialog of that caption)
    // and ends it with IDOK: MessageBoxTimeout's time-out does nothing under Wine.
    bool show_closing(WindowRef owner, const char* text, const char* caption,
                      std::uint32_t close_after_ms) override;
};

class Win32Files : public Files {
public:
    int read(const char* path, void* buf, std::size_t cap, std::size_t* got, bool* more) override;
    int replace(const char* path, const void* data, std::size_t len) override;
    bool exists(const char* path) override;
    bool is_file(const char* path) override;
};

class Win32Clock : public Clock {
public:
    void sleep_ms(std::uint32_t ms) override;
    std::int64_t now() override;
};

// The journal's files: each append opens, writes, flushes and closes, so that a line is on
// the disk when the call returns and nothing stays open between lines.
class Win32JournalFiles : public JournalFiles {
public:
    int append(const char* path, const void* data, std::size_t len) override;
    std::int64_t size(const char* path) override;
    int read_at(const char* path, std::int64_t offset, void* buf, std::size_t cap,
                std::size_t* got) override;
    int rename(const char* from, const char* to) override;
};
