// What the engine writes to the recording journal beyond single events: the program's
// start and end, the start of each recording, and the occurrences that were never
// recorded, looked for at start-up, after a gap between ticks and after each recording.
#pragma once
#include <cstdint>
#include <ctime>

// A tick that comes more than this long after the previous tick's work ended means the
// PC was asleep or the clock was changed; the scheduler's own waits never count.
const std::time_t kTickGapSeconds = 90;
// Missed occurrences written at one time; the rest are counted in one more line.
const int kMissedLinesMax = 100;

// Program start, before the schedule is loaded: reads the journal's last line (and renews
// an overlong journal) and writes the start line with the capture folder.
void journal_program_start(std::time_t now);
// Then, with the schedule loaded: writes the occurrences missed since that last line, or
// that none are looked for when it had no time to go by. Returns how many were missed.
int journal_missed_since_last_run(std::time_t now);
// The normal end of the program.
void journal_program_end();

// A recording starts at current for reservation index, to stop at stop: the start line,
// with how late it starts, the free space of the recordings' drive and the size expected
// (each negative when unknown); then "空き容量不足" when the space is the smaller.
void journal_recording_start(int index, std::time_t current, std::time_t stop,
                             std::int64_t free_bytes = -1, std::int64_t expected_bytes = -1);

// The missed occurrences whose first moment lies in [from, to] (or, with due_at_from, that
// were due at from) and that can no longer be started at to, each written once: those
// whose first moment is at or before split with reason_before, the others with
// reason_after. The occurrence of reservation skip_index that was due at from (the
// recording that was made) is left out; skip_index -1 for none. Returns how many were
// written or counted.
int journal_missed(std::time_t from, std::time_t to, bool due_at_from, int skip_index,
                   std::time_t split, const char* reason_before, const char* reason_after);

// Reservation index is about to be deleted at now: writes the occurrences of it that the
// running program would write later, while the table still holds it. Those are the ones
// that ended in a gap that the next tick looks over, or since the start-up check, or that
// the recording under way kept from starting (written when it stops).
void history_before_delete(int index, std::time_t now);
// Slot index was deleted and every later one moved up by one: what is kept by slot (the
// occurrences written, a recording read back as begun) follows its reservation, and what
// was of the deleted slot is forgotten. Start-up does the same at each "予約削除" line it
// reads back, for the lines before it.
void history_slot_removed(int index);

// Every tick: at its start (writes what a gap since the last one missed) and at the end
// of its work.
void history_tick_start(std::time_t current);
void history_tick_end(std::time_t end);

// Forgets the ticks and what was written (tests).
void reset_history();
