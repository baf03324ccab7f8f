// The reservation form's part in the main dialog: what the dialog's initialisation and
// its form commands call, and what the scheduler shows when a recording starts. The main
// dialog repaints after each command itself.
#pragma once
#include <windows.h>

// Creates the form's four date and time pickers in the dialog (start date and time, end
// date and time), the end date disabled.
void create_form_pickers(HWND dialog);
// Prepares the form at initialisation (after the schedule is loaded); last, it makes the
// dialog a topmost window at screen position (0, 30).
void init_form(HWND dialog);
// Rebuilds the name list from the table and sets the count of reservations in use.
void refresh_name_list(HWND dialog, int list_id);
// Empties a combo box's list; returns the last count read (0 or less).
int clear_list(HWND dialog, int list_id);
// Enables the weekly-only controls for a nonzero mode, disables them for 0.
void set_mode_controls(HWND dialog, int mode);
// Fills the form from slot index (the selection is not changed).
void show_reservation(HWND dialog, int index);
// Stores the form into slot index, or refuses with a message for 40 and above.
void store_form(HWND dialog, int index);

// 1073: a repeat mode was picked (selection changed or list closed up).
void form_repeat_mode_picked(HWND dialog);
// 1121: a name was picked (selection changed or list closed up).
void form_name_picked(HWND dialog);
// 1121: the name box's text was changed (typed, given by an input method, pasted). It is
// cut back to what a record stores exactly: characters of code page 932 only, at most
// 20 bytes of it, ending on a whole character.
void form_name_edited(HWND dialog);
// 1085 "新規登録".
void form_add(HWND dialog);
// 1123 "予約更新".
void form_update(HWND dialog);
// 1122 "色".
void form_choose_colour(HWND dialog);
