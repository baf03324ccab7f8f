// A schedule table of any content, as a damaged or foreign "recdata.dat" would give it,
// run through the scheduler over a stretch of simulated time, drawn in every picture of
// the panel, and shown in and stored back from the reservation form.
//
// Input: bytes 0..11039 are the table (a shorter input is padded with zeros); the bytes
// after it, each 0 when absent, are: the number of reservations in use (mod 41; without
// it, the count of leading names as the program computes it), the time zone, four bytes
// of start-time offset, a flags byte, and then the steps between ticks, used in turn.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <ctime>

#include "engine/scheduler.h"
#include "capture_settings/settings_file.h"
#include "engine/after_actions.h"
#include "base/capture_interface.h"
#include "engine/scheduler.h"
#include "reservations/form.h"
#include "reservations/reservation.h"
#include "tests/fuzz/fuzz_support.h"
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
FuzzFiles files;
FuzzClock clock_;
CheckingSurfaces surfaces;
std::int64_t sim_now;

int line_count(const std::string& s) {
    int n = 0;
    for (char c : s) n += c == '\n';
    return n;
}

struct CountingPower : PowerRequests {
    int requests = 0;
    void reboot() override { ++requests; }
    void shutdown() override { ++requests; }
    void force_logoff() override { ++requests; }
    void suspend() override { ++requests; }
    void keep_awake(bool) override {}
    int arm_wake_timer(std::time_t) override { return 0; }
    void cancel_wake_timer() override {}
} power;

// "Samples" with a few recordings, one named by the recorded reservation's reserved bytes;
// folders are created or not, and moves succeed or fail, by the input's flags.
struct Folders : FolderSystem {
    int next = 0;
    bool moves_fail = false;
    std::string last_from, last_to;
    char extra_name[64] = "";
    int search_first(const char* pattern, FoundFile* found) override {
        FUZZ_CHECK(std::strstr(pattern, "Samples\\*.*") != nullptr, "searched %s", pattern);
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
        found->last_write_time = 1711400000 + next;
        ++next;
        return 0;
    }
    void search_close() override {}
    int create_folder(const char* path) override {
        FUZZ_CHECK(std::strlen(path) <= sizeof(Reservation::move_folder), "folder of %zu bytes",
                   std::strlen(path));
        return std::strlen(path) % 2 ? 0 : -1;
    }
    int move_file(const char* from, const char* to) override {
        last_from = from;
        last_to = to;
        return moves_fail ? -1 : 0;
    }
} folders;

// The host as the program has it, with the real writers, status panel, form rules and
// after-recording wait, checking that the sequences run in their order.
struct Host : SchedulerHost {
    enum Phase { Idle, Starting, Recording, Stopping } phase = Idle;
    int next_step = 2;
    int count = 0;
    bool recorded_command = false, stop_command = false, close_sent = false;
    bool open_fails = false;
    std::int64_t reentrant_at = -1;
    int starts = 0, stops = 0;
    std::int64_t start_tick = 0;

    void expect_index(int index) {
        FUZZ_CHECK(index == recording.index, "index %d while recording %d", index,
                   recording.index);
        FUZZ_CHECK(index >= 0 && index < count, "index %d of %d in use", index, count);
    }
    void sleep_ms(std::uint32_t ms) override {
        FUZZ_CHECK(recording.sequence_running, "a wait outside a sequence");
        sim_now += ms / 1000;
    }
    int show_status(WindowRef dialog, int step, int index) override {
        FUZZ_CHECK(dialog == kDialog, "status on another window");
        expect_index(index);
        FUZZ_CHECK(step == next_step, "status step %d where %d was due", step, next_step);
        if (step == 2) {
            begin_start();
        } else if (step == 6) {
            FUZZ_CHECK(phase == Recording, "a stop while not recording");
            phase = Stopping;
            stop_command = close_sent = false;
        }
        if (step == 5) {
            FUZZ_CHECK(recorded_command, "recording shown before the record command");
            phase = Recording;
        }
        next_step = step == 5 ? 6 : (step == 7 ? 2 : step + 1);
        surfaces.allow_only(kPanel);
        return paint_status_panel(dialog, step, index);
    }
    void post_command(WindowRef, int id) override {
        FUZZ_CHECK(id == kCommandRecord && phase == Starting && next_step == 5, "posted %d", id);
        recorded_command = true;
    }
    void send_command(WindowRef, int id) override {
        FUZZ_CHECK(id == kCommandStop && phase == Stopping && next_step == 7, "sent %d", id);
        stop_command = true;
    }
    void send_to_capture(WindowRef, unsigned message) override {
        FUZZ_CHECK(message == kCaptureClose && phase == Stopping && next_step == 2 && stop_command,
                   "message %u to the capture window", message);
        close_sent = true;
    }
    void repaint(WindowRef dialog) override {
        FUZZ_CHECK(phase == Stopping && close_sent && !recording.active, "repaint out of order");
        surfaces.allow_only(kPanel);
        surfaces.allow_also(kSwatch);
        paint_main_panel(dialog, (std::time_t)sim_now);
    }
    void show_reservation(WindowRef, int index) override {
        expect_index(index);
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
        recorded_command = false;
        ++starts;
        start_tick = sim_now;
        const Reservation& r = reservations.table.slots[recording.index];
        FUZZ_CHECK(recording.stop_time >= start_tick + 60, "stop time before the look-ahead moment");
        if (r.repeat_mode == 1)
            FUZZ_CHECK(recording.stop_time <= start_tick + 2 * 86400 + 7200,
                       "weekly recording longer than its daily window");
    }
    int writer(int index) {
        begin_start();
        expect_index(index);
        FUZZ_CHECK(next_step == 2, "settings written after the start was shown");
        if (reentrant_at >= 0) {
            // A message box of a writer lets ticks through: they must not start or stop anything.
            std::int64_t t = reentrant_at;
            reentrant_at = -1;
            const int before = recording.index;
            check_schedule(kDialog, count, &recording.capture_window, (std::time_t)t);
            FUZZ_CHECK(recording.active && recording.index == before && next_step == 2,
                       "a tick inside a start sequence changed the recording");
        }
        return 0;
    }
    int apply_recording_conditions(WindowRef o, int i) override { return writer(i), ::apply_recording_conditions(o, i); }
    int apply_picture_quality(WindowRef o, int i) override { return writer(i), ::apply_picture_quality(o, i); }
    int apply_stream_format(WindowRef o, int i) override { return writer(i), ::apply_stream_format(o, i); }
    int apply_gop_structure(WindowRef o, int i) override { return writer(i), ::apply_gop_structure(o, i); }
    void open_capture_application(WindowRef* w, int index) override {
        FUZZ_CHECK(phase == Starting && next_step == 3, "capture application opened out of order");
        expect_index(index);
        *w = open_fails ? nullptr : kCaptureWindow;
    }
    void move_newest_recording(WindowRef dialog, const char* folder) override {
        FUZZ_CHECK(phase == Stopping && close_sent, "move out of order");
        FUZZ_CHECK(std::strlen(folder) < sizeof(Reservation::move_folder) + 1, "folder too long");
        const Reservation& r = reservations.table.slots[recording.index];
        copy_field(folders.extra_name, sizeof(folders.extra_name), r.reserved, sizeof(r.reserved));
        folders.last_from.clear();
        surfaces.max_text = 600;
        ::move_newest_recording(dialog, folder);
        surfaces.max_text = 100;
        // The move takes a file of "Samples" into the folder as it is stored.
        if (!folders.last_from.empty()) {
            const std::string samples = std::string(capture_folder(use_install_folder)) + "Samples\\";
            FUZZ_CHECK(folders.last_from.compare(0, samples.size(), samples) == 0, "moved from %s",
                       folders.last_from.c_str());
            FUZZ_CHECK(folders.last_to.compare(0, std::strlen(folder), folder) == 0, "moved to %s",
                       folders.last_to.c_str());
        }
    }
    void run_after_action(int index) override {
        FUZZ_CHECK(phase == Stopping && close_sent && !recording.active, "power action out of order");
        ::run_after_action(index);
        phase = Idle;
        ++stops;
    }
} host;


// A tick at time t, and what must hold after it.
void tick(std::int64_t t) {
    sim_now = t;
    check_schedule(kDialog, host.count, &recording.capture_window, (std::time_t)t);
    FUZZ_CHECK(!recording.sequence_running, "a sequence left running");
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
    const AppState saved = app;
    recording.active = 0;
    surfaces.allow_only(kPanel);
    surfaces.allow_also(kSwatch);
    paint_main_panel(kDialog, now);
    recording.active = 1;
    recording.status_step = step_byte % 13;
    recording.index = index_byte % kMaxReservations;
    surfaces.allow_only(kPanel);
    paint_main_panel(kDialog, now);
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
    app = saved;
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
    platform.host = &host;
    platform.power = &power;
    platform.folders = &folders;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    setup_once();
    reset_program_state();
    reset_schedule_cache();
    const std::size_t table_bytes = size < sizeof(ReservationTable) ? size : sizeof(ReservationTable);
    std::memcpy(&reservations.table, data, table_bytes);

    InputBytes in(data + table_bytes, size - table_bytes);
    const bool has_count = in.has_more();
    const int count_byte = in.byte();
    host.count = has_count ? count_byte % (kMaxReservations + 1) : count_in_use(reservations.table);
    use_time_zone(kZones[in.byte() % kZoneCount]);
    reset_schedule_cache();
    const std::int64_t offset = (std::int64_t)(std::int32_t)in.u32() % (366 * 86400);
    const int flags = in.byte();
    use_install_folder = flags & 1;
    host.open_fails = (flags & 2) != 0;
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
    host.starts = host.stops = 0;
    host.reentrant_at = (flags & 16) ? kBase + offset + 3 * 86400 : -1;

    std::int64_t t = kBase + offset;
    check_pictures((std::time_t)t, flags >> 3, flags, true);
    check_form((std::time_t)t);
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
