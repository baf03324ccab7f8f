#include "app/win32/main_dialog.h"

#include <commctrl.h>
#include <ctime>
#include <time.h>

#include "app/app_state.h"
#include "app/win32/form_commands.h"
#include "capture_settings/win32/conditions_dialog.h"
#include "engine/capture_control.h"
#include "engine/scheduler.h"
#include "engine/wake.h"
#include "resources/resource_ids.h"
#include "view/timetable.h"
#include "view/win32/gdi.h"

namespace {

HWND create_picker(HWND parent, int x, int y, int width, int height, DWORD kind,
                   const wchar_t* format) {
    HWND picker = CreateWindowExW(0, DATETIMEPICK_CLASSW, nullptr,
                                  WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | kind, x, y, width,
                                  height, parent, (HMENU)0, (HINSTANCE)app.instance, nullptr);
    if (picker) SendMessageW(picker, DTM_SETFORMATW, 0, (LPARAM)format);
    return picker;
}

void initialise(HWND dialog) {
    app.main_dialog = (WindowRef)dialog;
    INITCOMMONCONTROLSEX controls;
    controls.dwSize = sizeof(controls);
    // The up-down class too: the recording conditions dialog's template holds one, and
    // its dialog cannot be created without the class.
    controls.dwICC = ICC_DATE_CLASSES | ICC_UPDOWN_CLASS;
    InitCommonControlsEx(&controls);

    app.start_date_picker = (WindowRef)create_date_picker(dialog, 98, 302, 105, 25);
    app.start_time_picker = (WindowRef)create_time_picker(dialog, 98, 330, 105, 25);
    app.end_date_picker = (WindowRef)create_date_picker(dialog, 235, 302, 105, 25);
    app.end_time_picker = (WindowRef)create_time_picker(dialog, 235, 330, 105, 25);
    EnableWindow((HWND)app.end_date_picker, FALSE);

    app.capture_window = find_capture_window();
    // The dialog is not shown yet: a message box of the load comes before it.
    load_schedule(app.table, (WindowRef)dialog, kScheduleFileName);
    SetTimer(dialog, IDT_RECORDING_TICK, RECORDING_TICK_MS, nullptr);
    create_fonts();
    SetClassLongPtrW(dialog, GCLP_HICON,
                     (LONG_PTR)LoadIconW((HINSTANCE)app.instance, MAKEINTRESOURCEW(IDI_MAIN)));
    init_form(dialog);
    rearm_wake_timer(std::time(nullptr));
}

// The swatch lies inside its sunken frame, a static control that fills its client area
// whenever it repaints, after the dialog has painted; it is filled with the swatch's colour
// so that a repaint never leaves the swatch blank until the next command.
HBRUSH swatch_brush(COLORREF colour) {
    static HBRUSH brush = nullptr;
    static COLORREF brush_colour = 0;
    if (!brush || brush_colour != colour) {
        HBRUSH fresh = CreateSolidBrush(colour);
        if (!fresh) return brush;
        if (brush) DeleteObject(brush);
        brush = fresh;
        brush_colour = colour;
    }
    return brush;
}

bool is_list_pick(WORD code) { return code == CBN_SELCHANGE || code == CBN_CLOSEUP; }

void command(HWND dialog, WORD id, WORD code) {
    switch (id) {
    case IDC_EXIT:
        delete_fonts();
        EndDialog(dialog, 0);
        return;
    case IDC_REPEAT_MODE:
        if (!is_list_pick(code)) return;
        form_repeat_mode_picked(dialog);
        break;
    case IDC_NAME_LIST:
        if (!is_list_pick(code)) return;  // typing in the name box changes nothing
        form_name_picked(dialog);
        break;
    case IDC_ADD:
        form_add(dialog);
        rearm_wake_timer(std::time(nullptr));
        break;
    case IDC_UPDATE:
        form_update(dialog);
        rearm_wake_timer(std::time(nullptr));
        break;
    case IDC_COLOUR:
        form_choose_colour(dialog);
        break;
    case IDC_OPEN_CONDITIONS:
        DialogBoxParamW((HINSTANCE)app.instance, MAKEINTRESOURCEW(IDD_CONDITIONS), dialog,
                        conditions_dialog_proc, (LPARAM)app.selected_index);
        break;
    case IDC_CAPTURE_TOGGLE:
    case IDC_CAPTURE_PLAY:
    case IDC_CAPTURE_STOP:
    case IDC_CAPTURE_RECORD:
        capture_command(&app.capture_window, id, app.selected_index);
        break;
    default:
        break;
    }
    paint_main_panel((WindowRef)dialog, std::time(nullptr));
}

}  // namespace

void on_time_change(HWND dialog) {
    // The zone is read again, and every local time the scan keeps is worked out anew.
    _tzset();
    reset_schedule_cache();
    rearm_wake_timer(std::time(nullptr));
    InvalidateRect(dialog, nullptr, FALSE);
}

HWND create_date_picker(HWND parent, int x, int y, int width, int height) {
    return create_picker(parent, x, y, width, height, DTS_LONGDATEFORMAT,
                         L"yy'/'MM'/'dd' 'ddd");
}

HWND create_time_picker(HWND parent, int x, int y, int width, int height) {
    return create_picker(parent, x, y, width, height, DTS_TIMEFORMAT, L"HH':'mm':'ss");
}

INT_PTR CALLBACK main_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_CTLCOLORSTATIC:
        if (GetDlgCtrlID((HWND)lparam) == IDC_SWATCH_FRAME) {
            HBRUSH brush = swatch_brush((COLORREF)app.current_colour);
            if (brush) return (INT_PTR)brush;
        }
        break;
    case WM_INITDIALOG:
        initialise(dialog);
        break;
    case WM_COMMAND:
        command(dialog, LOWORD(wparam), HIWORD(wparam));
        break;
    case WM_TIMER:
        check_schedule((WindowRef)dialog, app.reservation_count, &app.capture_window,
                       std::time(nullptr));
        paint_clock((WindowRef)dialog, std::time(nullptr));
        break;
    case WM_TIMECHANGE:
        on_time_change(dialog);
        break;
    case WM_POWERBROADCAST:
        // Back from stand-by or hibernation: the clock has jumped.
        if (wparam == PBT_APMRESUMEAUTOMATIC || wparam == PBT_APMRESUMESUSPEND)
            rearm_wake_timer(std::time(nullptr));
        break;
    case WM_PAINT:
        // Drawn through the window's own device contexts; the dialog manager then
        // validates the update region.
        paint_main_panel((WindowRef)dialog, std::time(nullptr));
        break;
    case WM_SETFOCUS:
    case WM_ENABLE: {
        RECT panel = {kTimetableRect.left, kTimetableRect.top, kTimetableRect.right,
                      kTimetableRect.bottom};
        InvalidateRect(dialog, &panel, FALSE);
        break;
    }
    default:
        break;
    }
    return FALSE;
}
