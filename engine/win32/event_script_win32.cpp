#include "engine/win32/event_script_win32.h"

#include <windows.h>

#include <algorithm>
#include <cwchar>
#include "base/win32/text.h"

namespace {

// The environment block handed to the script; an environment that does not fit is an
// error of its own rather than a cut one.
const std::size_t kBlockUnits = 64 * 1024;
const int kEntriesMax = 4096;
const int kVariablesMax = 16;
const std::size_t kVariableUnits = 2048;

struct ScriptBuffers {
    wchar_t block[kBlockUnits];
    wchar_t added[kVariablesMax][kVariableUnits];  // "NAME=value"
    const wchar_t* entries[kEntriesMax];
};
ScriptBuffers buffers;

// The length of an entry's name: up to its "=", past a leading one ("=C:=C:\...").
std::size_t name_length(const wchar_t* entry) {
    const wchar_t* eq = entry[0] ? std::wcschr(entry + 1, L'=') : nullptr;
    return eq ? (std::size_t)(eq - entry) : std::wcslen(entry);
}

// Names compare as Windows compares them, ignoring case: each character upper-cased.
// (CharUpperW takes a single character in the low word of its pointer.)
int compare_names(const wchar_t* a, std::size_t a_len, const wchar_t* b, std::size_t b_len) {
    for (std::size_t i = 0; i < a_len && i < b_len; ++i) {
        const UINT_PTR x = (UINT_PTR)CharUpperW((LPWSTR)(UINT_PTR)a[i]) & 0xFFFF;
        const UINT_PTR y = (UINT_PTR)CharUpperW((LPWSTR)(UINT_PTR)b[i]) & 0xFFFF;
        if (x != y) return x < y ? -1 : 1;
    }
    return a_len == b_len ? 0 : a_len < b_len ? -1 : 1;
}

bool same_name(const wchar_t* a, std::size_t a_len, const wchar_t* b, std::size_t b_len) {
    return compare_names(a, a_len, b, b_len) == 0;
}

// Windows keeps a block sorted by name, ignoring case.
bool name_before(const wchar_t* a, const wchar_t* b) {
    return compare_names(a, name_length(a), b, name_length(b)) < 0;
}

// The program's environment less the variables' names, then those with a value, sorted;
// false when it does not fit.
bool make_block(const ScriptVariable* vars, int count) {
    if (count > kVariablesMax) return false;
    int n = 0;
    for (int v = 0; v < count; ++v) {
        wchar_t* entry = buffers.added[v];
        sjis_to_wide(vars[v].name, entry, (int)kVariableUnits - 2);
        const std::size_t len = std::wcslen(entry);
        entry[len] = L'=';
        sjis_to_wide(vars[v].value, entry + len + 1, (int)(kVariableUnits - len - 1));
    }
    wchar_t* inherited = GetEnvironmentStringsW();
    bool fits = true;
    for (const wchar_t* e = inherited; e && *e; e += std::wcslen(e) + 1) {
        bool replaced = false;
        for (int v = 0; v < count; ++v)
            replaced = replaced || same_name(e, name_length(e), buffers.added[v],
                                             name_length(buffers.added[v]));
        if (replaced) continue;
        if (n == kEntriesMax) fits = false;
        if (!fits) break;
        buffers.entries[n++] = e;
    }
    for (int v = 0; v < count && fits; ++v) {
        const wchar_t* entry = buffers.added[v];
        // An empty value leaves the variable out, as cmd's own "set NAME=" does.
        if (entry[name_length(entry) + 1] == L'\0') continue;
        if (n == kEntriesMax) fits = false;
        else buffers.entries[n++] = entry;
    }
    std::size_t at = 0;
    if (fits) {
        std::sort(buffers.entries, buffers.entries + n, name_before);
        for (int i = 0; i < n && fits; ++i) {
            const std::size_t len = std::wcslen(buffers.entries[i]) + 1;
            fits = at + len + 1 <= kBlockUnits;
            if (fits) std::wmemcpy(buffers.block + at, buffers.entries[i], len);
            at += len;
        }
    }
    if (inherited) FreeEnvironmentStringsW(inherited);
    if (!fits) return false;
    // An empty block still ends with two NULs.
    if (at == 0) buffers.block[at++] = L'\0';
    buffers.block[at] = L'\0';
    return true;
}

}  // namespace

int Win32Scripts::start(const char* script, const ScriptVariable* vars, int count) {
    wchar_t cmd[MAX_PATH + 16];
    const UINT system_len = GetSystemDirectoryW(cmd, MAX_PATH);
    if (system_len == 0 || system_len >= MAX_PATH) return (int)GetLastError();
    std::wcscat(cmd, L"\\cmd.exe");
    static wchar_t line[MAX_PATH + 64];
    std::swprintf(line, sizeof(line) / sizeof(line[0]), L"cmd.exe /d /v:off /s /c \".\\%ls\"",
                  (const wchar_t*)Wide(script));
    if (!make_block(vars, count)) return ERROR_NOT_ENOUGH_MEMORY;
    STARTUPINFOW startup;
    ZeroMemory(&startup, sizeof(startup));
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process;
    ZeroMemory(&process, sizeof(process));
    if (!CreateProcessW(cmd, line, nullptr, nullptr, FALSE,
                        CREATE_NO_WINDOW | CREATE_UNICODE_ENVIRONMENT, buffers.block, nullptr,
                        &startup, &process))
        return (int)GetLastError();
    // Never waited for.
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 0;
}
