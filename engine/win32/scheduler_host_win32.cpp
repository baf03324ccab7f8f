#include "engine/win32/scheduler_host_win32.h"

#include <windows.h>

#include "reservations/win32/form_commands.h"

void Win32SchedulerHost::post_command(WindowRef dialog, int id) {
    PostMessageW((HWND)dialog, WM_COMMAND, MAKEWPARAM(id, 0), 0);
}

void Win32SchedulerHost::send_command(WindowRef dialog, int id) {
    SendMessageW((HWND)dialog, WM_COMMAND, MAKEWPARAM(id, 0), 0);
}

void Win32SchedulerHost::repaint(WindowRef dialog) { SendMessageW((HWND)dialog, WM_PAINT, 0, 0); }

void Win32SchedulerHost::show_reservation(WindowRef dialog, int index) {
    ::show_reservation((HWND)dialog, index);
}
