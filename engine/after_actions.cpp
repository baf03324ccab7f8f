#include "engine/after_actions.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include "base/journal.h"
#include "base/sjis.h"
#include "base/capture_interface.h"
#include "capture_settings/conditions.h"
#include "capture_settings/settings_file.h"
#include "engine/due_rule.h"
#include "engine/event_script.h"
#include "engine/recording.h"
#include "engine/wake.h"
#include "reservations/reservation.h"
#include "view/timetable.h"

namespace {

// Font row and place of the file-move lines: just below the status panel's seven lines.
const int kMoveFontRow = 15;
const int kMoveLineX = 20;
const int kMoveLineY = 135;
const int kOpaque = 2;
const Colour kBlack = 0x000000;
const Colour kPathColour = 0xFCC8C8;
const Colour kArrowColour = 0x9696FF;
const Colour kMovingColour = 0x54FCFC;
const Colour kMovedColour = 0xB4FFB4;
const Colour kFailedColour = 0x9696FF;

// Long waits are made in pieces, each well below what a millisecond count of 32 bits holds
// (and below the "wait forever" value of the system's sleep).
const std::uint32_t kWaitPieceMs = 60u * 60u * 1000u;

// Room for the longest path: a 128-byte folder from a damaged record, "\" and a 259-byte name.
const std::size_t kPathSize = 600;

void store_entry(FolderEntry& entry, FoundFile& found) {
    found.name[kFoundNameSize - 1] = '\0';
    entry.attributes = found.attributes;
    entry.creation_time = found.creation_time;
    entry.last_access_time = found.last_access_time;
    entry.last_write_time = found.last_write_time;
    entry.size = found.size;
    sjis_copy_cut(entry.name, sizeof(entry.name), found.name, kListingNameSize - 1);
    entry.name_unusable = !found.name_exact || std::strlen(entry.name) != std::strlen(found.name);
}

void draw_move_line(WindowRef dialog, int line, Colour colour, const char* text) {
    Canvas* canvas = platform.surfaces->open(dialog);
    if (!canvas) return;
    canvas->draw_text(kMoveLineX, kMoveLineY + line * kStatusLineHeight, colour, text, kMoveFontRow,
                      kOpaque, kBlack);
    platform.surfaces->close(canvas);
}

void wait_ms(std::uint64_t total) {
    do {
        std::uint32_t piece = total > kWaitPieceMs ? kWaitPieceMs : (std::uint32_t)total;
        platform.clock->sleep_ms(piece);
        total -= piece;
    } while (total > 0);
}

// ensure_folder on the first len bytes of buf, which it may end for a moment with a NUL.
int ensure_prefix(char* buf, std::size_t len) {
    if (len == 0) return -1;
    long cut = sjis_last_backslash(buf, len);
    if (cut < 1) return -1;  // no parent to fall back on
    char saved = buf[len];
    buf[len] = '\0';
    int created = platform.folders->create_folder(buf);
    buf[len] = saved;
    if (created == 0) return 0;
    if (ensure_prefix(buf, (std::size_t)cut) != 0) return -1;
    buf[len] = '\0';
    platform.folders->create_folder(buf);
    buf[len] = saved;
    return 0;
}

// The capture folder's "Samples" (the install folder, at most kInstallFolderMax bytes,
// and the name) and its listing.
struct SamplesSearch {
    char folder[kInstallFolderMax + 16];
    FolderListing listing;
};

// The newest file of "Samples" last written at or after since, as find_newest_file.
int find_in_samples(std::int64_t since, SamplesSearch* search) {
    capture_path(search->folder, sizeof(search->folder), capture_choice.use_install_folder,
                 kSamplesFolder);
    char pattern[sizeof(search->folder) + 4];
    std::snprintf(pattern, sizeof(pattern), "%s\\*.*", search->folder);
    return find_newest_file(pattern, &search->listing, since);
}

}  // namespace

int list_folder(const char* pattern, std::uint32_t mask, FolderListing* listing) {
    FolderListing& folder_listing = *listing;
    std::memset(&folder_listing, 0, sizeof(folder_listing));
    static FoundFile found;
    std::memset(&found, 0, sizeof(found));
    if (platform.folders->search_first(pattern, &found) != 0) return 0;

    bool have_first = false;
    do {
        if (found.attributes == mask && found.name[0] != '.') {
            have_first = true;
            break;
        }
    } while (platform.folders->search_next(&found) == 0);

    int count = 0;
    if (have_first) {
        store_entry(folder_listing.entries[count++], found);
        while (count < kFolderListingSize && platform.folders->search_next(&found) == 0) {
            if (found.attributes & mask) store_entry(folder_listing.entries[count++], found);
        }
    }
    platform.folders->search_close();
    folder_listing.count = count;
    return count;
}

int find_newest_file(const char* pattern, FolderListing* listing, std::int64_t since) {
    const FolderListing& folder_listing = *listing;
    int count = list_folder(pattern, kAttributeArchive, listing);
    int newest = -1;
    for (int i = 0; i < count; ++i) {
        const std::int64_t t = folder_listing.entries[i].last_write_time;
        if (t >= since && (newest < 0 || t > folder_listing.entries[newest].last_write_time))
            newest = i;
    }
    return newest;
}

int ensure_folder(const char* path) {
    if (!path) return -1;
    static char buf[kPathSize];
    std::size_t len = std::strlen(path);
    if (len >= sizeof(buf)) return -1;
    std::memcpy(buf, path, len + 1);
    return ensure_prefix(buf, len);
}

void move_newest_recording(WindowRef dialog, const char* move_folder, std::int64_t since) {
    // The whole field, also when a damaged record lacks its NUL: a cut folder would be
    // another folder.
    char destination_folder[sizeof(Reservation::move_folder) + 1];
    copy_field(destination_folder, sizeof(destination_folder), move_folder,
               sizeof(Reservation::move_folder));
    const int slot = recording.index;
    if (ensure_folder(destination_folder) != 0 && !platform.files->exists(destination_folder))
        journal_reservation(kEventMoveFailed, slot, "フォルダを作れませんでした: %s", destination_folder);

    SamplesSearch search;
    const int newest = find_in_samples(since, &search);
    const char* source_folder = search.folder;
    const FolderListing& folder_listing = search.listing;
    if (newest < 0) {
        if (folder_listing.count > 0)
            journal_reservation(kEventMoveFailed, slot,
                                "この録画のファイルがないため、何も移動しません(古いファイルはそのままです): %s",
                                source_folder);
        else
            journal_reservation(kEventMoveFailed, slot, "移動するファイルがありません: %s", source_folder);
        return;
    }

    const FolderEntry& entry = folder_listing.entries[newest];
    static char source[kPathSize];
    static char destination[kPathSize];
    std::snprintf(source, sizeof(source), "%s\\%s", source_folder, entry.name);
    std::snprintf(destination, sizeof(destination), "%s\\%s", destination_folder, entry.name);

    draw_move_line(dialog, 0, kPathColour, source);
    draw_move_line(dialog, 1, kArrowColour, "　　↓↓↓↓");
    draw_move_line(dialog, 2, kPathColour, destination);
    draw_move_line(dialog, 3, kMovingColour, "ファイルを移動します");

    // A name that is not the file's own would move nothing, or another file.
    bool moved = !entry.name_unusable && platform.folders->move_file(source, destination) == 0;
    if (moved) {
        draw_move_line(dialog, 4, kMovedColour, "ファイルを移動しました");
        journal_reservation(kEventMoved, slot, "%s → %s", source, destination);
    } else {
        draw_move_line(dialog, 4, kFailedColour, "ファイル移動に失敗しました");
        if (entry.name_unusable)
            journal_reservation(kEventMoveFailed, slot, "ファイル名をShift-JISで表せません: %s", source);
        else if (platform.files->exists(destination))
            journal_reservation(kEventMoveFailed, slot, "移動先に同じ名前のファイルがあります: %s",
                                destination);
        else
            journal_reservation(kEventMoveFailed, slot, "%s → %s", source, destination);
    }
    wait_ms(kAfterMoveWaitMs);
}

std::int64_t samples_free_space() {
    char folder[kInstallFolderMax + 16];
    capture_path(folder, sizeof(folder), capture_choice.use_install_folder, kSamplesFolder);
    return platform.folders->free_space(folder);
}

bool recording_rates_known(long long video_bitrate, long long audio_bitrate) {
    return video_bitrate >= 0 && video_bitrate <= kRateMax && audio_bitrate >= 0 &&
           audio_bitrate <= kRateMax;
}

std::uint64_t expected_recording_bytes(long long video_bitrate, long long audio_bitrate,
                                       long long seconds) {
    if (!recording_rates_known(video_bitrate, audio_bitrate) || seconds <= 0) return 0;
    // Bounded rates give at most about 2^41 bit/s: the product is held, not wrapped.
    const std::uint64_t bits_per_second =
        (std::uint64_t)video_bitrate + (std::uint64_t)audio_bitrate * 1000u;
    const std::uint64_t most = (std::uint64_t)INT64_MAX;
    if (bits_per_second > 0 && (std::uint64_t)seconds > most / bits_per_second) return most;
    return bits_per_second * (std::uint64_t)seconds / 8u;
}

bool recording_rates(int index, long long* video, long long* audio) {
    if (index < 0 || index >= kMaxReservations) return false;
    const Reservation& r = reservations.table.slots[index];
    if (r.use_conditions != 0) {
        *video = r.video_bitrate;
        *audio = r.audio_bitrate;
    } else if (!read_setting_number(index, "dwVideoBitrate", video) ||
               !read_setting_number(index, "dwAudioBitrate", audio)) {
        return false;
    }
    return recording_rates_known(*video, *audio);
}

void megabytes_text(std::int64_t bytes, char* out, std::size_t size) {
    if (bytes < 0) {
        std::snprintf(out, size, "%s", "不明");
        return;
    }
    const long long mb = (long long)(((std::uint64_t)bytes + (1u << 20) - 1) >> 20);
    if (mb >= 1000000)
        std::snprintf(out, size, "%lld,%03lld,%03lld MB", mb / 1000000, mb / 1000 % 1000, mb % 1000);
    else if (mb >= 1000)
        std::snprintf(out, size, "%lld,%03lld MB", mb / 1000, mb % 1000);
    else
        std::snprintf(out, size, "%lld MB", mb);
}

bool check_recording(int index, std::time_t started, std::time_t seconds) {
    if (index < 0 || index >= kMaxReservations) return false;
    SamplesSearch search;
    const int newest = find_in_samples(started, &search);
    const char* source_folder = search.folder;
    const FolderListing& folder_listing = search.listing;
    if (newest < 0) {
        journal_reservation(kEventRecordingFailed, index, "録画ソフトがファイルを書きませんでした: %s",
                            source_folder);
        return false;
    }
    const FolderEntry& entry = folder_listing.entries[newest];
    long long video = -1, audio = -1;
    if (!recording_rates(index, &video, &audio)) video = audio = -1;
    const std::uint64_t expected = expected_recording_bytes(video, audio, seconds);
    // For the user's script of the result line below.
    static char path[kPathSize];
    std::snprintf(path, sizeof(path), "%s\\%s", source_folder, entry.name);
    event_script_file(path);
    if (expected > 0 && entry.size < expected / 2) {
        journal_reservation(kEventRecordingFailed, index,
                            "%s\\%s が %llu バイトで、予定の %llu バイト(%ld秒分)の半分に足りません",
                            source_folder, entry.name, (unsigned long long)entry.size,
                            (unsigned long long)expected, (long)seconds);
        return false;
    }
    journal_reservation(kEventRecordingDone, index, "%s\\%s、%llu バイト", source_folder, entry.name,
                        (unsigned long long)entry.size);
    return true;
}

std::uint64_t after_delay_ms(std::int32_t after_delay) {
    return (std::uint64_t)(std::uint32_t)after_delay * 1000u;
}

namespace {

// A shutdown, reboot or log-off made at moment would lose the next recording: said, and
// true.
bool held_for_next_recording(int index, std::time_t moment) {
    std::time_t at;
    Occurrence coming;
    if (!next_occurrence(reservations.table, reservations.count, moment, &at, &coming) ||
        at - moment >= kPowerHoldSeconds)
        return false;
    char name[sizeof(Reservation::name) + 1], when[32];
    journal_field_text(name, sizeof(name), reservations.table.slots[coming.index].name, sizeof(Reservation::name));
    journal_time_text(coming.start, when, sizeof(when));
    event_script_power_line();
    journal_reservation(kEventPowerAction, index, "次の録画(%d %s、%s)が30分以内のため実行しません",
                        coming.index + 1, name, when);
    return true;
}

// "n name: 「シャットダウンする」まで あと": the countdown's words before its seconds.
CountdownEnd count_down(int index, int action, std::uint32_t seconds) {
    char name[sizeof(Reservation::name) + 1], label[96];
    journal_field_text(name, sizeof(name), reservations.table.slots[index].name, sizeof(Reservation::name));
    std::snprintf(label, sizeof(label), "%d %s: 「%s」まで あと", index + 1, name, after_action_texts[action]);
    return platform.power->count_down(label, seconds);
}

}  // namespace

void run_after_action(int index) {
    if (index < 0 || index >= kMaxReservations) return;
    const Reservation& r = reservations.table.slots[index];
    const int action = (std::int8_t)r.after_action;
    const bool acts = action >= 1 && action < kAfterActionCount;
    if (!acts) {
        wait_ms(after_delay_ms(r.after_delay));
        rearm_wake_timer((std::time_t)platform.clock->now());
        return;
    }
    std::uint32_t seconds = (std::uint32_t)r.after_delay;
    const std::int64_t idle = platform.power->seconds_since_input();
    if (idle >= 0 && idle < kAttendedInputSeconds && seconds < kAttendedCountdownSeconds)
        seconds = kAttendedCountdownSeconds;
    const std::time_t begun = (std::time_t)platform.clock->now();
    if (action != 4 && held_for_next_recording(index, begun + (std::time_t)seconds)) {
        rearm_wake_timer(begun);
        return;
    }
    event_script_power_line();
    journal_reservation(kEventPowerAction, index, "%s(%lu秒後)", after_action_texts[action],
                        (unsigned long)seconds);
    const CountdownEnd end = seconds > 0 ? count_down(index, action, seconds) : kCountdownNoWindow;
    if (end == kCountdownNoWindow) wait_ms((std::uint64_t)seconds * 1000u);
    const std::time_t now = (std::time_t)platform.clock->now();
    rearm_wake_timer(now);
    if (end == kCountdownCancelled) {
        event_script_power_line();
        journal_reservation(kEventPowerAction, index, "%s", "中止されました");
        return;
    }
    std::time_t next = 0;
    Occurrence coming;
    const bool has_next =
        next_occurrence(reservations.table, reservations.count, now, &next, &coming);
    if (action == 4 && !standby_allowed(now)) {
        journal_reservation(kEventPowerAction, index, "%s",
                            "次の録画が5分以内に始まるため、スタンバイしません");
        return;
    }
    if (action != 4 && has_next) {
        char when[32];
        journal_time_text(coming.start, when, sizeof(when));
        journal_reservation(kEventPowerAction, index,
                            "次の録画(%s)は、そのときPCが動いていれば行われます", when);
    }
    int error = 0;
    switch (action) {
    case 1:
        error = platform.power->reboot();
        break;
    case 2:
        error = platform.power->shutdown();
        break;
    case 3:
        error = platform.power->force_logoff();
        break;
    default:
        error = platform.power->suspend();
        break;
    }
    if (error != 0)
        journal_reservation(kEventPowerRefused, index, "%sをWindowsが受け付けませんでした(エラー %d)",
                            after_action_texts[action], error);
}
