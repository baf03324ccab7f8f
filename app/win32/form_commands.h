// The reservation form's part in the main dialog: what the dialog's initialisation and
// its form commands call. The main dialog repaints after each command itself.
#pragma once
#include <windows.h>

// Prepares the form at initialisation (after the schedule is loaded); last, it makes the
// dialog a topmost window at screen position (0, 30).
void init_form(HWND dialog);
// 1073: a repeat mode was picked (selection changed or list closed up).
void form_repeat_mode_picked(HWND dialog);
// 1121: a name was picked (selection changed or list closed up).
void form_name_picked(HWND dialog);
// 1085 "新規登録".
void form_add(HWND dialog);
// 1123 "予約更新".
void form_update(HWND dialog);
// 1122 "色".
void form_choose_colour(HWND dialog);
