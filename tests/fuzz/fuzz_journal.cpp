// Any bytes as the recording journal "tavrel.log", read back at start-up and by the
// history window: lines cut anywhere, NULs, dates and offsets that are no times, names
// that end inside a character, count lines with any span. The file may be larger than
// the 256 KiB read from its end, so that the cut falls at any byte of a line or a
// character, and it may shrink, grow or vanish between the size asked and the read.
//
// Checked: the reads never ask for more than their buffer; every line written is one
// whole line of whole characters, an unended recording's name closed by its own ")";
// missed lines written once each, 100 at most and one that counts the rest; the user's
// script started once for them with their count, and every variable it gets
// NUL-terminated within its size, free of control bytes, not ending in half a
// character; the history window's text within its cap, NUL-terminated, of whole
// Shift-JIS characters and "?".
//
// Input: 8 bytes of parameters (flags, reservations in use, start-up moment, where the
// read's cut falls, how much the file changes, the window's cap), then the journal.
// Flags: 1 the file is padded past 256 KiB with copies of itself; 2, 4 between size and
// read the file shrinks (2), grows (4) or vanishes (both); 8 no script; 16 Europe/Berlin
// (else Asia/Tokyo); 32 an older file "tavrel.log.1" holds the same bytes; 64 the first
// reservation's name is damaged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/journal.h"
#include "engine/event_script.h"
#include "engine/history.h"
#include "reservations/reservation.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/support/core_state.h"
#include "tests/support/fakes.h"

namespace {

// What journal.cpp reads from a file's end, and the longest line it writes.
const std::size_t kTailRead = 256 * 1024;
const std::size_t kLineMax = 1024;

// 2026-12-07 03:00 UTC: noon in Tokyo, four in the morning in Berlin.
const std::int64_t kBase = 1796612400;

enum Change { kKeep, kShrink, kGrow, kVanish };

// The journal in memory; the first size asked after arm() is answered, and then the file
// changes before it is read. Each line appended is kept for the checks.
struct ChangingJournal : MemoryJournal {
    Change change = kKeep;
    std::size_t amount = 0;
    bool armed = false;
    std::vector<std::string> appended;

    std::int64_t size(const char* path) override {
        const std::int64_t n = MemoryJournal::size(path);
        if (armed && n >= 0 && std::strcmp(path, kJournalFile) == 0) {
            armed = false;
            std::string& f = files[path];
            // Grown by a copy of its own first bytes: lines, and maybe half of one.
            if (change == kShrink) f.resize(f.size() > amount ? f.size() - amount : 0);
            if (change == kGrow) f.append(f, 0, amount < f.size() ? amount : f.size());
            if (change == kVanish) files.erase(path);
        }
        return n;
    }
    int read_at(const char* path, std::int64_t offset, void* buf, std::size_t cap,
                std::size_t* got) override {
        FUZZ_CHECK(offset >= 0 && cap <= kTailRead, "read of %zu bytes at %lld", cap, (long long)offset);
        return MemoryJournal::read_at(path, offset, buf, cap, got);
    }
    int append(const char* path, const void* data, std::size_t len) override {
        appended.push_back(std::string((const char*)data, len));
        return MemoryJournal::append(path, data, len);
    }
};

// True when the first len bytes of text, read as Shift-JIS, end on a character boundary
// and hold no NUL: no first half of a character is left without its second.
bool whole_pairs(const char* text, std::size_t len) {
    std::size_t i = 0;
    while (i < len) {
        if (text[i] == '\0') return false;
        i += sjis_lead_byte((unsigned char)text[i]) ? 2 : 1;
    }
    return i == len;
}

struct Start {
    std::string event, count;
};

// The variables' sizes in event_script.cpp: a name, the details, the file's path.
struct CheckingScripts : Scripts {
    std::vector<Start> starts;
    int start(const char* script, const ScriptVariable* vars, int count) override {
        FUZZ_CHECK(std::strcmp(script, kEventScriptFile) == 0, "script %s", script);
        Start s;
        for (int v = 0; v < count; ++v) {
            const std::string name = vars[v].name;
            const std::size_t cap = name == "TAVREL_NAME" ? 64 : name == "TAVREL_FILE" ? 600 : 1024;
            const char* value = vars[v].value;
            FUZZ_CHECK(value && std::memchr(value, '\0', cap), "%s not ended within %zu bytes",
                       name.c_str(), cap);
            const std::size_t len = std::strlen(value);
            for (std::size_t i = 0; i < len; ++i)
                FUZZ_CHECK((unsigned char)value[i] >= 0x20, "%s holds byte %d", name.c_str(), value[i]);
            FUZZ_CHECK(whole_pairs(value, len), "%s ends in half a character: %s", name.c_str(), value);
            if ((name == "TAVREL_START" || name == "TAVREL_STOP") && len)
                FUZZ_CHECK(len == 19, "%s is %s", name.c_str(), value);
            if (name == "TAVREL_EVENT") s.event = value;
            if (name == "TAVREL_COUNT") s.count = value;
        }
        starts.push_back(s);
        return 0;
    }
};

FuzzFiles files;
FuzzClock sim_clock;
ChangingJournal journal;
CheckingScripts scripts;
std::int64_t sim_now;

// Every day from 2026 to 2027 at its own time for an hour, the sixth over midnight; the first
// one's name, when damaged, without a NUL and ending in a character's first half.
void reserve(int count, bool damaged_name) {
    for (int i = 0; i < count; ++i) {
        Reservation& r = reservations.table.slots[i];
        if (i == 0)
            std::memcpy(r.name, damaged_name ? "深夜映画の長い名前です" : "深夜映画の長い名前で", 21);
        else
            std::snprintf(r.name, sizeof(r.name), "番組%02d", i);
        std::memcpy(r.start_date, "260101", 7);
        std::memcpy(r.end_date, "271231", 7);
        std::snprintf(r.start_time, sizeof(r.start_time), "%02d%02d00", (i * 5 + 22) % 24, i * 7 % 60);
        std::snprintf(r.end_time, sizeof(r.end_time), "%02d%02d00", (i * 5 + 23) % 24, i * 7 % 60);
        r.repeat_mode = 1;
        r.weekday_mask = 0x7F;
    }
    reservations.count = count;
}

// Each line written: one line with its CR LF (and one before it after a torn line), of
// whole characters; a line naming the recording that held a missed one closes the name.
int check_written(std::size_t from) {
    static const std::string missed = std::string("\t") + journal_word(kEventMissed) + "\t";
    static const std::string held = ")を録画中でした";
    int missed_lines = 0;
    for (std::size_t k = from; k < journal.appended.size(); ++k) {
        std::string line = journal.appended[k];
        if (line.compare(0, 2, "\r\n") == 0) line.erase(0, 2);
        FUZZ_CHECK(line.size() >= 2 && line.size() <= kLineMax + 1 &&
                       line.compare(line.size() - 2, 2, "\r\n") == 0,
                   "line of %zu bytes", line.size());
        line.resize(line.size() - 2);
        for (char c : line)
            FUZZ_CHECK((unsigned char)c >= 0x20 || c == '\t', "line holds byte %d", c);
        FUZZ_CHECK(whole_pairs(line.data(), line.size()), "line ends in half a character");
        missed_lines += line.find(missed) != std::string::npos;
        const std::size_t close = line.rfind(held);
        if (close != std::string::npos)
            FUZZ_CHECK(whole_pairs(line.data(), close), "the name took its \")\": %s", line.c_str());
    }
    return missed_lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static bool setup = false;
    if (!setup) {
        setup = true;
        platform.files = &files;
        platform.clock = &sim_clock;
        platform.journal = &journal;
        platform.scripts = &scripts;
        sim_clock.time = &sim_now;
    }
    InputBytes in(data, size < 8 ? size : 8);
    const int flags = in.byte();
    const int count = 1 + in.byte() % kMaxReservations;
    sim_now = kBase + (std::int8_t)in.byte() * 3 * 3600;
    const std::size_t shift = in.byte() | in.byte() << 8;
    const std::size_t amount = (in.byte() | in.byte() << 8) % 4096;
    const std::size_t cap = in.byte() * 64;
    const std::size_t head = size < 8 ? size : 8;
    const std::string content((const char*)data + head, size - head);

    use_time_zone(flags & 16 ? "Europe/Berlin" : "Asia/Tokyo");
    reset_core_state();
    reserve(count, (flags & 64) != 0);
    files.files.clear();
    if (!(flags & 8)) files.files[kEventScriptFile] = "@echo off\r\n";
    journal.files.clear();
    journal.appended.clear();
    scripts.starts.clear();
    std::string file = content;
    if (flags & 1) {
        // Copies of the content before it, so that the read begins at byte shift of the
        // first copy: any byte of a line or of a character.
        std::string pad;
        const std::size_t pad_len = kTailRead - content.size() + shift;
        while (!content.empty() && pad.size() < pad_len) pad += content;
        pad.resize(pad_len, 'x');
        file = pad + content;
    }
    if (!content.empty() || (flags & 1)) journal.files[kJournalFile] = file;
    if (flags & 32) journal.files[kJournalOlderFile] = content;
    journal.change = (Change)(flags >> 1 & 3);
    journal.amount = amount;

    journal.armed = true;
    journal_program_start((std::time_t)sim_now);
    journal.armed = false;
    const int n = journal_missed_since_last_run((std::time_t)sim_now);
    FUZZ_CHECK(n >= 0, "%d missed", n);
    const int lines = check_written(0);
    FUZZ_CHECK(lines == (n <= 100 ? n : 101), "%d missed, %d lines", n, lines);
    int missed_starts = 0;
    for (const Start& s : scripts.starts) {
        if (s.event != journal_word(kEventMissed)) continue;
        ++missed_starts;
        FUZZ_CHECK(s.count == std::to_string(n), "started with count %s for %d", s.count.c_str(), n);
    }
    FUZZ_CHECK(missed_starts == (n > 0 && !(flags & 8) ? 1 : 0), "started %d times for %d missed",
               missed_starts, n);

    // The history window, with the file changing again between its size and its read.
    journal.armed = true;
    std::vector<char> shown(cap ? cap : 1);
    const std::size_t len = journal_tail(shown.data(), cap, kJournalShownLines);
    if (cap < 4) return 0;
    FUZZ_CHECK(len < cap && shown[len] == '\0' && std::strlen(shown.data()) == len,
               "%zu bytes shown in %zu", len, cap);
    for (std::size_t i = 0; i < len;) {
        const unsigned char c = (unsigned char)shown[i];
        if (sjis_lead_byte(c)) {
            const unsigned char t = i + 1 < len ? (unsigned char)shown[i + 1] : 0;
            FUZZ_CHECK(t >= 0x40 && t <= 0xFC && t != 0x7F, "half a character shown at %zu", i);
            i += 2;
            continue;
        }
        FUZZ_CHECK((c >= 0x20 && c < 0x7F) || c == '\t' || c == '\r' || c == '\n' ||
                       (c >= 0xA1 && c <= 0xDF),
                   "byte %d shown", c);
        ++i;
    }
    return 0;
}
