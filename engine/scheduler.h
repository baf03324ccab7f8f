// The recording scheduler, run once a second by the main dialog's tick.
#pragma once
#include <cstdint>
#include <ctime>
#include "app/platform.h"

// Hidden buttons of the main dialog through which the scheduler commands the capture
// application.
const int kCommandRecord = 1128;
const int kCommandStop = 1127;

// Everything the scheduler does besides reading the table and the time.
class SchedulerHost {
public:
    virtual void sleep_ms(std::uint32_t ms) = 0;
    // Draws the status panel at step for reservation index; returns the step shown.
    virtual int show_status(WindowRef dialog, int step, int index) = 0;
    // Queues a command to the main dialog (handled after the tick has returned).
    virtual void post_command(WindowRef dialog, int id) = 0;
    // Delivers a command to the main dialog and waits for it to be handled.
    virtual void send_command(WindowRef dialog, int id) = 0;
    // Sends a private message to the capture control window (nothing when it is null).
    virtual void send_to_capture(WindowRef capture_window, unsigned message) = 0;
    // Has the main dialog run its paint step now.
    virtual void repaint(WindowRef dialog) = 0;
    // Fills the reservation form from slot index.
    virtual void show_reservation(WindowRef dialog, int index) = 0;
    virtual int apply_recording_conditions(WindowRef owner, int index) = 0;
    virtual int apply_picture_quality(WindowRef owner, int index) = 0;
    virtual int apply_stream_format(WindowRef owner, int index) = 0;
    virtual int apply_gop_structure(WindowRef owner, int index) = 0;
    virtual void open_capture_application(WindowRef* capture_window, int index) = 0;
    virtual void move_newest_recording(WindowRef dialog, const char* folder) = 0;
    virtual void run_after_action(int index) = 0;
protected:
    ~SchedulerHost() = default;
};

// The host in use; the Win32 layer sets it at start-up, tests set a fake.
extern SchedulerHost* scheduler_host;

// One tick at the current time now: while idle, starts the first due reservation; while
// recording, stops it once its stop time is reached. A tick that arrives while a start or
// stop sequence is still under way (possible only from inside a message box that the
// sequence shows) does nothing.
void check_schedule(WindowRef dialog, int reservation_count, WindowRef* capture_window,
                    std::time_t now);

// True when weekday (0 Sunday .. 6 Saturday) is selected in reservation index's mask.
bool weekday_selected(int index, int weekday);

// The calendar bounds of a reservation, for the scan. Each is false when the record's
// texts do not form a valid date and time (a damaged file): such a reservation is never due.
bool reservation_period(int index, std::time_t* start, std::time_t* end);

// The first moment at or after from at which check_schedule, ticking once a second while
// idle, starts one of the first reservation_count reservations; false when it never will.
// Usually a start moment less the minute the scan looks ahead; from itself when one is due
// already; midnight for a weekly window that starts in the first minute of a day, since a
// weekly window belongs to the day it starts on. Uses none of the scan's day caches.
bool next_start(int reservation_count, std::time_t from, std::time_t* at);

// Forgets what the scan has computed and cached (after a change of time zone).
void reset_schedule_cache();
