#include "engine/win32/scheduler_host_win32.h"

#include <windows.h>

#include "app/app_state.h"
#include "app/win32/form_commands.h"
#include "capture_settings/settings_file.h"
#include "engine/after_actions.h"
#include "engine/capture_control.h"
#include "engine/scheduler.h"
#include "view/timetable.h"

namespace {

class Win32SchedulerHost : public SchedulerHost {
public:
    void sleep_ms(std::uint32_t ms) override { platform.clock->sleep_ms(ms); }
    int show_status(WindowRef dialog, int step, int index) override {
        return paint_status_panel(dialog, step, index);
    }
    void post_command(WindowRef dialog, int id) override {
        PostMessageW((HWND)dialog, WM_COMMAND, MAKEWPARAM(id, 0), 0);
    }
    void send_command(WindowRef dialog, int id) override {
        SendMessageW((HWND)dialog, WM_COMMAND, MAKEWPARAM(id, 0), 0);
    }
    // Through the desktop, like the hidden buttons' commands: a capture application that
    // has stopped answering is given up after a while instead of holding the program.
    void send_to_capture(WindowRef capture_window, unsigned message) override {
        if (capture_window && desktop) desktop->send(capture_window, message);
    }
    void repaint(WindowRef dialog) override { SendMessageW((HWND)dialog, WM_PAINT, 0, 0); }
    void show_reservation(WindowRef dialog, int index) override {
        ::show_reservation((HWND)dialog, index);
    }
    int apply_recording_conditions(WindowRef owner, int index) override {
        return ::apply_recording_conditions(owner, index);
    }
    int apply_picture_quality(WindowRef owner, int index) override {
        return ::apply_picture_quality(owner, index);
    }
    int apply_stream_format(WindowRef owner, int index) override {
        return ::apply_stream_format(owner, index);
    }
    int apply_gop_structure(WindowRef owner, int index) override {
        return ::apply_gop_structure(owner, index);
    }
    void open_capture_application(WindowRef* capture_window, int index) override {
        ::open_capture_application(capture_window, index);
    }
    void move_newest_recording(WindowRef dialog, const char* folder) override {
        ::move_newest_recording(dialog, folder);
    }
    void run_after_action(int index) override { ::run_after_action(index); }
};

}  // namespace

void install_win32_scheduler_host() {
    static Win32SchedulerHost host;
    scheduler_host = &host;
}
