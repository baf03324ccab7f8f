// After a recording: move the newest file of the capture application's "Samples" folder
// into the reservation's folder, and carry out the reservation's power action.
#pragma once
#include <cstddef>
#include <cstdint>
#include <climits>
#include <ctime>
#include "base/platform.h"

// Shown for this long after a move, whether or not it succeeded.
const std::uint32_t kAfterMoveWaitMs = 3000;

const int kFolderListingSize = 256;
const std::size_t kListingNameSize = 260;  // 259 bytes of name plus the NUL

// One entry of the folder listing.
struct FolderEntry {
    std::uint32_t attributes;
    std::int64_t creation_time;
    std::int64_t last_access_time;
    std::int64_t last_write_time;
    std::uint64_t size;
    char name[kListingNameSize];
    // The stored name is not the file's own (it was too long, or has no Shift-JIS form),
    // so the file cannot be reached by it.
    bool name_unusable;
};

struct FolderListing {
    FolderEntry entries[kFolderListingSize];
    int count;
};

// Fills *listing from a search for pattern and returns the number of entries. The
// first entry must have attributes exactly equal to mask and a name not beginning with
// "."; later ones need only one attribute bit in common with mask. At most 256.
int list_folder(const char* pattern, std::uint32_t mask, FolderListing* listing);

// Lists pattern into *listing; the index there of the file (archive attribute) with the greatest
// last-write time, the first listed on ties, among those last written at or after since;
// -1 when there is none.
int find_newest_file(const char* pattern, FolderListing* listing, std::int64_t since = INT64_MIN);

// Creates the folder at path and, where needed, its missing parents from the top down.
// A path with no "\" after its first character is never created. 0, or -1 when the
// folder itself could not be created (also when it already existed).
int ensure_folder(const char* path);

// Moves the newest file of the capture folder's "Samples" last written at or after since
// into move_folder (a record's field, read within its 128 bytes), showing the paths and
// the outcome on dialog and then waiting 3 seconds. Draws and moves nothing when there is
// no such file (an older recording is not this one's), and says so in the journal.
void move_newest_recording(WindowRef dialog, const char* move_folder,
                           std::int64_t since = INT64_MIN);

// The bytes free to this user on the drive of the capture folder's "Samples", where the
// recordings are written; -1 when that cannot be read.
std::int64_t samples_free_space();

// Rates as the capture application takes them, 32-bit signed: a figure outside 0 to
// 2^31 - 1 in a settings file or a damaged record is not a rate it records at.
const long long kRateMax = 2147483647;
bool recording_rates_known(long long video_bitrate, long long audio_bitrate);

// The size a recording of seconds at these rates should have, in bytes: video in bit/s,
// audio in kbit/s. 0 for rates that are not known or a time that is not positive; held
// at the largest signed 64-bit figure rather than wrapped.
std::uint64_t expected_recording_bytes(long long video_bitrate, long long audio_bitrate,
                                       long long seconds);

// The rates reservation index records at: its own when use_conditions is set, else those
// of its settings file, read quietly (video in bit/s, audio in kbit/s). False when they
// cannot be known (also when they are out of range).
bool recording_rates(int index, long long* video, long long* audio);

// bytes as "1,234 MB" (of 2^20 bytes, rounded up), or "不明" when negative.
void megabytes_text(std::int64_t bytes, char* out, std::size_t size);

// After the stop: the recording of reservation index counts as made only when "Samples"
// holds a file last written at or after started (when its start sequence began) of at
// least half the size expected for seconds of recording at the reservation's rates (its
// own when use_conditions is set, else those of its settings file; unknown rates check
// the file alone). Writes "録画終了" with the file's name and size, or "録画失敗" with
// the reason. True when it was made.
bool check_recording(int index, std::time_t started, std::time_t seconds);

// No shutdown, reboot or log-off when the next recording falls due less than this after it
// would be made: that recording would be lost.
const std::time_t kPowerHoldSeconds = 30 * 60;
// Someone is taken to be at the PC when the keyboard or mouse was used this recently, and
// is then given a countdown of at least kAttendedCountdownSeconds.
const std::int64_t kAttendedInputSeconds = 5 * 60;
const std::uint32_t kAttendedCountdownSeconds = 60;

// The reservation's power action (1 reboot, 2 shutdown, 3 forced log-off, 4 stand-by;
// anything else none, after a plain wait of after_delay seconds). A shutdown, reboot or
// log-off is held back when the next recording falls due within kPowerHoldSeconds of the
// moment it would be made. Otherwise a countdown of after_delay seconds (at least a minute
// when someone is at the PC; none when it is 0 and nobody is) may carry it out at once or
// cancel it; then the wake-up timer is rearmed and the request made. No stand-by when the
// next start is less than five minutes away: the PC would sleep through it.
// after_delay is taken as unsigned seconds, so every stored value is a wait of that
// length and never a negative or wrapped one.
void run_after_action(int index);

// The wait, in milliseconds, that run_after_action makes for an after_delay field.
std::uint64_t after_delay_ms(std::int32_t after_delay);
