// The reservation form's controls: moving values between them and the rules of the core.
#include "reservations/win32/form_commands.h"

#include <commctrl.h>
#include <commdlg.h>
#include <cstring>
#include <ctime>

#include "base/win32/text.h"
#include "reservations/form.h"
#include "resources/resource_ids.h"
#include "view/timetable.h"

namespace {

// The four pickers, created with the dialog.
struct FormPickers {
    HWND start_date, start_time, end_date, end_time;
};
FormPickers pickers = {};

// A date picker (long date style, display "yy'/'MM'/'dd' 'ddd") or a time picker (time
// style with up-down arrows, display "HH':'mm':'ss") at client pixels of parent: child,
// visible, bordered, tab stop, no text, control id 0.
HWND create_picker(HWND parent, int x, int y, int width, int height, DWORD kind,
                   const wchar_t* format) {
    HWND picker = CreateWindowExW(0, DATETIMEPICK_CLASSW, nullptr,
                                  WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | kind, x, y, width,
                                  height, parent, (HMENU)0,
                                  (HINSTANCE)GetWindowLongPtrW(parent, GWLP_HINSTANCE), nullptr);
    if (picker) SendMessageW(picker, DTM_SETFORMATW, 0, (LPARAM)format);
    return picker;
}

const wchar_t* const kDateFormat = L"yy'/'MM'/'dd' 'ddd";
const wchar_t* const kTimeFormat = L"HH':'mm':'ss";

// The system colour chooser owned by owner, starting at 0xDCDC78 with 16 black custom
// colours; the chosen COLORREF, or -1 when cancelled.
long choose_colour(HWND owner) {
    COLORREF custom[16];
    std::memset(custom, 0, sizeof(custom));
    CHOOSECOLORW cc;
    std::memset(&cc, 0, sizeof(cc));
    cc.lStructSize = sizeof(cc);
    cc.hwndOwner = owner;
    cc.rgbResult = 0xDCDC78;
    cc.lpCustColors = custom;
    cc.Flags = CC_RGBINIT;
    if (ChooseColorW(&cc)) return (long)cc.rgbResult;
    return -1;
}

void set_picker(HWND picker, const SYSTEMTIME& value) {
    SYSTEMTIME copy = value;
    SendMessageW(picker, DTM_SETSYSTEMTIME, GDT_VALID, (LPARAM)&copy);
}

SYSTEMTIME get_picker(HWND picker) {
    SYSTEMTIME value;
    GetLocalTime(&value);
    SendMessageW(picker, DTM_GETSYSTEMTIME, 0, (LPARAM)&value);
    return value;
}

// The bytes of one character (a UTF-16 unit, or a surrogate pair of two) in code page 932,
// taken in its typed form as the name is stored; 0 when it has no exact form there and
// would be stored as "?" or a look-alike.
int sjis_bytes(const wchar_t* ch, int units) {
    const wchar_t form[2] = {typed_form(ch[0]), units > 1 ? ch[1] : L'\0'};
    char out[4];
    BOOL lossy = FALSE;
    int n = WideCharToMultiByte(kShiftJis, WC_NO_BEST_FIT_CHARS, form, units, out, sizeof(out),
                                nullptr, &lossy);
    return n > 0 && !lossy ? n : 0;
}

void read_form(HWND dialog, FormValues* v) {
    std::memset(v, 0, sizeof(*v));
    wchar_t name[64];
    GetDlgItemTextW(dialog, IDC_NAME_LIST, name, 64);
    wide_to_sjis_typed(name, v->name, sizeof(v->name));
    SYSTEMTIME t = get_picker(pickers.start_date);
    v->start_date = {t.wYear, t.wMonth, t.wDay};
    t = get_picker(pickers.end_date);
    v->end_date = {t.wYear, t.wMonth, t.wDay};
    t = get_picker(pickers.start_time);
    v->start_time = {t.wHour, t.wMinute, t.wSecond};
    t = get_picker(pickers.end_time);
    v->end_time = {t.wHour, t.wMinute, t.wSecond};
    // The list is left without a selection only by a record whose mode is neither entry;
    // store once only, the list's first entry, rather than the -1 of no selection.
    int mode = (int)SendDlgItemMessageW(dialog, IDC_REPEAT_MODE, CB_GETCURSEL, 0, 0);
    v->repeat_mode = mode < 0 ? 0 : mode;
    for (int i = 0; i < 7; ++i)
        v->weekdays[i] =
            SendDlgItemMessageW(dialog, IDC_WEEKDAY_MON + i, BM_GETCHECK, 0, 0) == BST_CHECKED;
    v->colour = reservations.current_colour;
}

}  // namespace

void create_form_pickers(HWND dialog) {
    pickers.start_date = create_picker(dialog, 98, 302, 105, 25, DTS_LONGDATEFORMAT, kDateFormat);
    pickers.start_time = create_picker(dialog, 98, 330, 105, 25, DTS_TIMEFORMAT, kTimeFormat);
    pickers.end_date = create_picker(dialog, 235, 302, 105, 25, DTS_LONGDATEFORMAT, kDateFormat);
    pickers.end_time = create_picker(dialog, 235, 330, 105, 25, DTS_TIMEFORMAT, kTimeFormat);
    EnableWindow(pickers.end_date, FALSE);
}

int clear_list(HWND dialog, int list_id) {
    int count = (int)SendDlgItemMessageW(dialog, list_id, CB_GETCOUNT, 0, 0);
    while (count > 0) {
        SendDlgItemMessageW(dialog, list_id, CB_DELETESTRING, 0, 0);
        count = (int)SendDlgItemMessageW(dialog, list_id, CB_GETCOUNT, 0, 0);
    }
    return count;
}

void refresh_name_list(HWND dialog, int list_id) {
    clear_list(dialog, list_id);
    int n = 0;
    while (n < kMaxReservations && reservations.table.slots[n].name[0] != '\0') {
        char name[sizeof(reservations.table.slots[n].name) + 1];
        FIELD_COPY(name, reservations.table.slots[n], name);
        SendDlgItemMessageW(dialog, list_id, CB_INSERTSTRING, (WPARAM)n,
                            (LPARAM)(const wchar_t*)Wide(name));
        ++n;
    }
    reservations.count = n;
}

void set_mode_controls(HWND dialog, int mode) {
    BOOL enable = mode != 0;
    EnableWindow(pickers.end_date, enable);
    for (int i = 0; i < 7; ++i) EnableWindow(GetDlgItem(dialog, IDC_WEEKDAY_MON + i), enable);
}

void init_form(HWND dialog) {
    // Inserted by position: the list's sorted style does not reorder them, so the index
    // is the stored repeat mode.
    SendDlgItemMessageW(dialog, IDC_REPEAT_MODE, CB_INSERTSTRING, 0,
                        (LPARAM)(const wchar_t*)Wide("一回だけ録画"));
    SendDlgItemMessageW(dialog, IDC_REPEAT_MODE, CB_INSERTSTRING, 1,
                        (LPARAM)(const wchar_t*)Wide("毎週録画"));
    SendDlgItemMessageW(dialog, IDC_REPEAT_MODE, CB_SETCURSEL, 0, 0);
    SendDlgItemMessageW(dialog, IDC_NAME_LIST, CB_LIMITTEXT, kMaxNameBytes, 0);
    // A record keeps the year as two digits of 20yy: a date outside that century would
    // come back as another year, so the date pickers do not offer one.
    SYSTEMTIME range[2];
    std::memset(range, 0, sizeof(range));
    range[0].wYear = 2000;
    range[0].wMonth = 1;
    range[0].wDay = 1;
    range[1].wYear = 2099;
    range[1].wMonth = 12;
    range[1].wDay = 31;
    range[1].wHour = 23;
    range[1].wMinute = 59;
    range[1].wSecond = 59;
    SendMessageW(pickers.start_date, DTM_SETRANGE, GDTR_MIN | GDTR_MAX, (LPARAM)range);
    SendMessageW(pickers.end_date, DTM_SETRANGE, GDTR_MIN | GDTR_MAX, (LPARAM)range);
    set_mode_controls(dialog, 0);
    refresh_name_list(dialog, IDC_NAME_LIST);
    SetWindowPos(dialog, HWND_TOPMOST, 0, 30, 0, 0, SWP_NOSIZE);
}

void show_reservation(HWND dialog, int index) {
    if (index < 0 || index >= kMaxReservations) return;
    FormValues v;
    bool colour_set = false;
    form_values_for(index, std::time(nullptr), &v, &colour_set);
    SetDlgItemTextW(dialog, IDC_NAME_LIST, Wide(v.name));
    // One record carries the current date and time; each picker takes it whole after
    // its own part has been put in.
    SYSTEMTIME t;
    GetLocalTime(&t);
    t.wYear = (WORD)v.start_date.year;
    t.wMonth = (WORD)v.start_date.month;
    t.wDay = (WORD)v.start_date.day;
    set_picker(pickers.start_date, t);
    t.wYear = (WORD)v.end_date.year;
    t.wMonth = (WORD)v.end_date.month;
    t.wDay = (WORD)v.end_date.day;
    set_picker(pickers.end_date, t);
    // The time pickers show only the time; give them today's date, so that a damaged
    // date of the record cannot make them refuse the time.
    SYSTEMTIME today;
    GetLocalTime(&today);
    t.wYear = today.wYear;
    t.wMonth = today.wMonth;
    t.wDay = today.wDay;
    t.wHour = (WORD)v.start_time.hour;
    t.wMinute = (WORD)v.start_time.minute;
    t.wSecond = (WORD)v.start_time.second;
    set_picker(pickers.start_time, t);
    t.wHour = (WORD)v.end_time.hour;
    t.wMinute = (WORD)v.end_time.minute;
    t.wSecond = (WORD)v.end_time.second;
    set_picker(pickers.end_time, t);
    // A mode that is neither entry selects nothing, on every system alike.
    bool listed = v.repeat_mode == 0 || v.repeat_mode == 1;
    SendDlgItemMessageW(dialog, IDC_REPEAT_MODE, CB_SETCURSEL,
                        listed ? (WPARAM)v.repeat_mode : (WPARAM)-1, 0);
    set_mode_controls(dialog, v.repeat_mode);
    if (colour_set) {
        reservations.current_colour = v.colour;
        paint_swatch((WindowRef)dialog, kSwatchRect, v.colour);
    } else {
        paint_swatch((WindowRef)dialog, kSwatchRect, kDefaultColour);
    }
    for (int i = 0; i < 7; ++i)
        SendDlgItemMessageW(dialog, IDC_WEEKDAY_MON + i, BM_SETCHECK,
                            v.weekdays[i] ? BST_CHECKED : BST_UNCHECKED, 0);
}

void store_form(HWND dialog, int index) {
    FormValues v;
    read_form(dialog, &v);
    if (store_form_values(index, v, (WindowRef)dialog) != 0) return;
    refresh_name_list(dialog, IDC_NAME_LIST);
}

void form_repeat_mode_picked(HWND dialog) {
    int mode = (int)SendDlgItemMessageW(dialog, IDC_REPEAT_MODE, CB_GETCURSEL, 0, 0);
    if (mode != CB_ERR) set_mode_controls(dialog, mode);
}

void form_name_picked(HWND dialog) {
    int index = (int)SendDlgItemMessageW(dialog, IDC_NAME_LIST, CB_GETCURSEL, 0, 0);
    if (index < 0 || index >= kMaxReservations) index = -1;
    reservations.selected_index = index;
    if (index < 0) {
        EnableWindow(GetDlgItem(dialog, IDC_OPEN_CONDITIONS), FALSE);
        return;
    }
    show_reservation(dialog, index);
    EnableWindow(GetDlgItem(dialog, IDC_OPEN_CONDITIONS), TRUE);
}

void form_name_edited(HWND dialog) {
    HWND box = GetDlgItem(dialog, IDC_NAME_LIST);
    // Longer than any name that fits: a text cut short by the buffer is cut here anyway.
    wchar_t text[64];
    int len = GetWindowTextW(box, text, 64);
    int caret = HIWORD(SendMessageW(box, CB_GETEDITSEL, 0, 0));
    wchar_t kept[64];
    int n = 0, bytes = 0, kept_caret = 0;
    bool full = false;
    for (int i = 0; i < len;) {
        int units = IS_HIGH_SURROGATE(text[i]) && i + 1 < len && IS_LOW_SURROGATE(text[i + 1]) ? 2 : 1;
        int b = sjis_bytes(text + i, units);
        // The first character that does not fit ends the name; one without a form is left out.
        if (bytes + b > kMaxNameBytes) full = true;
        if (b > 0 && !full) {
            for (int u = 0; u < units; ++u) kept[n++] = text[i + u];
            bytes += b;
        }
        i += units;
        // The caret stays after what it followed, of what is kept.
        if (i <= caret) kept_caret = n;
    }
    // Nothing left out: also what ends the notification that setting the text may bring.
    if (n == len) return;
    kept[n] = L'\0';
    SetWindowTextW(box, kept);
    SendMessageW(box, CB_SETEDITSEL, 0, MAKELPARAM(kept_caret, kept_caret));
}

void form_add(HWND dialog) {
    // A new record starts from zero: nothing of what the slot held before (its power
    // action, say) is left. With 40 in use the slot is refused, yet the unchanged table is
    // still saved.
    if (reservations.count < kMaxReservations) clear_record(reservations.table.slots[reservations.count]);
    store_form(dialog, reservations.count);
    save_schedule(reservations.table, (WindowRef)dialog, kScheduleFileName);
    reservations.selected_index = reservations.count - 1;
    SendDlgItemMessageW(dialog, IDC_NAME_LIST, CB_SETCURSEL, (WPARAM)reservations.selected_index, 0);
    // An empty name added to an empty list leaves nothing selected: nothing to set up.
    EnableWindow(GetDlgItem(dialog, IDC_OPEN_CONDITIONS), reservations.selected_index >= 0);
}

void form_update(HWND dialog) {
    // With nothing selected there is no slot to update: nothing is stored or saved.
    if (reservations.selected_index < 0 || reservations.selected_index >= kMaxReservations) return;
    store_form(dialog, reservations.selected_index);
    save_schedule(reservations.table, (WindowRef)dialog, kScheduleFileName);
    SendDlgItemMessageW(dialog, IDC_NAME_LIST, CB_SETCURSEL, (WPARAM)reservations.selected_index, 0);
}

void form_choose_colour(HWND dialog) {
    long colour = choose_colour(dialog);
    if (colour == -1) return;
    reservations.current_colour = (Colour)colour;
    paint_swatch((WindowRef)dialog, kSwatchRect, reservations.current_colour);
}
