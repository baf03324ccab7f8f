// Any bytes as an iEPG file, read and added to a list. A file read gives 1..40 programmes of
// whole Shift-JIS names of at most 20 bytes, each ending after its start and at most a day
// later, on dates a record can hold; a refused one gives none and a whole-character reason
// within its buffer. Adding them changes only the slots after those in use, with once-only
// records of such names; when they do not fit, the table is left as it was. Adding the
// same file again adds nothing: each programme is listed or ended by then.
//
// Input: 4 bytes of parameters (flags: bit 0 Europe/Berlin instead of Asia/Tokyo, bit 1
// the first programme already in the list; reservations in use 0..40; the current moment
// in hours from 2026-12-08 00:00, signed; the error buffer's size), then the file.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "reservations/iepg.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

void check_text(const char* text, std::size_t cap, const char* what) {
    const std::size_t n = strnlen(text, cap);
    FUZZ_CHECK(n < cap, "%s not NUL-terminated within %zu bytes", what, cap);
    FUZZ_CHECK(sjis_whole_length(text, cap) == n, "%s ends in half a character: %s", what, text);
}

bool valid_date(const CivilDate& d) {
    return d.year >= 2000 && d.year <= 2099 && d.month >= 1 && d.month <= 12 && d.day >= 1 &&
           d.day <= days_in_month(d.year, d.month);
}

bool valid_time(const CivilTime& t) {
    return t.hour >= 0 && t.hour <= 23 && t.minute >= 0 && t.minute <= 59 && t.second == 0;
}

void check_name(const char* name, std::size_t size) {
    check_text(name, size, "name");
    const std::size_t n = std::strlen(name);
    FUZZ_CHECK(n >= 1 && n <= 20, "name of %zu bytes", n);
}

// The error buffer with a fence after its size.
struct ErrorBuffer {
    char bytes[300];
    std::size_t cap;
    explicit ErrorBuffer(std::size_t c) : cap(c) { std::memset(bytes, 0x7E, sizeof(bytes)); }
    void check(const char* what) const {
        for (std::size_t i = cap; i < sizeof(bytes); ++i)
            FUZZ_CHECK(bytes[i] == 0x7E, "%s written past its %zu bytes", what, cap);
        if (cap > 0) check_text(bytes, cap, what);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    InputBytes in(data, size);
    const int flags = in.byte();
    const int count = in.byte() % (kMaxReservations + 1);
    const int hours = (std::int8_t)in.byte();
    const std::size_t cap = in.byte();
    const char* bytes = (const char*)data + in.pos;
    const std::size_t len = size - in.pos;

    use_time_zone(flags & 1 ? "Europe/Berlin" : "Asia/Tokyo");
    const std::time_t now = local_moment({2026, 12, 8}, {0, 0, 0}) + hours * 3600;
    CivilDate today;
    FUZZ_CHECK(local_date_of(now, &today, nullptr, nullptr), "no local date");

    static IepgFile file;
    ErrorBuffer why(cap);
    const int rc = parse_iepg(bytes, len, today, &file, why.bytes, why.cap);
    why.check("parse error");
    FUZZ_CHECK(rc == 0 || rc == -1, "parse gave %d", rc);
    if (rc != 0) {
        FUZZ_CHECK(file.count == 0, "a refused file gave %d programmes", file.count);
        return 0;
    }
    FUZZ_CHECK(file.count >= 1 && file.count <= kIepgProgrammesMax, "%d programmes", file.count);
    for (int i = 0; i < file.count; ++i) {
        const IepgProgramme& p = file.programmes[i];
        check_name(p.title, sizeof(p.title));
        FUZZ_CHECK(valid_date(p.start_date) && valid_date(p.end_date), "programme %d: a date no record holds", i);
        FUZZ_CHECK(valid_time(p.start_time) && valid_time(p.end_time), "programme %d: a time of no day", i);
        const std::int64_t length =
            civil_seconds(p.end_date, p.end_time) - civil_seconds(p.start_date, p.start_time);
        FUZZ_CHECK(length > 0 && length <= 86400, "programme %d lasts %lld s", i, (long long)length);
    }

    static ReservationTable table, before;
    set_default_reservations(table);
    for (int i = 0; i < count; ++i) std::snprintf(table.slots[i].name, 21, "slot %d", i);
    if ((flags & 2) && count > 0) {
        // The first programme in slot 0, as an earlier import stored it.
        IepgFile first = {};
        first.count = 1;
        first.programmes[0] = file.programmes[0];
        IepgImport r;
        const std::time_t long_ago = local_moment({1999, 12, 31}, {0, 0, 0});
        FUZZ_CHECK(import_iepg(table, 0, first, long_ago, 0, &r, nullptr, 0) == 0 && r.added == 1,
                   "the first programme was not added to an empty list");
    }
    before = table;
    static IepgImport result;
    ErrorBuffer import_why(cap);
    const int added = import_iepg(table, count, file, now, 0x00FF00, &result, import_why.bytes, import_why.cap);
    import_why.check("import error");
    check_text(result.skipped_text, sizeof(result.skipped_text), "skipped text");
    if (added != 0) {
        FUZZ_CHECK(added == -1, "import gave %d", added);
        FUZZ_CHECK(std::memcmp(&table, &before, sizeof(table)) == 0, "a refused import changed the table");
        FUZZ_CHECK(result.added == 0, "a refused import added %d", result.added);
        FUZZ_CHECK(count + file.count > kMaxReservations, "refused with room for every programme");
        return 0;
    }
    FUZZ_CHECK(result.first_slot == count, "first slot %d of %d in use", result.first_slot, count);
    FUZZ_CHECK(result.added + result.skipped == file.count, "%d added and %d skipped of %d", result.added,
               result.skipped, file.count);
    FUZZ_CHECK(count + result.added <= kMaxReservations, "%d added after %d", result.added, count);
    for (int i = 0; i < kMaxReservations; ++i) {
        const Reservation& r = table.slots[i];
        if (i < count || i >= count + result.added) {
            FUZZ_CHECK(std::memcmp(&r, &before.slots[i], sizeof(r)) == 0, "slot %d changed", i);
            continue;
        }
        check_name(r.name, sizeof(r.name));
        CivilDate d;
        CivilTime t;
        FUZZ_CHECK(parse_yymmdd(r.start_date, &d) && parse_yymmdd(r.end_date, &d) &&
                       parse_hhmmss(r.start_time, &t) && parse_hhmmss(r.end_time, &t),
                   "slot %d: dates or times no day has", i);
        FUZZ_CHECK(r.repeat_mode == 0 && r.weekday_mask == 0 && r.colour == 0x00FF00 && r.after_action == 0,
                   "slot %d is not a new once-only record", i);
    }
    FUZZ_CHECK(count_in_use(table) == count + result.added, "%d in use after adding %d to %d",
               count_in_use(table), result.added, count);

    // Again: every programme is listed or has ended.
    const int again = import_iepg(table, count + result.added, file, now, 0x00FF00, &result, nullptr, 0);
    FUZZ_CHECK(again == 0 && result.added == 0 && result.skipped == file.count,
               "the same file again: %d, %d added, %d skipped", again, result.added, result.skipped);
    return 0;
}
