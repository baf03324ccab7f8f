// Stand-ins of the platform for the fuzz targets: files in memory, message boxes that are
// counted, a clock that only advances a simulated time, and a canvas that checks every
// drawing operation against the area it may cover. A broken rule aborts, which libFuzzer
// reports with the input that caused it.
#pragma once
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <string>

#include "base/calendar.h"
#include "base/platform.h"
#include "base/sjis.h"
#include "view/fonts.h"

#define FUZZ_CHECK(cond, ...)                                              \
    do {                                                                   \
        if (!(cond)) {                                                     \
            std::fprintf(stderr, "%s:%d: broken: %s\n", __FILE__, __LINE__, #cond); \
            std::fprintf(stderr, __VA_ARGS__);                             \
            std::fprintf(stderr, "\n");                                    \
            std::abort();                                                  \
        }                                                                  \
    } while (0)

struct FuzzMessages : MessageBoxes {
    int count = 0;
    std::string last_text, last_caption;
    void show(WindowRef, const char* text, const char* caption, MessageIcon) override {
        ++count;
        last_text = text;
        last_caption = caption;
    }
};

struct FuzzFiles : Files {
    std::map<std::string, std::string> files;
    bool fail_replace = false;
    int replace_calls = 0;
    int read(const char* path, void* buf, std::size_t cap, std::size_t* got, bool* more) override {
        *got = 0;
        *more = false;
        auto it = files.find(path);
        if (it == files.end()) return -1;
        std::size_t n = it->second.size() < cap ? it->second.size() : cap;
        std::memcpy(buf, it->second.data(), n);
        *got = n;
        *more = it->second.size() > cap;
        return 0;
    }
    int replace(const char* path, const void* data, std::size_t len) override {
        ++replace_calls;
        if (fail_replace) return -1;
        files[path] = std::string((const char*)data, len);
        return 0;
    }
    bool exists(const char* path) override { return files.count(path) != 0; }
    bool is_file(const char* path) override { return files.count(path) != 0; }
};

// Sleeping only moves the simulated time on.
struct FuzzClock : Clock {
    std::int64_t* time = nullptr;
    std::uint64_t slept_ms = 0;
    void sleep_ms(std::uint32_t ms) override {
        slept_ms += ms;
        if (time) *time += ms / 1000;
    }
    std::int64_t now() override { return time ? *time : 0; }
};

struct Area {
    int left, top, right, bottom;
    bool holds_rect(int l, int t, int r, int b) const {
        return l >= left && t >= top && r <= right && b <= bottom && l <= r && t <= b;
    }
    bool holds_point(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
};

// True when the Shift-JIS text, read from its start, has a character boundary at pos.
inline bool sjis_boundary_at(const char* text, std::size_t pos) {
    std::size_t i = 0;
    while (i < pos && text[i] != '\0') {
        if (sjis_lead_byte((unsigned char)text[i]) && text[i + 1] != '\0')
            i += 2;
        else
            ++i;
    }
    return i == pos;
}

// Every fill must lie within one of the allowed areas, every text must start inside one
// with its whole line height, be of a sane length and not end in half a character.
struct CheckingSurfaces : Surfaces, Canvas {
    Area areas[2] = {};
    int area_count = 0;
    int opened = 0;
    int fills = 0, texts = 0;
    std::size_t max_text = 100;  // the file-move lines show whole paths
    std::string text_log[16];  // the last texts drawn, newest at (texts - 1) % 16

    void allow_only(Area a) {
        areas[0] = a;
        area_count = 1;
    }
    void allow_also(Area a) { areas[area_count++] = a; }

    Canvas* open(WindowRef) override {
        FUZZ_CHECK(opened == 0, "a canvas was opened while another was open");
        ++opened;
        return this;
    }
    void close(Canvas* c) override {
        FUZZ_CHECK(c == this && opened == 1, "close without open");
        --opened;
    }
    void fill_rect(int l, int t, int r, int b, Colour) override {
        ++fills;
        bool ok = false;
        for (int i = 0; i < area_count; ++i) ok = ok || areas[i].holds_rect(l, t, r, b);
        FUZZ_CHECK(ok, "fill (%d,%d,%d,%d) outside the allowed area", l, t, r, b);
    }
    void draw_text(int x, int y, Colour, const char* text, int font_row, int bk_mode, Colour) override {
        text_log[texts % 16] = text;
        ++texts;
        const int h = font_metric(font_row, 1);
        FUZZ_CHECK(h > 0, "font row %d is not in the table", font_row);
        FUZZ_CHECK(bk_mode == 1 || bk_mode == 2, "background mode %d", bk_mode);
        bool ok = false;
        for (int i = 0; i < area_count; ++i)
            ok = ok || (areas[i].holds_point(x, y) && y + h <= areas[i].bottom);
        FUZZ_CHECK(ok, "text at (%d,%d) outside the allowed area: %s", x, y, text);
        const std::size_t len = std::strlen(text);
        FUZZ_CHECK(len < max_text, "text of %zu bytes", len);
        FUZZ_CHECK(sjis_boundary_at(text, len), "text ends in half a character: %s", text);
    }
};

// Sets TZ for the following local-time conversions.
inline void use_time_zone(const char* tz) {
    static std::string current;
    if (current == tz) return;
    current = tz;
    setenv("TZ", tz, 1);
    tzset();
    reset_calendar_memo();
}

// Reads bytes of the input one after the other; past its end every value is 0.
struct InputBytes {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t pos = 0;
    InputBytes(const std::uint8_t* d, std::size_t n) : data(d), size(n) {}
    bool has_more() const { return pos < size; }
    std::uint8_t byte() { return pos < size ? data[pos++] : 0; }
    std::uint32_t u32() {
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v |= (std::uint32_t)byte() << (8 * i);
        return v;
    }
};
