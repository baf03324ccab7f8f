#include "engine/history.h"

#include <cstdio>

#include "base/capture_interface.h"
#include "base/journal.h"
#include "engine/scheduler.h"
#include "reservations/reservation.h"

namespace {

const char kNotRunning[] = "プログラムが動いていなかったか、PCがスリープ中か電源が切れていました";
const char kAsleep[] = "PCがスリープ中だったか、時計が変更されました";

// The occurrences written, so that none is written twice (spans that were looked over
// can overlap: a gap inside a recording is also part of the time after it).
struct Written {
    int index;
    std::time_t first;
};
const int kWrittenKept = 512;
Written written[kWrittenKept];
int written_count = 0, written_next = 0;

std::time_t last_tick_end = 0;

bool was_written(const Occurrence& o) {
    for (int i = 0; i < written_count; ++i)
        if (written[i].index == o.index && written[i].first == o.first) return true;
    return false;
}

void remember(const Occurrence& o) {
    written[written_next] = {o.index, o.first};
    written_next = (written_next + 1) % kWrittenKept;
    if (written_count < kWrittenKept) ++written_count;
}

// What start-up read of the journal's last line (journal_begin's result) and its time.
int begun = 0;
std::time_t last_run = 0;

}  // namespace

void journal_program_start(std::time_t now) {
    begun = journal_begin(now, &last_run);
    const char* folder = capture_folder(use_install_folder);
    journal_write(kEventProgramStart, 0, nullptr, 0, "録画ソフトのフォルダ: %s",
                  *folder ? folder : "カレントフォルダ");
}

int journal_missed_since_last_run(std::time_t now) {
    if (begun < 0) {
        journal_write(kEventNoMissedCheck, 0, nullptr, 0,
                      "前回の最後の行の時刻が読めないか未来のため、録画漏れを調べません");
        return 0;
    }
    if (begun == 0) return 0;
    return journal_missed(last_run + 1, now, false, -1, now, kNotRunning, kNotRunning);
}

void journal_program_end() { journal_write(kEventProgramEnd, 0, nullptr, 0, "%s", ""); }

void journal_recording_start(int index, std::time_t current, std::time_t stop) {
    char stop_text[32];
    journal_time_text(stop, stop_text, sizeof(stop_text));
    Occurrence o;
    // Late: after the moment the scan would have started it (its start less the minute).
    long late = occurrence_at(index, current, &o) && current > o.first ? (long)(current - o.first) : 0;
    if (late > 0)
        journal_reservation(kEventRecordingStart, index, "終了予定 %s、%ld秒遅れて開始", stop_text, late);
    else
        journal_reservation(kEventRecordingStart, index, "終了予定 %s", stop_text);
}

int journal_missed(std::time_t from, std::time_t to, bool due_at_from, int skip_index,
                   std::time_t split, const char* reason_before, const char* reason_after) {
    static Occurrence found[kMissedLinesMax + 1];
    // One more than is written, for the one that may be left out.
    const int total =
        missed_occurrences(reservations.count, from, to, due_at_from, found, kMissedLinesMax + 1);
    const int listed = total < kMissedLinesMax + 1 ? total : kMissedLinesMax + 1;
    int lines = 0, rest = 0;
    for (int i = 0; i < listed; ++i) {
        const Occurrence& o = found[i];
        if (o.index == skip_index && o.first <= from && from <= o.last) continue;
        if (was_written(o)) continue;
        if (lines == kMissedLinesMax) {
            ++rest;
            continue;
        }
        remember(o);
        char start[32], stop[32];
        journal_time_text(o.start, start, sizeof(start));
        journal_time_text(o.stop, stop, sizeof(stop));
        journal_reservation(kEventMissed, o.index, "%s〜%s: %s", start, stop,
                            o.first <= split ? reason_before : reason_after);
        ++lines;
    }
    // Those beyond the list are counted without being looked at one by one.
    rest += total - listed;
    if (rest > 0)
        journal_write(kEventMissed, 0, nullptr, 0, "ほか%d件の録画漏れ: %s", rest, reason_after);
    return lines + rest;
}

void history_tick_start(std::time_t current) {
    if (last_tick_end != 0 && current - last_tick_end > kTickGapSeconds)
        journal_missed(last_tick_end + 1, current, false, -1, current, kAsleep, kAsleep);
}

void history_tick_end(std::time_t end) { last_tick_end = end; }

void reset_history() {
    written_count = written_next = 0;
    last_tick_end = 0;
    begun = 0;
    last_run = 0;
}
