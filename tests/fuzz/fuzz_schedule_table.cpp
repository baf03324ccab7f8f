// A schedule table of any content, as a damaged or foreign "recdata.dat" would give it,
// run through the scheduler over a stretch of simulated time, drawn in every picture of
// the panel, and shown in and stored back from the reservation form.
//
// Input: bytes 0..11039 are the table (a shorter input is padded with zeros); the bytes
// after it, each 0 when absent, are: the number of reservations in use (mod 41; without
// it, the count of leading names as the program computes it), the time zone, four bytes
// of start-time offset, a flags byte, and then the steps between ticks, used in turn.
// Flags: 1 the install folder, 2 the capture window never shows, 4 writes fail, 8 one
// settings file missing, 16 a tick inside a start, 32 moves fail, 64 the capture
// application already open.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <ctime>

#include "base/capture_interface.h"
#include "capture_settings/settings_file.h"
#include "engine/capture_control.h"
#include "engine/forecast.h"
#include "engine/scheduler.h"
#include "reservations/form.h"
#include "reservations/reservation.h"
#include "resources/resource_ids.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/support/core_state.h"
#include "view/timetable.h"

namespace {

const char* const kZones[] = {"Asia/Tokyo", "Europe/Berlin", "UTC", "America/New_York",
                              "Australia/Lord_Howe"};
const int kZoneCount = sizeof(kZones) / sizeof(kZones[0]);

// Monday 2024-03-25 00:00 UTC: the week of the European change to summer time.
const std::int64_t kBase = 1711324800;
const int kTicks = 400;

const Area kPanel = {7, 7, 518, 253};
const Area kSwatch = {kSwatchRect.left, kSwatchRect.top, kSwatchRect.right, kSwatchRect.bottom};

WindowRef const kDialog = (WindowRef)0xD1A;
WindowRef const kCaptureWindow = (WindowRef)0xCA9;

const char kSettingsText[] =
    "[Video]\r\ndwVideoBitrate=4000000\r\ndwAudioBitrate=384\r\ndwAudioSampleFreq=48000\r\n"
    "HRes=0\r\nm_bIsVBR=0\r\nOMODE=0\r\nIsEs=3\r\nMPeriod=3\r\nm_NNtsc=15\r\n[Picture]\r\n"
    "Brightness=127\r\nContrast=70\r\nSaturation=67\r\nHue=0\r\n";

FuzzMessages messages;
std::int64_t sim_now;

int line_count(const std::string& s) {
    int n = 0;
    for (char c : s) n += c == '\n';
    return n;
}

// The sequences are checked where the core's calls arrive: a settings file read is a
// writer, a canvas opened on a new recording.status_step is that step shown, and the waits,
// the capture window, the commands, the move and the power request each arrive at their
// own seam. These hooks, defined with the host below, take them in.
void settings_read(const char* path);
void canvas_opened(WindowRef window);
void canvas_closed();
void waited(std::uint32_t ms);

struct SequenceFiles : FuzzFiles {
    int read(const char* path, void* buf, std::size_t cap, std::size_t* got, bool* more) override {
        settings_read(path);
        return FuzzFiles::read(path, buf, cap, got, more);
    }
} files;

struct SequenceClock : FuzzClock {
    void sleep_ms(std::uint32_t ms) override {
        waited(ms);
        FuzzClock::sleep_ms(ms);
    }
} clock_;

struct SequenceSurfaces : CheckingSurfaces {
    Canvas* open(WindowRef window) override {
        Canvas* c = CheckingSurfaces::open(window);
        canvas_opened(window);
        return c;
    }
    void close(Canvas* c) override {
        canvas_closed();
        CheckingSurfaces::close(c);
    }
} surfaces;

const Reservation& recorded() { return reservations.table.slots[recording.index]; }

// The host as the program has it (form rules, the dialog's paint step), holding the state
// of the sequence under way and checking that its events come in their order.
struct Host : SchedulerHost {
    enum Phase { Idle, Starting, Recording, Stopping } phase = Idle;
    int count = 0;
    int next_step = 2;        // the status step due next
    int shown_step = 0;       // the step last drawn in a sequence
    int lines_due = -1;       // lines the canvas open now must draw; -1 when it shows no step
    int texts_at_open = 0;
    bool open_fails = false;  // the capture application never shows its window
    bool app_open = false;    // its window is there to be found
    bool app_was_open = false, launched = false, reservation_shown = false, waited = false;
    bool record_posted = false, stop_sent = false, close_sent = false;
    bool moving = false, repainting = false, repainted = false;
    int writers = 0;
    std::uint64_t after_wait_ms = 0;
    int power_requests = 0, last_power = 0;
    std::int64_t reentrant_at = -1;
    int starts = 0, stops = 0;
    std::int64_t start_tick = 0;

    void expect_index(int index) {
        FUZZ_CHECK(index == recording.index, "index %d while recording %d", index,
                   recording.index);
        FUZZ_CHECK(index >= 0 && index < count, "index %d of %d in use", index, count);
    }
    // Without a window there is nothing to close.
    bool closed() const { return close_sent || recording.capture_window == nullptr; }

    void post_request(WindowRef dialog, CaptureRequest request) override {
        FUZZ_CHECK(dialog == kDialog && request == kRequestRecord && phase == Starting && next_step == 5,
                   "posted %d", (int)request);
        record_posted = true;
    }
    void send_request(WindowRef dialog, CaptureRequest request) override {
        FUZZ_CHECK(dialog == kDialog && request == kRequestStop && phase == Stopping && next_step == 7,
                   "sent %d", (int)request);
        stop_sent = true;
    }
    void repaint(WindowRef dialog) override {
        FUZZ_CHECK(dialog == kDialog && phase == Stopping && next_step == 2 && closed() &&
                       !recording.active && !repainted,
                   "repaint out of order");
        repainted = true;
        moving = false;
        surfaces.max_text = 100;
        surfaces.allow_only(kPanel);
        surfaces.allow_also(kSwatch);
        repainting = true;
        paint_main_panel(dialog, (std::time_t)sim_now, recording.active != 0, recording.status_step,
                         recording.index);
        repainting = false;
    }
    void show_reservation(WindowRef dialog, int index) override {
        FUZZ_CHECK(dialog == kDialog && phase == Starting && next_step == 3 && !reservation_shown,
                   "reservation shown out of order");
        expect_index(index);
        reservation_shown = true;
        FormValues v;
        bool colour_set;
        form_values_for(index, (std::time_t)sim_now, &v, &colour_set);
    }

    // A start is seen first by a writer, or by status step 2 when no writer runs.
    void begin_start() {
        FUZZ_CHECK(recording.active && recording.sequence_running, "a start outside a sequence");
        if (phase == Starting) return;
        FUZZ_CHECK(phase == Idle, "a start while recording");
        phase = Starting;
        app_was_open = app_open;
        launched = reservation_shown = waited = record_posted = false;
        writers = 0;
        ++starts;
        start_tick = sim_now;
        FUZZ_CHECK(recording.stop_time >= start_tick + 60, "stop time before the look-ahead moment");
        if (recorded().repeat_mode == 1)
            FUZZ_CHECK(recording.stop_time <= start_tick + 2 * 86400 + 7200,
                       "weekly recording longer than its daily window");
    }
    void step_shown(WindowRef dialog, int step) {
        FUZZ_CHECK(dialog == kDialog, "status on another window");
        expect_index(recording.index);
        FUZZ_CHECK(step == next_step, "status step %d where %d was due", step, next_step);
        const Reservation& r = recorded();
        switch (step) {
        case 2: {
            begin_start();
            const int due = (r.use_conditions != 0) + (r.use_quality != 0) +
                            ((std::int8_t)r.stream_format > 0) + (r.use_gop != 0);
            FUZZ_CHECK(writers == due, "%d settings writers where %d were due", writers, due);
            break;
        }
        case 3:
            FUZZ_CHECK(reservation_shown && launched == (!app_was_open || open_fails) &&
                           waited == launched,
                       "capture application opened out of order");
            FUZZ_CHECK(recording.capture_window == (open_fails ? nullptr : kCaptureWindow),
                       "capture window %p kept", recording.capture_window);
            break;
        case 4: FUZZ_CHECK(waited, "record command without the wait before it"); break;
        case 5:
            FUZZ_CHECK(record_posted, "recording shown before the record command");
            phase = Recording;
            break;
        case 6:
            FUZZ_CHECK(phase == Recording, "a stop while not recording");
            phase = Stopping;
            stop_sent = close_sent = moving = repainted = false;
            after_wait_ms = 0;
            power_requests = 0;
            break;
        case 7: FUZZ_CHECK(stop_sent && waited, "closing without the stop command and its wait"); break;
        }
        waited = false;
        shown_step = step;
        next_step = step == 5 ? 6 : (step == 7 ? 2 : step + 1);
        lines_due = step <= 3 ? 3 : (step >= 7 ? 7 : step);
        texts_at_open = surfaces.texts;
        surfaces.allow_only(kPanel);
    }
    // The end of the tick that ran a stop: the reservation's own power action, after its wait.
    void end_stop() {
        FUZZ_CHECK(repainted, "stop sequence ended before the repaint");
        const Reservation& r = recorded();
        FUZZ_CHECK(after_wait_ms == (std::uint64_t)(std::uint32_t)r.after_delay * 1000u,
                   "waited %llu ms after a recording of after_delay %d",
                   (unsigned long long)after_wait_ms, (int)r.after_delay);
        const int action = (std::int8_t)r.after_action;
        if (action >= 1 && action <= 3)
            FUZZ_CHECK(power_requests == 1 && last_power == action, "after action %d: %d requests, last %d",
                       action, power_requests, last_power);
        else
            FUZZ_CHECK(power_requests == 0 || (action == 4 && power_requests == 1 && last_power == 4),
                       "after action %d: %d requests", action, power_requests);
        phase = Idle;
        ++stops;
    }
} host;

// The capture application: found when open (unless its window never shows), opened by a
// launch, gone once closed.
struct CaptureDesktop : Desktop {
    static void expect_opening() {
        FUZZ_CHECK(host.phase == Host::Starting && host.next_step == 3 && !host.reservation_shown,
                   "capture application opened out of order");
    }
    WindowRef find_window(const char* window_class, const char* title) override {
        expect_opening();
        FUZZ_CHECK(std::strcmp(window_class, kCaptureWindowClass) == 0 &&
                       std::strcmp(title, kCaptureWindowTitle) == 0,
                   "looked for %s", title);
        return host.app_open && !host.open_fails ? kCaptureWindow : nullptr;
    }
    void launch(const char* application, const char* command_line) override {
        expect_opening();
        FUZZ_CHECK(!host.launched, "launched twice");
        char exe[260];
        capture_path(exe, sizeof(exe), capture_choice.use_install_folder, capture_exe_name(recorded().mpeg1 != 0));
        FUZZ_CHECK(std::strcmp(application, exe) == 0 &&
                       command_line == "\"" + std::string(exe) + "\"",
                   "launched %s as %s", application, command_line);
        host.launched = host.app_open = true;
    }
    void place_at_bottom(WindowRef window, int x, int y) override {
        expect_opening();
        FUZZ_CHECK(window == kCaptureWindow && x == 0 && y == 0, "placed %p at %d,%d", window, x, y);
    }
    bool send(WindowRef window, std::uint32_t message) override {
        FUZZ_CHECK(window == kCaptureWindow && message == kCaptureClose && host.phase == Host::Stopping &&
                       host.next_step == 2 && host.stop_sent && !host.close_sent,
                   "message %u to the capture window", message);
        host.close_sent = true;
        host.app_open = false;
        return true;
    }
} desktop;

struct CountingPower : PowerRequests {
    static void request(int kind) {
        FUZZ_CHECK(host.phase == Host::Stopping && host.repainted, "power request %d out of order", kind);
        ++host.power_requests;
        host.last_power = kind;
    }
    int reboot() override { return request(1), 0; }
    int shutdown() override { return request(2), 0; }
    int force_logoff() override { return request(3), 0; }
    int suspend() override { return request(4), 0; }
    void keep_awake(bool) override {}
    int arm_wake_timer(std::time_t) override { return 0; }
    void cancel_wake_timer() override {}
} power;

// "Samples" with a few recordings, one named by the recorded reservation's reserved bytes;
// folders are created or not, and moves succeed or fail, by the input's flags.
struct Folders : FolderSystem {
    int next = 0;
    bool moves_fail = false;
    char extra_name[64] = "";
    int search_first(const char* pattern, FoundFile* found) override {
        FUZZ_CHECK(std::strstr(pattern, "Samples\\*.*") != nullptr, "searched %s", pattern);
        // Searched for the recording's result, and again for the move.
        FUZZ_CHECK(host.phase == Host::Stopping && host.next_step == 2 && host.closed() &&
                       !recording.active && !host.repainted,
                   "search out of order");
        const Reservation& r = recorded();
        copy_field(extra_name, sizeof(extra_name), r.reserved, sizeof(r.reserved));
        // The move's lines show whole paths.
        host.moving = r.move_after_record != 0;
        surfaces.max_text = 600;
        next = 0;
        return search_next(found);
    }
    int search_next(FoundFile* found) override {
        static const char* const names[] = {"20240325-205900.mpg", "..", nullptr};
        if (next > 2) return -1;
        std::memset(found, 0, sizeof(*found));
        const char* name = names[next] ? names[next] : extra_name;
        std::snprintf(found->name, sizeof(found->name), "%s", name);
        found->name_exact = true;
        found->attributes = next == 1 ? kAttributeDirectory : kAttributeArchive;
        // Written during the recording, so that they are this recording's.
        found->last_write_time = recording.started_at + next;
        ++next;
        return 0;
    }
    void search_close() override {}
    int create_folder(const char* path) override {
        FUZZ_CHECK(std::strlen(path) <= sizeof(Reservation::move_folder), "folder of %zu bytes",
                   std::strlen(path));
        return std::strlen(path) % 2 ? 0 : -1;
    }
    // The move takes a file of "Samples" into the folder as the record stores it.
    int move_file(const char* from, const char* to) override {
        FUZZ_CHECK(host.moving, "a move without a search");
        const std::string samples = std::string(capture_folder(capture_choice.use_install_folder)) + "Samples\\";
        FUZZ_CHECK(std::strncmp(from, samples.c_str(), samples.size()) == 0, "moved from %s", from);
        char folder[sizeof(Reservation::move_folder) + 1];
        FIELD_COPY(folder, recorded(), move_folder);
        FUZZ_CHECK(std::strncmp(to, folder, std::strlen(folder)) == 0, "moved to %s", to);
        return moves_fail ? -1 : 0;
    }
    std::int64_t free_space(const char*) override { return -1; }
} folders;

void settings_read(const char* path) {
    FUZZ_CHECK(recording.sequence_running, "a settings file read outside a sequence");
    char expected[kSettingsPathSize];
    capture_path(expected, sizeof(expected), capture_choice.use_install_folder, capture_ini_name(recorded().mpeg1 != 0));
    if (host.phase == Host::Stopping) {
        // The recording's rates, for its expected size: read only, after the close.
        FUZZ_CHECK(host.closed() && !recording.active && std::strcmp(path, expected) == 0,
                   "rates read out of order from %s", path);
        return;
    }
    if (host.phase == Host::Idle && recording.status_step != 2) {
        // The recording's rates, for its expected size against the free space: read only,
        // before the writers (which come once step 2 is set).
        FUZZ_CHECK(recording.active && recorded().use_conditions == 0 && std::strcmp(path, expected) == 0,
                   "rates read at the start from %s", path);
        return;
    }
    host.begin_start();
    // Until step 2 is shown, a repaint (from a writer's message box) draws it already.
    FUZZ_CHECK(host.next_step == 2 && recording.status_step == 2,
               "settings written after the start was shown");
    FUZZ_CHECK(std::strcmp(path, expected) == 0, "read %s", path);
    ++host.writers;
    if (host.reentrant_at >= 0) {
        // A message box of a writer lets ticks through: they must not start or stop anything.
        std::int64_t t = host.reentrant_at;
        host.reentrant_at = -1;
        const int before = recording.index;
        check_schedule(kDialog, host.count, &recording.capture_window, (std::time_t)t);
        FUZZ_CHECK(recording.active && recording.sequence_running && recording.index == before &&
                       host.next_step == 2,
                   "a tick inside a start sequence changed the recording");
    }
}

void canvas_opened(WindowRef window) {
    host.lines_due = -1;
    if (!recording.sequence_running) return;
    if (recording.status_step != host.shown_step)
        host.step_shown(window, recording.status_step);
    else
        FUZZ_CHECK(host.moving || host.repainting, "a paint in a sequence that shows no new step");
}

void canvas_closed() {
    if (host.lines_due >= 0)
        FUZZ_CHECK(surfaces.texts - host.texts_at_open == host.lines_due,
                   "step %d drawn in %d lines", host.shown_step, surfaces.texts - host.texts_at_open);
    host.lines_due = -1;
}

void waited(std::uint32_t ms) {
    FUZZ_CHECK(recording.sequence_running, "a wait outside a sequence");
    bool expected = false;
    if (host.phase == Host::Starting && host.next_step == 3)
        expected = ms == kCaptureLaunchWaitMs && host.launched && !host.waited;
    else if (host.phase == Host::Starting && host.next_step == 4)
        expected = ms == kWaitBeforeRecordMs && !host.waited;
    else if (host.phase == Host::Stopping && host.next_step == 7)
        expected = ms == kWaitAfterStopMs && host.stop_sent && !host.waited;
    else if (host.phase == Host::Stopping && host.next_step == 2 && host.closed())
        expected = host.repainted || (host.moving && ms == 3000);
    FUZZ_CHECK(expected, "a wait of %u ms before step %d", ms, host.next_step);
    host.waited = true;
    if (host.repainted) host.after_wait_ms += ms;
}

// A tick at time t, and what must hold after it.
void tick(std::int64_t t) {
    sim_now = t;
    check_schedule(kDialog, host.count, &recording.capture_window, (std::time_t)t);
    FUZZ_CHECK(!recording.sequence_running, "a sequence left running");
    if (host.phase == Host::Stopping) host.end_stop();
    FUZZ_CHECK(host.phase == (recording.active ? Host::Recording : Host::Idle),
               "tick ended mid-sequence");
    FUZZ_CHECK(recording.active == 0 || recording.active == 1, "is_recording %d", recording.active);
    surfaces.allow_only(kPanel);
    paint_clock(kDialog, (std::time_t)sim_now);
}

bool six_digits(const char* f) {
    for (int i = 0; i < 6; ++i)
        if (f[i] < '0' || f[i] > '9') return false;
    return f[6] == '\0';
}

int two(const char* f) { return (f[0] - '0') * 10 + (f[1] - '0'); }

int month_days(int year, int month) {
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
    return month == 2 && leap ? 29 : days[month - 1];
}

bool valid_date(const char* f) {
    if (!six_digits(f)) return false;
    const int m = two(f + 2), d = two(f + 4);
    return m >= 1 && m <= 12 && d >= 1 && d <= month_days(2000 + two(f), m);
}

bool valid_time(const char* f) {
    return six_digits(f) && two(f) <= 23 && two(f + 2) <= 59 && two(f + 4) <= 59;
}

// The day after a valid yymmdd date; the century wraps as two-digit years do.
void day_after(const char* f, char* out) {
    int y = two(f), m = two(f + 2), d = two(f + 4) + 1;
    if (d > month_days(2000 + y, m)) {
        d = 1;
        if (++m > 12) {
            m = 1;
            y = (y + 1) % 100;
        }
    }
    std::snprintf(out, 7, "%02d%02d%02d", y, m, d);
}

// The forecast of any table, with any count: every occurrence it lists is one the rule gives,
// in order, and every start it foretells is at a tick at which the scan finds it due.
void check_forecast(std::time_t now, int count, bool capture_open) {
    static Forecast forecast;
    ForecastInput in = {};
    in.table = &reservations.table;
    in.count = count;
    in.now = now;
    in.capture_open = capture_open;
    in.rates[0] = {4000000, 384};
    in.rates[1] = {-1, -1};
    make_forecast(in, &forecast);
    FUZZ_CHECK(forecast.count >= 0 && forecast.count <= kForecastMax, "%d listed", forecast.count);
    for (int k = 0; k < forecast.count; ++k) {
        const ForecastEntry& e = forecast.entries[k];
        const Occurrence& o = e.occurrence;
        FUZZ_CHECK(o.index >= 0 && o.index < kMaxReservations && o.index < count, "slot %d", o.index);
        Occurrence rule;
        FUZZ_CHECK(occurrence_at(reservations.table.slots[o.index], o.index, o.first, &rule) &&
                       rule.start == o.start && rule.last == o.last,
                   "slot %d: an occurrence the rule does not give", o.index);
        FUZZ_CHECK(k == 0 || forecast.entries[k - 1].occurrence.first <= o.first, "out of order at %d", k);
        if (e.fate == kFateOnTime || e.fate == kFateLate)
            FUZZ_CHECK(e.start_tick >= now && occurrence_at(reservations.table.slots[o.index], o.index,
                                                            e.start_tick, &rule),
                       "slot %d started when not due", o.index);
    }
    char text[4096];
    forecast_text(forecast, reservations.table, -1, text, sizeof(text));
}

// What the form shows for every slot is within the form's ranges, and storing it back
// unchanged (an update without edits) keeps a record that the form could have written.
void check_form(std::time_t now) {
    for (int i = 0; i < kMaxReservations; ++i) {
        FormValues v;
        bool colour_set;
        form_values_for(i, now, &v, &colour_set);
        Reservation& r = reservations.table.slots[i];
        FUZZ_CHECK(std::strlen(v.name) <= 21, "name of %zu bytes", std::strlen(v.name));
        FUZZ_CHECK(v.start_date.month >= 0 && v.start_date.month <= 99 && v.start_time.hour <= 99 &&
                       v.end_date.day <= 99 && v.end_time.second <= 99,
                   "a field beyond two digits");
        const std::size_t name_len = FIELD_LEN(r, name);
        const bool producible =
            name_len <= (std::size_t)kMaxNameBytes && sjis_cut_length(r.name, kMaxNameBytes) == name_len &&
            valid_date(r.start_date) && valid_date(r.end_date) && valid_time(r.start_time) &&
            valid_time(r.end_time) && (r.repeat_mode == 0 || r.repeat_mode == 1) && r.weekday_mask <= 127;
        if (!producible) continue;
        const Reservation before = r;
        v.colour = r.colour;
        FUZZ_CHECK(store_form_values(i, v, kDialog) == 0, "update refused for slot %d", i);
        Reservation expected = before;
        if (before.repeat_mode == 0) {
            if (std::strcmp(before.end_time, before.start_time) < 0)
                day_after(before.start_date, expected.end_date);
            else
                std::memcpy(expected.end_date, before.start_date, 7);
        }
        FUZZ_CHECK(std::memcmp(&r, &expected, sizeof(r)) == 0,
                   "slot %d changed by an update without edits", i);
        r = before;
    }
}

// The pictures of the panel for the table as it is; with sweep, the status panel at every
// step for every slot.
void check_pictures(std::time_t now, int step_byte, int index_byte, bool sweep) {
    surfaces.allow_only(kPanel);
    surfaces.allow_also(kSwatch);
    paint_main_panel(kDialog, now, false, step_byte % 13, index_byte % kMaxReservations);
    surfaces.allow_only(kPanel);
    paint_main_panel(kDialog, now, true, step_byte % 13, index_byte % kMaxReservations);
    for (int index = -1; sweep && index <= kMaxReservations; ++index) {
        for (int step = 0; step <= 12; ++step) {
            const int texts_before = surfaces.texts;
            FUZZ_CHECK(paint_status_panel(kDialog, step, index) == step, "step not returned");
            const int lines = surfaces.texts - texts_before;
            FUZZ_CHECK(lines == (step <= 3 ? 3 : (step >= 7 ? 7 : step)), "%d lines at step %d", lines, step);
            // The name's line ends with its template's own text, read from a character
            // boundary: the name cannot swallow the first byte of it.
            if (index >= 0 && index < kMaxReservations && step == 12) {
                const std::string& first = surfaces.text_log[(texts_before) % 16];
                const char* tail = std::strstr(status_messages[0], "%s") + 2;
                FUZZ_CHECK(first.size() >= std::strlen(tail) &&
                               sjis_boundary_at(first.c_str(), first.size() - std::strlen(tail)) &&
                               first.compare(first.size() - std::strlen(tail), std::string::npos, tail) == 0,
                           "name line of slot %d garbled", index);
            }
        }
    }
}

void setup_once() {
    static bool done = false;
    if (done) return;
    done = true;
    platform.messages = &messages;
    platform.files = &files;
    platform.clock = &clock_;
    platform.surfaces = &surfaces;
    clock_.time = &sim_now;
    platform.desktop = &desktop;
    platform.host = &host;
    platform.power = &power;
    platform.folders = &folders;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    setup_once();
    reset_core_state();
    reset_schedule_cache();
    const std::size_t table_bytes = size < sizeof(ReservationTable) ? size : sizeof(ReservationTable);
    std::memcpy(&reservations.table, data, table_bytes);

    InputBytes in(data + table_bytes, size - table_bytes);
    const bool has_count = in.has_more();
    const int count_byte = in.byte();
    host.count = has_count ? count_byte % (kMaxReservations + 1) : count_in_use(reservations.table);
    reservations.count = host.count;  // the wake-up timer and stand-by read it, as in the program
    use_time_zone(kZones[in.byte() % kZoneCount]);
    reset_schedule_cache();
    const std::int64_t offset = (std::int64_t)(std::int32_t)in.u32() % (366 * 86400);
    const int flags = in.byte();
    capture_choice.use_install_folder = flags & 1;
    host.open_fails = (flags & 2) != 0;
    host.app_open = (flags & 64) != 0;
    files.fail_replace = (flags & 4) != 0;
    folders.moves_fail = (flags & 32) != 0;
    std::uint8_t steps[64];
    int step_count = 0;
    while (in.has_more() && step_count < 64) steps[step_count++] = in.byte();

    // The capture settings files, where the writers look for them; one is missing at times.
    files.files.clear();
    files.replace_calls = 0;
    for (int install = 0; install < 2; ++install) {
        for (int mpeg1 = 0; mpeg1 < 2; ++mpeg1) {
            if ((flags & 8) && mpeg1) continue;
            char path[kSettingsPathSize];
            capture_path(path, sizeof(path), install, capture_ini_name(mpeg1));
            files.files[path] = kSettingsText;
        }
    }
    messages.count = 0;

    host.phase = Host::Idle;
    host.next_step = 2;
    host.shown_step = recording.status_step;
    host.starts = host.stops = 0;
    host.reentrant_at = (flags & 16) ? kBase + offset + 3 * 86400 : -1;

    std::int64_t t = kBase + offset;
    check_pictures((std::time_t)t, flags >> 3, flags, true);
    check_form((std::time_t)t);
    check_forecast((std::time_t)t, has_count ? count_byte : host.count, host.app_open);
    for (int k = 0; k < kTicks; ++k) {
        tick(t);
        if (k % 100 == 99) check_pictures((std::time_t)sim_now, k, k / 100, false);
        // A tick follows as soon as the last one has returned; then the chosen step.
        std::int64_t step = 30;
        if (step_count > 0) {
            const int b = steps[k % step_count];
            step = b < 128 ? b + 1 : (std::int64_t)(b - 127) * 300;
        }
        t = sim_now + step;
    }
    // A running recording still ends at its stop time.
    if (recording.active) {
        tick(recording.stop_time > sim_now ? (std::int64_t)recording.stop_time : sim_now + 1);
        FUZZ_CHECK(!recording.active, "recording not stopped at its stop time");
    }
    FUZZ_CHECK(host.starts == host.stops, "%d starts, %d stops", host.starts, host.stops);

    // The writers' files keep every line, and only the writers speak.
    for (const auto& f : files.files)
        FUZZ_CHECK(line_count(f.second) == line_count(kSettingsText), "settings file lost lines");
    if (messages.count > 0) FUZZ_CHECK(messages.last_caption == "err", "unexpected message");
    return 0;
}
