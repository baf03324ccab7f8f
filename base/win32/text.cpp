#include "base/win32/text.h"

#include <string>

#include "base/sjis.h"

void sjis_to_wide(const char* text, wchar_t* out, int outlen) {
    out[0] = L'\0';
    if (MultiByteToWideChar(kShiftJis, 0, text, -1, out, outlen) > 0) return;
    // Too long for out: convert the longest whole-character prefix that fits. Every
    // Shift-JIS character gives one UTF-16 unit, so outlen - 1 bytes always fit.
    int len = (int)sjis_cut_length(text, (std::size_t)(outlen - 1));
    int n = MultiByteToWideChar(kShiftJis, 0, text, len, out, outlen - 1);
    out[n > 0 ? n : 0] = L'\0';
}

namespace {

void convert_to_sjis(const wchar_t* text, char* out, int outlen, DWORD flags) {
    out[0] = '\0';
    int len = lstrlenW(text);
    while (len >= 0) {
        int need = WideCharToMultiByte(kShiftJis, flags, text, len, nullptr, 0, nullptr, nullptr);
        if (need <= outlen - 1) {
            int n = WideCharToMultiByte(kShiftJis, flags, text, len, out, outlen - 1, nullptr,
                                        nullptr);
            out[n > 0 ? n : 0] = '\0';
            return;
        }
        --len;  // drop whole UTF-16 units until the Shift-JIS form fits
    }
}

}  // namespace

void wide_to_sjis(const wchar_t* text, char* out, int outlen) {
    convert_to_sjis(text, out, outlen, 0);
}

wchar_t typed_form(wchar_t c) {
    // Left: as other programs copy it; right: the character code page 932 maps it to
    // (0x8160, 0x817C, 0x8161, 0x815C, 0x8191, 0x8192, 0x81CA).
    static const wchar_t kForms[][2] = {
        {0x301C, 0xFF5E}, {0x2212, 0xFF0D}, {0x2016, 0x2225}, {0x2014, 0x2015},
        {0x00A2, 0xFFE0}, {0x00A3, 0xFFE1}, {0x00AC, 0xFFE2},
    };
    for (const auto& f : kForms)
        if (f[0] == c) return f[1];
    return c;
}

void wide_to_sjis_typed(const wchar_t* text, char* out, int outlen) {
    // Each character in its code page 932 form; one that code page 932 has not is left
    // out (a "?" or a look-alike in its place would name another file or folder).
    std::wstring forms;
    for (const wchar_t* p = text; *p;) {
        const int units = IS_HIGH_SURROGATE(p[0]) && IS_LOW_SURROGATE(p[1]) ? 2 : 1;
        wchar_t c[2] = {typed_form(p[0]), units == 2 ? p[1] : L'\0'};
        char bytes[8];
        BOOL lost = FALSE;
        const int n = WideCharToMultiByte(kShiftJis, WC_NO_BEST_FIT_CHARS, c, units, bytes,
                                          sizeof(bytes), nullptr, &lost);
        if (n > 0 && !lost) forms.append(c, (std::size_t)units);
        p += units;
    }
    convert_to_sjis(forms.c_str(), out, outlen, WC_NO_BEST_FIT_CHARS);
}
