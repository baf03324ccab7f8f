#include "app/win32/main_dialog.h"

#include <commctrl.h>
#include <shellapi.h>

#include <cstdio>
#include <ctime>
#include <time.h>

#include "app/win32/association.h"
#include "app/win32/forecast_window.h"
#include "app/win32/history_window.h"
#include "app/win32/iepg_import.h"
#include "base/calendar.h"
#include "base/win32/text.h"
#include "capture_settings/win32/conditions_dialog.h"
#include "engine/capture_control.h"
#include "engine/deletion.h"
#include "engine/history.h"
#include "engine/scheduler.h"
#include "engine/wake.h"
#include "reservations/win32/form_commands.h"
#include "resources/resource_ids.h"
#include "view/timetable.h"
#include "view/win32/gdi.h"

namespace {

// The module whose resources made the dialog: the program, or a test program hosting it.
HINSTANCE module_of(HWND dialog) { return (HINSTANCE)GetWindowLongPtrW(dialog, GWLP_HINSTANCE); }

// Posted at initialisation to open the history window after the dialog is shown.
const UINT kShowHistoryMessage = WM_APP + 1;

void initialise(HWND dialog) {
    INITCOMMONCONTROLSEX controls;
    controls.dwSize = sizeof(controls);
    // The up-down class too: the recording conditions dialog's template holds one, and
    // its dialog cannot be created without the class.
    controls.dwICC = ICC_DATE_CLASSES | ICC_UPDOWN_CLASS;
    InitCommonControlsEx(&controls);

    create_form_pickers(dialog);

    recording.capture_window = find_capture_window();
    journal_program_start(std::time(nullptr));
    // The dialog is not shown yet: a message box of the load comes before it.
    load_schedule(reservations.table, (WindowRef)dialog, kScheduleFileName);
    SetTimer(dialog, IDT_RECORDING_TICK, RECORDING_TICK_MS, nullptr);
    create_fonts();
    SetClassLongPtrW(dialog, GCLP_HICON,
                     (LONG_PTR)LoadIconW(module_of(dialog), MAKEINTRESOURCEW(IDI_MAIN)));
    init_form(dialog);
    rearm_wake_timer(std::time(nullptr));

    HMENU system_menu = GetSystemMenu(dialog, FALSE);
    AppendMenuW(system_menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(system_menu, MF_STRING, IDM_HISTORY, Wide("録画履歴(&L)..."));
    AppendMenuW(system_menu, MF_STRING, IDM_FORECAST, Wide("録画予定(&P)..."));
    AppendMenuW(system_menu, MF_STRING, IDM_DELETE, Wide("予約の削除(&D)..."));
    AppendMenuW(system_menu, MF_STRING, IDM_ASSOCIATE, Wide("iEPGの関連付け(&I)..."));
    DragAcceptFiles(dialog, TRUE);
    // What was missed while the program was not running is shown once the dialog is up.
    if (journal_missed_since_last_run(std::time(nullptr)) > 0)
        PostMessageW(dialog, kShowHistoryMessage, 0, 0);
    // A file of the command line, once initialisation is over.
    request_imports(dialog);
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

void paint_panel(HWND dialog) {
    paint_main_panel((WindowRef)dialog, std::time(nullptr), recording.active != 0,
                     recording.status_step, recording.index);
}

bool is_list_pick(WORD code) { return code == CBN_SELCHANGE || code == CBN_CLOSEUP; }

// "予約の削除(&D)...": the reservation selected in the name list, after a question whose
// default is いいえ. The later slots move up; the file is saved; no warning follows.
void delete_selected(HWND dialog) {
    const char caption[] = "予約の削除";
    const int slot = reservations.selected_index;
    if (slot < 0 || slot >= reservations.count) {
        platform.messages->show((WindowRef)dialog, "削除する予約を名前の一覧で選んでください", caption);
        return;
    }
    const char recording_now[] = "録画中の予約は削除できません";
    if (recording.active && recording.index == slot) {
        platform.messages->show((WindowRef)dialog, recording_now, caption);
        return;
    }
    char name[sizeof(Reservation::name) + 1], question[96];
    journal_field_text(name, sizeof(name), reservations.table.slots[slot].name, sizeof(Reservation::name));
    std::snprintf(question, sizeof(question), "「%s」を削除しますか？", name);
    if (MessageBoxW(dialog, Wide(question), Wide(caption), MB_YESNO | MB_DEFBUTTON2) != IDYES) return;
    // The box's loop ran ticks: the reservation may be recording by now.
    const DeleteOutcome outcome = delete_reservation(slot, std::time(nullptr));
    if (outcome == kDeleteRecording) platform.messages->show((WindowRef)dialog, recording_now, caption);
    if (outcome != kDeleted) return;
    save_schedule(reservations.table, (WindowRef)dialog, kScheduleFileName);
    refresh_name_list(dialog, IDC_NAME_LIST);
    SendDlgItemMessageW(dialog, IDC_NAME_LIST, CB_SETCURSEL, (WPARAM)-1, 0);
    EnableWindow(GetDlgItem(dialog, IDC_OPEN_CONDITIONS), FALSE);
    refresh_forecast_window();
}

void command(HWND dialog, WORD id, WORD code) {
    switch (id) {
    case IDC_EXIT:
        journal_program_end();
        close_history_window();
        close_forecast_window();
        delete_fonts();
        EndDialog(dialog, 0);
        return;
    case IDC_REPEAT_MODE:
        if (!is_list_pick(code)) return;
        form_repeat_mode_picked(dialog);
        break;
    case IDC_NAME_LIST:
        if (code == CBN_EDITUPDATE) form_name_edited(dialog);
        if (!is_list_pick(code)) return;  // typing in the name box repaints nothing
        form_name_picked(dialog);
        break;
    case IDC_ADD: {
        forecast_before_save();
        // The form writes slot count; refused with 40 in use, and not in use when unnamed.
        const int slot = reservations.count;
        form_add(dialog);
        rearm_wake_timer(std::time(nullptr));
        warn_after_save(dialog, reservations.count > slot ? slot : -1);
        break;
    }
    case IDC_UPDATE: {
        const int slot = reservations.selected_index;
        const bool saves = slot >= 0 && slot < kMaxReservations;  // as form_update decides
        if (saves) forecast_before_save();
        form_update(dialog);
        rearm_wake_timer(std::time(nullptr));
        if (saves) warn_after_save(dialog, slot);
        break;
    }
    case IDC_COLOUR:
        form_choose_colour(dialog);
        break;
    case IDC_OPEN_CONDITIONS:
        DialogBoxParamW(module_of(dialog), MAKEINTRESOURCEW(IDD_CONDITIONS), dialog,
                        conditions_dialog_proc, (LPARAM)reservations.selected_index);
        break;
    case IDC_CAPTURE_TOGGLE:
        capture_command(&recording.capture_window, kButtonToggle, reservations.selected_index);
        break;
    case IDC_CAPTURE_PLAY:
        capture_command(&recording.capture_window, kButtonPlay, reservations.selected_index);
        break;
    case IDC_CAPTURE_STOP:
        capture_command(&recording.capture_window, kButtonStop, reservations.selected_index);
        break;
    case IDC_CAPTURE_RECORD:
        capture_command(&recording.capture_window, kButtonRecord, reservations.selected_index);
        break;
    default:
        break;
    }
    paint_panel(dialog);
}

}  // namespace

namespace {

int button_of(CaptureRequest request) {
    return request == kRequestRecord ? IDC_CAPTURE_RECORD : IDC_CAPTURE_STOP;
}

}  // namespace

void MainDialogHost::post_request(WindowRef dialog, CaptureRequest request) {
    PostMessageW((HWND)dialog, WM_COMMAND, MAKEWPARAM(button_of(request), 0), 0);
}

void MainDialogHost::send_request(WindowRef dialog, CaptureRequest request) {
    SendMessageW((HWND)dialog, WM_COMMAND, MAKEWPARAM(button_of(request), 0), 0);
}

void MainDialogHost::repaint(WindowRef dialog) { SendMessageW((HWND)dialog, WM_PAINT, 0, 0); }

void MainDialogHost::show_reservation(WindowRef dialog, int index) {
    ::show_reservation((HWND)dialog, index);
}

void on_time_change(HWND dialog) {
    // The zone is read again, and every local time the calendar and the scan keep is
    // worked out anew.
    _tzset();
    reset_calendar_memo();
    reset_schedule_cache();
    rearm_wake_timer(std::time(nullptr));
    refresh_forecast_window();
    InvalidateRect(dialog, nullptr, FALSE);
}

INT_PTR CALLBACK main_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_CTLCOLORSTATIC:
        if (GetDlgCtrlID((HWND)lparam) == IDC_SWATCH_FRAME) {
            HBRUSH brush = swatch_brush((COLORREF)reservations.current_colour);
            if (brush) return (INT_PTR)brush;
        }
        break;
    case WM_INITDIALOG:
        initialise(dialog);
        break;
    case WM_COMMAND:
        command(dialog, LOWORD(wparam), HIWORD(wparam));
        break;
    case WM_TIMER: {
        // A start or stop sequence changes what lies ahead.
        const int was_active = recording.active;
        const std::time_t was_started = recording.started_at;
        check_schedule((WindowRef)dialog, reservations.count, &recording.capture_window,
                       std::time(nullptr));
        if (recording.active != was_active || recording.started_at != was_started)
            refresh_forecast_window();
        paint_clock((WindowRef)dialog, std::time(nullptr));
        follow_history();
        run_queued_imports(dialog);
        break;
    }
    case WM_SYSCOMMAND:
        if ((wparam & 0xFFF0) == IDM_HISTORY) {
            open_history_window(dialog);
            SetWindowLongPtrW(dialog, DWLP_MSGRESULT, 0);
            return TRUE;
        }
        if ((wparam & 0xFFF0) == IDM_FORECAST) {
            open_forecast_window(dialog);
            SetWindowLongPtrW(dialog, DWLP_MSGRESULT, 0);
            return TRUE;
        }
        if ((wparam & 0xFFF0) == IDM_DELETE || (wparam & 0xFFF0) == IDM_ASSOCIATE) {
            if ((wparam & 0xFFF0) == IDM_DELETE)
                delete_selected(dialog);
            else
                associate_iepg_files(dialog);
            paint_panel(dialog);
            SetWindowLongPtrW(dialog, DWLP_MSGRESULT, 0);
            return TRUE;
        }
        break;
    case WM_COPYDATA:
        if (!receive_iepg_copydata(dialog, (const COPYDATASTRUCT*)lparam)) break;
        SetWindowLongPtrW(dialog, DWLP_MSGRESULT, TRUE);
        return TRUE;
    case WM_DROPFILES:
        queue_dropped_files(dialog, (HDROP)wparam);
        break;
    case kIepgImportMessage:
        run_queued_imports(dialog);
        paint_panel(dialog);
        break;
    case kShowHistoryMessage:
        // DialogBox shows the dialog only once its queue is empty: show it first.
        if (!IsWindowVisible(dialog)) ShowWindow(dialog, SW_SHOW);
        open_history_window(dialog);
        break;
    case WM_TIMECHANGE:
        on_time_change(dialog);
        break;
    case WM_POWERBROADCAST:
        // Back from stand-by or hibernation: the clock has jumped.
        if (wparam == PBT_APMRESUMEAUTOMATIC || wparam == PBT_APMRESUMESUSPEND) {
            rearm_wake_timer(std::time(nullptr));
            refresh_forecast_window();
        }
        break;
    case WM_PAINT: {
        // The update region is erased and validated first: left to the dialog manager,
        // its erase would come after the drawing and wipe the panel. The panel is then
        // drawn whole through the window's own device contexts, as after a command.
        PAINTSTRUCT ps;
        BeginPaint(dialog, &ps);
        EndPaint(dialog, &ps);
        paint_panel(dialog);
        return TRUE;
    }
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
