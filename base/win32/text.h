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

// A fixed-size UTF-16 copy of a Shift-JIS text, for passing to a W function.
struct Wide {
    wchar_t text[1024];
    explicit Wide(const char* sjis) { sjis_to_wide(sjis, text, 1024); }
    operator const wchar_t*() const { return text; }
};
