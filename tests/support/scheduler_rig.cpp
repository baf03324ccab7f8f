#include "tests/support/scheduler_rig.h"

#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include "base/capture_interface.h"
#include "engine/scheduler.h"

SchedulerRig::SchedulerRig() : saved_(platform), files_(platform.files) {
    platform.host = this;
    platform.clock = this;
    platform.desktop = this;
    platform.surfaces = this;
    platform.messages = this;
    platform.folders = this;
    platform.files = this;
    reset_schedule_cache();
    set_default_reservations(reservations.table);
}

SchedulerRig::~SchedulerRig() { platform = saved_; }

void SchedulerRig::reserve(int i, const char* start_date, const char* end_date,
                           const char* start_time, const char* end_time, int mask) {
    Reservation& r = reservations.table.slots[i];
    std::snprintf(r.name, sizeof(r.name), "r%d", i);
    std::memcpy(r.start_date, start_date, std::strlen(start_date) + 1);
    std::memcpy(r.end_date, end_date, std::strlen(end_date) + 1);
    std::memcpy(r.start_time, start_time, std::strlen(start_time) + 1);
    std::memcpy(r.end_time, end_time, std::strlen(end_time) + 1);
    r.repeat_mode = mask >= 0 ? 1 : 0;
    r.weekday_mask = (std::uint8_t)(mask >= 0 ? mask : 0);
    reservations.count = count_in_use(reservations.table);
}

void SchedulerRig::tick(std::int64_t t) {
    clock = t;
    check_schedule(dialog(), reservations.count, &recording.capture_window, (std::time_t)t);
}

void SchedulerRig::run(std::int64_t from, std::int64_t to) {
    std::int64_t t = from;
    while (t <= to) {
        tick(t);
        t = next_tick(t);
    }
}

std::int64_t SchedulerRig::next_tick(std::int64_t t) const { return clock > t ? clock : t + 1; }

std::vector<std::string> SchedulerRig::milestones() const {
    std::vector<std::string> out;
    for (const std::string& s : log)
        if (s.rfind("show", 0) == 0 || s == "capture 2029") out.push_back(s);
    return out;
}

int SchedulerRig::starts() const {
    int n = 0;
    for (const Event& e : events) n += e.kind == 'S';
    return n;
}

void SchedulerRig::post_request(WindowRef d, CaptureRequest request) {
    EXPECT_EQ(dialog(), d);
    log.push_back(request == kRequestRecord ? "post record" : "post stop");
}

void SchedulerRig::send_request(WindowRef d, CaptureRequest request) {
    EXPECT_EQ(dialog(), d);
    log.push_back(request == kRequestRecord ? "send record" : "send stop");
    if (request == kRequestStop) events.push_back({'E', recording.index, clock});
}

void SchedulerRig::repaint(WindowRef d) {
    EXPECT_EQ(dialog(), d);
    log.push_back("repaint");
}

void SchedulerRig::show_reservation(WindowRef, int index) {
    log.push_back("show #" + std::to_string(index));
    events.push_back({'S', index, clock});
}

void SchedulerRig::sleep_ms(std::uint32_t ms) {
    log.push_back("sleep " + std::to_string(ms));
    clock += ms / 1000;
}

void SchedulerRig::launch(const char* application, const char*) {
    log.push_back(std::string("launch ") + application);
    if (close_closes) capture_open = true;
}

bool SchedulerRig::send(WindowRef window, std::uint32_t message) {
    EXPECT_EQ(capture(), window);
    log.push_back("capture " + std::to_string(message));
    if (close_closes && message == kCaptureClose) capture_open = false;
    return true;
}

Canvas* SchedulerRig::open(WindowRef) {
    if (recording.sequence_running)
        log.push_back("status " + std::to_string(recording.status_step) + " #" +
                      std::to_string(recording.index));
    return this;
}

void SchedulerRig::show(WindowRef, const char*, const char*, MessageIcon) {
    log.push_back("message");
    steps_at_messages.push_back(recording.status_step);
    if (inside_message) {
        std::function<void()> f = inside_message;
        inside_message = nullptr;
        f();
    }
}

bool SchedulerRig::show_closing(WindowRef owner, const char* text, const char* caption,
                                std::uint32_t close_after_ms) {
    show(owner, text, caption, kIconNone);
    clock += close_after_ms / 1000;
    return true;
}

int SchedulerRig::search_first(const char* pattern, FoundFile* found) {
    log.push_back(std::string("search ") + pattern);
    if (!samples_file) return -1;
    *found = FoundFile{};
    found->attributes = kAttributeArchive;
    found->last_write_time = clock;
    found->size = (std::uint64_t)1 << 40;
    std::snprintf(found->name, sizeof(found->name), "%s", "rec.mpg");
    found->name_exact = true;
    return 0;
}

int SchedulerRig::create_folder(const char* path) {
    log.push_back(std::string("mkdir ") + path);
    return 0;
}

int SchedulerRig::replace(const char* path, const void* data, std::size_t len) {
    log.push_back(std::string("write ") + path);
    return files_->replace(path, data, len);
}

RigPower::RigPower(SchedulerRig& rig) : rig_(rig), saved_(platform.power) { platform.power = this; }

RigPower::~RigPower() { platform.power = saved_; }

int RigPower::suspend() {
    if (!armed_) return end();
    if (armed_at_ > rig_.clock) rig_.clock = armed_at_;
    return 0;
}

int RigPower::arm_wake_timer(std::time_t at) {
    armed_ = true;
    armed_at_ = at;
    return 0;
}
