// The recording journal, "tavrel.log" beside "recdata.dat": one event a line, Shift-JIS
// with CR LF, appended and flushed line by line, so that a crash loses at most the line
// being written and nothing written is ever rewritten. A line is the local date and time,
// the event's word, the slot (1..40, or "-"), the reservation's name and the details,
// separated by tabs. The leading time carries its offset from UTC ("2026/11/01 01:20:00
// -0400"), so that the hour that comes twice in autumn reads back as the moment it was;
// lines of older journals, without it, are read as local time. Writing never stops a recording: a line that cannot be written is
// left out, and the next one tries again.
#pragma once
#include <cstddef>
#include <cstdint>
#include <ctime>

const char* const kJournalFile = "tavrel.log";
const char* const kJournalOlderFile = "tavrel.log.1";
// Past this size at program start, the journal goes to the older file and a new one begins.
const std::int64_t kJournalLimitBytes = 1024 * 1024;
// Lines the history window shows, across both files.
const int kJournalShownLines = 500;

enum JournalEvent {
    kEventProgramStart,
    kEventProgramEnd,
    kEventRecordingStart,
    kEventSettingsFailed,
    kEventCaptureLaunched,
    kEventCaptureNotFound,
    kEventRecordCommand,
    kEventStopCommand,
    kEventCloseCommand,
    kEventNoAnswer,
    kEventMoved,
    kEventMoveFailed,
    kEventPowerAction,
    kEventPowerRefused,
    kEventMissed,
    kEventScheduleNotSaved,
    kEventWakeTimer,
    kEventWakeUnsupported,
    kEventKeepAwake,
    kEventNoMissedCheck,
    kEventRecordingDone,
    kEventRecordingFailed,
    kEventDiskLow,
    kEventScriptFailed,
    kEventReservationAdded,    // an iEPG programme added
    kEventReservationDeleted,  // "予約の削除": its old slot and name
    kJournalEventCount
};

// The event's word as the journal writes it (Shift-JIS).
const char* journal_word(JournalEvent event);

// One line, without its CR LF, into out (NUL-terminated; cut to fit, never within a
// character): when as local time, the word, slot (1..40; 0 for "-"), name (read within
// name_size bytes; null for none) and details. Every byte below 0x20 of the name and the
// details (a tab, CR, LF, NUL...) becomes one space, so that an event is always one line.
std::size_t journal_format_line(char* out, std::size_t cap, std::time_t when, JournalEvent event,
                                int slot, const char* name, std::size_t name_size,
                                const char* details);

// text (read within n bytes; null for none) as a line shows it, into out (NUL-terminated):
// whole characters only, so that a final lone lead byte is left out, cut to fit, and
// every byte below 0x20 as a space. Returns the length.
std::size_t journal_field_text(char* out, std::size_t cap, const char* text, std::size_t n);

// when as local "YYYY/MM/DD HH:MM:SS" into out (at least 20 bytes).
void journal_time_text(std::time_t when, char* out, std::size_t size);
// when as a line's leading time, "YYYY/MM/DD HH:MM:SS +hhmm" (at least 26 bytes).
void journal_stamp(std::time_t when, char* out, std::size_t size);
// Reads a time at the start of text (len bytes): "YYYY/MM/DD HH:MM:SS", then optionally
// " +hhmm" or " -hhmm". With the offset it is that exact moment; without, local time (the
// earlier moment of an hour that comes twice). *used gets the bytes read. False when
// there is no valid time.
bool journal_read_time(const char* text, std::size_t len, std::time_t* out, std::size_t* used);

// Appends one line at the clock's current time. details is a printf format; the values
// given for it are never read as formats.
void journal_write(JournalEvent event, int slot, const char* name, std::size_t name_size,
                   const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 5, 6)))
#endif
    ;

// Told of each line after journal_write has written it (or failed to): its event, slot
// (0 for "-"), name (within name_size bytes; null for none) and details. One observer;
// null for none.
typedef void (*JournalObserver)(JournalEvent event, int slot, const char* name,
                                std::size_t name_size, const char* details);
void journal_observe(JournalObserver observer);
// The next line written is not told to the observer (a line that must start no script).
void journal_unobserved_next();

// One line of the journal as start-up reads it back; name and details point into the
// read text and are not NUL-terminated.
struct JournalLine {
    std::time_t when;
    bool exact;  // the time carried its offset from UTC (a line of this program's format)
    int event;  // a JournalEvent, or -1 for a word this program does not write
    int slot;   // 1..40; 0 for "-" or anything else
    const char* name;
    std::size_t name_len;
    const char* details;
    std::size_t details_len;
};
typedef void (*JournalVisitor)(const JournalLine& line, void* context);

// Program start: reads the time of the journal's last line, and shows visit (when not
// null) each of the journal's last lines that has a readable time, oldest first (up to
// the last 256 KiB of "tavrel.log"). Then, when "tavrel.log" has passed its limit, gives
// it the older file's name so that a new one begins. 1 with *last set; 0 when there is
// no journal yet; -1 when its last line has no time that can be read, or one later than
// now.
int journal_begin(std::time_t now, std::time_t* last, JournalVisitor visit = nullptr,
                  void* context = nullptr);

// True once a line could not be written since the program started.
bool journal_write_failed();
// Lines written since the program started; the history window follows it.
unsigned journal_lines_written();

// The journal's last max_lines lines (of both files), oldest first, each ended by CR LF,
// into out; bytes that are not Shift-JIS text (and NULs) show as "?". Returns the length.
std::size_t journal_tail(char* out, std::size_t cap, int max_lines);

// Forgets the failure, the count and the observer (tests).
void reset_journal();
