#include "capture_settings/settings_file.h"

#include <cstdio>
#include <cstring>

#include "base/capture_interface.h"
#include "base/journal.h"
#include "reservations/reservation.h"

namespace {

// Bound of the raw file. A piece holds at most 79 bytes of text, and at most one of them
// is a line feed, because a piece ends right after its first line feed. Every byte of
// text comes from one byte of the file, except a line feed, which may come from a CR LF
// pair. So one piece stands for at most 80 bytes of the file and a full table for at
// most 400 * 80 = 32000: a file that holds more than that has more than 400 pieces, and
// reading this many bytes is enough to tell.
const std::size_t kRawMax = (std::size_t)kSettingsSlotCount * (kSettingsPieceMax + 1);

// The module's working space; it holds nothing from one call to the next but the path
// that capture_settings_path last returned.
struct SettingsBuffers {
    char raw[kRawMax];
    // Written back: a slot holds at most one line feed (a read piece ends at its first, a
    // replaced line has one), which becomes two bytes, so a slot gives at most its width.
    char out[(std::size_t)kSettingsSlotCount * kSettingsSlotSize];
    char path[kSettingsPathSize];
};
SettingsBuffers buffers;
char (&raw)[kRawMax] = buffers.raw;
char (&out)[sizeof(SettingsBuffers::out)] = buffers.out;

const char kOpenError[] = "file open error \n can't detect -> %s";
const char kTooLongError[] = "file too long error \n more than 400 pieces -> %s";
const char kNulError[] = "file format error \n NUL byte in the file -> %s";
const char kCaption[] = "err";

struct SettingsErrors {
    bool unattended;     // inside a start sequence
    bool closed_itself;  // a box of it closed itself
};
SettingsErrors errors = {};

// The message goes to the journal too (its line feed as a space), for the reservation
// whose recording conditions were not written.
void show_error(WindowRef owner, int index, const char* format, const char* path) {
    char text[kSettingsPathSize + 64];
    std::snprintf(text, sizeof(text), format, path);
    journal_reservation(kEventSettingsFailed, index, "%s", text);
    if (!errors.unattended) {
        platform.messages->show(owner, text, kCaption);
        return;
    }
    if (errors.closed_itself) return;  // nobody is there: the journal alone
    if (platform.messages->show_closing(owner, text, kCaption, kUnattendedBoxMs)) {
        errors.closed_itself = true;
        // Said once more for the record; the first line already started the script.
        journal_unobserved_next();
        journal_reservation(kEventSettingsFailed, index, "%s", "30秒応答がなかったため閉じました");
    }
}

// The length of the piece that starts at pos: up to and including the next line feed,
// at most kSettingsPieceMax bytes.
std::size_t piece_length(const char* text, std::size_t len, std::size_t pos) {
    std::size_t n = len - pos;
    if (n > (std::size_t)kSettingsPieceMax) n = kSettingsPieceMax;
    const void* lf = std::memchr(text + pos, '\n', n);
    if (lf) n = (std::size_t)((const char*)lf - (text + pos)) + 1;
    return n;
}

// True when the line that starts at slot first (with the slots that continue it) has
// exactly key before its first "=". key holds no "=", so any "=" inside the first
// klen bytes is a mismatch.
bool line_has_key(const SettingsLineTable& t, int first, const char* key, std::size_t klen) {
    int slot = first;
    std::size_t at = 0;
    std::size_t matched = 0;
    for (;;) {
        char c = t.slots[slot][at];
        if (c == '\0') {
            // End of this slot: the line goes on only in a continuing slot.
            if (slot + 1 >= t.count || !t.continues[slot + 1]) return false;
            ++slot;
            at = 0;
            continue;
        }
        if (matched == klen) return c == '=';
        if (c != key[matched]) return false;
        ++matched;
        ++at;
    }
}

bool valid_index(int index) { return index >= 0 && index < kMaxReservations; }

void put_int(SettingsLineTable* t, const char* key, long value) {
    char text[24];
    std::snprintf(text, sizeof(text), "%ld", value);
    replace_setting(t, key, text);
}

void put_byte(SettingsLineTable* t, const char* key, std::uint8_t value) {
    char text[8];
    std::snprintf(text, sizeof(text), "%u", (unsigned)value);
    replace_setting(t, key, text);
}

}  // namespace

void settings_errors_unattended(bool on) { errors = {on, false}; }

void reset_settings_errors() { errors = SettingsErrors{}; }

const char* capture_settings_path(int index) {
    if (!valid_index(index)) return nullptr;
    const Reservation& r = reservations.table.slots[index];
    capture_path(buffers.path, sizeof(buffers.path), capture_choice.use_install_folder, capture_ini_name(r.mpeg1));
    return buffers.path;
}

int read_capture_settings(WindowRef owner, int index, SettingsLineTable* table) {
    const char* path = capture_settings_path(index);
    if (!path) return -1;
    std::size_t got = 0;
    bool more = false;
    if (platform.files->read(path, raw, sizeof(raw), &got, &more) != 0) {
        show_error(owner, index, kOpenError, path);
        return -1;
    }
    if (more) {
        show_error(owner, index, kTooLongError, path);
        return -1;
    }
    // A NUL would end a piece early and everything after it in that piece would be lost
    // on writing back (a file in a wide encoding, say); such a file is left alone.
    if (std::memchr(raw, '\0', got)) {
        show_error(owner, index, kNulError, path);
        return -1;
    }
    // Text mode: a CR LF pair arrives as one line feed; a lone CR stays. A Ctrl-Z is an
    // ordinary byte here, not the end of the file, so nothing after it is lost.
    std::size_t len = 0;
    for (std::size_t i = 0; i < got; ++i) {
        if (raw[i] == '\r' && i + 1 < got && raw[i + 1] == '\n') continue;
        raw[len++] = raw[i];
    }
    // Count first, so that a file that does not fit leaves the table as it was.
    int pieces = 0;
    for (std::size_t pos = 0; pos < len; pos += piece_length(raw, len, pos)) {
        if (++pieces > kSettingsSlotCount) {
            show_error(owner, index, kTooLongError, path);
            return -1;
        }
    }
    SettingsLineTable& t = *table;
    int slot = 0;
    bool line_open = false;  // the previous piece did not end its line
    for (std::size_t pos = 0; pos < len; ++slot) {
        std::size_t n = piece_length(raw, len, pos);
        std::memcpy(t.slots[slot], raw + pos, n);
        t.slots[slot][n] = '\0';
        t.continues[slot] = line_open ? 1 : 0;
        line_open = raw[pos + n - 1] != '\n';
        pos += n;
    }
    t.count = slot;
    if (slot < kSettingsSlotCount) {
        t.slots[slot][0] = '\0';
        t.continues[slot] = 0;
    }
    return 0;
}

int replace_setting(SettingsLineTable* table, const char* key, const char* value) {
    std::size_t klen = std::strlen(key);
    std::size_t vlen = std::strlen(value);
    if (klen == 0 || std::strpbrk(key, "=\r\n") || std::strpbrk(value, "\r\n")) return -1;
    // key, "=", value, line feed and NUL within one slot.
    if (klen + vlen + 3 > (std::size_t)kSettingsSlotSize) return -1;
    SettingsLineTable& t = *table;
    for (int i = 0; i < t.count; ++i) {
        if (t.continues[i] || !line_has_key(t, i, key, klen)) continue;
        char* slot = t.slots[i];
        std::memcpy(slot, key, klen);
        slot[klen] = '=';
        std::memcpy(slot + klen + 1, value, vlen);
        slot[klen + 1 + vlen] = '\n';
        slot[klen + 2 + vlen] = '\0';
        // The old line's later pieces held the rest of its old value: they go with it.
        for (int j = i + 1; j < t.count && t.continues[j]; ++j) t.slots[j][0] = '\0';
        return 1;
    }
    return 0;
}

int write_capture_settings(WindowRef owner, int index, const SettingsLineTable& t) {
    const char* path = capture_settings_path(index);
    if (!path) return -1;
    std::size_t len = 0;
    for (int i = 0; i < t.count; ++i) {
        for (const char* p = t.slots[i]; p < t.slots[i] + kSettingsSlotSize && *p; ++p) {
            if (*p == '\n') out[len++] = '\r';
            out[len++] = *p;
        }
    }
    if (platform.files->replace(path, out, len) != 0) {
        show_error(owner, index, kOpenError, path);
        return -1;
    }
    return 0;
}

int apply_recording_conditions(WindowRef owner, int index) {
    SettingsLineTable t;
    if (read_capture_settings(owner, index, &t) != 0) return -1;
    const Reservation& r = reservations.table.slots[index];
    put_int(&t, "dwVideoBitrate", r.video_bitrate);
    put_int(&t, "dwAudioBitrate", r.audio_bitrate);
    put_int(&t, "dwAudioSampleFreq", r.audio_sample_rate);
    put_int(&t, "HRes", r.record_size_index);
    put_int(&t, "m_bIsVBR", r.vbr);
    return write_capture_settings(owner, index, t);
}

int apply_picture_quality(WindowRef owner, int index) {
    SettingsLineTable t;
    if (read_capture_settings(owner, index, &t) != 0) return -1;
    const Reservation& r = reservations.table.slots[index];
    put_byte(&t, "Brightness", r.brightness);
    put_byte(&t, "Contrast", r.contrast);
    put_byte(&t, "Saturation", r.saturation);
    put_byte(&t, "Hue", r.hue);
    return write_capture_settings(owner, index, t);
}

int apply_stream_format(WindowRef owner, int index) {
    SettingsLineTable t;
    if (read_capture_settings(owner, index, &t) != 0) return -1;
    // OMODE and IsEs for stream_format 1..4; -1 leaves a key as it is.
    static const struct {
        int omode, is_es;
    } kFormats[] = {{0, 3}, {0, 2}, {0, 1}, {2, -1}};
    int format = (std::int8_t)reservations.table.slots[index].stream_format;
    if (format >= 1 && format <= 4) {
        put_int(&t, "OMODE", kFormats[format - 1].omode);
        if (kFormats[format - 1].is_es >= 0) put_int(&t, "IsEs", kFormats[format - 1].is_es);
    }
    return write_capture_settings(owner, index, t);
}

int apply_gop_structure(WindowRef owner, int index) {
    SettingsLineTable t;
    if (read_capture_settings(owner, index, &t) != 0) return -1;
    // MPeriod (distance between reference pictures) and m_NNtsc (pictures in a group)
    // for the GOP pattern list's entries 0..6.
    static const struct {
        int period, pictures;
    } kPatterns[] = {{3, 15}, {1, 15}, {1, 12}, {3, 12}, {3, 3}, {1, 3}, {1, 1}};
    int pattern = (std::int8_t)reservations.table.slots[index].gop_pattern;
    if (pattern >= 0 && pattern <= 6) {
        put_int(&t, "MPeriod", kPatterns[pattern].period);
        put_int(&t, "m_NNtsc", kPatterns[pattern].pictures);
    }
    return write_capture_settings(owner, index, t);
}

namespace {

bool read_number_in(const char* path, const char* key, long long* value) {
    std::size_t got = 0;
    bool more = false;
    if (!path || !key || platform.files->read(path, raw, sizeof(raw), &got, &more) != 0) return false;
    const std::size_t klen = std::strlen(key);
    for (std::size_t at = 0; at < got;) {
        std::size_t end = at;
        while (end < got && raw[end] != '\n') ++end;
        if (end - at > klen && std::memcmp(raw + at, key, klen) == 0 && raw[at + klen] == '=') {
            std::size_t p = at + klen + 1;
            const bool negative = p < end && raw[p] == '-';
            if (p < end && (raw[p] == '-' || raw[p] == '+')) ++p;
            long long v = 0;
            std::size_t digits = 0;
            while (p < end && raw[p] >= '0' && raw[p] <= '9' && digits < 18) {
                v = v * 10 + (raw[p++] - '0');
                ++digits;
            }
            while (p < end && (raw[p] == '\r' || raw[p] == ' ')) ++p;
            if (digits == 0 || p != end) return false;
            *value = negative ? -v : v;
            return true;
        }
        at = end + 1;
    }
    return false;
}

}  // namespace

bool read_setting_number(int index, const char* key, long long* value) {
    return read_number_in(capture_settings_path(index), key, value);
}

bool capture_settings_readable(int mpeg1) {
    char path[kSettingsPathSize];
    capture_path(path, sizeof(path), capture_choice.use_install_folder, capture_ini_name(mpeg1));
    std::size_t got = 0;
    bool more = false;
    return platform.files->read(path, raw, sizeof(raw), &got, &more) == 0 && !more &&
           !std::memchr(raw, '\0', got);
}

bool read_setting_number_of(int mpeg1, const char* key, long long* value) {
    char path[kSettingsPathSize];
    capture_path(path, sizeof(path), capture_choice.use_install_folder, capture_ini_name(mpeg1));
    return read_number_in(path, key, value);
}
