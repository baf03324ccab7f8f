// The core's hot paths, each in a function of its own so that callgrind can count the
// instructions of exactly one call (--toggle-collect=<function>).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "engine/history.h"
#include "engine/scheduler.h"
#include "view/timetable.h"

namespace {

// A canvas that draws nothing: the cost measured is the core's own.
class NullSurfaces : public Surfaces, public Canvas {
public:
    Canvas* open(WindowRef) override { return this; }
    void close(Canvas*) override {}
    void fill_rect(int, int, int, int, Colour) override {}
    void draw_text(int, int, Colour, const char*, int, int, Colour) override {}
};

void fail() {
    std::fprintf(stderr, "core_bench: a reservation fell due\n");
    std::exit(2);
}

// The seams that every start and stop sequence uses, none of which may be asked
// anything: no reservation is due.
class IdleHost : public SchedulerHost {
public:
    void post_request(WindowRef, CaptureRequest) override { fail(); }
    void send_request(WindowRef, CaptureRequest) override { fail(); }
    void repaint(WindowRef) override { fail(); }
    void show_reservation(WindowRef, int) override { fail(); }
};

class IdleClock : public Clock {
public:
    void sleep_ms(std::uint32_t) override { fail(); }
    std::int64_t now() override { return fail(), 0; }
};

class IdleDesktop : public Desktop {
public:
    WindowRef find_window(const char*, const char*) override { return fail(), nullptr; }
    void launch(const char*, const char*) override { fail(); }
    void place_at_bottom(WindowRef, int, int) override { fail(); }
    bool send(WindowRef, std::uint32_t) override { return fail(), false; }
};

// 40 reservations, weekly and once-only mixed, all within the shown week and none due
// at the measured moments (their times lie in the afternoon; the ticks are at 08:00).
void fill_table() {
    set_default_reservations(reservations.table);
    for (int i = 0; i < kMaxReservations; ++i) {
        Reservation& r = reservations.table.slots[i];
        std::snprintf(r.name, sizeof(r.name), "program %d", i + 1);
        int day = 7 + i % 7;
        std::snprintf(r.start_date, sizeof(r.start_date), "2612%02d", i % 2 ? 1 : day);
        std::snprintf(r.end_date, sizeof(r.end_date), "2612%02d", i % 2 ? 31 : day);
        std::snprintf(r.start_time, sizeof(r.start_time), "%02d%02d00", 13 + i % 10, i % 60);
        std::snprintf(r.end_time, sizeof(r.end_time), "%02d%02d00", 14 + i % 10, i % 60);
        r.repeat_mode = i % 2;
        r.weekday_mask = (std::uint8_t)(i % 2 ? 0x7F : 0);
        r.colour = 0x102030u * (unsigned)(i + 1);
    }
    reservations.count = count_in_use(reservations.table);
}

}  // namespace

std::time_t tick_time;

extern "C" __attribute__((noinline)) void bench_first_tick_of_day() {  // also the first ever
    check_schedule(nullptr, reservations.count, &recording.capture_window, tick_time);
}

extern "C" __attribute__((noinline)) void bench_first_tick_of_next_day() {
    check_schedule(nullptr, reservations.count, &recording.capture_window, tick_time);
}

extern "C" __attribute__((noinline)) void bench_idle_tick() {
    check_schedule(nullptr, reservations.count, &recording.capture_window, tick_time);
}

extern "C" __attribute__((noinline)) void bench_full_paint() {
    paint_main_panel(nullptr, tick_time, recording.active != 0, recording.status_step,
                     recording.index);
}

int main() {
    setenv("TZ", "Asia/Tokyo", 1);
    tzset();
    static NullSurfaces surfaces;
    static IdleHost host;
    static IdleClock clock;
    static IdleDesktop desktop;
    platform.surfaces = &surfaces;
    platform.host = &host;
    platform.clock = &clock;
    platform.desktop = &desktop;
    fill_table();
    std::tm t{};
    t.tm_year = 126;
    t.tm_mon = 11;
    t.tm_mday = 7;
    t.tm_hour = 8;
    t.tm_isdst = -1;
    tick_time = std::mktime(&t);
    bench_first_tick_of_day();
    // The tick before it came a second earlier: no gap to look over.
    tick_time += 86400;
    history_tick_end(tick_time - 1);
    bench_first_tick_of_next_day();
    tick_time += 1;
    bench_idle_tick();
    tick_time += 1;
    bench_full_paint();
    std::printf("core_bench: ok\n");
    return 0;
}
