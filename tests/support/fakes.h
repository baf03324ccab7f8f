// Fakes of the platform interfaces for the native tests.
#pragma once
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>
#include "base/platform.h"
#include "engine/after_actions.h"

struct ShownMessage {
    WindowRef owner;
    std::string text;
    std::string caption;
    MessageIcon icon;
};

class RecordingMessageBoxes : public MessageBoxes {
public:
    std::vector<ShownMessage> shown;
    void show(WindowRef owner, const char* text, const char* caption, MessageIcon icon) override {
        shown.push_back({owner, text, caption, icon});
    }
};

// Files held in memory, with faults to inject.
class MemoryFiles : public Files {
public:
    std::map<std::string, std::string> files;
    std::set<std::string> folders;
    bool fail_open_read = false;
    bool fail_replace = false;
    int replace_calls = 0;

    int read(const char* path, void* buf, std::size_t cap, std::size_t* got, bool* more) override;
    int replace(const char* path, const void* data, std::size_t len) override;
    bool exists(const char* path) override { return is_file(path) || folders.count(path) != 0; }
    bool is_file(const char* path) override { return files.count(path) != 0; }
};

// Power requests that record themselves: the after-recording requests in calls, the wake
// requests in wake ("awake 1", "arm <time>", "cancel"), and both in *log when it is set.
class FakePower : public PowerRequests {
public:
    std::vector<std::string> calls, wake;
    std::vector<std::string>* log = nullptr;
    int arm_result = 0;
    int request_result = 0;  // what each power request gives back
    int reboot() override { return request(calls, "reboot"), request_result; }
    int shutdown() override { return request(calls, "shutdown"), request_result; }
    int force_logoff() override { return request(calls, "force_logoff"), request_result; }
    int suspend() override { return request(calls, "suspend"), request_result; }
    void keep_awake(bool on) override { request(wake, on ? "awake 1" : "awake 0"); }
    int arm_wake_timer(std::time_t at) override {
        request(wake, "arm " + std::to_string((long long)at));
        return arm_result;
    }
    void cancel_wake_timer() override { request(wake, "cancel"); }
private:
    void request(std::vector<std::string>& to, const std::string& what) {
        to.push_back(what);
        if (log) log->push_back(what);
    }
};

class FakeClock : public Clock {
public:
    std::int64_t base = 0;  // now() before any sleep
    std::uint64_t slept_ms = 0;
    std::int64_t now() override { return base + (std::int64_t)(slept_ms / 1000); }
    std::vector<std::uint32_t> sleeps;
    void sleep_ms(std::uint32_t ms) override {
        slept_ms += ms;
        sleeps.push_back(ms);
    }
};

// One drawing operation as the core issued it.
struct DrawOp {
    enum Kind { Fill, Text } kind;
    WindowRef window;
    int left, top, right, bottom;  // Fill
    int x, y;                      // Text
    Colour colour;                 // fill colour, or text colour
    std::string text;
    int font_row, bk_mode;
    Colour bk_colour;
};

// A canvas that records every operation, on whichever window it was opened for.
class RecordingSurfaces : public Surfaces, public Canvas {
public:
    std::vector<DrawOp> ops;
    int open_count = 0;
    int close_count = 0;
    Canvas* open(WindowRef window) override {
        ++open_count;
        window_ = window;
        return this;
    }
    void close(Canvas*) override { ++close_count; }
    void fill_rect(int left, int top, int right, int bottom, Colour colour) override {
        DrawOp op{DrawOp::Fill, window_, left, top, right, bottom, 0, 0, colour, "", 0, 0, 0};
        ops.push_back(op);
    }
    void draw_text(int x, int y, Colour text_colour, const char* text, int font_row, int bk_mode,
                   Colour bk_colour) override {
        DrawOp op{DrawOp::Text, window_, 0, 0, 0, 0, x, y, text_colour, text, font_row, bk_mode,
                  bk_colour};
        ops.push_back(op);
    }
    std::vector<DrawOp> fills() const;
    std::vector<DrawOp> texts() const;
private:
    WindowRef window_ = nullptr;
};

// The journal's files held in memory; a file can be made unwritable.
class MemoryJournal : public JournalFiles {
public:
    std::map<std::string, std::string> files;
    bool fail_append = false;
    int append(const char* path, const void* data, std::size_t len) override {
        if (fail_append) return -1;
        files[path].append((const char*)data, len);
        return 0;
    }
    std::int64_t size(const char* path) override {
        auto it = files.find(path);
        return it == files.end() ? -1 : (std::int64_t)it->second.size();
    }
    int read_at(const char* path, std::int64_t offset, void* buf, std::size_t cap,
                std::size_t* got) override {
        *got = 0;
        auto it = files.find(path);
        if (it == files.end()) return -1;
        if ((std::size_t)offset < it->second.size())
            *got = it->second.copy((char*)buf, cap, (std::size_t)offset);
        return 0;
    }
    int rename(const char* from, const char* to) override {
        auto it = files.find(from);
        if (it == files.end()) return -1;
        files[to] = it->second;
        files.erase(from);
        return 0;
    }
};

// Installs fresh fakes into the platform and resets the program state; restores on exit.
struct FakePlatform {
    RecordingMessageBoxes messages;
    MemoryFiles files;
    FakeClock clock;
    RecordingSurfaces surfaces;
    MemoryJournal journal;
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
