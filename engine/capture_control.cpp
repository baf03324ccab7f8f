#include "engine/capture_control.h"

#include <cstdio>
#include "app/app_state.h"
#include "engine/capture_interface.h"
#include "resources/resource_ids.h"

Desktop* desktop = nullptr;

WindowRef find_capture_window() {
    if (!desktop) return nullptr;
    return desktop->find_window(kCaptureWindowClass, kCaptureWindowTitle);
}

void open_capture_application(WindowRef* capture_window, int index) {
    if (!desktop) return;
    *capture_window = find_capture_window();
    int mpeg1 = 0;
    if (index >= 0 && index < kMaxReservations) mpeg1 = app.table.slots[index].mpeg1 != 0;
    char path[260];
    capture_path(path, sizeof(path), app.use_install_folder, capture_exe_name(mpeg1));
    if (!*capture_window) {
        // The install folder's path holds spaces: the path names the program on its own,
        // and the command line carries it quoted, so that no "c:\Program" is tried.
        char command_line[264];
        std::snprintf(command_line, sizeof(command_line), "\"%s\"", path);
        desktop->launch(path, command_line);
        platform.clock->sleep_ms(kCaptureLaunchWaitMs);
        *capture_window = find_capture_window();
    }
    if (*capture_window) desktop->place_at_bottom(*capture_window, 0, 0);
}

static void send_if_open(WindowRef capture_window, std::uint32_t message) {
    if (capture_window && desktop) desktop->send(capture_window, message);
}

void capture_command(WindowRef* capture_window, int id, int selected_index) {
    switch (id) {
    case IDC_CAPTURE_RECORD:
        send_if_open(*capture_window, kCaptureRecord);
        break;
    case IDC_CAPTURE_STOP:
        send_if_open(*capture_window, kCaptureStop);
        break;
    case IDC_CAPTURE_PLAY:
        send_if_open(*capture_window, kCapturePlay);
        break;
    case IDC_CAPTURE_TOGGLE:
        if (*capture_window) {
            send_if_open(*capture_window, kCaptureClose);
            *capture_window = nullptr;
        } else {
            open_capture_application(capture_window, selected_index);
        }
        break;
    default:
        break;
    }
}
