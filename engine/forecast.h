// The forecast: what the scheduler will do with every occurrence of the coming four weeks.
// It runs the scheduler's own rule (engine/due_rule.h) forward in time with the real
// length of every wait of its sequences: the capture application's launch wait when its
// window is not open (open at the first start only when it is open now, closed after
// every close command), the wait before the record command, the recording, the wait after
// the stop command, the wait after a move, the power action's delay, and the power action
// itself (stand-by resumes at the wake-up timer and is left out when the next start is
// near; after a shutdown, reboot or log-off the program is not running). It assumes that
// every settings write succeeds and every command is answered at once. Pure: a table and
// moments in, a list out.
#pragma once
#include <cstddef>
#include <cstdint>
#include <ctime>
#include "engine/due_rule.h"
#include "reservations/reservation.h"

const int kForecastDays = 28;
// Every occurrence of four weeks: 40 slots, each at most one a day, and one each of a
// once-only reservation.
const int kForecastMax = kMaxReservations * (kForecastDays + 2);
// After a shutdown, reboot or log-off, what falls due this soon is taken as lost.
const std::time_t kForecastRestartSeconds = 30 * 60;
// A start later than this after its first due moment is worth a warning.
const long kForecastLateWarning = 60;

enum ForecastFate {
    kFateOnTime,     // started at its first due moment
    kFateLate,       // started late_seconds after its first due moment
    kFateMissed,     // not recorded, because of `by`'s recording or its power action
    kFateIfRunning,  // recorded only if the program is running again after `by`'s power action
};

struct ForecastEntry {
    Occurrence occurrence;
    ForecastFate fate;
    std::time_t start_tick;        // the tick that starts it (the recorded fates)
    long late_seconds;             // that tick less its first due moment
    bool by_power_action;          // missed: by `by`'s power action (or its delay), not its recording
    int by;                        // the slot whose recording or power action decides its fate; -1
    int by_action;                 // that reservation's power action (0 none .. 4 stand-by)
    std::int64_t expected_bytes;   // the size its recording should have; -1 unknown
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
};

struct Forecast {
    std::time_t made_at;
    int count;
    ForecastEntry entries[kForecastMax];  // by first due moment, then slot
};

// The fate of every occurrence whose first due moment lies within the next 28 days (and
// the recording under way), into *out.
void make_forecast(const ForecastInput& in, Forecast* out);

// The occurrences of after that fare worse than in before: not recorded, or started more
// than a minute late, where before they were not (or did not exist). Their indexes into
// after.entries go to out (up to cap); returns how many there are in all.
int forecast_worsened(const Forecast& before, const Forecast& after, int* out, int cap);

// Sum of the expected sizes of the occurrences that may be recorded (every fate but
// missed) whose window starts within days days of the forecast; unknown sizes count 0.
std::int64_t forecast_total_bytes(const Forecast& f, int days);

// Texts, Shift-JIS, for the forecast window and the warning box. free_bytes is the free
// space of the capture folder's drive, negative when it could not be read ("不明").
// Each returns the length written into out (NUL-terminated, cut to fit).
std::size_t forecast_text(const Forecast& f, const ReservationTable& table,
                          std::int64_t free_bytes, char* out, std::size_t cap);
// The warning after a save of slot saved: the occurrences that fare worse (at most five,
// then "ほか N 件"), and when the saved slot's next occurrence needs more than the free
// space, both figures. 0 (and an empty text) when there is nothing to warn of.
std::size_t forecast_warning(const Forecast& before, const Forecast& after,
                             const ReservationTable& table, int saved, std::int64_t free_bytes,
                             char* out, std::size_t cap);

// The forecast for the program as it stands at now: the table in use, the recording under
// way, whether the capture application's window is open, and the rates of its settings
// files.
void forecast_now(std::time_t now, Forecast* out);
