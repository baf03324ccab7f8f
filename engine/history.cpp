#include "engine/history.h"

#include <cstdio>
#include <cstring>

#include "base/capture_interface.h"
#include "base/journal.h"
#include "base/sjis.h"
#include "engine/after_actions.h"
#include "engine/due_rule.h"
#include "engine/event_script.h"
#include "engine/recording.h"
#include "reservations/reservation.h"

namespace {

const char kNotRunning[] = "プログラムが動いていなかったか、PCがスリープ中か電源が切れていました";
const char kAsleep[] = "PCがスリープ中だったか、時計が変更されました";
const char kStarting[] = "プログラムの起動中でした";
const char kMissedWord[] = "録画漏れ";

// The occurrences written, by slot and window start as the line gives it, so that none is
// written twice: spans that are looked over can overlap (a gap inside a recording is also
// part of the time after it), and start-up looks back over what the journal already holds.
const std::size_t kStartText = 20;
struct Written {
    int index;
    char start[kStartText];
};
const int kWrittenKept = 512;

// The spans whose further missed occurrences one "ほか N 件" line counted: every one of
// them became due at or after from and could no longer start at to.
struct CountedSpan {
    std::time_t from, to;
};
const int kSpansKept = 32;

// A recording begun, as start-up read it from the journal.
struct OpenRecording {
    bool open;  // no result line followed its start line
    std::time_t at;
    int slot;  // 1..40
    char name[32];
};

struct HistoryState {
    Written written[kWrittenKept];  // a ring of the last written
    int written_count, written_next;
    CountedSpan spans[kSpansKept];  // a ring of the last counted
    int span_count, span_next;
    std::time_t last_tick_end;  // 0 before the first tick
    // What start-up read of the journal: journal_begin's result, its last line's time
    // and, when the journal shows a recording begun and never ended, that recording.
    int begun;
    std::time_t last_run;
    OpenRecording open_recording;
    // The start-up check's moment, for the first tick to look over the time since; 0 once
    // done.
    std::time_t checked_at;
};
HistoryState state = {};

void start_text(const Occurrence& o, char* out) { journal_time_text(o.start, out, kStartText); }

bool was_written(int index, const char* start) {
    for (int i = 0; i < state.written_count; ++i)
        if (state.written[i].index == index &&
            std::strncmp(state.written[i].start, start, kStartText) == 0)
            return true;
    return false;
}

void remember(int index, const char* start) {
    Written& w = state.written[state.written_next];
    w.index = index;
    std::snprintf(w.start, sizeof(w.start), "%s", start);
    state.written_next = (state.written_next + 1) % kWrittenKept;
    if (state.written_count < kWrittenKept) ++state.written_count;
}

void remember_span(std::time_t from, std::time_t to) {
    state.spans[state.span_next] = {from, to};
    state.span_next = (state.span_next + 1) % kSpansKept;
    if (state.span_count < kSpansKept) ++state.span_count;
}

// What a look-over leaves out: occurrences written or counted already, the recording
// that was made, and with only set, those of every other slot.
struct Skip {
    int index;
    std::time_t due_at;
    int only;  // -1 for every slot
};

bool is_new(const Occurrence& o, const void* context) {
    const Skip* skip = (const Skip*)context;
    if (skip->only >= 0 && o.index != skip->only) return false;
    if (o.index == skip->index && o.first <= skip->due_at && skip->due_at <= o.last) return false;
    for (int i = 0; i < state.span_count; ++i)
        if (state.spans[i].from <= o.first && o.last < state.spans[i].to) return false;
    char start[kStartText];
    start_text(o, start);
    return !was_written(o.index, start);
}

// Slot index is gone and the later ones moved up by one.
void slot_removed(int index) {
    for (int i = 0; i < state.written_count; ++i) {
        int& w = state.written[i].index;
        if (w == index)
            w = -1;  // no occurrence has it
        else if (w > index)
            --w;
    }
    OpenRecording& r = state.open_recording;
    if (r.slot - 1 == index) {
        // Never so in a journal this program wrote whole: the slot recorded cannot be
        // deleted, and a start-up closes the recording of an earlier run first.
        r.open = false;
        r.slot = 0;
    } else if (r.slot - 1 > index) {
        --r.slot;
    }
}

// "別の予約(n name)を録画中でした", for the occurrences a recording kept from starting.
void recording_reason(int slot, const char* name, char* out, std::size_t size) {
    std::snprintf(out, size, "別の予約(%d %s)を録画中でした", slot, name);
}

int look_over(std::time_t from, std::time_t to, bool due_at_from, int skip_index,
              std::time_t split, const char* reason_before, const char* reason_after, int only);

// context: the start-up moment.
void read_back(const JournalLine& line, void* context) {
    if (line.event == kEventRecordingStart) {
        // Only a start whose time carries its offset was written by a program that ends
        // every recording with a result line; an older journal's starts say nothing.
        state.open_recording.open = line.exact && line.slot > 0;
        state.open_recording.at = line.when;
        state.open_recording.slot = line.slot;
        // Cut to whole characters: a half one would take the ")" written after the name.
        // One byte beyond the cut is copied, so that the cut sees a character's second half.
        char* name = state.open_recording.name;
        const std::size_t room = sizeof(state.open_recording.name) - 1;
        const std::size_t n = line.name_len < room + 1 ? line.name_len : room + 1;
        char field[sizeof(state.open_recording.name) + 1];
        std::memcpy(field, line.name, n);
        field[n] = '\0';
        const std::size_t kept = sjis_whole_length(field, room);
        std::memcpy(name, field, kept);
        name[kept] = '\0';
    } else if (line.event == kEventRecordingDone || line.event == kEventRecordingFailed) {
        if (line.slot == state.open_recording.slot) state.open_recording.open = false;
    } else if (line.event == kEventReservationDeleted) {
        // The lines before it name the slots as they were then.
        if (line.slot > 0) slot_removed(line.slot - 1);
    } else if (line.event == kEventMissed) {
        // "start〜stop: reason" for one occurrence; "ほか N 件の録画漏れ(from〜to): ..." counts.
        if (line.slot > 0 && line.details_len >= 19) {
            char start[kStartText];
            std::memcpy(start, line.details, 19);
            start[19] = '\0';
            remember(line.slot - 1, start);
            return;
        }
        const char* open = (const char*)std::memchr(line.details, '(', line.details_len);
        if (!open) return;
        std::size_t rest = line.details_len - (std::size_t)(open + 1 - line.details);
        std::time_t from = 0, to = 0;
        std::size_t used = 0;
        if (!journal_read_time(open + 1, rest, &from, &used)) return;
        const char* tilde = open + 1 + used;
        const std::size_t sep = std::strlen("〜");
        rest -= used;
        if (rest < sep || std::memcmp(tilde, "〜", sep) != 0) return;
        // A damaged span, ending after start-up or before it begins, would hide every
        // later occurrence or none: left out, as a last line in the future is.
        const std::time_t now = *(const std::time_t*)context;
        if (journal_read_time(tilde + sep, rest - sep, &to, &used) && from <= to && to <= now)
            remember_span(from, to);
    }
}

}  // namespace

void journal_program_start(std::time_t now) {
    state.open_recording = {false, 0, 0, {0}};
    state.begun = journal_begin(now, &state.last_run, read_back, &now);
    event_script_begin();
    const char* folder = capture_folder(capture_choice.use_install_folder);
    journal_write(kEventProgramStart, 0, nullptr, 0, "録画ソフトのフォルダ: %s",
                  *folder ? folder : "カレントフォルダ");
}

int journal_missed_since_last_run(std::time_t now) {
    state.checked_at = now;
    if (state.begun < 0) {
        journal_write(kEventNoMissedCheck, 0, nullptr, 0,
                      "前回の最後の行の時刻が読めないか未来のため、録画漏れを調べません");
        return 0;
    }
    if (state.begun == 0) return 0;
    // Also what was due at the last line: a program that wrote it inside a sequence (a
    // power action's delay, say) and ended there never started those nor wrote them. One
    // that was idle then would have started them, and written that later.
    if (!state.open_recording.open || state.open_recording.at > now)
        return journal_missed(state.last_run, now, true, -1, now, kNotRunning, kNotRunning);
    // The program ended during a recording: what it kept from starting was never written.
    // Looked for from its start on, up to the journal's last line as kept back by it.
    OpenRecording& r = state.open_recording;
    char held[96];
    recording_reason(r.slot, r.name, held, sizeof(held));
    const int n = journal_missed(r.at, now, true, r.slot - 1, state.last_run, held, kNotRunning);
    // Its result was never looked at; this line closes it for later start-ups.
    journal_reservation(kEventRecordingFailed, r.slot - 1, "%s",
                        "録画中にプログラムが終了したため、録画を止められず結果もわかりません");
    r.open = false;
    return n;
}

void journal_program_end() { journal_write(kEventProgramEnd, 0, nullptr, 0, "%s", ""); }

void journal_recording_start(int index, std::time_t current, std::time_t stop,
                             std::int64_t free_bytes, std::int64_t expected_bytes) {
    char stop_text[32], late_text[48] = "", free_text[32], expected_text[32];
    journal_time_text(stop, stop_text, sizeof(stop_text));
    Occurrence o;
    // Late: after the moment the scan would have started it (its start less the minute).
    const bool due = occurrence_at(reservations.table.slots[index], index, current, &o);
    const long late = due && current > o.first ? (long)(current - o.first) : 0;
    if (late > 0) std::snprintf(late_text, sizeof(late_text), "、%ld秒遅れて開始", late);
    megabytes_text(free_bytes, free_text, sizeof(free_text));
    megabytes_text(expected_bytes, expected_text, sizeof(expected_text));
    journal_reservation(kEventRecordingStart, index, "終了予定 %s%s、空き容量 %s、予定サイズ %s",
                        stop_text, late_text, free_text, expected_text);
    // The recording starts all the same: a full disk may still take part of it.
    if (free_bytes >= 0 && expected_bytes > free_bytes)
        journal_reservation(kEventDiskLow, index, "録画先のドライブの空き %s が、予定サイズ %s より少なくなっています",
                            free_text, expected_text);
}

int journal_missed(std::time_t from, std::time_t to, bool due_at_from, int skip_index,
                   std::time_t split, const char* reason_before, const char* reason_after) {
    return look_over(from, to, due_at_from, skip_index, split, reason_before, reason_after, -1);
}

namespace {

// journal_missed, of slot only alone when it is not -1.
int look_over(std::time_t from, std::time_t to, bool due_at_from, int skip_index,
              std::time_t split, const char* reason_before, const char* reason_after, int only) {
    static Occurrence found[kMissedLinesMax + 1];
    const Skip skip = {skip_index, from, only};
    // One more than is written: the first of those counted, where their span begins.
    const int total = missed_occurrences(reservations.table, reservations.count, from, to,
                                         due_at_from, found, kMissedLinesMax + 1, is_new, &skip);
    const int lines = total < kMissedLinesMax ? total : kMissedLinesMax;
    if (total > 0) event_script_hold_missed();
    for (int i = 0; i < lines; ++i) {
        const Occurrence& o = found[i];
        char start[kStartText], stop[32];
        start_text(o, start);
        journal_time_text(o.stop, stop, sizeof(stop));
        remember(o.index, start);
        journal_reservation(kEventMissed, o.index, "%s〜%s: %s", start, stop,
                            o.first <= split ? reason_before : reason_after);
    }
    const int rest = total - lines;
    if (rest > 0 && only >= 0) {
        // No span: a span stands for every slot's occurrences in it, and the others' are
        // still to be looked over.
        journal_reservation(kEventMissed, only, "ほか%d件の%s: %s", rest, kMissedWord,
                            found[kMissedLinesMax].first <= split ? reason_before : reason_after);
    } else if (rest > 0) {
        // Everything of this look-over from the first counted one on is counted here, so
        // that no later look-over counts or writes it again.
        const Occurrence& first = found[kMissedLinesMax];
        char span_from[40], span_to[40];
        journal_stamp(first.first, span_from, sizeof(span_from));
        journal_stamp(to, span_to, sizeof(span_to));
        remember_span(first.first, to);
        journal_write(kEventMissed, 0, nullptr, 0, "ほか%d件の%s(%s〜%s): %s", rest, kMissedWord,
                      span_from, span_to, first.first <= split ? reason_before : reason_after);
    }
    if (total > 0) event_script_missed_found(found[0].start, found[0].stop, total);
    return total;
}

}  // namespace

void history_before_delete(int index, std::time_t now) {
    // As the next tick would look over the time since the start-up check or the last tick.
    if (state.checked_at != 0) {
        if (now > state.checked_at)
            look_over(state.checked_at, now, true, -1, now, kStarting, kStarting, index);
    } else if (state.last_tick_end != 0 && now - state.last_tick_end > kTickGapSeconds) {
        look_over(state.last_tick_end + 1, now, false, -1, now, kAsleep, kAsleep, index);
    }
    // As the recording's stop would.
    if (recording.active && recording.index != index && recording.index >= 0 &&
        recording.index < kMaxReservations) {
        const Reservation& r = reservations.table.slots[recording.index];
        char name[sizeof(r.name) + 1], held[96];
        FIELD_COPY(name, r, name);
        recording_reason(recording.index + 1, name, held, sizeof(held));
        look_over(recording.started_at, now, true, recording.index, now, held, held, index);
    }
}

void history_slot_removed(int index) { slot_removed(index); }

void history_tick_start(std::time_t current) {
    if (state.checked_at != 0) {
        // The first tick after start-up: what ended between the start-up check and now.
        const std::time_t from = state.checked_at;
        state.checked_at = 0;
        if (current > from) journal_missed(from, current, true, -1, current, kStarting, kStarting);
    } else if (state.last_tick_end != 0 && current - state.last_tick_end > kTickGapSeconds) {
        journal_missed(state.last_tick_end + 1, current, false, -1, current, kAsleep, kAsleep);
    }
}

void history_tick_end(std::time_t end) { state.last_tick_end = end; }

void reset_history() { state = HistoryState{}; }
