// The desktop of capture control on USER32 and KERNEL32.
#pragma once
#include <windows.h>
#include "base/platform.h"

class Win32Desktop : public Desktop {
public:
    WindowRef find_window(const char* window_class, const char* title) override;
    void launch(const char* application, const char* command_line) override;
    void place_at_bottom(WindowRef window, int x, int y) override;
    bool send(WindowRef window, std::uint32_t message) override;
};

// Start-up: picks the capture folder, with the Program Files folder that Windows reports to
// this program as the last place to look.
void choose_capture_folder_win32();
