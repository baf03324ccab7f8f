#include "capture_settings/win32/conditions_dialog.h"

#include <commctrl.h>
#include <cstdio>

#include "base/win32/text.h"
#include "capture_settings/conditions.h"
#include "reservations/reservation.h"
#include "resources/resource_ids.h"

namespace {

// What the open dialog works on (the dialog is modal: one at a time).
struct ConditionsDialogState {
    int edited_index;  // the reservation it edits
    // A numeric edit's whole text, up to what a single-line edit takes from the keyboard
    // (32767 characters), so that long digit runs reach the parser and are limited there.
    wchar_t number_wide[32768];
    char number_text[2 * 32768];
};
ConditionsDialogState state = {-1, {0}, {0}};

// The format radio buttons in stream_format order 1..4.
const int kFormatButtons[4] = {IDC_FORMAT_PS, IDC_FORMAT_VES_AES, IDC_FORMAT_VES,
                               IDC_FORMAT_AVI};

// Entries go in by position, never sorted: the position is the value stored.
void fill_list(HWND dialog, int id, const char* const* texts, int count) {
    HWND list = GetDlgItem(dialog, id);
    SendMessageW(list, CB_RESETCONTENT, 0, 0);
    for (int i = 0; i < count; ++i)
        SendMessageW(list, CB_INSERTSTRING, (WPARAM)i, (LPARAM)(const wchar_t*)Wide(texts[i]));
}

// -1 leaves the list without a selection.
void select_position(HWND dialog, int id, int position) {
    SendDlgItemMessageW(dialog, id, CB_SETCURSEL, (WPARAM)position, 0);
}

int selected_position(HWND dialog, int id) {
    return (int)SendDlgItemMessageW(dialog, id, CB_GETCURSEL, 0, 0);
}

int list_count(HWND dialog, int id) {
    return (int)SendDlgItemMessageW(dialog, id, CB_GETCOUNT, 0, 0);
}

void set_number(HWND dialog, int id, long long value) {
    char text[32];
    std::snprintf(text, sizeof(text), "%lld", value);
    SetDlgItemTextW(dialog, id, Wide(text));
}

void set_check(HWND dialog, int id, bool checked) {
    SendDlgItemMessageW(dialog, id, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool is_checked(HWND dialog, int id) {
    return SendDlgItemMessageW(dialog, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

const int kNumberTextChars = sizeof(ConditionsDialogState::number_wide) / sizeof(wchar_t);

long long read_entry(HWND dialog, int id, bool allow_minus) {
    state.number_wide[0] = L'\0';
    GetDlgItemTextW(dialog, id, state.number_wide, kNumberTextChars);
    wide_to_sjis_typed(state.number_wide, state.number_text, (int)sizeof(state.number_text));
    return allow_minus ? parse_signed_entry(state.number_text) : parse_unsigned_entry(state.number_text);
}

void show_lists(HWND dialog, const ConditionsLists& lists) {
    fill_list(dialog, IDC_SAMPLE_RATE, sample_rate_texts, kSampleRateCount);
    fill_list(dialog, IDC_AUDIO_BITRATE, audio_bitrate_texts, kAudioBitrateCount);
    if (lists.mpeg1) {
        fill_list(dialog, IDC_RECORD_SIZE, record_size_240_texts, kRecordSize240Count);
    } else {
        fill_list(dialog, IDC_RECORD_SIZE, record_size_480_texts, kRecordSize480Count);
        fill_list(dialog, IDC_GOP_PATTERN, gop_pattern_texts, kGopPatternCount);
    }
    select_position(dialog, IDC_SAMPLE_RATE, lists.sample_rate);
    select_position(dialog, IDC_AUDIO_BITRATE, lists.audio_bitrate);
    select_position(dialog, IDC_RECORD_SIZE, lists.record_size);
    set_number(dialog, IDC_VIDEO_BITRATE, lists.video_bitrate);
}

void fill_lists(HWND dialog, int index, bool mpeg1) {
    ConditionsLists lists;
    if (conditions_lists_for(index, mpeg1, &lists)) show_lists(dialog, lists);
}

void update_folder_counter(HWND dialog) {
    // Up to 254 characters are at most 508 bytes; the counter stops at 254 bytes.
    wchar_t wide[kFolderCounterMaxBytes + 1];
    char text[2 * kFolderCounterMaxBytes + 2];
    wide[0] = L'\0';
    GetDlgItemTextW(dialog, IDC_MOVE_FOLDER, wide, (int)(kFolderCounterMaxBytes + 1));
    wide_to_sjis_typed(wide, text, (int)sizeof(text));
    set_number(dialog, IDC_FOLDER_LENGTH, folder_counter_value(text));
}

void read_form(HWND dialog, ConditionsForm* form) {
    ConditionsLists& lists = form->lists;
    // Which record-size list is shown depends on the MPEG-1 box's last click.
    lists.mpeg1 = list_count(dialog, IDC_RECORD_SIZE) == kRecordSize240Count;
    lists.sample_rate = selected_position(dialog, IDC_SAMPLE_RATE);
    lists.audio_bitrate = selected_position(dialog, IDC_AUDIO_BITRATE);
    lists.record_size = selected_position(dialog, IDC_RECORD_SIZE);
    lists.video_bitrate = read_entry(dialog, IDC_VIDEO_BITRATE, false);

    form->gop_list_filled = list_count(dialog, IDC_GOP_PATTERN) == kGopPatternCount;
    form->gop_pattern = selected_position(dialog, IDC_GOP_PATTERN);
    form->after_action = selected_position(dialog, IDC_AFTER_ACTION);
    form->after_delay = read_entry(dialog, IDC_AFTER_DELAY, false);
    form->brightness = read_entry(dialog, IDC_BRIGHTNESS, true);
    form->contrast = read_entry(dialog, IDC_CONTRAST, true);
    form->saturation = read_entry(dialog, IDC_SATURATION, true);
    form->hue = read_entry(dialog, IDC_HUE, true);

    // More than the 126 stored bytes, so that the core makes the cut.
    wchar_t folder[kMoveFolderMaxBytes + 2];
    folder[0] = L'\0';
    GetDlgItemTextW(dialog, IDC_MOVE_FOLDER, folder, (int)(kMoveFolderMaxBytes + 2));
    wide_to_sjis_typed(folder, form->move_folder, (int)sizeof(form->move_folder));

    form->vbr = is_checked(dialog, IDC_VBR);
    form->use_conditions = is_checked(dialog, IDC_USE_CONDITIONS);
    form->use_quality = is_checked(dialog, IDC_USE_QUALITY);
    form->move_after_record = is_checked(dialog, IDC_MOVE_AFTER_RECORD);
    form->use_gop = is_checked(dialog, IDC_USE_GOP);
    form->mpeg1_checked = is_checked(dialog, IDC_MPEG1);
    form->mpeg1_enabled = IsWindowEnabled(GetDlgItem(dialog, IDC_MPEG1)) != FALSE;
    form->change_format = is_checked(dialog, IDC_CHANGE_FORMAT);
    form->format_button = 0;
    for (int i = 0; i < 4; ++i)
        if (form->format_button == 0 && is_checked(dialog, kFormatButtons[i]))
            form->format_button = i + 1;
}

}  // namespace

void fill_mpeg1_lists(HWND dialog, int index) { fill_lists(dialog, index, true); }

void fill_mpeg2_lists(HWND dialog, int index) { fill_lists(dialog, index, false); }

void init_conditions_dialog(HWND dialog, int index) {
    ConditionsForm form;
    if (!conditions_form_for(index, mpeg1_available(), &form)) return;

    fill_list(dialog, IDC_AFTER_ACTION, after_action_texts, kAfterActionCount);
    select_position(dialog, IDC_AFTER_ACTION, form.after_action);
    set_number(dialog, IDC_AFTER_DELAY, form.after_delay);
    show_lists(dialog, form.lists);
    SendDlgItemMessageW(dialog, IDC_BITRATE_SPIN, UDM_SETRANGE, 0,
                        MAKELPARAM(kBitrateSpinMax, kBitrateSpinMin));

    SetDlgItemTextW(dialog, IDC_MOVE_FOLDER, Wide(form.move_folder));
    update_folder_counter(dialog);
    set_number(dialog, IDC_BRIGHTNESS, form.brightness);
    set_number(dialog, IDC_CONTRAST, form.contrast);
    set_number(dialog, IDC_SATURATION, form.saturation);
    set_number(dialog, IDC_HUE, form.hue);

    set_check(dialog, IDC_VBR, form.vbr);
    set_check(dialog, IDC_USE_CONDITIONS, form.use_conditions);
    set_check(dialog, IDC_MOVE_AFTER_RECORD, form.move_after_record);
    set_check(dialog, IDC_USE_QUALITY, form.use_quality);
    set_check(dialog, IDC_USE_GOP, form.use_gop);

    select_position(dialog, IDC_GOP_PATTERN, form.gop_pattern);

    set_check(dialog, IDC_CHANGE_FORMAT, form.change_format);
    for (int i = 0; i < 4; ++i) set_check(dialog, kFormatButtons[i], form.format_button == i + 1);

    EnableWindow(GetDlgItem(dialog, IDC_MPEG1), form.mpeg1_enabled);
    set_check(dialog, IDC_MPEG1, form.mpeg1_checked);
}

INT_PTR CALLBACK conditions_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_INITDIALOG: {
        int index = (int)lparam;
        // No reservation selected: there is nothing to edit.
        if (index < 0 || index >= kMaxReservations) {
            EndDialog(dialog, 0);
            break;
        }
        state.edited_index = index;
        init_conditions_dialog(dialog, index);
        break;
    }
    case WM_COMMAND:
        switch (LOWORD(wparam)) {
        case IDC_STORE: {
            ConditionsForm form;
            read_form(dialog, &form);
            store_conditions(state.edited_index, form);
            EndDialog(dialog, 0);
            break;
        }
        case IDC_DONT_STORE:  // also Escape, and Enter: it is the default push button
            EndDialog(dialog, 0);
            break;
        case IDC_MPEG1:
            if (HIWORD(wparam) != BN_CLICKED) break;
            if (is_checked(dialog, IDC_MPEG1))
                fill_mpeg1_lists(dialog, state.edited_index);
            else
                fill_mpeg2_lists(dialog, state.edited_index);
            break;
        case IDC_MOVE_FOLDER:
            update_folder_counter(dialog);
            break;
        default:
            break;
        }
        break;
    default:
        break;
    }
    return FALSE;
}
