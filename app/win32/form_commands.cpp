// The form's commands as far as the main dialog needs them today: the name list shows
// the reservations in use, picking one selects it, and the colour button sets the swatch.
#include "app/win32/form_commands.h"

#include "app/app_state.h"
#include "app/win32/text.h"
#include "resources/resource_ids.h"
#include "view/timetable.h"
#include "view/win32/gdi.h"

static void fill_name_list(HWND dialog) {
    HWND list = GetDlgItem(dialog, IDC_NAME_LIST);
    while (SendMessageW(list, CB_GETCOUNT, 0, 0) > 0) SendMessageW(list, CB_DELETESTRING, 0, 0);
    app.reservation_count = count_in_use(app.table);
    for (int i = 0; i < app.reservation_count; ++i) {
        char name[sizeof(app.table.slots[i].name) + 1];
        FIELD_COPY(name, app.table.slots[i], name);
        SendMessageW(list, CB_INSERTSTRING, (WPARAM)i, (LPARAM)(const wchar_t*)Wide(name));
    }
}

void init_form(HWND dialog) {
    fill_name_list(dialog);
    SetWindowPos(dialog, HWND_TOPMOST, 0, 30, 0, 0, SWP_NOSIZE);
}

void form_repeat_mode_picked(HWND) {}

void form_name_picked(HWND dialog) {
    int index = (int)SendDlgItemMessageW(dialog, IDC_NAME_LIST, CB_GETCURSEL, 0, 0);
    if (index < 0 || index >= kMaxReservations) index = -1;
    app.selected_index = index;
    EnableWindow(GetDlgItem(dialog, IDC_OPEN_CONDITIONS), index >= 0);
}

void form_add(HWND) {}

void form_update(HWND) {}

void form_choose_colour(HWND dialog) {
    long colour = choose_colour(dialog);
    if (colour == -1) return;
    app.current_colour = (Colour)colour;
    paint_swatch((WindowRef)dialog, kSwatchRect, app.current_colour);
}
