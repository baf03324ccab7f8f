// The after-recording actions' file system and power requests on Win32.
#pragma once
#include <windows.h>
#include "base/platform.h"

// Directory search, folder creation and file moves through the W calls; paths are
// Shift-JIS in the program and converted with code page 932 at each call.
class Win32FolderSystem : public FolderSystem {
public:
    int search_first(const char* pattern, FoundFile* found) override;
    int search_next(FoundFile* found) override;
    void search_close() override;
    int create_folder(const char* path) override;
    int move_file(const char* from, const char* to) override;
    std::int64_t free_space(const char* folder) override;
private:
    HANDLE search_ = INVALID_HANDLE_VALUE;
};

// The system calls behind the power requests; the real ones unless a test puts its own.
struct PowerCalls {
    BOOL(WINAPI* exit_windows)(UINT flags, DWORD reason);
    BOOL(WINAPI* set_power_state)(BOOL suspend, BOOL force);
    int (*enable_shutdown_privilege)();
    // The countdown window and the time since the last input; null for none (a test's).
    CountdownEnd (*count_down)(const char* label, std::uint32_t seconds);
    std::int64_t (*seconds_since_input)();
};

// Enables the shutdown privilege in the process token, without which NT refuses both
// ExitWindowsEx's restart and shutdown and the power-state request. 0, or -1.
int enable_shutdown_privilege();

class Win32PowerRequests : public PowerRequests {
public:
    explicit Win32PowerRequests(const PowerCalls& calls) : calls_(calls) {}
    int reboot() override;
    int shutdown() override;
    int force_logoff() override;
    int suspend() override;
    void keep_awake(bool on) override;
    int arm_wake_timer(std::time_t at) override;
    void cancel_wake_timer() override;
    CountdownEnd count_down(const char* label, std::uint32_t seconds) override;
    std::int64_t seconds_since_input() override;
    // The wake-up timer (a manual-reset waitable timer), null until first armed.
    HANDLE wake_timer() const { return timer_; }
private:
    PowerCalls calls_;
    HANDLE timer_ = nullptr;
};
