// Every seam between the portable core and the platform: the few things the core asks
// of it. The Win32 layer implements them for the real program; the tests implement them
// with fakes. Nothing here allocates: each is an abstract class of which the program
// holds one static instance, and all of them are set in one place, `platform`.
#pragma once
#include <cstddef>
#include <cstdint>
#include <ctime>

// A window of the platform, opaque to the core.
typedef void* WindowRef;

// A COLORREF value, 0x00BBGGRR.
typedef std::uint32_t Colour;

// A message box's icon: none for the program's reports, a warning for what the user
// should look at before it costs a recording.
enum MessageIcon { kIconNone, kIconWarning };

class MessageBoxes {
public:
    // Shows text (Shift-JIS) in a box with one OK button and the icon, owned by owner
    // (null for none), and returns when the user has closed it.
    virtual void show(WindowRef owner, const char* text, const char* caption,
                      MessageIcon icon = kIconNone) = 0;
    // The same box, closed as if OK had been pressed when nobody has answered it within
    // close_after_ms (a PC left alone must not wait for a click). True when it closed
    // itself. By default a box that is answered.
    virtual bool show_closing(WindowRef owner, const char* text, const char* caption,
                              std::uint32_t close_after_ms);
protected:
    ~MessageBoxes() = default;
};

class Files {
public:
    // Reads at most cap bytes from the start of the file at path (Shift-JIS).
    // Returns -1 when the file cannot be opened; else 0 with *got set to the bytes read
    // and *more set when the file holds further bytes beyond cap.
    virtual int read(const char* path, void* buf, std::size_t cap, std::size_t* got, bool* more) = 0;
    // Replaces the file at path with exactly these bytes in one step: the bytes go to a
    // temporary file beside it, are flushed, and the temporary file then takes the old
    // one's place. Returns -1 on any failure, in which case the old file is left whole.
    virtual int replace(const char* path, const void* data, std::size_t len) = 0;
    // True when a file or folder of that name exists.
    virtual bool exists(const char* path) = 0;
    // True when a file of that name exists, and not a folder.
    virtual bool is_file(const char* path) = 0;
protected:
    ~Files() = default;
};

class Clock {
public:
    // Blocks the calling thread for ms milliseconds.
    virtual void sleep_ms(std::uint32_t ms) = 0;
    // The current calendar time, for decisions taken after a wait.
    virtual std::int64_t now() = 0;
protected:
    ~Clock() = default;
};

// Drawing surface: the main dialog's client area, in client pixels.
class Canvas {
public:
    // Fills left..right-1, top..bottom-1 (outline and interior in one colour).
    virtual void fill_rect(int left, int top, int right, int bottom, Colour colour) = 0;
    // Draws Shift-JIS text at (x, y) in the given font row; bk_mode 1 transparent, 2 opaque.
    virtual void draw_text(int x, int y, Colour text_colour, const char* text, int font_row,
                           int bk_mode, Colour bk_colour) = 0;
protected:
    ~Canvas() = default;
};

// Gives a canvas on a window's client area (a device context taken for the window) and
// takes it back. One canvas is open at a time.
class Surfaces {
public:
    virtual Canvas* open(WindowRef window) = 0;
    virtual void close(Canvas* canvas) = 0;
protected:
    ~Surfaces() = default;
};

// The windows and processes of the desktop that capture control works on.
class Desktop {
public:
    // The top-level window of that class and exact title (Shift-JIS), or null.
    virtual WindowRef find_window(const char* window_class, const char* title) = 0;
    // Starts the program file application with that command line, in a normal shown
    // window, without waiting for it. Whether it started is not reported.
    virtual void launch(const char* application, const char* command_line) = 0;
    // Moves window's top-left corner to screen (x, y) and to the bottom of the z-order,
    // keeping its size and without activating it.
    virtual void place_at_bottom(WindowRef window, int x, int y) = 0;
    // Sends window the message with both parameters 0 and waits until it is handled, for
    // a limited time. False when it was not answered in that time (or not delivered).
    virtual bool send(WindowRef window, std::uint32_t message) = 0;
protected:
    ~Desktop() = default;
};

// Attribute bits as a directory search reports them.
const std::uint32_t kAttributeDirectory = 16;
const std::uint32_t kAttributeArchive = 32;
// A found name in Shift-JIS: up to 259 UTF-16 units, two bytes each at most.
const std::size_t kFoundNameSize = 520;

// One result of a directory search.
struct FoundFile {
    std::uint32_t attributes;
    std::int64_t creation_time;     // calendar times, seconds
    std::int64_t last_access_time;
    std::int64_t last_write_time;
    std::uint64_t size;             // bytes: recordings pass 4 GiB
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
    // The bytes free to this user on the drive that holds the folder; -1 when that cannot
    // be read.
    virtual std::int64_t free_space(const char* folder) = 0;
protected:
    ~FolderSystem() = default;
};

// How the countdown before a power action ended.
enum CountdownEnd {
    kCountdownElapsed,    // it ran out
    kCountdownNow,        // "今すぐ実行"
    kCountdownCancelled,  // "中止", Esc or the close box
    kCountdownNoWindow,   // none could be shown: the caller waits the time out itself
};

// The power requests that may follow a recording, and those that keep the PC awake for
// recordings and wake it for the next one. Only the program itself installs the real
// ones, so that nothing else can ever restart or suspend the machine it runs on.
class PowerRequests {
public:
    // Each is 0 when the system took the request, or the system's error number when it
    // refused it. (A reboot, shutdown or log-off that is carried out may never return.)
    virtual int reboot() = 0;
    virtual int shutdown() = 0;
    virtual int force_logoff() = 0;  // closes applications without asking
    virtual int suspend() = 0;       // stand-by: suspend to RAM
    // Holds the system (not the display) awake, or lets it go.
    virtual void keep_awake(bool on) = 0;
    // Arms the program's one wake-up timer for calendar time at, resuming the PC from
    // stand-by or hibernation, in place of an earlier one. 0 armed; 1 armed, but this PC
    // cannot be woken by a timer; -1 not armed.
    virtual int arm_wake_timer(std::time_t at) = 0;
    virtual void cancel_wake_timer() = 0;
    // The countdown before a power action: label (Shift-JIS) followed by the seconds left,
    // counted down once a second for seconds seconds, in a window whose buttons carry the
    // action out at once or cancel it; returns how it ended. By default there is no such
    // window, and nothing is waited.
    virtual CountdownEnd count_down(const char* label, std::uint32_t seconds);
    // Seconds since the keyboard or mouse was last used; -1 when unknown (by default).
    virtual std::int64_t seconds_since_input();
protected:
    ~PowerRequests() = default;
};

// What the recording scheduler asks the main dialog to have the capture application do;
// the dialog sends the command of its own button for each.
enum CaptureRequest { kRequestRecord, kRequestStop };

// What the recording scheduler asks of the main dialog's window.
class SchedulerHost {
public:
    // Queues a request to the dialog (handled after the tick has returned).
    virtual void post_request(WindowRef dialog, CaptureRequest request) = 0;
    // Delivers a request to the dialog and waits for it to be handled.
    virtual void send_request(WindowRef dialog, CaptureRequest request) = 0;
    // Has the dialog run its paint step now.
    virtual void repaint(WindowRef dialog) = 0;
    // Fills the reservation form's controls from slot index.
    virtual void show_reservation(WindowRef dialog, int index) = 0;
protected:
    ~SchedulerHost() = default;
};

// The files of the recording journal: appended to line by line, read from anywhere.
class JournalFiles {
public:
    // Appends the bytes to the file (created when missing) and flushes them to the disk
    // before it returns. 0, or -1 when not all of them were written.
    virtual int append(const char* path, const void* data, std::size_t len) = 0;
    // The file's size in bytes, or -1 when it cannot be opened.
    virtual std::int64_t size(const char* path) = 0;
    // Reads at most cap bytes from offset on: 0 with *got set, or -1.
    virtual int read_at(const char* path, std::int64_t offset, void* buf, std::size_t cap,
                        std::size_t* got) = 0;
    // Gives the file from the name to, replacing a file of that name. 0, or -1.
    virtual int rename(const char* from, const char* to) = 0;
protected:
    ~JournalFiles() = default;
};

// One variable of a started script's environment: name and value in Shift-JIS.
struct ScriptVariable {
    const char* name;
    const char* value;  // "" leaves the variable out
};

// The user's own batch file, handed what just happened.
class Scripts {
public:
    // Starts the batch file script (a name in the current folder) through the command
    // interpreter, in the current folder, without a window and without waiting for it.
    // Its environment is the program's own with vars set in it (one with an empty value
    // is left out, also when the program's environment has it); nothing goes on its
    // command line. 0, or the system's error number when it could not be started.
    virtual int start(const char* script, const ScriptVariable* vars, int count) = 0;
protected:
    ~Scripts() = default;
};

// The instances in use, set once at start-up by the Win32 layer, and by each test's
// fixture. None is ever null: until set, each is an inert one that shows nothing, reads
// and finds nothing, waits not at all and asks nothing of Windows.
struct Platform {
    MessageBoxes* messages;
    Files* files;
    Clock* clock;
    Surfaces* surfaces;
    Desktop* desktop;
    FolderSystem* folders;
    PowerRequests* power;
    SchedulerHost* host;
    JournalFiles* journal;
    Scripts* scripts;
};
extern Platform platform;

// The inert instances, for putting a seam back.
Platform inert_platform();
