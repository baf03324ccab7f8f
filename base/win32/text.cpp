#include "base/win32/text.h"

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

void wide_to_sjis(const wchar_t* text, char* out, int outlen) {
    out[0] = '\0';
    int len = lstrlenW(text);
    while (len >= 0) {
        int need = WideCharToMultiByte(kShiftJis, 0, text, len, nullptr, 0, nullptr, nullptr);
        if (need <= outlen - 1) {
            int n = WideCharToMultiByte(kShiftJis, 0, text, len, out, outlen - 1, nullptr, nullptr);
            out[n > 0 ? n : 0] = '\0';
            return;
        }
        --len;  // drop whole UTF-16 units until the Shift-JIS form fits
    }
}
