// The few things the portable core asks of the platform. The Win32 layer implements
// them for the real program; the tests implement them with fakes. Nothing here
// allocates: each is an abstract class of which the program holds one static instance.
#pragma once
#include <cstddef>
#include <cstdint>

// A window of the platform, opaque to the core.
typedef void* WindowRef;

// A COLORREF value, 0x00BBGGRR.
typedef std::uint32_t Colour;

class MessageBoxes {
public:
    // Shows text (Shift-JIS) in a box with one OK button and no icon, owned by owner
    // (null for none), and returns when the user has closed it.
    virtual void show(WindowRef owner, const char* text, const char* caption) = 0;
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

// The instances in use. The Win32 layer sets them at start-up; tests set fakes.
struct Platform {
    MessageBoxes* messages;
    Files* files;
    Clock* clock;
    Surfaces* surfaces;
};
extern Platform platform;
