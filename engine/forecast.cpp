#include "engine/forecast.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include "base/calendar.h"
#include "base/capture_interface.h"
#include "base/journal.h"
#include "base/sjis.h"
#include "capture_settings/conditions.h"
#include "capture_settings/settings_file.h"
#include "engine/after_actions.h"
#include "engine/capture_control.h"
#include "engine/recording.h"
#include "engine/scheduler.h"
#include "engine/wake.h"

namespace {

const std::time_t kLaunchWait = kCaptureLaunchWaitMs / 1000;
const std::time_t kBeforeRecord = kWaitBeforeRecordMs / 1000;
const std::time_t kAfterStop = kWaitAfterStopMs / 1000;
const std::time_t kAfterMove = kAfterMoveWaitMs / 1000;
const std::time_t kDay = 24 * 60 * 60;
// A late start lies within its occurrence's due span, which is at most a day long: the
// scheduler is followed this far past the last first due moment listed.
const std::time_t kFollowBeyond = 2 * kDay;

std::time_t later(std::time_t a, std::time_t b) { return a > b ? a : b; }

int in_table(int count) { return count > kMaxReservations ? kMaxReservations : count < 0 ? 0 : count; }

// What each recording kept busy: [start, held] its sequences and the recording, then
// (held, released] its wait before the power action.
struct Busy {
    int by;
    std::time_t start, held, released;
};

// Recordings followed: every one that starts within the span and the two days after it,
// each a minute long at least (at most one an occurrence), and the one under way.
const int kBusyMax = kMaxReservations * (kForecastDays + 4) + 1;

struct Run {
    const ForecastInput& in;
    Forecast* out;
    std::time_t horizon;  // the last first due moment listed
    bool capture_open;
    Busy busy[kBusyMax];
    int busy_count;
    bool ended;  // a shutdown, reboot or log-off ended the program
    std::time_t ended_at;
    int ended_by;
};

std::int64_t expected_bytes(const ForecastInput& in, const Reservation& r, std::time_t seconds) {
    long long video = r.video_bitrate, audio = r.audio_bitrate;
    if (r.use_conditions == 0) {
        video = in.rates[r.mpeg1 != 0].video;
        audio = in.rates[r.mpeg1 != 0].audio;
    }
    if (!recording_rates_known(video, audio)) return -1;
    return (std::int64_t)expected_recording_bytes(video, audio, seconds);
}

// The settings writers' box that nobody answers, when one of them writes to a file that
// cannot be read: it closes itself, and the sequence goes on without more boxes.
std::time_t box_hold_up(const ForecastInput& in, const Reservation& r) {
    const bool writes = r.use_conditions != 0 || r.use_quality != 0 ||
                        (std::int8_t)r.stream_format > 0 || r.use_gop != 0;
    return writes && in.settings_unreadable[r.mpeg1 != 0] ? (std::time_t)(kUnattendedBoxMs / 1000) : 0;
}

ForecastEntry* new_entry(Run& run, const Occurrence& o) {
    if (run.out->count >= kForecastMax) return nullptr;
    ForecastEntry& e = run.out->entries[run.out->count++];
    e = ForecastEntry{};
    e.occurrence = o;
    const Reservation& r = run.in.table->slots[o.index];
    journal_field_text(e.name, sizeof(e.name), r.name, sizeof(r.name));
    e.by = -1;
    return &e;
}

// A start at tick whose record command goes at record_at and whose stop sequence begins
// at stop_tick. Only what falls within the span is listed.
void add_started(Run& run, const Occurrence& o, std::time_t tick, std::time_t record_at,
                 std::time_t stop_tick, bool under_way) {
    if (o.first > run.horizon && !under_way) return;
    ForecastEntry* e = new_entry(run, o);
    if (!e) return;
    e->under_way = under_way;
    e->start_tick = tick;
    e->record_at = record_at;
    // What the user loses: the programme from its start to the record command.
    e->late_seconds = record_at > o.start ? (long)(record_at - o.start) : 0;
    e->fate = e->late_seconds > 0 ? kFateLate : kFateOnTime;
    const Reservation& r = run.in.table->slots[o.index];
    e->expected_bytes = expected_bytes(run.in, r, stop_tick > record_at ? stop_tick - record_at : 0);
    const std::time_t from = later(record_at, run.in.now);
    e->bytes_to_come = e->expected_bytes < 0 ? -1 : expected_bytes(run.in, r, stop_tick > from ? stop_tick - from : 0);
}

// The stop sequence begun at stop_tick for the recording of slot i started at start, then
// its power action; the next tick, or -1 when the program runs no more. The tick that
// fell due during a blocking wait is delivered as soon as the wait ends, in that second.
std::time_t stop_and_after(Run& run, int i, std::time_t start, std::time_t stop_tick) {
    const Reservation& r = run.in.table->slots[i];
    std::time_t held = stop_tick + kAfterStop;
    run.capture_open = false;  // the close command
    if (r.move_after_record != 0) held += kAfterMove;
    std::time_t released = held + (std::time_t)(std::uint32_t)r.after_delay;
    const int action = (std::int8_t)r.after_action;
    bool ends = action >= 1 && action <= 3;
    std::time_t next;
    // A shutdown, reboot or log-off is held back, without its countdown, when the next
    // start would come too soon after it.
    if (ends && next_start(*run.in.table, run.in.count, released, &next) && next - released < kPowerHoldSeconds) {
        ends = false;
        released = held;
    }
    if (run.busy_count < kBusyMax) run.busy[run.busy_count++] = {i, start, held, released};
    if (ends) {
        run.ended = true;
        run.ended_at = released;
        run.ended_by = i;
        return -1;
    }
    if (action == 4) {
        if (!next_start(*run.in.table, run.in.count, released, &next)) return -1;
        // Stand-by, left out when the next start is near; it resumes at the wake-up timer.
        if (next - released >= kAwakeLeadSeconds) return later(next - kWakeLeadSeconds, released);
    }
    return released;
}

// Starts what the scan starts from tick t on, each recording with its sequences and its
// power action, until the program ends or nothing more is due within the span.
void follow(Run& run, std::time_t t) {
    while (t >= 0) {
        std::time_t at;
        Occurrence o;
        if (!next_occurrence(*run.in.table, run.in.count, t, &at, &o) ||
            at > run.horizon + kFollowBeyond)
            return;
        const std::time_t record_at = at + box_hold_up(run.in, run.in.table->slots[o.index]) +
                                      (run.capture_open ? 0 : kLaunchWait) + kBeforeRecord;
        run.capture_open = true;
        // The first tick after the start sequence at or past the stop time: the one that
        // fell due during the sequence comes as soon as it ends.
        const std::time_t stop_tick = later(o.stop, record_at);
        add_started(run, o, at, record_at, stop_tick, false);
        t = stop_and_after(run, o.index, at, stop_tick);
    }
}

// The recording under way, as the forecast's first entry, then its stop; the next tick.
// Its slot may lie beyond the count in use now (a name cleared meanwhile): it is recorded
// to its stop all the same.
std::time_t finish_recording(Run& run) {
    const RecordingUnderWay& rec = run.in.recording;
    if (!rec.active || rec.index < 0 || rec.index >= kMaxReservations) return run.in.now;
    Occurrence o;
    if (!occurrence_at(run.in.table->slots[rec.index], rec.index, rec.started_at, &o))
        o = {rec.index, rec.started_at, rec.started_at, rec.started_at, rec.stop_time};
    const std::time_t record_at = rec.record_at > 0 ? rec.record_at : rec.started_at + kBeforeRecord;
    std::time_t stop_tick = rec.stop_tick;
    if (stop_tick <= 0) stop_tick = later(later(rec.stop_time, run.in.now), record_at);
    add_started(run, o, rec.started_at, record_at, stop_tick, true);
    return stop_and_after(run, rec.index, rec.started_at, stop_tick);
}

bool same_occurrence(const Occurrence& a, const Occurrence& b) {
    return a.index == b.index && a.start == b.start;
}

bool listed(const Forecast& f, int upto, const Occurrence& o) {
    for (int k = 0; k < upto; ++k)
        if (same_occurrence(f.entries[k].occurrence, o)) return true;
    return false;
}

// Why an occurrence that the scan never started was lost. It is lost when it can no
// longer be started by the time the program is free again: its last due moment counts.
void explain_missed(const Run& run, ForecastEntry& e) {
    const Occurrence& o = e.occurrence;
    e.fate = kFateMissed;
    e.by = -1;
    for (int k = 0; k < run.busy_count; ++k) {
        const Busy& b = run.busy[k];
        if (o.last < b.start || o.last > b.released) continue;
        e.by = b.by;
        e.cause = o.last > b.held ? kCauseWait : kCauseRecording;
        break;
    }
    if (e.by < 0 && run.ended && o.last >= run.ended_at) {
        e.by = run.ended_by;
        e.cause = kCausePowerAction;
        if (o.last >= run.ended_at + kPowerHoldSeconds) e.fate = kFateIfRunning;
    }
    if (e.by >= 0) {
        const Reservation& by = run.in.table->slots[e.by];
        e.by_action = (std::int8_t)by.after_action;
        e.by_delay = (std::uint32_t)by.after_delay;
    }
}

// Every occurrence of the span that was not started, with why.
void add_unstarted(Run& run) {
    const int started = run.out->count;
    for (int i = 0; i < in_table(run.in.count); ++i) {
        const Reservation& r = run.in.table->slots[i];
        std::time_t from = run.in.now;
        Occurrence o;
        // At most one occurrence a day, and a day more for one due now.
        for (int n = 0; n <= kForecastDays + 1 && next_due_occurrence(r, i, from, &o); ++n) {
            if (o.first > run.horizon) break;
            if (!listed(*run.out, started, o)) {
                ForecastEntry* e = new_entry(run, o);
                if (!e) return;
                e->expected_bytes = e->bytes_to_come = expected_bytes(run.in, r, o.stop - o.start);
                explain_missed(run, *e);
            }
            from = o.last + 1;
        }
    }
}

bool earlier_occurrence(const Occurrence& a, const Occurrence& b) {
    if (a.first != b.first) return a.first < b.first;
    return a.index < b.index;
}

// Insertion sort: the list is mostly in order already.
void sort_entries(Forecast* f) {
    for (int k = 1; k < f->count; ++k) {
        const ForecastEntry e = f->entries[k];
        int at = k;
        while (at > 0 && earlier_occurrence(e.occurrence, f->entries[at - 1].occurrence)) {
            f->entries[at] = f->entries[at - 1];
            --at;
        }
        f->entries[at] = e;
    }
}

// A settings file that cannot be read matters when a listed reservation records with it.
void note_settings_files(const ForecastInput& in, Forecast* f) {
    for (int k = 0; k < f->count; ++k) {
        const int mpeg1 = in.table->slots[f->entries[k].occurrence.index].mpeg1 != 0;
        if (in.settings_unreadable[mpeg1]) f->settings_unreadable[mpeg1] = true;
    }
}

}  // namespace

void make_forecast(const ForecastInput& in, Forecast* out) {
    out->made_at = in.now;
    out->count = 0;
    out->slots_in_use = in_table(in.count);
    out->settings_unreadable[0] = out->settings_unreadable[1] = false;
    if (!in.table) return;
    Run run = {in, out, in.now + kForecastDays * kDay, in.capture_open, {}, 0, false, 0, -1};
    follow(run, finish_recording(run));
    add_unstarted(run);
    sort_entries(out);
    note_settings_files(in, out);
}

int forecast_rank(const ForecastEntry& e) {
    switch (e.fate) {
    case kFateOnTime:
        return 0;
    case kFateLate:
        return e.late_seconds <= kForecastLateWarning ? 1 : 2;
    case kFateIfRunning:
        return 3;
    default:
        return 4;
    }
}

namespace {

// From this rank on a fate is worth a warning: a start more than a minute late.
const int kWarnedRank = 2;

const ForecastEntry* find_entry(const Forecast& f, const Occurrence& o) {
    for (int k = 0; k < f.count; ++k)
        if (same_occurrence(f.entries[k].occurrence, o)) return &f.entries[k];
    return nullptr;
}

bool got_worse(const Forecast& before, const ForecastEntry& e) {
    if (e.under_way || forecast_rank(e) < kWarnedRank) return false;
    const ForecastEntry* was = find_entry(before, e.occurrence);
    return !was || forecast_rank(e) > forecast_rank(*was);
}

bool vanished(const Forecast& after, int saved, const ForecastEntry& e) {
    const Occurrence& o = e.occurrence;
    if (e.under_way || forecast_rank(e) == 4 || o.last < after.made_at) return false;
    if (o.index == saved && saved < after.slots_in_use) return false;
    return find_entry(after, o) == nullptr;
}

}  // namespace

int forecast_worsened(const Forecast& before, const Forecast& after, int saved,
                      ForecastChange* out, int cap) {
    int total = 0;
    // Both lists are in the order of their occurrences: merged, so are the changes.
    int a = 0, b = 0;
    while (a < after.count || b < before.count) {
        const bool take_after =
            b >= before.count ||
            (a < after.count && !earlier_occurrence(before.entries[b].occurrence, after.entries[a].occurrence));
        ForecastChange change;
        bool counts;
        if (take_after) {
            change = {false, a};
            counts = got_worse(before, after.entries[a++]);
        } else {
            change = {true, b};
            counts = vanished(after, saved, before.entries[b++]);
        }
        if (!counts) continue;
        if (total < cap) out[total] = change;
        ++total;
    }
    return total;
}

std::int64_t forecast_total_bytes(const Forecast& f, int days, bool* some_unknown) {
    std::int64_t total = 0;
    bool unknown = false;
    for (int k = 0; k < f.count; ++k) {
        const ForecastEntry& e = f.entries[k];
        if (e.fate == kFateMissed || e.occurrence.start >= f.made_at + (std::time_t)days * kDay) continue;
        if (e.bytes_to_come < 0)
            unknown = true;
        else  // held at the largest figure rather than wrapped
            total = e.bytes_to_come > INT64_MAX - total ? INT64_MAX : total + e.bytes_to_come;
    }
    if (some_unknown) *some_unknown = unknown;
    return total;
}

namespace {

// Text built piece by piece into a caller's buffer, cut between characters.
struct TextOut {
    char* out;
    std::size_t cap, len;
    void add(const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 2, 3)))
#endif
    {
        char piece[512];
        va_list args;
        va_start(args, format);
        std::vsnprintf(piece, sizeof(piece), format, args);
        va_end(args);
        if (cap == 0 || len + 1 >= cap) return;
        sjis_copy_cut(out + len, cap - len, piece, cap - len - 1);
        len += std::strlen(out + len);
    }
};

const char* const kWeekdays[7] = {"日", "月", "火", "水", "木", "金", "土"};

void clock_text(std::time_t t, char* out, std::size_t size) {
    CivilTime c;
    if (!local_date_of(t, nullptr, &c, nullptr)) {
        std::snprintf(out, size, "--:--");
        return;
    }
    if (c.second != 0)
        std::snprintf(out, size, "%02d:%02d:%02d", c.hour, c.minute, c.second);
    else
        std::snprintf(out, size, "%02d:%02d", c.hour, c.minute);
}

// "12/08(火) 10:00〜11:00  3 name": an entry's occurrence, with its name as listed.
void occurrence_text(const ForecastEntry& e, char* out, std::size_t size) {
    const Occurrence& o = e.occurrence;
    CivilDate d;
    int weekday = 0;
    char from[16], to[16];
    clock_text(o.start, from, sizeof(from));
    clock_text(o.stop, to, sizeof(to));
    if (local_date_of(o.start, &d, nullptr, &weekday))
        std::snprintf(out, size, "%02d/%02d(%s) %s〜%s  %d %s", d.month, d.day, kWeekdays[weekday % 7],
                      from, to, o.index + 1, e.name);
    else
        std::snprintf(out, size, "--/--    %s〜%s  %d %s", from, to, o.index + 1, e.name);
}

const char* action_text(int action) {
    return action >= 0 && action < kAfterActionCount ? after_action_texts[action] : after_action_texts[0];
}

void fate_text(const ForecastEntry& e, const ReservationTable& table, char* out, std::size_t size) {
    char by[sizeof(Reservation::name) + 16] = "";
    if (e.by >= 0 && e.by < kMaxReservations) {
        char name[sizeof(Reservation::name) + 1];
        journal_field_text(name, sizeof(name), table.slots[e.by].name, sizeof(table.slots[e.by].name));
        std::snprintf(by, sizeof(by), "%d %s", e.by + 1, name);
    }
    switch (e.fate) {
    case kFateOnTime:
        std::snprintf(out, size, "%s", "予定どおり録画");
        break;
    case kFateLate:
        if (e.late_seconds < 60)
            std::snprintf(out, size, "%ld秒遅れて開始", e.late_seconds);
        else
            std::snprintf(out, size, "%ld分%02ld秒遅れて開始", e.late_seconds / 60, e.late_seconds % 60);
        break;
    case kFateIfRunning:
        std::snprintf(out, size, "起動していれば録画(%s の録画後の処理「%s」のあと)", by,
                      action_text(e.by_action));
        break;
    default:
        if (e.by < 0)
            std::snprintf(out, size, "%s", "録画されません");
        else if (e.cause == kCauseWait)
            std::snprintf(out, size, "録画されません(%s の録画後の待ち %lu 秒のため)", by,
                          (unsigned long)e.by_delay);
        else if (e.cause == kCausePowerAction)
            std::snprintf(out, size, "録画されません(%s の録画後の処理「%s」のため)", by,
                          action_text(e.by_action));
        else
            std::snprintf(out, size, "録画されません(別の予約(%s)を録画中)", by);
        break;
    }
}

void entry_line(TextOut& text, const ForecastEntry& e, const ReservationTable& table) {
    char what[160], fate[200], size[32];
    occurrence_text(e, what, sizeof(what));
    fate_text(e, table, fate, sizeof(fate));
    megabytes_text(e.expected_bytes, size, sizeof(size));
    text.add("%s  %s  %s\r\n", what, fate, size);
}

}  // namespace

std::size_t forecast_text(const Forecast& f, const ReservationTable& table, std::int64_t free_bytes,
                          char* out, std::size_t cap) {
    TextOut text = {out, cap, 0};
    if (cap > 0) out[0] = '\0';
    char free_text[32], total[32];
    bool some_unknown = false;
    megabytes_text(free_bytes, free_text, sizeof(free_text));
    megabytes_text(forecast_total_bytes(f, 7, &some_unknown), total, sizeof(total));
    text.add("録画先(Samples)のドライブの空き容量: %s\r\n", free_text);
    text.add("今後7日間の録画の予定サイズ: %s%s\r\n", total, some_unknown ? "(サイズ不明を除く)" : "");
    for (int mpeg1 = 0; mpeg1 < 2; ++mpeg1) {
        if (!f.settings_unreadable[mpeg1]) continue;
        char path[kSettingsPathSize];
        capture_path(path, sizeof(path), capture_choice.use_install_folder, capture_ini_name(mpeg1));
        text.add("設定ファイル %s を開けません(録画条件を書き込めません)\r\n", path);
    }
    text.add("\r\n");
    if (f.count == 0) text.add("%s\r\n", "今後4週間の録画はありません");
    for (int k = 0; k < f.count; ++k) entry_line(text, f.entries[k], table);
    return text.len;
}

std::size_t forecast_warning(const Forecast& before, const Forecast& after,
                             const ReservationTable& table, int saved, std::int64_t free_bytes,
                             char* out, std::size_t cap) {
    TextOut text = {out, cap, 0};
    if (cap > 0) out[0] = '\0';
    const int kShown = 5;
    ForecastChange changes[kShown];
    const int total = forecast_worsened(before, after, saved, changes, kShown);
    if (total > 0) {
        text.add("%s\r\n\r\n", "この登録で、録画の予定が前より悪くなる予約があります。");
        for (int k = 0; k < total && k < kShown; ++k) {
            if (!changes[k].vanished) {
                entry_line(text, after.entries[changes[k].entry], table);
                continue;
            }
            char what[160];
            occurrence_text(before.entries[changes[k].entry], what, sizeof(what));
            text.add("%s  %s\r\n", what, "この登録で録画されなくなります");
        }
        if (total > kShown) text.add("ほか %d 件\r\n", total - kShown);
    }
    // The saved reservation's first recording to come against the free space now.
    for (int k = 0; free_bytes >= 0 && k < after.count; ++k) {
        const ForecastEntry& e = after.entries[k];
        if (e.occurrence.index != saved || e.under_way || (e.fate != kFateOnTime && e.fate != kFateLate))
            continue;
        if (e.expected_bytes > free_bytes) {
            char what[160], need[32], have[32];
            occurrence_text(e, what, sizeof(what));
            megabytes_text(e.expected_bytes, need, sizeof(need));
            megabytes_text(free_bytes, have, sizeof(have));
            text.add("%s%s\r\nの録画には約 %s 要りますが、録画先のドライブの空きは %s です。\r\n",
                     total > 0 ? "\r\n" : "", what, need, have);
        }
        break;
    }
    if (text.len == 0) return 0;
    text.add("\r\n%s", "すべての予定は、システムメニューの「録画予定」で見られます。");
    return text.len;
}

void forecast_now(std::time_t now, Forecast* out) {
    ForecastInput in = {};
    in.table = &reservations.table;
    in.count = reservations.count;
    in.now = now;
    in.capture_open = find_capture_window() != nullptr;
    in.recording.active = recording.active != 0;
    in.recording.index = recording.index;
    in.recording.started_at = recording.started_at;
    in.recording.record_at = recording.record_at;
    in.recording.stop_time = recording.stop_time;
    for (int mpeg1 = 0; mpeg1 < 2; ++mpeg1) {
        ForecastRates& rates = in.rates[mpeg1];
        if (!read_setting_number_of(mpeg1, "dwVideoBitrate", &rates.video) ||
            !read_setting_number_of(mpeg1, "dwAudioBitrate", &rates.audio))
            rates.video = rates.audio = -1;
        in.settings_unreadable[mpeg1] = !capture_settings_readable(mpeg1);
    }
    make_forecast(in, out);
}
