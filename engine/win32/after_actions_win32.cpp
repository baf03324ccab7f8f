#include "engine/win32/after_actions_win32.h"

#include <cstring>
#include "base/win32/text.h"

namespace {

// FILETIME counts 100 ns from 1601; calendar times count seconds from 1970.
const ULONGLONG kTicksPerSecond = 10000000ULL;
const LONGLONG kSecondsFrom1601To1970 = 11644473600LL;

std::int64_t calendar_seconds(const FILETIME& ft) {
    ULARGE_INTEGER t;
    t.LowPart = ft.dwLowDateTime;
    t.HighPart = ft.dwHighDateTime;
    return (std::int64_t)(t.QuadPart / kTicksPerSecond) - kSecondsFrom1601To1970;
}

// The name in Shift-JIS, and whether that is exactly the file's name: a character with
// no Shift-JIS form would otherwise come out as "?" or as a look-alike, naming another file.
void convert_name(const wchar_t* name, char* out, std::size_t outsize, bool* exact) {
    BOOL used_default = FALSE;
    int n = WideCharToMultiByte(kShiftJis, WC_NO_BEST_FIT_CHARS, name, -1, out, (int)outsize,
                                nullptr, &used_default);
    if (n <= 0) {
        wide_to_sjis(name, out, (int)outsize);
        *exact = false;
        return;
    }
    wchar_t back[MAX_PATH + 1];
    int m = MultiByteToWideChar(kShiftJis, MB_ERR_INVALID_CHARS, out, -1, back, MAX_PATH + 1);
    *exact = !used_default && m > 0 && lstrcmpW(back, name) == 0;
}

void fill_found(const WIN32_FIND_DATAW& data, FoundFile* found) {
    found->attributes = data.dwFileAttributes;
    found->creation_time = calendar_seconds(data.ftCreationTime);
    found->last_access_time = calendar_seconds(data.ftLastAccessTime);
    found->last_write_time = calendar_seconds(data.ftLastWriteTime);
    found->size = ((std::uint64_t)data.nFileSizeHigh << 32) | data.nFileSizeLow;
    convert_name(data.cFileName, found->name, sizeof(found->name), &found->name_exact);
}

}  // namespace

int Win32FolderSystem::search_first(const char* pattern, FoundFile* found) {
    search_close();
    WIN32_FIND_DATAW data;
    search_ = FindFirstFileW(Wide(pattern), &data);
    if (search_ == INVALID_HANDLE_VALUE) return -1;
    fill_found(data, found);
    return 0;
}

int Win32FolderSystem::search_next(FoundFile* found) {
    if (search_ == INVALID_HANDLE_VALUE) return -1;
    WIN32_FIND_DATAW data;
    if (!FindNextFileW(search_, &data)) return -1;
    fill_found(data, found);
    return 0;
}

void Win32FolderSystem::search_close() {
    if (search_ != INVALID_HANDLE_VALUE) FindClose(search_);
    search_ = INVALID_HANDLE_VALUE;
}

int Win32FolderSystem::create_folder(const char* path) {
    return CreateDirectoryW(Wide(path), nullptr) ? 0 : -1;
}

int Win32FolderSystem::move_file(const char* from, const char* to) {
    // MoveFileW never replaces an existing file.
    return MoveFileW(Wide(from), Wide(to)) ? 0 : -1;
}

std::int64_t Win32FolderSystem::free_space(const char* folder) {
    ULARGE_INTEGER available;
    if (!GetDiskFreeSpaceExW(Wide(folder), &available, nullptr, nullptr)) return -1;
    return available.QuadPart > (ULONGLONG)INT64_MAX ? INT64_MAX : (std::int64_t)available.QuadPart;
}

int enable_shutdown_privilege() {
    HANDLE token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
        return -1;
    TOKEN_PRIVILEGES privileges;
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    int result = -1;
    if (LookupPrivilegeValueW(nullptr, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid) &&
        AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr) &&
        GetLastError() == ERROR_SUCCESS)
        result = 0;
    CloseHandle(token);
    return result;
}

namespace {
// 0 for a call that succeeded, else its error number (never 0).
int outcome(BOOL ok) {
    if (ok) return 0;
    DWORD error = GetLastError();
    return error ? (int)error : -1;
}
}  // namespace

CountdownEnd Win32PowerRequests::count_down(const char* label, std::uint32_t seconds) {
    return calls_.count_down ? calls_.count_down(label, seconds) : kCountdownNoWindow;
}

std::int64_t Win32PowerRequests::seconds_since_input() {
    return calls_.seconds_since_input ? calls_.seconds_since_input() : -1;
}

// A refusal is reported; the program goes on either way.
int Win32PowerRequests::reboot() {
    calls_.enable_shutdown_privilege();
    return outcome(calls_.exit_windows(EWX_REBOOT, 0));
}

int Win32PowerRequests::shutdown() {
    calls_.enable_shutdown_privilege();
    return outcome(calls_.exit_windows(EWX_SHUTDOWN, 0));
}

int Win32PowerRequests::force_logoff() {
    // EWX_FORCE alone is a log-off (EWX_LOGOFF is 0) that closes applications without asking.
    calls_.enable_shutdown_privilege();
    return outcome(calls_.exit_windows(EWX_FORCE, 0));
}

int Win32PowerRequests::suspend() {
    // TRUE asks for stand-by; FALSE would hibernate.
    calls_.enable_shutdown_privilege();
    return outcome(calls_.set_power_state(TRUE, FALSE));
}

void Win32PowerRequests::keep_awake(bool on) {
    // ES_DISPLAY_REQUIRED is left out: the display may still turn off.
    SetThreadExecutionState(on ? ES_CONTINUOUS | ES_SYSTEM_REQUIRED : ES_CONTINUOUS);
}

int Win32PowerRequests::arm_wake_timer(std::time_t at) {
    if (!timer_) timer_ = CreateWaitableTimerW(nullptr, TRUE, nullptr);
    if (!timer_) return -1;
    // A positive due time is absolute: 100-ns units of UTC since 1601, so a start months
    // away is armed as exactly as one in a minute.
    LARGE_INTEGER due;
    due.QuadPart = ((LONGLONG)at + kSecondsFrom1601To1970) * (LONGLONG)kTicksPerSecond;
    SetLastError(ERROR_SUCCESS);
    if (!SetWaitableTimer(timer_, &due, 0, nullptr, nullptr, TRUE)) return -1;
    // A PC that cannot resume by timer says so through a successful call with this set.
    DWORD error = GetLastError();
    const DWORD kTimerResumeIgnored = 722;
    return error == ERROR_NOT_SUPPORTED || error == kTimerResumeIgnored ? 1 : 0;
}

void Win32PowerRequests::cancel_wake_timer() {
    if (timer_) CancelWaitableTimer(timer_);
}
