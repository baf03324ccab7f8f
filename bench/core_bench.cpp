// The core's hot paths, each in a function of its own so that callgrind can count the
// instructions of exactly one call (--toggle-collect=<function>).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "engine/scheduler.h"
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

// A host that must never be asked anything: no reservation is due.
class IdleHost : public SchedulerHost {
public:
    void sleep_ms(std::uint32_t) override { fail(); }
    int show_status(WindowRef, int s, int) override { return fail(), s; }
    void post_command(WindowRef, int) override { fail(); }
    void send_command(WindowRef, int) override { fail(); }
    void send_to_capture(WindowRef, unsigned) override { fail(); }
    void repaint(WindowRef) override { fail(); }
    void show_reservation(WindowRef, int) override { fail(); }
    int apply_recording_conditions(WindowRef, int) override { return fail(), 0; }
    int apply_picture_quality(WindowRef, int) override { return fail(), 0; }
    int apply_stream_format(WindowRef, int) override { return fail(), 0; }
    int apply_gop_structure(WindowRef, int) override { return fail(), 0; }
    void open_capture_application(WindowRef*, int) override { fail(); }
    void move_newest_recording(WindowRef, const char*) override { fail(); }
    void run_after_action(int) override { fail(); }
private:
    static void fail() {
        std::fprintf(stderr, "core_bench: a reservation fell due\n");
        std::exit(2);
    }
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
    paint_main_panel(nullptr, tick_time);
}

int main() {
    setenv("TZ", "Asia/Tokyo", 1);
    tzset();
    static NullSurfaces surfaces;
    static IdleHost host;
    platform.surfaces = &surfaces;
    platform.host = &host;
    fill_table();
    std::tm t{};
    t.tm_year = 126;
    t.tm_mon = 11;
    t.tm_mday = 7;
    t.tm_hour = 8;
    t.tm_isdst = -1;
    tick_time = std::mktime(&t);
    bench_first_tick_of_day();
    tick_time += 86400;
    bench_first_tick_of_next_day();
    tick_time += 1;
    bench_idle_tick();
    tick_time += 1;
    bench_full_paint();
    std::printf("core_bench: ok\n");
    return 0;
}
