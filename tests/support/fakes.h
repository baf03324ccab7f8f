// Fakes of the platform interfaces for the native tests.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>
#include "app/platform.h"

struct ShownMessage {
    WindowRef owner;
    std::string text;
    std::string caption;
};

class RecordingMessageBoxes : public MessageBoxes {
public:
    std::vector<ShownMessage> shown;
    void show(WindowRef owner, const char* text, const char* caption) override {
        shown.push_back({owner, text, caption});
    }
};

// Files held in memory, with faults to inject.
class MemoryFiles : public Files {
public:
    std::map<std::string, std::string> files;
    bool fail_open_read = false;
    bool fail_replace = false;
    int replace_calls = 0;

    int read(const char* path, void* buf, std::size_t cap, std::size_t* got, bool* more) override;
    int replace(const char* path, const void* data, std::size_t len) override;
    bool exists(const char* path) override { return files.count(path) != 0; }
};

class FakeClock : public Clock {
public:
    std::uint64_t slept_ms = 0;
    std::vector<std::uint32_t> sleeps;
    void sleep_ms(std::uint32_t ms) override {
        slept_ms += ms;
        sleeps.push_back(ms);
    }
};

// Installs fresh fakes into the platform and resets the program state; restores on exit.
struct FakePlatform {
    RecordingMessageBoxes messages;
    MemoryFiles files;
    FakeClock clock;
    Platform saved;
    FakePlatform();
    ~FakePlatform();
};

// Sets the TZ environment variable for the scope and restores it afterwards.
struct ScopedTimeZone {
    std::string saved;
    bool had;
    explicit ScopedTimeZone(const char* tz);
    ~ScopedTimeZone();
};

// A local calendar time in the current zone (month 1..12), with mktime deciding DST.
std::int64_t local_time(int year, int month, int day, int hour, int minute, int second);

// Shift-JIS form of a UTF-8 literal, for comparing with what the core produced.
std::string sjis(const char* utf8);
