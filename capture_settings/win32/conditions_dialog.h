// The recording conditions dialog (template 117), opened by the main dialog's
// "録画条件\n設定" with the selected reservation's index as its parameter.
#pragma once
#include <windows.h>

INT_PTR CALLBACK conditions_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
