// The one rule of when a reservation is due: its period, its daily window, its occurrences,
// the next start and the occurrences that were missed. Pure: a record or a table and
// moments in, results out; nothing is kept. The scan (engine/scheduler.h) caches what this
// rule gives; the journal, the wake-up timer and the power actions ask it directly.
//
// The scan looks a minute ahead while idle: a reservation starts at the first tick at or
// after its start time less a minute. A weekly window belongs to the local day it starts
// on, even when it runs past midnight, and is due only on a selected weekday within the
// reservation's period. A once-only reservation is due while the moment a minute ahead
// lies within its period (held to a day) and records until the period ends.
#pragma once
#include <ctime>
#include "reservations/reservation.h"

// The longest once-only recording: the form stores an end at most a day after the start.
const std::time_t kOnceOnlyLongest = 24 * 60 * 60;
// How far the scan looks ahead while idle.
const std::time_t kLookAheadSeconds = 60;

// One occurrence of a reservation: a once-only reservation, or one day of a weekly one.
struct Occurrence {
    int index;          // the reservation's slot
    std::time_t first;  // the first moment at which the scan finds it due
    std::time_t last;   // the last such moment: after it, it can no longer be started
    std::time_t start;  // the start of its window (within its period)
    std::time_t stop;   // when its recording would stop: the end of its window
};

// True when weekday (0 Sunday .. 6 Saturday) is selected in the record's mask.
bool weekday_selected(const Reservation& r, int weekday);

// The calendar bounds of a record's period. False when its texts do not form a valid date
// and time (a damaged file): such a reservation is never due.
bool reservation_period(const Reservation& r, std::time_t* start, std::time_t* end);

// The occurrence of r (in slot index) that is due at from, or else the first one after it;
// false when there is none.
bool next_due_occurrence(const Reservation& r, int index, std::time_t from, Occurrence* out);

// The occurrence of r that the scan finds due at moment t; false when none is.
bool occurrence_at(const Reservation& r, int index, std::time_t t, Occurrence* out);

// The first moment at or after from at which the scan, ticking once a second while idle,
// starts one of the first count reservations of the table, and that occurrence (its own
// start may lie before *at: a minute before, or long before for one that is due already);
// false when it never will. out may be null.
bool next_occurrence(const ReservationTable& table, int count, std::time_t from, std::time_t* at,
                     Occurrence* out);
bool next_start(const ReservationTable& table, int count, std::time_t from, std::time_t* at);

// Missed occurrences are looked for over at most this many days before the end of a span.
const int kMissedLookBackDays = 366;

// The occurrences of the first count reservations whose first moment lies in [from, to]
// (or, with due_at_from, that were due at from as well) and whose last lies before to:
// those that became due in that span and can no longer be started. With keep given, only
// those for which it is true count. The earliest cap of them (by first moment, then slot)
// go to out; returns how many there are in all.
typedef bool (*OccurrenceFilter)(const Occurrence& o, const void* context);
int missed_occurrences(const ReservationTable& table, int count, std::time_t from, std::time_t to,
                       bool due_at_from, Occurrence* out, int cap, OccurrenceFilter keep = nullptr,
                       const void* context = nullptr);
