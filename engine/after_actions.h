// After a recording: move the newest file of the capture application's "Samples" folder
// into the reservation's folder, and carry out the reservation's power action.
#pragma once
#include <cstddef>
#include <cstdint>
#include <ctime>
#include "app/platform.h"

// Attribute bits as a directory search reports them.
const std::uint32_t kAttributeDirectory = 16;
const std::uint32_t kAttributeArchive = 32;

const int kFolderListingSize = 256;
const std::size_t kListingNameSize = 260;  // 259 bytes of name plus the NUL
// A found name in Shift-JIS: up to 259 UTF-16 units, two bytes each at most.
const std::size_t kFoundNameSize = 520;

// One result of a directory search.
struct FoundFile {
    std::uint32_t attributes;
    std::int64_t creation_time;     // calendar times, seconds
    std::int64_t last_access_time;
    std::int64_t last_write_time;
    std::uint32_t size;             // bytes
    char name[kFoundNameSize];      // Shift-JIS, without folder, NUL-terminated
    bool name_exact;                // false when the name has no exact Shift-JIS form
};

// The file system as the after-recording actions use it. One search is open at a time.
class FolderSystem {
public:
    // Starts a search for pattern (Shift-JIS, with wildcards). 0 with the first result in
    // *found, or -1 when nothing matches (no search is then left open).
    virtual int search_first(const char* pattern, FoundFile* found) = 0;
    // The next result: 0, or -1 when the search has run out.
    virtual int search_next(FoundFile* found) = 0;
    // Ends the open search, if any.
    virtual void search_close() = 0;
    // Creates one folder (its parent must exist). 0, or -1 when it was not created.
    virtual int create_folder(const char* path) = 0;
    // Moves a file; an existing destination is never replaced. 0, or -1.
    virtual int move_file(const char* from, const char* to) = 0;
protected:
    ~FolderSystem() = default;
};

// The power requests that may follow a recording, and those that keep the PC awake for
// recordings and wake it for the next one. Only the program itself installs the real
// ones, so that nothing else can ever restart or suspend the machine it runs on.
class PowerRequests {
public:
    virtual void reboot() = 0;
    virtual void shutdown() = 0;
    virtual void force_logoff() = 0;  // closes applications without asking
    virtual void suspend() = 0;       // stand-by: suspend to RAM
    // Holds the system (not the display) awake, or lets it go.
    virtual void keep_awake(bool on) = 0;
    // Arms the program's one wake-up timer for calendar time at, resuming the PC from
    // stand-by or hibernation, in place of an earlier one. 0 armed; 1 armed, but this PC
    // cannot be woken by a timer; -1 not armed.
    virtual int arm_wake_timer(std::time_t at) = 0;
    virtual void cancel_wake_timer() = 0;
protected:
    ~PowerRequests() = default;
};

// The instances in use; null means none (nothing found, nothing created or moved, no
// power request made).
extern FolderSystem* folder_system;
extern PowerRequests* power_requests;

// One entry of the folder listing.
struct FolderEntry {
    std::uint32_t attributes;
    std::int64_t creation_time;
    std::int64_t last_access_time;
    std::int64_t last_write_time;
    std::uint32_t size;
    char name[kListingNameSize];
    // The stored name is not the file's own (it was too long, or has no Shift-JIS form),
    // so the file cannot be reached by it.
    bool name_unusable;
};

struct FolderListing {
    FolderEntry entries[kFolderListingSize];
    int count;
};

// The program's one folder listing, as the last list_folder left it.
extern FolderListing folder_listing;

// Fills folder_listing from a search for pattern and returns the number of entries. The
// first entry must have attributes exactly equal to mask and a name not beginning with
// "."; later ones need only one attribute bit in common with mask. At most 256.
int list_folder(const char* pattern, std::uint32_t mask);

// The index in folder_listing of the file (archive attribute) with the greatest
// last-write time, the first listed on ties; -1 when there is none.
int find_newest_file(const char* pattern);

// Creates the folder at path and, where needed, its missing parents from the top down.
// A path with no "\" after its first character is never created. 0, or -1 when the
// folder itself could not be created (also when it already existed).
int ensure_folder(const char* path);

// Moves the newest file of the capture folder's "Samples" into move_folder (a record's
// field, read within its 128 bytes), showing the paths and the outcome on dialog and
// then waiting 3 seconds. Does nothing at all when "Samples" holds no file.
void move_newest_recording(WindowRef dialog, const char* move_folder);

// Waits the reservation's after_delay seconds, rearms the wake-up timer, then makes its
// after_action's power request (1 reboot, 2 shutdown, 3 forced log-off, 4 stand-by;
// anything else none). No stand-by when the next start is less than five minutes away:
// the PC would sleep through it.
// after_delay is taken as unsigned seconds, so every stored value is a wait of that
// length and never a negative or wrapped one.
void run_after_action(int index);

// The wait, in milliseconds, that run_after_action makes for an after_delay field.
std::uint64_t after_delay_ms(std::int32_t after_delay);
