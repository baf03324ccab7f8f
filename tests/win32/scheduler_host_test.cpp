// The scheduler's host in the program, against real windows: the close command that ends a
// recording reaches the capture control window, and a capture application that has
// stopped answering does not hold the program for ever.
#include <gtest/gtest.h>
#include <windows.h>

#include "engine/capture_control.h"
#include "engine/scheduler.h"
#include "engine/win32/scheduler_host_win32.h"
#include "engine/win32/win32_desktop.h"

namespace {

// A window on a thread of its own: either pumping its messages and counting the close
// commands it gets, or stuck (not pumping) until released.
struct CaptureThread {
    HANDLE thread = nullptr;
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HWND window = nullptr;
    bool stuck = false;
    static LONG closes;

    static LRESULT CALLBACK proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
        if (m == 2029 && wp == 0 && lp == 0) InterlockedIncrement(&closes);
        return DefWindowProcW(w, m, wp, lp);
    }
    static DWORD WINAPI run(void* param) {
        CaptureThread* self = (CaptureThread*)param;
        self->window = CreateWindowExW(0, L"TavrelHostTestCapture", L"capture", WS_POPUP, 0, 0,
                                       10, 10, nullptr, nullptr, GetModuleHandleW(nullptr),
                                       nullptr);
        SetEvent(self->ready);
        if (self->stuck) {
            WaitForSingleObject(self->release, 120000);
        } else {
            MSG msg;
            while (WaitForSingleObject(self->release, 0) == WAIT_TIMEOUT) {
                while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
                MsgWaitForMultipleObjects(1, &self->release, FALSE, 50, QS_ALLINPUT);
            }
        }
        DestroyWindow(self->window);
        return 0;
    }
    explicit CaptureThread(bool stuck_) : stuck(stuck_) {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"TavrelHostTestCapture";
        RegisterClassW(&wc);  // a second registration fails harmlessly
        thread = CreateThread(nullptr, 0, run, this, 0, nullptr);
        WaitForSingleObject(ready, 10000);
    }
    ~CaptureThread() {
        SetEvent(release);
        WaitForSingleObject(thread, 10000);
        CloseHandle(thread);
        CloseHandle(ready);
        CloseHandle(release);
    }
};
LONG CaptureThread::closes = 0;

class SchedulerHostTest : public ::testing::Test {
protected:
    Desktop* saved_desktop = desktop;
    SchedulerHost* saved_host = platform.host;
    void SetUp() override {
        install_win32_desktop();
        install_win32_scheduler_host();
    }
    void TearDown() override {
        desktop = saved_desktop;
        platform.host = saved_host;
    }
};

TEST_F(SchedulerHostTest, CloseCommandReachesAnAnsweringWindow) {
    CaptureThread capture(false);
    ASSERT_NE(nullptr, capture.window);
    CaptureThread::closes = 0;
    platform.host->send_to_capture((WindowRef)capture.window, 2029);
    EXPECT_EQ(1, CaptureThread::closes);  // delivered before the send returned
    // No window: nothing is sent and nothing fails.
    platform.host->send_to_capture(nullptr, 2029);
    EXPECT_EQ(1, CaptureThread::closes);
}

TEST_F(SchedulerHostTest, StuckCaptureApplicationIsGivenUp) {
    CaptureThread capture(true);
    ASSERT_NE(nullptr, capture.window);
    DWORD started = GetTickCount();
    platform.host->send_to_capture((WindowRef)capture.window, 2029);
    DWORD took = GetTickCount() - started;
    // Given up long before the window would answer (two minutes), so that the stop
    // sequence goes on with the file move and the power action.
    EXPECT_LT(took, 40000u);
}

}  // namespace
