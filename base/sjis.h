// Shift-JIS (code page 932) helpers for texts stored and drawn by the program.
#pragma once
#include <cstddef>

// True for a byte that starts a double-byte character.
inline bool sjis_lead_byte(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// The length of the longest prefix of text (NUL-terminated, or len bytes when len is
// given) of at most max_bytes that does not end in the first half of a double-byte character.
std::size_t sjis_cut_length(const char* text, std::size_t max_bytes);

// Copies text into out (outsize >= 1) cut to at most max_bytes (and outsize - 1) without
// splitting a double-byte character; always NUL-terminated.
void sjis_copy_cut(char* out, std::size_t outsize, const char* text, std::size_t max_bytes);

// The position of the last "\" in text[0..len) that is a character of its own (not the
// second byte of a double-byte character), or -1.
long sjis_last_backslash(const char* text, std::size_t len);

// The length of the first n bytes of text (or up to a NUL) that does not end in the first
// half of a double-byte character: a lead byte without its second byte within them is left
// out, also one just before the NUL of a damaged text, whose second half is lost (whatever
// follows the text would otherwise become it). Reads nothing past n bytes.
std::size_t sjis_whole_length(const char* text, std::size_t n);

