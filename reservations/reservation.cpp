#include "reservations/reservation.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

ReservationList reservations = {{}, 0, -1, kDefaultColour};

void reset_reservations() {
    std::memset(&reservations, 0, sizeof(reservations));
    reservations.selected_index = -1;
    reservations.current_colour = kDefaultColour;
}

std::size_t field_length(const char* field, std::size_t size) {
    std::size_t n = 0;
    while (n < size && field[n] != '\0') ++n;
    return n;
}

void copy_field(char* out, std::size_t outsize, const char* field, std::size_t size) {
    std::size_t n = field_length(field, size);
    if (n > outsize - 1) n = outsize - 1;
    std::memcpy(out, field, n);
    out[n] = '\0';
}

void journal_reservation(JournalEvent event, int index, const char* format, ...) {
    char details[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(details, sizeof(details), format, args);
    va_end(args);
    if (index < 0 || index >= kMaxReservations) {
        journal_write(event, 0, nullptr, 0, "%s", details);
        return;
    }
    const Reservation& r = reservations.table.slots[index];
    journal_write(event, index + 1, r.name, sizeof(r.name), "%s", details);
}

int count_in_use(const ReservationTable& table) {
    int n = 0;
    while (n < kMaxReservations && table.slots[n].name[0] != '\0') ++n;
    return n;
}

static void set_text(char* field, std::size_t size, const char* text) {
    std::size_t n = std::strlen(text);
    if (n > size - 1) n = size - 1;
    std::memcpy(field, text, n);
    field[n] = '\0';
}
#define SET_TEXT(rec, member, text) set_text((rec).member, sizeof((rec).member), (text))

// The default record's fields: every field but stream_format, use_gop, gop_pattern and the
// padding.
static void write_default_fields(Reservation& r) {
    SET_TEXT(r, name, "");
    SET_TEXT(r, start_date, "020101");
    SET_TEXT(r, end_date, "020101");
    SET_TEXT(r, start_time, "000000");
    SET_TEXT(r, end_time, "000000");
    r.weekday_mask = 0;
    r.repeat_mode = 0;
    r.video_bitrate = 4000000;
    r.audio_bitrate = 384;
    r.audio_sample_rate = 48000;
    r.vbr = 0;
    r.record_size_index = 0;
    r.colour = kDefaultColour;
    r.use_conditions = 0;
    SET_TEXT(r, move_folder, "");
    r.move_after_record = 0;
    r.brightness = 127;
    r.contrast = 70;
    r.saturation = 67;
    r.hue = 0;
    r.use_quality = 0;
    r.mpeg1 = 0;
    r.after_action = 0;
    r.after_delay = 0;
    SET_TEXT(r, reserved, "");
}

void set_default_reservations(ReservationTable& table) {
    for (Reservation& r : table.slots) write_default_fields(r);
}

void clear_record(Reservation& r) {
    std::memset(&r, 0, sizeof(r));
    write_default_fields(r);
}

int load_schedule(ReservationTable& table, WindowRef owner, const char* path) {
    std::size_t got = 0;
    bool more = false;
    if (platform.files->read(path, &table, sizeof(table), &got, &more) != 0) {
        platform.messages->show(owner, "録画リストファイルを開けませんでした\n新規作成します", "失敗");
        set_default_reservations(table);
        save_schedule(table, owner, path);
        return -1;
    }
    if (got < sizeof(table)) {
        // The bytes that arrived stay; the rest of the table keeps what it held.
        platform.messages->show(owner, "データに誤りがある", "エラー");
        return -1;
    }
    return 0;
}

int save_schedule(const ReservationTable& table, WindowRef owner, const char* path) {
    if (platform.files->replace(path, &table, sizeof(table)) != 0) {
        journal_write(kEventScheduleNotSaved, 0, nullptr, 0, "%s", path);
        platform.messages->show(owner, "ファイルを開けませんでした", "失敗");
        return -1;
    }
    return 0;
}
