#include "base/journal.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "base/calendar.h"
#include "base/platform.h"
#include "base/sjis.h"

namespace {

const char* const kWords[kJournalEventCount] = {
    "起動",       "終了",     "録画開始",   "設定失敗",     "録画ソフト起動",
    "録画ソフトなし", "録画命令", "停止命令",   "終了命令",     "応答なし",
    "移動",       "移動失敗", "電源操作",   "電源失敗",     "録画漏れ",
    "保存失敗",   "復帰タイマー", "復帰不可", "スリープ抑止", "漏れ確認なし",
    "録画終了",   "録画失敗",   "空き容量不足", "スクリプト失敗",
    "予約追加",   "予約削除",
};

// Longest line written: the name and details are cut to what fits.
const std::size_t kLineMax = 1024;
// What is read from the end of a file to find its last lines.
const std::size_t kTailRead = 256 * 1024;

struct JournalState {
    bool failed;       // a line could not be written since the program started
    unsigned written;  // lines written since the program started
    JournalObserver observer;
    bool unobserved_next;  // the next line is not told to the observer
};
JournalState state = {};

// Appends text to the line in out.
void put_text(char* out, std::size_t cap, std::size_t* len, const char* text, std::size_t n) {
    *len += journal_field_text(out + *len, cap - *len, text, n);
}

bool digits(const char* p, int n, int* value) {
    *value = 0;
    for (int i = 0; i < n; ++i) {
        if (p[i] < '0' || p[i] > '9') return false;
        *value = *value * 10 + (p[i] - '0');
    }
    return true;
}

// Working space for reading the files' last lines; nothing is kept in it between calls.
struct TailBuffers {
    char newer[kTailRead];
    char older[kTailRead];
};
TailBuffers buffers;
char (&tail_buffer)[kTailRead] = buffers.newer;
char (&older_buffer)[kTailRead] = buffers.older;

// Reads the last bytes of path into buffer (kTailRead bytes): their count, and whether
// they are the whole file. -1 when it cannot be read.
long read_tail(const char* path, char* buffer, bool* whole) {
    std::int64_t size = platform.journal->size(path);
    if (size < 0) return -1;
    std::int64_t offset = size > (std::int64_t)kTailRead ? size - (std::int64_t)kTailRead : 0;
    std::size_t got = 0;
    if (platform.journal->read_at(path, offset, buffer, (std::size_t)(size - offset), &got) != 0)
        return -1;
    *whole = offset == 0;
    return (long)got;
}

// The start of each of the last lines of buf[0..len) (at most max), oldest first; a
// line's end is the next start (less its CR LF) or len. A first line cut by the read
// (not whole) is left out.
int last_lines(const char* buf, long len, bool whole, int max, long* starts) {
    long end = len;
    int count = 0;
    // Lines are counted from the end; a final line without its CR LF counts too.
    while (end > 0 && count < max) {
        long p = end - 1;
        if (buf[p] == '\n') --p;
        while (p >= 0 && buf[p] != '\n') --p;
        long start = p + 1;
        if (start == 0 && !whole) break;
        starts[count++] = start;
        end = start;
    }
    // Oldest first.
    for (int i = 0; i < count / 2; ++i) {
        long t = starts[i];
        starts[i] = starts[count - 1 - i];
        starts[count - 1 - i] = t;
    }
    return count;
}

// The line from start, without its line end.
long line_length(const char* buf, long len, long start) {
    long e = start;
    while (e < len && buf[e] != '\n') ++e;
    if (e > start && buf[e - 1] == '\r') --e;
    return e - start;
}

// Copies a line for showing: a byte that is not part of a Shift-JIS character becomes "?".
void put_shown(char* out, std::size_t cap, std::size_t* n, const char* line, long len) {
    if (*n + 3 > cap) return;
    for (long i = 0; i < len && *n + 4 < cap;) {
        unsigned char c = (unsigned char)line[i];
        if (sjis_lead_byte(c) && i + 1 < len) {
            unsigned char t = (unsigned char)line[i + 1];
            if (t >= 0x40 && t <= 0xFC && t != 0x7F) {
                out[(*n)++] = (char)c;
                out[(*n)++] = (char)t;
                i += 2;
                continue;
            }
        }
        bool plain = (c >= 0x20 && c < 0x7F) || c == '\t' || (c >= 0xA1 && c <= 0xDF);
        out[(*n)++] = plain ? (char)c : '?';
        ++i;
    }
    out[(*n)++] = '\r';
    out[(*n)++] = '\n';
}

// The fields of the line at text (len bytes, without its line end); false when it has
// no readable time.
bool split_line(const char* text, std::size_t len, JournalLine* out) {
    std::size_t used = 0;
    if (!journal_read_time(text, len, &out->when, &used)) return false;
    out->exact = used > 19;
    const char* fields[4] = {text + len, text + len, text + len, text + len};
    std::size_t lengths[4] = {0, 0, 0, 0};
    std::size_t at = used;
    for (int f = 0; f < 4 && at < len && text[at] == '\t'; ++f) {
        std::size_t end = ++at;
        // The details, last, run to the line's end.
        while (end < len && (f == 3 || text[end] != '\t')) ++end;
        fields[f] = text + at;
        lengths[f] = end - at;
        at = end;
    }
    out->event = -1;
    for (int e = 0; e < kJournalEventCount; ++e)
        if (std::strlen(kWords[e]) == lengths[0] && std::memcmp(kWords[e], fields[0], lengths[0]) == 0)
            out->event = e;
    int slot = 0;
    out->slot = lengths[1] >= 1 && lengths[1] <= 2 && digits(fields[1], (int)lengths[1], &slot) &&
                        slot >= 1 && slot <= 40
                    ? slot
                    : 0;
    out->name = fields[2];
    out->name_len = lengths[2];
    out->details = fields[3];
    out->details_len = lengths[3];
    return true;
}

}  // namespace

bool journal_read_time(const char* line, std::size_t len, std::time_t* out, std::size_t* used) {
    if (len < 19) return false;
    CivilDate d;
    CivilTime t;
    if (!digits(line, 4, &d.year) || line[4] != '/' || !digits(line + 5, 2, &d.month) ||
        line[7] != '/' || !digits(line + 8, 2, &d.day) || line[10] != ' ' ||
        !digits(line + 11, 2, &t.hour) || line[13] != ':' || !digits(line + 14, 2, &t.minute) ||
        line[16] != ':' || !digits(line + 17, 2, &t.second))
        return false;
    if (d.month < 1 || d.month > 12 || d.day < 1 || d.day > days_in_month(d.year, d.month) ||
        t.hour > 23 || t.minute > 59 || t.second > 59)
        return false;
    int hh = 0, mm = 0;
    if (len >= 25 && line[19] == ' ' && (line[20] == '+' || line[20] == '-') &&
        digits(line + 21, 2, &hh) && digits(line + 23, 2, &mm) && hh <= 23 && mm <= 59) {
        const long offset = (hh * 3600L + mm * 60L) * (line[20] == '-' ? -1 : 1);
        *out = (std::time_t)(civil_seconds(d, t) - offset);
        *used = 25;
        return true;
    }
    std::time_t v = local_moment(d, t);
    if (v == (std::time_t)-1) return false;
    *out = v;
    *used = 19;
    return true;
}

std::size_t journal_field_text(char* out, std::size_t cap, const char* text, std::size_t n) {
    if (cap == 0) return 0;
    const std::size_t room = cap - 1;
    const std::size_t take = text ? sjis_whole_length(text, n < room ? n : room) : 0;
    for (std::size_t i = 0; i < take; ++i) {
        const unsigned char c = (unsigned char)text[i];
        out[i] = c < 0x20 ? ' ' : (char)c;
    }
    out[take] = '\0';
    return take;
}

const char* journal_word(JournalEvent event) {
    return event >= 0 && event < kJournalEventCount ? kWords[event] : "";
}

void journal_time_text(std::time_t when, char* out, std::size_t size) {
    const std::tm* t = std::localtime(&when);
    if (!t || std::strftime(out, size, "%Y/%m/%d %H:%M:%S", t) == 0)
        std::snprintf(out, size, "0000/00/00 00:00:00");
}

void journal_stamp(std::time_t when, char* out, std::size_t size) {
    journal_time_text(when, out, size);
    long offset = 0;
    if (!utc_offset_of(when, &offset)) return;
    const char sign = offset < 0 ? '-' : '+';
    if (offset < 0) offset = -offset;
    const std::size_t len = std::strlen(out);
    if (len < size)
        std::snprintf(out + len, size - len, " %c%02ld%02ld", sign, offset / 3600 % 100,
                      offset / 60 % 60);
}

std::size_t journal_format_line(char* out, std::size_t cap, std::time_t when, JournalEvent event,
                                int slot, const char* name, std::size_t name_size,
                                const char* details) {
    if (cap == 0) return 0;
    out[0] = '\0';
    std::size_t len = 0;
    auto tab = [&]() {
        if (len + 1 < cap) {
            out[len++] = '\t';
            out[len] = '\0';
        }
    };
    char head[40];
    journal_stamp(when, head, sizeof(head));
    put_text(out, cap, &len, head, sizeof(head));
    tab();
    put_text(out, cap, &len, journal_word(event), 64);
    tab();
    char number[8] = "-";
    if (slot >= 1 && slot <= 40) std::snprintf(number, sizeof(number), "%d", slot);
    put_text(out, cap, &len, number, sizeof(number));
    tab();
    put_text(out, cap, &len, name, name ? name_size : 0);
    tab();
    put_text(out, cap, &len, details, cap);
    return len;
}

void journal_write(JournalEvent event, int slot, const char* name, std::size_t name_size,
                   const char* format, ...) {
    char details[kLineMax];
    va_list args;
    va_start(args, format);
    std::vsnprintf(details, sizeof(details), format, args);
    va_end(args);
    // Room for a CR LF before the line (after a torn one) and after it.
    char line[kLineMax + 4];
    std::size_t at = 0;
    std::int64_t size = platform.journal->size(kJournalFile);
    if (size > 0) {
        char last[2] = {0, 0};
        std::size_t got = 0;
        std::int64_t from = size >= 2 ? size - 2 : 0;
        if (platform.journal->read_at(kJournalFile, from, last, (std::size_t)(size - from), &got) == 0 &&
            !(got == 2 && last[0] == '\r' && last[1] == '\n')) {
            line[at++] = '\r';
            line[at++] = '\n';
        }
    }
    at += journal_format_line(line + at, kLineMax, (std::time_t)platform.clock->now(), event, slot,
                              name, name_size, details);
    line[at++] = '\r';
    line[at++] = '\n';
    if (platform.journal->append(kJournalFile, line, at) != 0)
        state.failed = true;
    else
        ++state.written;
    // Also when the line was lost: what happened did happen.
    const bool observed = !state.unobserved_next;
    state.unobserved_next = false;
    if (state.observer && observed) state.observer(event, slot, name, name ? name_size : 0, details);
}

int journal_begin(std::time_t now, std::time_t* last, JournalVisitor visit, void* context) {
    bool whole = false;
    long len = read_tail(kJournalFile, tail_buffer, &whole);
    int result = 0;
    if (len >= 0) {
        long starts[1];
        std::size_t used = 0;
        result = -1;
        if (last_lines(tail_buffer, len, whole, 1, starts) == 1 &&
            journal_read_time(tail_buffer + starts[0],
                              (std::size_t)line_length(tail_buffer, len, starts[0]), last, &used) &&
            *last <= now)
            result = 1;
        else if (len == 0)
            result = 0;
    }
    if (visit && len > 0) {
        // Line by line from the first whole one; a first line cut by the read is left out.
        long at = 0;
        if (!whole) {
            while (at < len && tail_buffer[at] != '\n') ++at;
            ++at;
        }
        while (at < len) {
            const long line_len = line_length(tail_buffer, len, at);
            JournalLine line;
            if (split_line(tail_buffer + at, (std::size_t)line_len, &line)) visit(line, context);
            long next = at + line_len;
            while (next < len && tail_buffer[next] != '\n') ++next;
            at = next + 1;
        }
    }
    if (platform.journal->size(kJournalFile) > kJournalLimitBytes)
        platform.journal->rename(kJournalFile, kJournalOlderFile);
    return result;
}

void journal_observe(JournalObserver observer) { state.observer = observer; }

void journal_unobserved_next() { state.unobserved_next = true; }

bool journal_write_failed() { return state.failed; }

unsigned journal_lines_written() { return state.written; }

std::size_t journal_tail(char* out, std::size_t cap, int max_lines) {
    static long newer_starts[kJournalShownLines], older_starts[kJournalShownLines];
    if (max_lines > kJournalShownLines) max_lines = kJournalShownLines;
    if (cap < 4 || max_lines <= 0) return 0;
    std::size_t n = 0;
    bool whole = false;
    long len = read_tail(kJournalFile, tail_buffer, &whole);
    int newer = len >= 0 ? last_lines(tail_buffer, len, whole, max_lines, newer_starts) : 0;
    // The older file's last lines come before, as many as are still wanted, when the
    // newer file was read whole.
    if (newer < max_lines && (len < 0 || whole)) {
        bool older_whole = false;
        long older_len = read_tail(kJournalOlderFile, older_buffer, &older_whole);
        int older = older_len > 0 ? last_lines(older_buffer, older_len, older_whole,
                                               max_lines - newer, older_starts)
                                  : 0;
        for (int i = 0; i < older; ++i)
            put_shown(out, cap, &n, older_buffer + older_starts[i],
                      line_length(older_buffer, older_len, older_starts[i]));
    }
    for (int i = 0; i < newer; ++i)
        put_shown(out, cap, &n, tail_buffer + newer_starts[i],
                  line_length(tail_buffer, len, newer_starts[i]));
    out[n < cap ? n : cap - 1] = '\0';
    return n;
}

void reset_journal() { state = JournalState{}; }
