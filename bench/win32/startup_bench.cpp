// Starts tavrel.exe (in a capture folder of its own, with a schedule of 40 reservations)
// and the baseline dialog program several times each, and prints for both the time from
// process start to the first painted frame of the panel and the peak working set, and
// their ratios.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "tests/e2e/driver.h"

namespace {

const int kRuns = 5;

// True once the panel's frame colour shows at client pixel (8, 8) of window.
bool frame_painted(HWND window) {
    POINT p = {8, 8};
    if (!ClientToScreen(window, &p)) return false;
    HDC screen = GetDC(nullptr);
    COLORREF c = GetPixel(screen, p.x, p.y);
    ReleaseDC(nullptr, screen);
    return c == 0x909090;
}

HWND find_top_window(DWORD pid, const wchar_t* title) {
    for (const e2e::WindowInfo& w : e2e::list_windows(pid))
        if (w.visible && w.title == title) return w.hwnd;
    return nullptr;
}

struct Figures {
    double ms;
    SIZE_T peak_bytes;
};

bool measure(const std::wstring& exe, const std::wstring& folder, const wchar_t* title,
             Figures* out) {
    LARGE_INTEGER freq, t0, t1;
    QueryPerformanceFrequency(&freq);
    QueryPerformanceCounter(&t0);
    e2e::Process process;
    if (!process.start(exe, folder)) return false;
    HWND window = nullptr;
    bool painted = e2e::wait_until(
        [&] {
            if (!window) window = find_top_window(process.pid(), title);
            return window && frame_painted(window);
        },
        30000, 5);
    QueryPerformanceCounter(&t1);
    if (!painted) return false;
    out->ms = 1000.0 * (double)(t1.QuadPart - t0.QuadPart) / (double)freq.QuadPart;
    Sleep(1500);  // let it settle: a few ticks of the clock
    HANDLE h = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, process.pid());
    PROCESS_MEMORY_COUNTERS pmc;
    pmc.cb = sizeof(pmc);
    out->peak_bytes = h && GetProcessMemoryInfo(h, &pmc, sizeof(pmc)) ? pmc.PeakWorkingSetSize : 0;
    if (h) CloseHandle(h);
    process.end();
    return true;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: startup_bench <baseline_dialog.exe>\n");
        return 2;
    }
    e2e::CaptureFolder folder(L"startup-bench");
    ReservationTable table;
    set_default_reservations(table);
    for (int i = 0; i < kMaxReservations; ++i) {
        Reservation& r = table.slots[i];
        std::snprintf(r.name, sizeof(r.name), "program %d", i + 1);
        // Weekly on every day, 30 days from now on: drawn nowhere this week, never due.
        std::snprintf(r.start_date, sizeof(r.start_date), "%s", "991201");
        std::snprintf(r.end_date, sizeof(r.end_date), "%s", "991231");
        std::snprintf(r.start_time, sizeof(r.start_time), "%02d0000", i % 24);
        std::snprintf(r.end_time, sizeof(r.end_time), "%02d3000", i % 24);
        r.repeat_mode = 1;
        r.weekday_mask = 0x7F;
    }
    folder.write_schedule(table);
    std::wstring baseline = e2e::windows_path(argv[1]);

    std::vector<double> tavrel_ms, base_ms;
    SIZE_T tavrel_peak = 0, base_peak = 0;
    for (int run = 0; run < kRuns; ++run) {
        Figures f;
        if (!measure(e2e::tavrel_exe(), folder.path(), L"Tavrel", &f)) {
            std::fprintf(stderr, "startup_bench: tavrel.exe showed no timetable\n");
            return 1;
        }
        tavrel_ms.push_back(f.ms);
        tavrel_peak = std::max(tavrel_peak, f.peak_bytes);
        if (!measure(baseline, folder.path(), L"Baseline", &f)) {
            std::fprintf(stderr, "startup_bench: the baseline dialog showed nothing\n");
            return 1;
        }
        base_ms.push_back(f.ms);
        base_peak = std::max(base_peak, f.peak_bytes);
    }
    double t = median(tavrel_ms), b = median(base_ms);
    std::printf("start to first painted panel (median of %d): tavrel.exe %.0f ms, baseline %.0f ms, "
                "ratio %.2f\n",
                kRuns, t, b, t / b);
    std::printf("peak working set: tavrel.exe %lu KiB, baseline %lu KiB, ratio %.2f\n",
                (unsigned long)(tavrel_peak / 1024), (unsigned long)(base_peak / 1024),
                base_peak ? (double)tavrel_peak / (double)base_peak : 0.0);
    return 0;
}
