// The forecast window (template IDD_FORECAST, "録画予定"): every occurrence of the coming
// four weeks and what will become of it, modeless and owned by the main dialog like the
// history; and the warning after a save that makes any of them fare worse.
#pragma once
#include <windows.h>

// Opens the window owned by owner, or brings the open one forward; filled either way.
void open_forecast_window(HWND owner);
// Fills it anew from the program as it stands, if it is open: after a save, a recording
// and a change of the clock.
void refresh_forecast_window();
// Closes it, if it is open.
void close_forecast_window();

// Around a save of the table by "新規登録" or "予約更新": the forecast just before it, and
// after the save and the wake-up timer's re-arm the warning box, owned by dialog, when the
// save made anything worse (saved: the slot written, -1 for none). The save stands either
// way. The open window is brought up to date.
void forecast_before_save();
void warn_after_save(HWND dialog, int saved);
