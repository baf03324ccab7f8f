// The capture application's settings file ("Krotx2.ini" / "Krotx1.ini"): read it into a
// fixed table of pieces, replace the values of keys that already stand in it, and write
// it back in one step. The program never adds keys and never interprets other lines.
#pragma once
#include <cstddef>
#include <cstdint>
#include "base/platform.h"

const int kSettingsSlotCount = 400;
const int kSettingsSlotSize = 90;
// A read piece is the text up to and including the next line feed, but at most this many
// bytes; a longer line takes several consecutive slots.
const int kSettingsPieceMax = 79;
const int kSettingsPathSize = 256;

struct SettingsLineTable {
    // Each slot is one piece, NUL-terminated. The width leaves room for a replaced line
    // (key, "=", value, line feed) longer than a read piece.
    char slots[kSettingsSlotCount][kSettingsSlotSize];
    // 1 where the slot carries on the line of the slot before it (that line was longer
    // than one piece). Such a slot never starts a line, so it is never taken for a key.
    std::uint8_t continues[kSettingsSlotCount];
    // Slots in use, 0..400. When fewer than 400, the slot after the last is empty too.
    int count;
};

// The full path of reservation index's settings file: the capture folder followed by
// "Krotx1.ini" when its mpeg1 byte is set, else "Krotx2.ini". Points into a static
// buffer of kSettingsPathSize bytes, valid until the next call; null for an index out of
// range.
const char* capture_settings_path(int index);

// Reads the reservation's settings file into *table (CR LF arrives as LF).
// -1 when it cannot be opened, when it does not fit the table (more than 400 pieces) or
// when it holds a NUL byte: shown to the user, table and file left as they were. 0 else.
int read_capture_settings(WindowRef owner, int index, SettingsLineTable* table);

// Replaces the value of the first line whose key (its text before the first "=") equals
// key, byte for byte. A line that continues onto later slots is replaced whole.
// 1 when a line was replaced, 0 when none matched; -1 when key and value cannot form a
// line of one slot (key empty or holding "=", a line break, or too long): nothing changes.
int replace_setting(SettingsLineTable* table, const char* key, const char* value);

// Writes table back to the reservation's settings file, LF as CR LF, replacing
// the file in one step. 0 on success; -1 when it cannot be written (shown to the user;
// the previous file stays whole).
int write_capture_settings(WindowRef owner, int index, const SettingsLineTable& table);

// The whole decimal value (optionally signed) of the first line "key=value" of the
// reservation's settings file, read quietly: false, with nothing shown, when the file
// cannot be read or holds no such line with a number (after the recording, a missing
// figure must not stop the program with a message box).
bool read_setting_number(int index, const char* key, long long* value);
// The same, of the settings file for an mpeg1 flag (MPEG-1 when set, else MPEG-2).
bool read_setting_number_of(int mpeg1, const char* key, long long* value);
// Whether the settings file for an mpeg1 flag can be read into a table, found quietly: a
// writer would fail on it (it cannot be opened, is too long or holds a NUL) when not.
bool capture_settings_readable(int mpeg1);

// Inside a recording's start sequence nobody may be there to answer a box: while on, an
// error box closes itself after kUnattendedBoxMs as if OK had been pressed, and once one
// has, later errors go to the journal alone, so that a start is held up 30 s at most.
// Turning it on starts afresh.
const std::uint32_t kUnattendedBoxMs = 30000;
void settings_errors_unattended(bool on);
// Back to the state at process start: boxes wait for OK.
void reset_settings_errors();

// Each writer reads the file, replaces its keys in a fixed order from the reservation in
// reservations.table and writes the file back: 0 on success, -1 on failure (already shown).
// dwVideoBitrate, dwAudioBitrate, dwAudioSampleFreq, HRes, m_bIsVBR.
int apply_recording_conditions(WindowRef owner, int index);
// Brightness, Contrast, Saturation, Hue (unsigned bytes).
int apply_picture_quality(WindowRef owner, int index);
// OMODE then IsEs, from stream_format 1..4; other values change nothing.
int apply_stream_format(WindowRef owner, int index);
// MPeriod then m_NNtsc, from gop_pattern 0..6; other values change nothing.
int apply_gop_structure(WindowRef owner, int index);
