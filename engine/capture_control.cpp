#include "engine/capture_control.h"

#include <cstdio>
#include "base/capture_interface.h"
#include "engine/recording.h"
#include "reservations/reservation.h"

namespace {
// The slot a line is written for: the reservation being recorded, else the one given.
int journal_index(int index) {
    return recording.active || recording.sequence_running ? recording.index : index;
}
}  // namespace

WindowRef find_capture_window() {
    return platform.desktop->find_window(kCaptureWindowClass, kCaptureWindowTitle);
}

void open_capture_application(WindowRef* capture_window, int index) {
    *capture_window = find_capture_window();
    int mpeg1 = 0;
    if (index >= 0 && index < kMaxReservations) mpeg1 = reservations.table.slots[index].mpeg1 != 0;
    char path[260];
    capture_path(path, sizeof(path), capture_choice.use_install_folder, capture_exe_name(mpeg1));
    if (!*capture_window) {
        // The install folder's path holds spaces: the path names the program on its own,
        // and the command line carries it quoted, so that no "c:\Program" is tried.
        char command_line[264];
        std::snprintf(command_line, sizeof(command_line), "\"%s\"", path);
        const bool there = platform.files->exists(path);
        platform.desktop->launch(path, command_line);
        journal_reservation(there ? kEventCaptureLaunched : kEventCaptureNotFound, journal_index(index),
                            "%s", path);
        platform.clock->sleep_ms(kCaptureLaunchWaitMs);
        *capture_window = find_capture_window();
        if (!*capture_window)
            journal_reservation(kEventNoAnswer, journal_index(index),
                                "起動後も録画ソフトの窓が見つかりません: %s", path);
    }
    if (*capture_window) platform.desktop->place_at_bottom(*capture_window, 0, 0);
}

bool send_to_capture(WindowRef capture_window, std::uint32_t message) {
    JournalEvent event = kJournalEventCount;
    if (message == kCaptureRecord) event = kEventRecordCommand;
    if (message == kCaptureStop) event = kEventStopCommand;
    if (message == kCaptureClose) event = kEventCloseCommand;
    const int index = journal_index(-1);
    if (!capture_window) {
        if (event != kJournalEventCount)
            journal_reservation(event, index, "%s", "録画ソフトの窓がないため送れません");
        return false;
    }
    const bool answered = platform.desktop->send(capture_window, message);
    if (event != kJournalEventCount) journal_reservation(event, index, "%s", "");
    if (!answered)
        journal_reservation(kEventNoAnswer, index, "メッセージ %u に時間内に応答しません", message);
    return answered;
}

void capture_command(WindowRef* capture_window, CaptureButton button, int selected_index) {
    switch (button) {
    case kButtonRecord:
        send_to_capture(*capture_window, kCaptureRecord);
        break;
    case kButtonStop:
        send_to_capture(*capture_window, kCaptureStop);
        break;
    case kButtonPlay:
        send_to_capture(*capture_window, kCapturePlay);
        break;
    case kButtonToggle:
        if (*capture_window) {
            send_to_capture(*capture_window, kCaptureClose);
            *capture_window = nullptr;
        } else {
            open_capture_application(capture_window, selected_index);
        }
        break;
    default:
        break;
    }
}
