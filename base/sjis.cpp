#include "base/sjis.h"

#include <cstring>

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
