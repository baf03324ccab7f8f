// The seams the recording scheduler reaches, faked together: one log of what it asked of
// the platform, in order, and a clock that its own waits advance. The files, and the
// parts of the platform the rig does not take, are those of the FakePlatform under it.
#pragma once
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <vector>
#include "base/platform.h"

class SchedulerRig : public SchedulerHost,
                     public Clock,
                     public Desktop,
                     public Surfaces,
                     public Canvas,
                     public MessageBoxes,
                     public FolderSystem,
                     public Files {
public:
    static WindowRef dialog() { return (WindowRef)0xD1A; }
    static WindowRef capture() { return (WindowRef)0xCA9; }

    // Log entries: "status <step> #<index>" (the status panel drawn during a sequence),
    // "place" (the capture window found and placed), "launch <file>", "capture <message>",
    // "show #<index>", "post <id>", "send <id>", "repaint", "sleep <ms>", "message",
    // "write <file>", "mkdir <folder>", "search <pattern>".
    std::vector<std::string> log;
    std::int64_t clock = 0;  // now(); advanced by the sleeps
    bool capture_open = true;  // the capture control window is found
    std::int64_t free_bytes = -1;  // free_space(); -1 unknown
    // The capture window is gone after a close command until the next launch.
    bool close_closes = false;
    // "Samples" holds one file, written at the time of the search (the move of it fails).
    bool samples_file = false;

    // Starts (at "show") and stops (at the stop command) with the clock then.
    struct Event {
        char kind;  // 'S' or 'E'
        int index;
        std::int64_t at;
    };
    std::vector<Event> events;
    // Run when a message box is shown, as its loop would deliver a tick; then cleared.
    std::function<void()> inside_message;
    std::vector<int> steps_at_messages;  // recording.status_step when each box was shown

    SchedulerRig();
    ~SchedulerRig();

    // Slot i: name "r<i>", dates, times; weekly on mask when mask >= 0, else once only.
    // Sets the count in use.
    void reserve(int i, const char* start_date, const char* end_date, const char* start_time,
                 const char* end_time, int mask = -1);
    // One tick at t, with the clock set to t.
    void tick(std::int64_t t);
    // The tick after the one at t: a second later, or, after a sequence, the timer message
    // that fell due while it waited, delivered as soon as it returns, in that same second.
    std::int64_t next_tick(std::int64_t t) const;
    // Ticks once a second from `from` to `to`, skipping the seconds a sequence waited.
    void run(std::int64_t from, std::int64_t to);
    // The start ("show") and close ("capture 2029") entries, in order; the starts counted.
    std::vector<std::string> milestones() const;
    int starts() const;

    void post_request(WindowRef d, CaptureRequest request) override;
    void send_request(WindowRef d, CaptureRequest request) override;
    void repaint(WindowRef d) override;
    void show_reservation(WindowRef d, int index) override;
    void sleep_ms(std::uint32_t ms) override;
    std::int64_t now() override { return clock; }
    WindowRef find_window(const char*, const char*) override {
        return capture_open ? capture() : nullptr;
    }
    void launch(const char* application, const char*) override;
    void place_at_bottom(WindowRef, int, int) override { log.push_back("place"); }
    bool send(WindowRef window, std::uint32_t message) override;
    Canvas* open(WindowRef window) override;
    void close(Canvas*) override {}
    void fill_rect(int, int, int, int, Colour) override {}
    void draw_text(int, int, Colour, const char*, int, int, Colour) override {}
    void show(WindowRef owner, const char* text, const char* caption, MessageIcon icon) override;
    // Nobody answers a box that may close itself: the clock runs on to its close.
    bool show_closing(WindowRef owner, const char* text, const char* caption,
                      std::uint32_t close_after_ms) override;
    int search_first(const char* pattern, FoundFile* found) override;
    int search_next(FoundFile*) override { return -1; }
    void search_close() override {}
    int create_folder(const char* path) override;
    int move_file(const char*, const char*) override { return -1; }
    std::int64_t free_space(const char*) override { return free_bytes; }
    int read(const char* path, void* buf, std::size_t cap, std::size_t* got, bool* more) override {
        return files_->read(path, buf, cap, got, more);
    }
    int replace(const char* path, const void* data, std::size_t len) override;
    bool exists(const char* path) override { return files_->exists(path); }
    bool is_file(const char* path) override { return files_->is_file(path); }

private:
    Platform saved_;
    Files* files_;
};

// Power requests of a PC left alone, installed for its lifetime: a stand-by moves the rig's
// clock to the wake-up time armed last (and sleeps for good when none is armed); a
// shutdown, reboot or log-off ends the run.
class RigPower : public PowerRequests {
public:
    explicit RigPower(SchedulerRig& rig);
    ~RigPower();
    bool ended = false;  // the program runs no more
    int reboot() override { return end(); }
    int shutdown() override { return end(); }
    int force_logoff() override { return end(); }
    int suspend() override;
    void keep_awake(bool) override {}
    int arm_wake_timer(std::time_t at) override;
    void cancel_wake_timer() override { armed_ = false; }

private:
    int end() { return ended = true, 0; }
    SchedulerRig& rig_;
    PowerRequests* saved_;
    bool armed_ = false;
    std::time_t armed_at_ = 0;
};
