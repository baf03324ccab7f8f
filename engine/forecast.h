// The forecast: what the scheduler will do with every occurrence of the coming four weeks.
// It runs the scheduler's own rule (engine/due_rule.h) forward in time with the real
// length of every wait of its sequences: the capture application's launch wait when its
// window is not open (open at the first start only when it is open now, closed after
// every close command), the wait before the record command, the recording, the wait after
// the stop command, the wait after a move, the power action's delay, and the power action
// itself (stand-by resumes at the wake-up timer and is left out when the next start is
// near; a shutdown, reboot or log-off is held back before a near start, and after one the
// program is not running). A settings file that cannot be read holds up each start that
// writes to it by the 30 s of its unanswered box. It assumes that nobody is at the PC and
// every command is answered at once. Pure: a table and moments in, a list out.
#pragma once
#include <cstddef>
#include <cstdint>
#include <ctime>
#include "engine/due_rule.h"
#include "reservations/reservation.h"

const int kForecastDays = 28;
// Every occurrence of four weeks: 40 slots, each at most one a day over the 29 local days
// the span touches and one more that is due already (all-day weekly reservations across
// the spring change fill it), and the recording under way, which is listed even when its
// slot has been edited since it started and no longer gives that occurrence.
const int kForecastMax = kMaxReservations * (kForecastDays + 2) + 1;
// A record command later than this after the programme's start is worth a warning.
const long kForecastLateWarning = 60;

enum ForecastFate {
    kFateOnTime,     // its record command goes before its programme starts
    kFateLate,       // its record command goes late_seconds after its programme starts
    kFateMissed,     // not recorded, because of `by`'s recording, its wait or its power action
    kFateIfRunning,  // recorded only if the program is running again after `by`'s power action
};

// What kept a missed occurrence from starting.
enum ForecastCause {
    kCauseNone,
    kCauseRecording,    // `by`'s sequences and recording
    kCauseWait,         // `by`'s wait after its recording (after_delay)
    kCausePowerAction,  // `by`'s power action
};

struct ForecastEntry {
    Occurrence occurrence;
    char name[sizeof(Reservation::name) + 1];  // its reservation's name then, as a line shows it
    ForecastFate fate;
    bool under_way;                // the recording under way when the forecast was made
    std::time_t start_tick;        // the tick that starts it (the recorded fates)
    std::time_t record_at;         // when its record command goes
    long late_seconds;             // record_at less its programme's start; 0 when not later
    ForecastCause cause;           // missed, if-running: why
    int by;                        // the slot whose recording or power action decides its fate; -1
    int by_action;                 // that reservation's power action (0 none .. 4 stand-by)
    std::uint32_t by_delay;        // and its wait before it, in seconds
    std::int64_t expected_bytes;   // the size its recording should have; -1 unknown
    std::int64_t bytes_to_come;    // of that, what is written after the forecast's moment
};

// The rates of the two capture settings files ([0] MPEG-2, [1] MPEG-1), for reservations
// that do not set their own: video in bit/s, audio in kbit/s; negative when unknown.
struct ForecastRates {
    long long video, audio;
};

// The recording under way when the forecast is made.
struct RecordingUnderWay {
    bool active;
    int index;
    std::time_t started_at;  // the tick that started it
    std::time_t record_at;   // when the record command went; 0 when not known
    std::time_t stop_time;
    std::time_t stop_tick;   // the tick that began its stop sequence; 0 before it
};

struct ForecastInput {
    const ReservationTable* table;
    int count;
    std::time_t now;          // the next tick
    bool capture_open;        // the capture application's window is open now
    RecordingUnderWay recording;
    ForecastRates rates[2];
    bool settings_unreadable[2];  // that settings file cannot be read, so nothing is written to it
};

struct Forecast {
    std::time_t made_at;
    int count;
    int slots_in_use;  // the count of reservations in use it was made for
    // A settings file that cannot be read, for a listed reservation that uses it.
    bool settings_unreadable[2];
    ForecastEntry entries[kForecastMax];  // by first due moment, then slot
};

// The fate of every occurrence whose first due moment lies within the next 28 days (and
// the recording under way), into *out.
void make_forecast(const ForecastInput& in, Forecast* out);

// The rank of an entry's fate, best first: on time, late by at most a minute, later,
// recorded only if the program runs again, not recorded.
int forecast_rank(const ForecastEntry& e);

// What a save changed for the worse, from before to after it: an occurrence listed in both
// whose fate ranks lower than before and is worth a warning (a start more than a minute
// late, or worse), or one listed before that vanished (its slot hidden or past the count).
// The recording under way never counts. A vanished occurrence of the saved slot, while
// that slot stays in use, is the user's own edit and does not count either.
struct ForecastChange {
    bool vanished;
    int entry;  // into after.entries, or before.entries when vanished
};
// The changes, in the order of their occurrences, go to out (up to cap); returns how many
// there are in all.
int forecast_worsened(const Forecast& before, const Forecast& after, int saved,
                      ForecastChange* out, int cap);

// Sum of what is still to be written by the occurrences that may be recorded (every fate
// but missed) whose window starts within days days of the forecast; *some_unknown (may be
// null) tells whether any of them has an unknown size, counted 0.
std::int64_t forecast_total_bytes(const Forecast& f, int days, bool* some_unknown = nullptr);

// Texts, Shift-JIS, for the forecast window and the warning box. free_bytes is the free
// space of the capture folder's drive, negative when it could not be read ("不明").
// Each returns the length written into out (NUL-terminated, cut to fit).
std::size_t forecast_text(const Forecast& f, const ReservationTable& table,
                          std::int64_t free_bytes, char* out, std::size_t cap);
// The warning after a save of slot saved: the occurrences that fare worse or vanished (at
// most five, then "ほか N 件"), and when the saved slot's first occurrence that will be
// recorded needs more than the free space, both figures. 0 (and an empty text) when there
// is nothing to warn of.
std::size_t forecast_warning(const Forecast& before, const Forecast& after,
                             const ReservationTable& table, int saved, std::int64_t free_bytes,
                             char* out, std::size_t cap);

// The forecast for the program as it stands at now: the table in use, the recording under
// way, whether the capture application's window is open, and the rates of its settings
// files.
void forecast_now(std::time_t now, Forecast* out);
