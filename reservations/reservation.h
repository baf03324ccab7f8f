// The reservation record and the table of 40 that "recdata.dat" holds byte for byte.
#pragma once
#include <cstddef>
#include <cstdint>
#include "base/journal.h"
#include "base/platform.h"

// One reservation, 276 bytes; the layout is the file format (x86 little-endian).
struct Reservation {
    char name[21];                 //   0 NUL-terminated Shift-JIS; empty marks a free slot
    char start_date[7];            //  21 yymmdd
    char end_date[7];              //  28 yymmdd
    char start_time[7];            //  35 hhmmss
    char end_time[7];              //  42 hhmmss
    std::uint8_t weekday_mask;     //  49 Monday 64 ... Sunday 1
    std::uint8_t padding[2];       //  50 never interpreted
    std::int32_t repeat_mode;      //  52 0 once only, 1 weekly
    std::int32_t video_bitrate;    //  56 bit/s
    std::int32_t audio_bitrate;    //  60 kbit/s
    std::int32_t audio_sample_rate;//  64 Hz
    std::int32_t vbr;              //  68
    std::int32_t record_size_index;//  72
    std::uint32_t colour;          //  76 COLORREF
    std::int32_t use_conditions;   //  80
    char move_folder[128];         //  84
    std::uint8_t move_after_record;// 212
    std::uint8_t brightness;       // 213
    std::uint8_t contrast;         // 214
    std::uint8_t saturation;       // 215
    std::uint8_t hue;              // 216
    std::uint8_t use_quality;      // 217
    std::uint8_t mpeg1;            // 218
    std::uint8_t after_action;     // 219
    std::int32_t after_delay;      // 220 seconds
    std::uint8_t stream_format;    // 224
    std::uint8_t use_gop;          // 225
    std::uint8_t gop_pattern;      // 226
    char reserved[49];             // 227
};

static_assert(sizeof(Reservation) == 276, "record size is the file format");
static_assert(offsetof(Reservation, name) == 0, "");
static_assert(offsetof(Reservation, start_date) == 21, "");
static_assert(offsetof(Reservation, end_date) == 28, "");
static_assert(offsetof(Reservation, start_time) == 35, "");
static_assert(offsetof(Reservation, end_time) == 42, "");
static_assert(offsetof(Reservation, weekday_mask) == 49, "");
static_assert(offsetof(Reservation, padding) == 50, "");
static_assert(offsetof(Reservation, repeat_mode) == 52, "");
static_assert(offsetof(Reservation, video_bitrate) == 56, "");
static_assert(offsetof(Reservation, audio_bitrate) == 60, "");
static_assert(offsetof(Reservation, audio_sample_rate) == 64, "");
static_assert(offsetof(Reservation, vbr) == 68, "");
static_assert(offsetof(Reservation, record_size_index) == 72, "");
static_assert(offsetof(Reservation, colour) == 76, "");
static_assert(offsetof(Reservation, use_conditions) == 80, "");
static_assert(offsetof(Reservation, move_folder) == 84, "");
static_assert(offsetof(Reservation, move_after_record) == 212, "");
static_assert(offsetof(Reservation, brightness) == 213, "");
static_assert(offsetof(Reservation, contrast) == 214, "");
static_assert(offsetof(Reservation, saturation) == 215, "");
static_assert(offsetof(Reservation, hue) == 216, "");
static_assert(offsetof(Reservation, use_quality) == 217, "");
static_assert(offsetof(Reservation, mpeg1) == 218, "");
static_assert(offsetof(Reservation, after_action) == 219, "");
static_assert(offsetof(Reservation, after_delay) == 220, "");
static_assert(offsetof(Reservation, stream_format) == 224, "");
static_assert(offsetof(Reservation, use_gop) == 225, "");
static_assert(offsetof(Reservation, gop_pattern) == 226, "");
static_assert(offsetof(Reservation, reserved) == 227, "");

const int kMaxReservations = 40;
const Colour kDefaultColour = 0x5454FF;

struct ReservationTable {
    Reservation slots[kMaxReservations];
};
static_assert(sizeof(ReservationTable) == 11040, "table size is the file size");

// The reservations in use: the table as loaded and edited, and the form's selection and
// colour. It lives as long as the process; nothing is allocated.
struct ReservationList {
    ReservationTable table;
    int count;             // leading slots in use, 0..40
    int selected_index;    // -1 = none
    Colour current_colour;
};
extern ReservationList reservations;

// Puts the list back to its value at process start: an empty table, nothing selected.
void reset_reservations();

const char* const kScheduleFileName = "recdata.dat";

// Records may come from a file that another program wrote, so a string field may lack
// its NUL. These read a field within its own size, always.
std::size_t field_length(const char* field, std::size_t size);
// Copies a field into out (outsize >= 1), NUL-terminated, cut to what fits.
void copy_field(char* out, std::size_t outsize, const char* field, std::size_t size);
#define FIELD_LEN(rec, member) field_length((rec).member, sizeof((rec).member))
#define FIELD_COPY(out, rec, member) copy_field((out), sizeof(out), (rec).member, sizeof((rec).member))

// Writes a journal line for reservation index: its slot number and name; index -1 for a
// line of no reservation. details is a printf format.
void journal_reservation(JournalEvent event, int index, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 3, 4)))
#endif
    ;

// The number of leading slots with a non-empty name (0..40).
int count_in_use(const ReservationTable& table);

// Writes the default record into all 40 slots (stream_format, use_gop, gop_pattern and
// the padding are left as they are).
void set_default_reservations(ReservationTable& table);

// Zeroes all 276 bytes of r, then writes the default record into it: nothing of the
// reservation it held is left, not even in the fields the default record leaves alone.
void clear_record(Reservation& r);

// Removes slot (0..39) from the table: every later slot moves up by one, those after the
// first empty name too, and the last becomes a cleared record (clear_record). The table
// keeps its 40 records.
void remove_slot(ReservationTable& table, int slot);

// Reads the schedule file into the table; creates it with default records when it cannot
// be opened. 0 on success, -1 otherwise (the failure has been shown to the user).
int load_schedule(ReservationTable& table, WindowRef owner, const char* path);

// Writes the whole table to the schedule file, replacing it in one step.
// 0 on success, -1 otherwise (shown to the user; the previous file stays whole).
int save_schedule(const ReservationTable& table, WindowRef owner, const char* path);
