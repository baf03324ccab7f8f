// The recording scheduler, run once a second by the main dialog's tick.
#pragma once
#include <cstdint>
#include <ctime>
#include "base/platform.h"
#include "reservations/reservation.h"

// The recording under way, if any. It lives as long as the process.
struct RecordingState {
    int active;              // a recording is under way (from its start sequence on)
    int index;               // its reservation
    int status_step;         // the status panel's step last shown
    std::time_t stop_time;
    int sequence_running;    // a start or stop sequence is under way
    WindowRef capture_window;  // the capture application's control window, or null
    std::time_t started_at;    // the tick that started it
    std::time_t record_at;     // when the record command was queued
    std::time_t stop_command_at;  // when the stop command was delivered
};
extern RecordingState recording;

// The capture application is given this long after its launch (or after it was found
// open) to be ready before the record command: its start-up wait and then some.
const std::uint32_t kWaitBeforeRecordMs = 42000;
// Between the stop command and the close command, for the capture application to finish
// writing its file.
const std::uint32_t kWaitAfterStopMs = 15000;

// One tick at the current time now: while idle, starts the first due reservation; while
// recording, stops it once its stop time is reached. A tick that arrives while a start or
// stop sequence is still under way (possible only from inside a message box that the
// sequence shows) does nothing.
void check_schedule(WindowRef dialog, int reservation_count, WindowRef* capture_window,
                    std::time_t now);

// True when weekday (0 Sunday .. 6 Saturday) is selected in reservation index's mask.
bool weekday_selected(int index, int weekday);

// The calendar bounds of a reservation, for the scan. Each is false when the record's
// texts do not form a valid date and time (a damaged file): such a reservation is never due.
bool reservation_period(int index, std::time_t* start, std::time_t* end);

// The first moment at or after from at which check_schedule, ticking once a second while
// idle, starts one of the first reservation_count reservations; false when it never will.
// Usually a start moment less the minute the scan looks ahead; from itself when one is due
// already; midnight for a weekly window that starts in the first minute of a day, since a
// weekly window belongs to the day it starts on. Uses none of the scan's day caches.
bool next_start(int reservation_count, std::time_t from, std::time_t* at);

// One occurrence of a reservation: a once-only reservation, or one day of a weekly one.
struct Occurrence {
    int index;
    std::time_t first;  // the first moment at which the scan finds it due
    std::time_t last;   // the last such moment: after it, it can no longer be started
    std::time_t start;  // the start of its window (within its period)
    std::time_t stop;   // when its recording would stop: the end of its window
};

// As next_start, with the occurrence that is then started (its own start time may lie
// before *at: a minute before, or long before for one that is due already).
bool next_occurrence(int reservation_count, std::time_t from, std::time_t* at, Occurrence* out);

// The occurrence of reservation index that the scan finds due at moment t; false when the
// scan finds none of it due then.
bool occurrence_at(int index, std::time_t t, Occurrence* out);

// Missed occurrences are looked for over at most this many days before the end of a span.
const int kMissedLookBackDays = 366;

// The occurrences of the first reservation_count reservations whose first moment lies in
// [from, to] (or, with due_at_from, that were due at from as well) and whose last lies
// before to: those that became due in that span and can no longer be started. The
// earliest cap of them (by first moment, then slot) go to out; returns how many there are
// in all. The scan's own rules, with none of its caches. With keep given, only the
// occurrences for which it is true are counted and kept.
typedef bool (*OccurrenceFilter)(const Occurrence& o, const void* context);
int missed_occurrences(int reservation_count, std::time_t from, std::time_t to, bool due_at_from,
                       Occurrence* out, int cap, OccurrenceFilter keep = nullptr,
                       const void* context = nullptr);

// Forgets what the scan has computed and cached (after a change of time zone).
void reset_schedule_cache();

// Puts every state of the core back to its value at process start: the reservations, the
// recording, the capture folder's choice, the scan's caches and the wake-up state (tests).
void reset_program_state();
