// Puts every state of the core back to its value at process start, each through its own
// module's reset: the reservations, the capture folder's choice, the calendar's kept
// midnights, the recording and the scan's cache, the wake-up timer, the user's script, the
// journal and the settings writers' boxes.
// Header-only, so that the native, fuzz and Windows test programs all share it.
#pragma once
#include "base/calendar.h"
#include "base/capture_interface.h"
#include "base/journal.h"
#include "capture_settings/settings_file.h"
#include "engine/event_script.h"
#include "engine/history.h"
#include "engine/recording.h"
#include "engine/scheduler.h"
#include "engine/wake.h"
#include "reservations/reservation.h"

inline void reset_core_state() {
    reset_reservations();
    reset_capture_folder();
    reset_calendar_memo();
    reset_recording();
    reset_schedule_cache();
    reset_wake_state();
    reset_history();
    reset_event_script();
    reset_journal();
    reset_settings_errors();
}
