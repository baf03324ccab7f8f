#include "engine/event_script.h"

#include <cstdio>
#include <cstring>

#include "base/journal.h"
#include "base/platform.h"
#include "engine/recording.h"

namespace {

// Longer names than a reservation's are cut; details as long as a journal line holds.
const std::size_t kNameMax = 64;
const std::size_t kDetailsMax = 1024;
const std::size_t kTimeText = 20;

struct EventScriptState {
    char file[600];      // for the next line; "" for none
    bool power_line;     // the next line is a power action's first
    bool holding;        // missed lines are being found
    bool held;           // ... and the first of them is kept below
    int held_slot;
    char held_name[kNameMax];
    char held_details[kDetailsMax];
};
EventScriptState state = {};

void time_text(std::time_t t, char* out) {
    if (t > 0)
        journal_time_text(t, out, kTimeText);
    else
        out[0] = '\0';
}

void start_script(JournalEvent event, int slot, const char* name, const char* details,
                  std::time_t start, std::time_t stop, const char* file, int count) {
    // A folder of that name is no script: cmd would start and run nothing.
    if (!platform.files->is_file(kEventScriptFile)) return;
    char slot_text[8] = "", count_text[16] = "", start_text[kTimeText], stop_text[kTimeText];
    if (slot >= 1 && slot <= 40) std::snprintf(slot_text, sizeof(slot_text), "%d", slot);
    if (count > 0) std::snprintf(count_text, sizeof(count_text), "%d", count);
    time_text(start, start_text);
    time_text(stop, stop_text);
    const ScriptVariable vars[] = {
        {"TAVREL_EVENT", journal_word(event)}, {"TAVREL_SLOT", slot_text},
        {"TAVREL_NAME", name},                 {"TAVREL_DETAILS", details},
        {"TAVREL_START", start_text},          {"TAVREL_STOP", stop_text},
        {"TAVREL_FILE", file},                 {"TAVREL_COUNT", count_text},
    };
    const int error = platform.scripts->start(kEventScriptFile, vars, sizeof(vars) / sizeof(vars[0]));
    // スクリプト失敗 is not a listed event: its line starts nothing.
    if (error != 0)
        journal_write(kEventScriptFailed, slot, name, kNameMax, "%sの %s を起動できませんでした(エラー %d)",
                      journal_word(event), kEventScriptFile, error);
}

bool listed(JournalEvent event) {
    switch (event) {
    case kEventRecordingStart:
    case kEventRecordingDone:
    case kEventRecordingFailed:
    case kEventSettingsFailed:
    case kEventCaptureNotFound:
    case kEventMoveFailed:
    case kEventDiskLow:
        return true;
    default:
        return false;
    }
}

// The name and details go to the script as the line shows them, cut from the bytes given
// (a damaged record's name may lack its NUL, or end in a lone lead byte).
void observe(JournalEvent event, int slot, const char* name, std::size_t name_size,
             const char* details) {
    if (state.holding) {
        if (event == kEventMissed && !state.held) {
            state.held = true;
            state.held_slot = slot;
            journal_field_text(state.held_name, sizeof(state.held_name), name, name_size);
            journal_field_text(state.held_details, sizeof(state.held_details), details,
                               kDetailsMax);
        }
        return;
    }
    // What was set for the next line is its alone.
    char file[sizeof(state.file)];
    std::memcpy(file, state.file, sizeof(file));
    const bool power_line = state.power_line;
    state.file[0] = '\0';
    state.power_line = false;
    if (!listed(event) && !(event == kEventPowerAction && power_line)) return;
    char name_text[kNameMax], details_text[kDetailsMax];
    journal_field_text(name_text, sizeof(name_text), name, name_size);
    journal_field_text(details_text, sizeof(details_text), details, kDetailsMax);
    const bool during = recording.active || recording.sequence_running;
    start_script(event, slot, name_text, details_text, during ? recording.started_at : 0,
                 during ? recording.stop_time : 0, file, 0);
}

}  // namespace

void event_script_begin() { journal_observe(observe); }

void event_script_file(const char* path) {
    journal_field_text(state.file, sizeof(state.file), path, sizeof(state.file));
}

void event_script_power_line() { state.power_line = true; }

void event_script_hold_missed() {
    state.holding = true;
    state.held = false;
}

void event_script_missed_found(std::time_t start, std::time_t stop, int count) {
    const bool held = state.held;
    state.holding = false;
    state.held = false;
    if (held && count > 0)
        start_script(kEventMissed, state.held_slot, state.held_name, state.held_details,
                     start, stop, "", count);
}

void reset_event_script() { state = EventScriptState{}; }
