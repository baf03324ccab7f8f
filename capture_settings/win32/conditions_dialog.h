// The recording conditions dialog (template 117), opened by the main dialog's
// "録画条件\n設定" with the selected reservation's index as its parameter. Only the control
// traffic is here; the values come from capture_settings/conditions.h.
#pragma once
#include <windows.h>

// Gives 0 for every message. Creation with an index outside the table closes at once.
INT_PTR CALLBACK conditions_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

// Fills every control from reservation index.
void init_conditions_dialog(HWND dialog, int index);
// Refill the sample-rate, audio bit-rate and record-size lists and the bit-rate edit from
// the stored record: the 240-line record sizes for MPEG-1; the 480-line ones for MPEG-2,
// which also refills the GOP list with nothing selected.
void fill_mpeg1_lists(HWND dialog, int index);
void fill_mpeg2_lists(HWND dialog, int index);
