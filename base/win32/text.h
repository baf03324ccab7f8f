// Shift-JIS <-> UTF-16 at the Win32 calls, always with code page 932 so that the
// Japanese texts show correctly whatever the system's ANSI code page is.
#pragma once
#include <windows.h>

const UINT kShiftJis = 932;

// Converts NUL-terminated Shift-JIS to UTF-16 in out (outlen wide chars, >= 1); cut to fit.
void sjis_to_wide(const char* text, wchar_t* out, int outlen);
// Converts NUL-terminated UTF-16 to Shift-JIS in out (outlen bytes, >= 1); never splits a
// double-byte character when cutting.
void wide_to_sjis(const wchar_t* text, char* out, int outlen);

// The character as code page 932 holds it: text copied from other programs often carries
// the standard form of a character that Windows' Japanese code page keeps under another
// code point (U+301C WAVE DASH for U+FF5E, U+2212 MINUS SIGN for U+FF0D, ...). Every other
// character is returned as it is. Only for what the user types or pastes: a file's or
// folder's existing name must be converted unchanged, or it would name another file.
wchar_t typed_form(wchar_t c);
// wide_to_sjis for text the user typed or pasted: each character in its typed_form, and
// never a best-fit look-alike ("é" is not "e"); a character without a form is left out.
void wide_to_sjis_typed(const wchar_t* text, char* out, int outlen);

// A fixed-size UTF-16 copy of a Shift-JIS text, for passing to a W function.
struct Wide {
    wchar_t text[1024];
    explicit Wide(const char* sjis) { sjis_to_wide(sjis, text, 1024); }
    operator const wchar_t*() const { return text; }
};
