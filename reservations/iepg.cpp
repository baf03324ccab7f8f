#include "reservations/iepg.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "base/sjis.h"
#include "reservations/form.h"

namespace {

// A piece of the file; not NUL-terminated.
struct Span {
    const char* p;
    std::size_t n;
};

bool is_blank(char c) { return c == ' ' || c == '\t'; }

Span trimmed(Span s) {
    while (s.n > 0 && is_blank(s.p[0])) ++s.p, --s.n;
    while (s.n > 0 && is_blank(s.p[s.n - 1])) --s.n;
    return s;
}

char lower(char c) { return c >= 'A' && c <= 'Z' ? (char)(c - 'A' + 'a') : c; }

bool same_word(Span s, const char* word) {
    if (s.n != std::strlen(word)) return false;
    for (std::size_t i = 0; i < s.n; ++i)
        if (lower(s.p[i]) != lower(word[i])) return false;
    return true;
}

// The lines of the text, each without its CR LF or LF; the last may have no line end.
struct Lines {
    const char* text;
    std::size_t len;
    std::size_t pos;
    bool next(Span* line) {
        if (pos >= len) return false;
        const char* start = text + pos;
        const void* lf = std::memchr(start, '\n', len - pos);
        std::size_t n = lf ? (std::size_t)((const char*)lf - start) : len - pos;
        pos += lf ? n + 1 : n;
        if (n > 0 && start[n - 1] == '\r') --n;
        *line = {start, n};
        return true;
    }
};

enum Field { kContentType, kBoundary, kYear, kMonth, kDate, kStart, kEnd, kTitle, kFields };
const char* const kFieldNames[kFields] = {"Content-type", "boundary", "year", "month",
                                          "date", "start", "end", "program-title"};

struct Header {
    Span values[kFields];
    bool found[kFields];
    int lines;  // lines of "key: value"
};

enum BoundaryLine { kNoBoundary, kOpening, kClosing };

bool is_form(Span s, const char* before, Span boundary, const char* after) {
    const std::size_t b = std::strlen(before), a = std::strlen(after);
    return s.n == b + boundary.n + a && std::memcmp(s.p, before, b) == 0 &&
           std::memcmp(s.p + b, boundary.p, boundary.n) == 0 &&
           std::memcmp(s.p + b + boundary.n, after, a) == 0;
}

BoundaryLine boundary_line(Span line, Span boundary) {
    const Span s = trimmed(line);
    if (is_form(s, "", boundary, "") || is_form(s, "--", boundary, "")) return kOpening;
    if (is_form(s, "", boundary, "--") || is_form(s, "--", boundary, "--")) return kClosing;
    return kNoBoundary;
}

// Header lines up to the first empty line; with a boundary, also up to (not past) a
// boundary line. Of a key given twice, the first counts.
void read_header(Lines& lines, const Span* boundary, Header* h) {
    std::memset(h, 0, sizeof(*h));
    Span line;
    for (std::size_t at = lines.pos; lines.next(&line); at = lines.pos) {
        if (boundary && boundary_line(line, *boundary) != kNoBoundary) {
            lines.pos = at;
            return;
        }
        if (trimmed(line).n == 0) return;
        const void* colon = std::memchr(line.p, ':', line.n);
        if (!colon) continue;
        const std::size_t k = (std::size_t)((const char*)colon - line.p);
        const Span key = trimmed({line.p, k});
        ++h->lines;
        for (int f = 0; f < kFields; ++f) {
            if (h->found[f] || !same_word(key, kFieldNames[f])) continue;
            h->found[f] = true;
            h->values[f] = trimmed({line.p + k + 1, line.n - k - 1});
        }
    }
}

#if defined(__GNUC__)
__attribute__((format(printf, 4, 5)))
#endif
int fail(char* error, std::size_t cap, int part, const char* format, ...) {
    if (!error || cap == 0) return -1;
    char text[256];
    int n = part > 0 ? std::snprintf(text, sizeof(text), "%d番目の番組: ", part) : 0;
    va_list args;
    va_start(args, format);
    std::vsnprintf(text + n, sizeof(text) - (std::size_t)n, format, args);
    va_end(args);
    const std::size_t len = sjis_whole_length(text, cap - 1);
    std::memcpy(error, text, len);
    error[len] = '\0';
    return -1;
}

bool read_number(Span s, std::size_t max_digits, int* out) {
    if (s.n == 0 || s.n > max_digits) return false;
    int v = 0;
    for (std::size_t i = 0; i < s.n; ++i) {
        if (s.p[i] < '0' || s.p[i] > '9') return false;
        v = v * 10 + (s.p[i] - '0');
    }
    *out = v;
    return true;
}

// "HH:MM", the hour up to 29.
bool read_time(Span s, int* hour, int* minute) {
    const void* colon = std::memchr(s.p, ':', s.n);
    if (!colon) return false;
    const std::size_t k = (std::size_t)((const char*)colon - s.p);
    return read_number({s.p, k}, 2, hour) && read_number({s.p + k + 1, s.n - k - 1}, 2, minute) &&
           *hour <= 29 && *minute <= 59;
}

bool storable(const CivilDate& d) { return d.year >= 2000 && d.year <= 2099; }

int programme_of(const Header& h, bool utf8, CivilDate today, int part, IepgProgramme* p,
                 char* error, std::size_t cap) {
    static const Field kRequired[] = {kMonth, kDate, kStart, kEnd, kTitle};
    for (Field f : kRequired)
        if (!h.found[f]) return fail(error, cap, part, "「%s」の行がありません。", kFieldNames[f]);
    std::memset(p, 0, sizeof(*p));
    int month, day, sh, sm, eh, em;
    if (!read_number(h.values[kMonth], 2, &month))
        return fail(error, cap, part, "「month」が月の数ではありません。");
    if (!read_number(h.values[kDate], 2, &day))
        return fail(error, cap, part, "「date」が日の数ではありません。");
    if (!read_time(h.values[kStart], &sh, &sm))
        return fail(error, cap, part, "「start」が時刻(HH:MM、時は29まで)ではありません。");
    if (!read_time(h.values[kEnd], &eh, &em))
        return fail(error, cap, part, "「end」が時刻(HH:MM、時は29まで)ではありません。");

    const Span title = h.values[kTitle];
    if (utf8) {
        utf8_to_sjis(title.p, title.n, p->title, sizeof(p->title), kMaxNameBytes);
    } else {
        // Whole characters: a lead byte as the 20th byte, or as the last of the line, is
        // left out.
        char raw[kMaxNameBytes + 1];
        const std::size_t n = title.n < kMaxNameBytes ? title.n : kMaxNameBytes;
        std::memcpy(raw, title.p, n);
        raw[n] = '\0';
        const std::size_t whole = sjis_whole_length(raw, n);
        std::memcpy(p->title, raw, whole);
        p->title[whole] = '\0';
    }
    // An empty name would mark a free slot.
    if (p->title[0] == '\0') return fail(error, cap, part, "「program-title」が空です。");

    CivilDate date = {0, month, day};
    if (h.found[kYear]) {
        if (!read_number(h.values[kYear], 4, &date.year))
            return fail(error, cap, part, "「year」が年の数ではありません。");
        if (month < 1 || month > 12 || day < 1 || day > days_in_month(date.year, month))
            return fail(error, cap, part, "%d年%d月%d日という日はありません。", date.year, month, day);
    } else {
        if (month < 1 || month > 12 || day < 1 || day > days_in_month(2000, month))
            return fail(error, cap, part, "%d月%d日という日はありません。", month, day);
        // The first such date on which the programme starts today or later: a start after
        // midnight (24:00..29:59) of the 31st of December is today's on New Year's Day.
        for (int y = today.year - 1; y <= today.year + 8 && date.year == 0; ++y) {
            if (day > days_in_month(y, month)) continue;
            CivilDate d = {y, month, day}, starts = d;
            if (sh >= 24 && !add_days(d, 1, &starts, nullptr)) continue;
            if (date_number(starts) >= date_number(today)) date = d;
        }
    }
    if (!storable(date))
        return fail(error, cap, part, "%d年の番組は登録できません(2000年から2099年まで)。", date.year);

    p->start_date = date;
    if (sh >= 24) {
        sh -= 24;
        if (!add_days(date, 1, &p->start_date, nullptr)) p->start_date.year = 0;
    }
    if (eh >= 24) eh -= 24;
    // The end is the first such time of day after the start.
    p->end_date = p->start_date;
    if (eh * 60 + em <= sh * 60 + sm && !add_days(p->start_date, 1, &p->end_date, nullptr))
        p->end_date.year = 0;
    if (!storable(p->start_date) || !storable(p->end_date))
        return fail(error, cap, part, "2099年より後の番組は登録できません。");
    p->start_time = {sh, sm, 0};
    p->end_time = {eh, em, 0};
    return 0;
}

// The media type, without parameters.
Span media_type(Span value) {
    const void* semicolon = std::memchr(value.p, ';', value.n);
    if (semicolon) value.n = (std::size_t)((const char*)semicolon - value.p);
    return trimmed(value);
}

}  // namespace

int parse_iepg(const char* bytes, std::size_t len, CivilDate today, IepgFile* out, char* error,
               std::size_t error_cap) {
    out->count = 0;
    if (error && error_cap > 0) error[0] = '\0';
    if (len > kIepgFileMax)
        return fail(error, error_cap, 0, "ファイルが大きすぎます(iEPGのファイルは%uKBまで)。",
                    (unsigned)(kIepgFileMax / 1024));
    const bool utf8 = len >= 3 && std::memcmp(bytes, "\xEF\xBB\xBF", 3) == 0;
    if (utf8) bytes += 3, len -= 3;

    Lines lines = {bytes, len, 0};
    Header outer;
    read_header(lines, nullptr, &outer);
    if (!outer.found[kContentType])
        return fail(error, error_cap, 0, "iEPGのファイルではありません(「Content-type」の行がありません)。");
    const Span type = media_type(outer.values[kContentType]);
    if (same_word(type, "application/x-tv-program-info") ||
        same_word(type, "application/x-tv-program-digital-info")) {
        if (programme_of(outer, utf8, today, 0, &out->programmes[0], error, error_cap) != 0) return -1;
        out->count = 1;
        return 0;
    }
    if (!same_word(type, "application/x-multi-tv-program-info"))
        return fail(error, error_cap, 0, "iEPGのファイルではありません(番組情報の Content-type ではありません)。");

    const Span boundary = outer.values[kBoundary];
    if (boundary.n == 0) return fail(error, error_cap, 0, "「boundary」の行がありません。");
    Lines scan = {bytes, len, 0};
    Span line;
    bool opened = false;
    while (!opened && scan.next(&line)) {
        const BoundaryLine kind = boundary_line(line, boundary);
        if (kind == kClosing) break;
        opened = kind == kOpening;
    }
    int part = 0;
    while (opened) {
        Header h;
        read_header(scan, &boundary, &h);
        // Whatever follows the header up to the next boundary line is free text.
        opened = false;
        while (scan.next(&line)) {
            const BoundaryLine kind = boundary_line(line, boundary);
            if (kind == kNoBoundary) continue;
            opened = kind == kOpening;
            break;
        }
        if (h.lines == 0) continue;  // an empty part holds no programme
        ++part;
        if (out->count == kIepgProgrammesMax) {
            out->count = 0;
            return fail(error, error_cap, 0, "番組が多すぎます(1つのファイルに%d件まで)。",
                        kIepgProgrammesMax);
        }
        if (programme_of(h, utf8, today, part, &out->programmes[out->count], error, error_cap) != 0) {
            out->count = 0;
            return -1;
        }
        ++out->count;
    }
    if (out->count == 0) return fail(error, error_cap, 0, "番組がひとつもありません。");
    return 0;
}

namespace {

bool same_field(const char* a, const char* b, std::size_t size) {
    const std::size_t n = field_length(a, size);
    return n == field_length(b, size) && std::memcmp(a, b, n) == 0;
}
#define SAME_FIELD(a, b, member) same_field((a).member, (b).member, sizeof((a).member))

bool same_programme(const Reservation& a, const Reservation& b) {
    return SAME_FIELD(a, b, name) && SAME_FIELD(a, b, start_date) &&
           SAME_FIELD(a, b, start_time) && SAME_FIELD(a, b, end_date) && SAME_FIELD(a, b, end_time);
}

void record_of(const IepgProgramme& p, Colour colour, Reservation* r) {
    clear_record(*r);
    FormValues v;
    std::memset(&v, 0, sizeof(v));
    FIELD_COPY(v.name, p, title);
    v.start_date = p.start_date;
    v.start_time = p.start_time;
    v.end_date = p.end_date;
    v.end_time = p.end_time;
    v.repeat_mode = 0;
    v.colour = colour;
    store_values(*r, v);
    // The programme's own end date: for an end equal to its start, the next day, where the
    // form would keep the start's.
    format_yymmdd(p.end_date, r->end_date);
}

// One line for a programme left out; once the text is nearly full, the rest are counted.
void note_skipped(IepgImport* result, int* unlisted, const IepgProgramme& p, const char* why) {
    ++result->skipped;
    char line[160];
    std::snprintf(line, sizeof(line), "「%.*s」 %d/%02d/%02d %02d:%02d %s\r\n",
                  (int)field_length(p.title, sizeof(p.title)), p.title, p.start_date.year,
                  p.start_date.month, p.start_date.day, p.start_time.hour, p.start_time.minute, why);
    const std::size_t used = std::strlen(result->skipped_text), n = std::strlen(line);
    const std::size_t kCountLine = 32;  // "ほか N 件" at the end
    if (*unlisted == 0 && used + n + kCountLine < sizeof(result->skipped_text))
        std::memcpy(result->skipped_text + used, line, n + 1);
    else
        ++*unlisted;
}

}  // namespace

int import_iepg(ReservationTable& table, int count, const IepgFile& file, std::time_t now,
                Colour colour, IepgImport* result, char* error, std::size_t error_cap) {
    IepgImport local;
    if (!result) result = &local;
    std::memset(result, 0, sizeof(*result));
    if (error && error_cap > 0) error[0] = '\0';
    if (count < 0) count = 0;
    if (count > kMaxReservations) count = kMaxReservations;
    result->first_slot = count;
    const int programmes =
        file.count < 0 ? 0 : file.count > kIepgProgrammesMax ? kIepgProgrammesMax : file.count;

    // The new records are made aside; the table changes only when all of them fit.
    Reservation fresh[kIepgProgrammesMax];
    int added = 0, unlisted = 0;
    for (int i = 0; i < programmes; ++i) {
        const IepgProgramme& p = file.programmes[i];
        Reservation& r = fresh[added];
        record_of(p, colour, &r);
        const std::time_t end = local_moment(p.end_date, p.end_time);
        bool listed = false;
        for (int s = 0; s < count && !listed; ++s) listed = same_programme(table.slots[s], r);
        for (int s = 0; s < added && !listed; ++s) listed = same_programme(fresh[s], r);
        if (r.name[0] == '\0')
            note_skipped(result, &unlisted, p, "名前がありません");
        else if (end == (std::time_t)-1 || end <= now)
            note_skipped(result, &unlisted, p, "放送が終わっています");
        else if (listed)
            note_skipped(result, &unlisted, p, "すでに登録されています");
        else
            ++added;
    }
    if (unlisted > 0) {
        const std::size_t used = std::strlen(result->skipped_text);
        std::snprintf(result->skipped_text + used, sizeof(result->skipped_text) - used,
                      "ほか %d 件\r\n", unlisted);
    }
    const int free_slots = kMaxReservations - count;
    if (added > free_slots) {
        const int first = result->first_slot;
        std::memset(result, 0, sizeof(*result));
        result->first_slot = first;
        return fail(error, error_cap, 0,
                    "予約の空きが足りません。追加する番組が%d件、空きが%d件です(リストは%dまで)。",
                    added, free_slots, kMaxReservations);
    }
    for (int i = 0; i < added; ++i) table.slots[count + i] = fresh[i];
    result->added = added;
    return 0;
}
