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


// The code page 932 form of Unicode code point c written to out: its length (1 or 2), or
// 0 when the code page has none. ASCII, the half-width katakana and every double-byte
// character; and U+301C, U+2212, U+2016, U+2014, U+00A2, U+00A3 and U+00AC, which other
// programs write for characters that code page 932 keeps under other code points, take
// those forms (0x8160, 0x817C, 0x8161, 0x815C, 0x8191, 0x8192, 0x81CA), as typed text does.
int sjis_of_code_point(unsigned long c, char out[2]);

// UTF-8 text (len bytes, or up to a NUL) as Shift-JIS in out (outsize >= 1): whole
// characters, at most max_bytes (and outsize - 1) of them, the first that does not fit
// ending it. A character that code page 932 has not, and a byte that is not part of a
// well-formed UTF-8 character, are left out. NUL-terminated; returns the length.
std::size_t utf8_to_sjis(const char* text, std::size_t len, char* out, std::size_t outsize,
                         std::size_t max_bytes);
