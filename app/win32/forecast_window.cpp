#include "app/win32/forecast_window.h"

#include "app/win32/modeless_window.h"
#include <ctime>

#include "base/platform.h"
#include "base/win32/text.h"
#include "engine/after_actions.h"
#include "engine/forecast.h"
#include "reservations/reservation.h"
#include "resources/resource_ids.h"

namespace {

// The list's text at its longest: a heading and one line for every occurrence.
const std::size_t kTextSize = kForecastMax * 160 + 1024;
// The warning: five occurrences, "ほか N 件", the free space and where to see the rest.
const std::size_t kWarningSize = 2048;

// A forecast is large (tens of kilobytes), so both live here rather than on the stack.
struct ForecastWindow {
    HWND window;          // null while closed
    Forecast before;      // just before a save
    Forecast current;     // the latest, shown in the window
    char text[kTextSize];
    wchar_t wide_text[kTextSize];
    char warning[kWarningSize];
};
ForecastWindow state = {};

// Shows state.current, scrolled as it was; nothing is selected.
void show_current(HWND dialog) {
    std::size_t n = forecast_text(state.current, reservations.table, samples_free_space(), state.text,
                                  sizeof(state.text));
    int w = MultiByteToWideChar(kShiftJis, 0, state.text, (int)n, state.wide_text, (int)(kTextSize - 1));
    state.wide_text[w > 0 ? w : 0] = L'\0';
    HWND list = GetDlgItem(dialog, IDC_FORECAST_LIST);
    const LRESULT top = SendMessageW(list, EM_GETFIRSTVISIBLELINE, 0, 0);
    SetWindowTextW(list, state.wide_text);
    SendMessageW(list, EM_SETSEL, 0, 0);
    SendMessageW(list, EM_LINESCROLL, 0, top);
}

void fill(HWND dialog) {
    forecast_now(std::time(nullptr), &state.current);
    show_current(dialog);
}

INT_PTR CALLBACK forecast_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
    static const ModelessParts parts = {0, IDC_FORECAST_LIST, fill, close_forecast_window};
    return modeless_message(dialog, message, wparam, parts);
}

}  // namespace

void open_forecast_window(HWND owner) {
    if (state.window) {
        fill(state.window);
        ShowWindow(state.window, SW_SHOWNORMAL);
        SetForegroundWindow(state.window);
        return;
    }
    state.window = open_modeless(owner, IDD_FORECAST, forecast_proc);
}

void refresh_forecast_window() {
    if (state.window) fill(state.window);
}

void close_forecast_window() {
    close_modeless(&state.window);
}

void forecast_before_save() { forecast_now(std::time(nullptr), &state.before); }

void warn_after_save(HWND dialog, int saved) {
    forecast_now(std::time(nullptr), &state.current);
    if (state.window) show_current(state.window);
    if (forecast_warning(state.before, state.current, reservations.table, saved, samples_free_space(),
                         state.warning, sizeof(state.warning)) > 0)
        platform.messages->show((WindowRef)dialog, state.warning, "予約の重なり", kIconWarning);
}
