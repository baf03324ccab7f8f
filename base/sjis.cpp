#include "base/sjis.h"

#include <cstring>

#include "base/sjis_table.h"

std::size_t sjis_cut_length(const char* text, std::size_t max_bytes) {
    std::size_t i = 0;
    while (text[i] != '\0') {
        std::size_t step = 1;
        if (sjis_lead_byte((unsigned char)text[i]) && text[i + 1] != '\0') step = 2;
        if (i + step > max_bytes) break;
        i += step;
    }
    return i;
}

void sjis_copy_cut(char* out, std::size_t outsize, const char* text, std::size_t max_bytes) {
    if (max_bytes > outsize - 1) max_bytes = outsize - 1;
    std::size_t n = sjis_cut_length(text, max_bytes);
    std::memmove(out, text, n);
    out[n] = '\0';
}

long sjis_last_backslash(const char* text, std::size_t len) {
    long last = -1;
    std::size_t i = 0;
    while (i < len) {
        unsigned char c = (unsigned char)text[i];
        if (sjis_lead_byte(c) && i + 1 < len) {
            i += 2;
            continue;
        }
        if (c == '\\') last = (long)i;
        ++i;
    }
    return last;
}

std::size_t sjis_whole_length(const char* text, std::size_t n) {
    std::size_t i = 0;
    while (i < n && text[i] != '\0') {
        if (sjis_lead_byte((unsigned char)text[i])) {
            if (i + 1 >= n || text[i + 1] == '\0') break;
            i += 2;
        } else {
            ++i;
        }
    }
    return i;
}

int sjis_of_code_point(unsigned long c, char out[2]) {
    if (c <= 0x7F) {
        out[0] = (char)c;
        return 1;
    }
    if (c >= 0xFF61 && c <= 0xFF9F) {  // half-width katakana
        out[0] = (char)(c - 0xFF61 + 0xA1);
        return 1;
    }
    unsigned code = 0;
    if (c >= 0xE000 && c <= 0xE757) {
        // The user-defined area: 188 characters a lead byte from 0xF040, trail 0x7F skipped.
        const unsigned i = (unsigned)(c - 0xE000);
        const unsigned trail = 0x40 + i % 188;
        code = ((0xF0 + i / 188) << 8) | (trail >= 0x7F ? trail + 1 : trail);
    } else if (c <= 0xFFFF) {
        std::size_t lo = 0, hi = kSjisTablePairs;
        while (lo < hi) {
            const std::size_t mid = lo + (hi - lo) / 2;
            if (kSjisTable[2 * mid] < c)
                lo = mid + 1;
            else
                hi = mid;
        }
        if (lo < kSjisTablePairs && kSjisTable[2 * lo] == c) code = kSjisTable[2 * lo + 1];
    }
    if (code == 0) return 0;
    out[0] = (char)(code >> 8);
    out[1] = (char)(code & 0xFF);
    return 2;
}

namespace {

// The code point of the well-formed UTF-8 character at text[0..len), and its length in
// *used; 0 with *used 1 for a byte that begins none (overlong forms, surrogates and
// values past U+10FFFF are no characters).
unsigned long utf8_character(const unsigned char* text, std::size_t len, std::size_t* used) {
    *used = 1;
    const unsigned c = text[0];
    std::size_t n;
    unsigned long v, least;
    if (c < 0x80) return c;
    if (c >= 0xC2 && c <= 0xDF) {
        n = 2, v = c & 0x1F, least = 0x80;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3, v = c & 0x0F, least = 0x800;
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4, v = c & 0x07, least = 0x10000;
    } else {
        return 0;
    }
    if (n > len) return 0;
    for (std::size_t i = 1; i < n; ++i) {
        if ((text[i] & 0xC0) != 0x80) return 0;
        v = (v << 6) | (text[i] & 0x3F);
    }
    if (v < least || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF)) return 0;
    *used = n;
    return v;
}

}  // namespace

std::size_t utf8_to_sjis(const char* text, std::size_t len, char* out, std::size_t outsize,
                         std::size_t max_bytes) {
    if (max_bytes > outsize - 1) max_bytes = outsize - 1;
    const unsigned char* in = (const unsigned char*)text;
    std::size_t n = 0;
    for (std::size_t i = 0; i < len && in[i] != 0;) {
        std::size_t used;
        const unsigned long c = utf8_character(in + i, len - i, &used);
        i += used;
        char form[2];
        const int bytes = c == 0 ? 0 : sjis_of_code_point(c, form);
        if (bytes == 0) continue;
        if (n + (std::size_t)bytes > max_bytes) break;
        std::memcpy(out + n, form, (std::size_t)bytes);
        n += (std::size_t)bytes;
    }
    out[n] = '\0';
    return n;
}
