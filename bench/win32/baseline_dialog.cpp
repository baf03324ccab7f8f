// The smallest program comparable with tavrel.exe: one modal dialog that paints a frame
// where tavrel.exe paints its timetable's frame. Start-up time and memory are measured
// against it.
#include <windows.h>

static INT_PTR CALLBACK baseline_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
    if (message == WM_PAINT) {
        HDC dc = GetDC(dialog);
        HBRUSH brush = CreateSolidBrush(0x909090);
        RECT frame = {7, 7, 518, 253};
        FillRect(dc, &frame, brush);
        DeleteObject(brush);
        ReleaseDC(dialog, dc);
    } else if (message == WM_COMMAND && LOWORD(wparam) == IDCANCEL) {
        EndDialog(dialog, 0);
    }
    return FALSE;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    DialogBoxParamW(instance, MAKEINTRESOURCEW(100), nullptr, baseline_proc, 0);
    return 0;
}
