#include "capture_settings/conditions.h"

#include <cstring>

#include "base/capture_interface.h"
#include "base/sjis.h"
#include "capture_settings/settings_file.h"
#include "reservations/reservation.h"

const std::int32_t sample_rate_values[kSampleRateCount] = {44100, 48000};
const std::int32_t audio_bitrate_values[kAudioBitrateCount] = {192, 224, 256, 320, 384};

const char* const sample_rate_texts[kSampleRateCount] = {"44.1Khz", "48.0Khz"};
const char* const audio_bitrate_texts[kAudioBitrateCount] = {"192Kbps", "224Kbps", "256Kbps",
                                                             "320Kbps", "384Kbps"};
const char* const record_size_240_texts[kRecordSize240Count] = {
    "480x240 pixel/inch", "352x240 pixel/inch", "320x240 pixel/inch", "176x240 pixel/inch",
    "160x240 pixel/inch"};
const char* const record_size_480_texts[kRecordSize480Count] = {
    "720x480 pixel/inch", "704x480 pixel/inch", "640x480 pixel/inch",
    "544x480 pixel/inch", "480x480 pixel/inch", "384x480 pixel/inch",
    "368x480 pixel/inch", "352x480 pixel/inch", "320x480 pixel/inch"};
const char* const after_action_texts[kAfterActionCount] = {
    "なにもしない", "リブートする", "シャットダウンする", "強制終了する", "スタンバイする"};
const char* const gop_pattern_texts[kGopPatternCount] = {
    "IBBPBBPBBPBBPBB(標準)", "IPPPPPPPPPPPPPPP", "IPPPPPPPPPPPP", "IBBPBBPBBPBB", "IBB", "IPP",
    "I"};

static bool valid_index(int index) { return index >= 0 && index < kMaxReservations; }

// A position in a list of count entries, or -1 for one the list does not have.
static int position_in(int position, int count) {
    return position >= 0 && position < count ? position : -1;
}

static long long parse_entry(const char* text, bool allow_minus) {
    const char* p = text;
    while (*p == ' ') ++p;
    bool negative = false;
    if (allow_minus && *p == '-') {
        negative = true;
        ++p;
    }
    if (*p < '0' || *p > '9') return 0;
    long long value = 0;
    for (; *p >= '0' && *p <= '9'; ++p)
        if (value < kEntryCap) value = value * 10 + (*p - '0');
    while (*p == ' ') ++p;
    if (*p != '\0') return 0;
    if (value > kEntryCap) value = kEntryCap;
    return negative ? -value : value;
}

long long parse_unsigned_entry(const char* text) { return parse_entry(text, false); }

long long parse_signed_entry(const char* text) { return parse_entry(text, true); }

std::int32_t video_bitrate_from_entry(long long entry) {
    // Limited as a number of units first, so that the product cannot overflow.
    if (entry < kMinVideoBitrate / kVideoBitrateUnit) return kMinVideoBitrate;
    if (entry > kMaxVideoBitrate / kVideoBitrateUnit) return kMaxVideoBitrate;
    return (std::int32_t)entry * kVideoBitrateUnit;
}

std::uint8_t limited_byte(long long entry, int max) {
    if (entry < 0) return 0;
    if (entry > max) return (std::uint8_t)max;
    return (std::uint8_t)entry;
}

std::int32_t after_delay_from_entry(long long entry) {
    if (entry < 0) return 0;
    if (entry > INT32_MAX) return INT32_MAX;
    return (std::int32_t)entry;
}

bool conditions_lists_for(int index, bool mpeg1, ConditionsLists* lists) {
    if (!valid_index(index)) return false;
    const Reservation& r = reservations.table.slots[index];
    lists->mpeg1 = mpeg1;
    lists->sample_rate = r.audio_sample_rate == sample_rate_values[0] ? 0 : 1;
    lists->audio_bitrate = -1;
    for (int i = 0; i < kAudioBitrateCount; ++i)
        if (audio_bitrate_values[i] == r.audio_bitrate) lists->audio_bitrate = i;
    int size = r.record_size_index;
    if (mpeg1) {
        // Sizes that only the 480-line list has fall back to its first entry.
        if (size >= kRecordSize240Count && size < kRecordSize480Count) size = 0;
        lists->record_size = position_in(size, kRecordSize240Count);
    } else {
        lists->record_size = position_in(size, kRecordSize480Count);
    }
    lists->video_bitrate = r.video_bitrate / kVideoBitrateUnit;
    return true;
}

bool mpeg1_available() {
    char path[kSettingsPathSize];
    capture_path(path, sizeof(path), capture_choice.use_install_folder, kCaptureExe1);
    if (!platform.files->exists(path)) return false;
    capture_path(path, sizeof(path), capture_choice.use_install_folder, kCaptureIni1);
    return platform.files->exists(path);
}

bool conditions_form_for(int index, bool mpeg1_usable, ConditionsForm* form) {
    if (!valid_index(index)) return false;
    const Reservation& r = reservations.table.slots[index];
    std::memset(form, 0, sizeof(*form));
    form->after_action = position_in((signed char)r.after_action, kAfterActionCount);
    form->after_delay = r.after_delay;
    // The lists follow the stored flag, also when MPEG-1 cannot be used here.
    conditions_lists_for(index, r.mpeg1 != 0, &form->lists);
    form->gop_list_filled = r.mpeg1 == 0;
    FIELD_COPY(form->move_folder, r, move_folder);
    form->brightness = r.brightness;
    form->contrast = r.contrast;
    form->saturation = r.saturation;
    form->hue = r.hue;
    form->vbr = r.vbr != 0;
    form->use_conditions = r.use_conditions != 0;
    form->move_after_record = r.move_after_record != 0;
    form->use_quality = r.use_quality != 0;
    form->use_gop = r.use_gop != 0;
    form->gop_pattern =
        form->gop_list_filled ? position_in((signed char)r.gop_pattern, kGopPatternCount) : -1;
    if (r.stream_format >= 1 && r.stream_format <= 4) {
        form->change_format = true;
        form->format_button = r.stream_format;
    }
    form->mpeg1_enabled = mpeg1_usable;
    form->mpeg1_checked = mpeg1_usable && r.mpeg1 != 0;
    return true;
}

int store_conditions(int index, const ConditionsForm& form) {
    if (!valid_index(index)) return -1;
    Reservation& r = reservations.table.slots[index];
    const ConditionsLists& lists = form.lists;

    r.video_bitrate = video_bitrate_from_entry(lists.video_bitrate);
    r.vbr = form.vbr ? 1 : 0;
    // A list left without a selection keeps the stored value: there is no table entry
    // at position -1.
    if (position_in(lists.sample_rate, kSampleRateCount) >= 0)
        r.audio_sample_rate = sample_rate_values[lists.sample_rate];
    if (position_in(lists.audio_bitrate, kAudioBitrateCount) >= 0)
        r.audio_bitrate = audio_bitrate_values[lists.audio_bitrate];
    r.record_size_index = position_in(
        lists.record_size, lists.mpeg1 ? kRecordSize240Count : kRecordSize480Count);

    r.use_conditions = form.use_conditions ? 1 : 0;
    r.move_after_record = form.move_after_record ? 1 : 0;
    r.use_quality = form.use_quality ? 1 : 0;
    r.mpeg1 = form.mpeg1_checked ? 1 : 0;

    r.brightness = limited_byte(form.brightness, 255);
    r.contrast = limited_byte(form.contrast, 255);
    r.saturation = limited_byte(form.saturation, 127);
    r.hue = limited_byte(form.hue, 255);

    // Cut without splitting a double-byte character; the bytes after the terminator
    // keep what was there, as for every string field of the record.
    char folder[kFolderTextSize];
    FIELD_COPY(folder, form, move_folder);
    std::size_t n = sjis_cut_length(folder, kMoveFolderMaxBytes);
    std::memcpy(r.move_folder, folder, n);
    r.move_folder[n] = '\0';

    r.after_action = (std::uint8_t)position_in(form.after_action, kAfterActionCount);
    r.after_delay = after_delay_from_entry(form.after_delay);

    if (!form.change_format)
        r.stream_format = 0;
    else if (form.format_button >= 1 && form.format_button <= 4)
        r.stream_format = (std::uint8_t)form.format_button;
    // Checked with no radio button chosen: the stored format stays.

    r.use_gop = form.use_gop ? 1 : 0;
    r.gop_pattern = (std::uint8_t)(form.gop_list_filled
                                       ? position_in(form.gop_pattern, kGopPatternCount)
                                       : -1);
    return 0;
}

int folder_counter_value(const char* text) {
    return (int)sjis_cut_length(text, kFolderCounterMaxBytes);
}
