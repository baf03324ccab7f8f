// TV-guide "iEPG" files (what a browser hands over for a programme: a .tvpi, a .tvpid or
// several programmes in one file) read and added to the list as once-only reservations.
//
// The file: header lines "key: value" (split at the first colon, blanks trimmed, keys in
// any case) up to the first empty line, then a free text that is ignored. Its Content-type
// (the media type only) is application/x-tv-program-info, application/
// x-tv-program-digital-info, or application/x-multi-tv-program-info, whose "boundary:"
// line names the line (with or without a leading "--") that begins each programme's own
// header; "--" after it ends the last. Each programme needs month, date, start, end
// ("HH:MM"; hours 24..29 are the next day's 0..5) and program-title; year may be left out.
// Text is code page 932, or UTF-8 after a byte order mark; lines end in CR LF or LF.
#pragma once
#include <cstddef>
#include <ctime>

#include "base/calendar.h"
#include "reservations/reservation.h"

const std::size_t kIepgFileMax = 64 * 1024;  // a larger file is refused
const int kIepgProgrammesMax = kMaxReservations;

struct IepgProgramme {
    char title[21];  // Shift-JIS, whole characters, at most 20 bytes, NUL-terminated
    CivilDate start_date;
    CivilTime start_time;  // local civil date and time (hours 24..29 already moved to the next day)
    CivilDate end_date;
    CivilTime end_time;  // on the next day when the end is at or before the start
};

struct IepgFile {
    int count;
    IepgProgramme programmes[kIepgProgrammesMax];
};

// Parses len bytes of an iEPG file; today is the local date, for a missing year (the first
// day from today on on which the programme starts). 0, or -1 with why in error (Shift-JIS,
// for a message box; NUL-terminated, cut to error_cap).
int parse_iepg(const char* bytes, std::size_t len, CivilDate today, IepgFile* out, char* error,
               std::size_t error_cap);

struct IepgImport {
    int added;       // programmes added, in slots first_slot .. first_slot + added - 1
    int first_slot;
    int skipped;     // programmes left out: already in the list, or already ended
    char skipped_text[1024];  // names each skipped one and why, one line each (Shift-JIS, CR LF)
};

// Adds file's programmes to table as once-only reservations from slot count on, as
// "新規登録" stores one (each new record cleared to zero, then the default record, then the
// programme's fields; the colour given), skipping one already in the list (same name, start
// and end) and one that has ended by now. All or nothing: -1 with why in error and the
// table untouched when they do not fit the free slots (slots count..39; a skipped programme
// needs none). 0 on success.
int import_iepg(ReservationTable& table, int count, const IepgFile& file, std::time_t now,
                Colour colour, IepgImport* result, char* error, std::size_t error_cap);
