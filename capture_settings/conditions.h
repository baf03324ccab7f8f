// The rules of the recording conditions dialog, apart from its controls: the lists and
// their texts, what the dialog shows for a reservation, and what "更新" stores into it.
#pragma once
#include <cstddef>
#include <cstdint>

// Value tables, in list order: the position selected in a list is the index here.
const int kSampleRateCount = 2;
extern const std::int32_t sample_rate_values[kSampleRateCount];    // Hz
const int kAudioBitrateCount = 5;
extern const std::int32_t audio_bitrate_values[kAudioBitrateCount];  // kbit/s

// List texts (Shift-JIS), inserted one by one at positions 0, 1, 2 ...
extern const char* const sample_rate_texts[kSampleRateCount];
extern const char* const audio_bitrate_texts[kAudioBitrateCount];
const int kRecordSize240Count = 5;  // MPEG-1
extern const char* const record_size_240_texts[kRecordSize240Count];
const int kRecordSize480Count = 9;  // MPEG-2
extern const char* const record_size_480_texts[kRecordSize480Count];
const int kAfterActionCount = 5;
extern const char* const after_action_texts[kAfterActionCount];
const int kGopPatternCount = 7;
extern const char* const gop_pattern_texts[kGopPatternCount];

// The bit-rate edit counts in units of 100,000 bit/s; its up-down control runs 20..150.
const std::int32_t kVideoBitrateUnit = 100000;
const int kBitrateSpinMin = 20;
const int kBitrateSpinMax = 150;
const std::int32_t kMinVideoBitrate = 2000000;
const std::int32_t kMaxVideoBitrate = 15000000;

// Only the first 126 bytes of the folder text are stored (the field holds 128).
const std::size_t kMoveFolderMaxBytes = 126;
// The folder length counter reads at most this many bytes of the edit's text.
const std::size_t kFolderCounterMaxBytes = 254;
// Text buffer of the folder edit as the form carries it: enough for more than the
// stored part, so that the cut happens here and never splits a character.
const std::size_t kFolderTextSize = 260;

// The lists that the MPEG-1 check box decides, and the bit-rate edit that is refilled
// with them.
struct ConditionsLists {
    bool mpeg1;                 // record-size list of five 240-line entries, else nine 480-line
    int sample_rate;            // selected position, -1 for none
    int audio_bitrate;          // selected position, -1 for none
    int record_size;            // selected position, -1 for none
    long long video_bitrate;    // the bit-rate edit's number, units of 100,000 bit/s
};

// The dialog's controls as values. Numbers typed into the edits arrive here already
// parsed with parse_unsigned_entry / parse_signed_entry.
struct ConditionsForm {
    ConditionsLists lists;
    bool gop_list_filled;       // the GOP list holds its seven entries
    int gop_pattern;            // selected position, -1 for none
    int after_action;           // selected position, -1 for none
    long long after_delay;      // seconds
    long long brightness, contrast, saturation, hue;
    char move_folder[kFolderTextSize];  // Shift-JIS, NUL-terminated
    bool vbr, use_conditions, use_quality, move_after_record, use_gop;
    bool mpeg1_checked;
    bool mpeg1_enabled;         // "Mpeg1で録画" can be used: KROTX1.exe and Krotx1.ini exist
    bool change_format;         // "録画形式を変更する"
    int format_button;          // 1..4 the checked radio button (PS, VES-AES, VES, AVI), 0 none
};

// Numbers typed into the edits. Leading and trailing blanks are allowed, then digits
// (and for the signed form an optional "-"); any other text, and an empty one, is not a
// number and counts as 0. However long the digits run, the result never wraps: it stops
// at plus or minus kEntryCap, far beyond every limit the fields apply.
const long long kEntryCap = 1000000000000000LL;
long long parse_unsigned_entry(const char* text);
long long parse_signed_entry(const char* text);

// video_bitrate from the bit-rate edit's number: below 20 gives 2000000, above 150
// gives 15000000, else number times 100,000.
std::int32_t video_bitrate_from_entry(long long entry);
// A picture value limited to 0..max (255, or 127 for saturation).
std::uint8_t limited_byte(long long entry, int max);
// after_delay from the delay edit's number: negative gives 0, and a number above what the
// int32 field holds gives its largest value, 2147483647 seconds.
std::int32_t after_delay_from_entry(long long entry);

// The lists of reservation index filled for MPEG-1 (mpeg1 true) or MPEG-2, from its stored
// record. False for an index outside the table.
bool conditions_lists_for(int index, bool mpeg1, ConditionsLists* lists);

// True when "KROTX1.exe" and "Krotx1.ini" both stand in the capture folder.
bool mpeg1_available();

// Everything the dialog shows when it opens for reservation index; mpeg1_usable says
// whether the MPEG-1 check box can be used. False for an index outside the table.
bool conditions_form_for(int index, bool mpeg1_usable, ConditionsForm* form);

// Stores the form into reservation index ("更新"): 0, or -1 for an index outside the
// table (nothing written). A list without a selection keeps the stored sample rate and
// audio bit rate; the other fields take -1 (255 in a byte) as their position.
int store_conditions(int index, const ConditionsForm& form);

// The number the folder length counter shows for the edit's text: its length in bytes,
// a double-byte character counting two, read up to 254 bytes.
int folder_counter_value(const char* text);
