// Finding, launching, placing and commanding the capture application, through a fake
// desktop.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/scheduler.h"
#include "engine/capture_control.h"
#include "base/capture_interface.h"
#include "tests/support/fake_desktop.h"
#include "tests/support/fakes.h"

namespace {

WindowRef const kWindow = (WindowRef)0x1234;
WindowRef const kOtherWindow = (WindowRef)0x5678;
typedef std::vector<std::string> Kinds;

class CaptureControl : public ::testing::Test {
protected:
    FakePlatform fakes;
    ScopedFakeDesktop scoped;
    FakeDesktop& desk = scoped.fake;
    WindowRef capture = nullptr;

    const DesktopCall& first(const char* what) {
        for (const DesktopCall& c : desk.calls)
            if (c.what == what) return c;
        static DesktopCall none{"none", "", "", nullptr, 0, 0, 0};
        return none;
    }
};

TEST_F(CaptureControl, LaunchPathFollowsTheCaptureFolderAndMpeg1) {
    struct Case {
        int install, mpeg1;
        const char* path;
    } cases[] = {
        {0, 0, "KROTX2.exe"},
        {0, 1, "KROTX1.exe"},
        {1, 0, "c:\\Program Files\\TARVO INC\\KRO-TX2\\KROTX2.exe"},
        {1, 1, "c:\\Program Files\\TARVO INC\\KRO-TX2\\KROTX1.exe"},
    };
    for (const Case& c : cases) {
        desk.calls.clear();
        capture_choice.use_install_folder = c.install;
        reservations.table.slots[3].mpeg1 = (unsigned char)c.mpeg1;
        open_capture_application(&capture, 3);
        const DesktopCall& launch = first("launch");
        EXPECT_EQ(c.path, launch.a);
        // The whole path, quoted, is the command line: no arguments, and spaces in the
        // install folder cannot split it.
        EXPECT_EQ(std::string("\"") + c.path + "\"", launch.b);
    }
}

TEST_F(CaptureControl, OpenWindowIsUsedAndPlacedWithoutLaunch) {
    desk.lookups = {kWindow};
    open_capture_application(&capture, 0);
    EXPECT_EQ(kWindow, capture);
    EXPECT_EQ((Kinds{"find", "place"}), desk.kinds());
    EXPECT_EQ("#32770", desk.calls[0].a);
    EXPECT_EQ("KRO-TX2 Controls", desk.calls[0].b);
    EXPECT_EQ(kWindow, desk.calls[1].window);
    EXPECT_EQ(0, desk.calls[1].x);
    EXPECT_EQ(0, desk.calls[1].y);
    EXPECT_TRUE(fakes.clock.sleeps.empty());
}

TEST_F(CaptureControl, MissingWindowLaunchesWaits13sLooksAgainAndPlaces) {
    desk.lookups = {nullptr, kWindow};
    open_capture_application(&capture, 0);
    EXPECT_EQ(kWindow, capture);
    EXPECT_EQ((Kinds{"find", "launch", "find", "place"}), desk.kinds());
    EXPECT_EQ(std::vector<std::uint32_t>{13000}, fakes.clock.sleeps);
    EXPECT_EQ(kWindow, desk.calls[3].window);
}

TEST_F(CaptureControl, WindowThatNeverAppearsIsNeitherPlacedNorRetried) {
    capture = kOtherWindow;  // a stale handle from an earlier run is replaced
    open_capture_application(&capture, 0);
    EXPECT_EQ(nullptr, capture);
    EXPECT_EQ((Kinds{"find", "launch", "find"}), desk.kinds());
    EXPECT_EQ(std::vector<std::uint32_t>{13000}, fakes.clock.sleeps);
}

TEST_F(CaptureControl, StaleHandleIsReplacedByAFreshLookup) {
    capture = kOtherWindow;
    desk.lookups = {kWindow};
    open_capture_application(&capture, 0);
    EXPECT_EQ(kWindow, capture);
    EXPECT_EQ((Kinds{"find", "place"}), desk.kinds());
}

TEST_F(CaptureControl, IndexOutsideTheTableOpensTheMpeg2Application) {
    for (Reservation& r : reservations.table.slots) r.mpeg1 = 1;
    for (int index : {-1, 40, 1000}) {
        desk.calls.clear();
        open_capture_application(&capture, index);
        EXPECT_EQ("KROTX2.exe", first("launch").a) << index;
    }
}

TEST_F(CaptureControl, HiddenButtonsSendTheirCommandsOnlyToAnOpenWindow) {
    for (CaptureButton b : {kButtonPlay, kButtonStop, kButtonRecord}) capture_command(&capture, b, 0);
    EXPECT_TRUE(desk.calls.empty());  // no window: nothing sent, nothing launched

    capture = kWindow;
    capture_command(&capture, kButtonRecord, 0);
    capture_command(&capture, kButtonStop, 0);
    capture_command(&capture, kButtonPlay, 0);
    capture_command(&capture, (CaptureButton)99, 0);  // not a capture button
    ASSERT_EQ((Kinds{"send", "send", "send"}), desk.kinds());
    EXPECT_EQ(2027u, desk.calls[0].message);
    EXPECT_EQ(2025u, desk.calls[1].message);
    EXPECT_EQ(2026u, desk.calls[2].message);
    for (const DesktopCall& c : desk.calls) EXPECT_EQ(kWindow, c.window);
    EXPECT_EQ(kWindow, capture);
}

TEST_F(CaptureControl, ToggleClosesAnOpenWindowAndOpensOtherwise) {
    capture = kWindow;
    capture_command(&capture, kButtonToggle, 0);
    ASSERT_EQ((Kinds{"send"}), desk.kinds());
    EXPECT_EQ(2029u, desk.calls[0].message);
    EXPECT_EQ(nullptr, capture);

    desk.calls.clear();
    reservations.table.slots[2].mpeg1 = 1;
    desk.lookups = {nullptr, kOtherWindow};
    capture_command(&capture, kButtonToggle, 2);
    EXPECT_EQ((Kinds{"find", "launch", "find", "place"}), desk.kinds());
    EXPECT_EQ("KROTX1.exe", first("launch").a);
    EXPECT_EQ(kOtherWindow, capture);

    // Nothing selected: the MPEG-2 application.
    desk.calls.clear();
    capture = nullptr;
    desk.lookups.clear();
    capture_command(&capture, kButtonToggle, -1);
    EXPECT_EQ("KROTX2.exe", first("launch").a);
}

// Where start-up finds the capture application, and what is launched from there.
TEST_F(CaptureControl, CaptureFolderIsTheFirstPlaceHoldingTheCaptureApplication) {
    const std::string fixed = "c:\\Program Files\\TARVO INC\\KRO-TX2\\";
    const std::string x86 = "C:\\Program Files (x86)\\TARVO INC\\KRO-TX2\\";
    const std::string long_folder = "C:\\" + std::string(180, 'a');  // 202 bytes with the subfolder
    struct Case {
        std::vector<std::string> present;
        const char* program_files;
        int install;
        std::string folder;
    } cases[] = {
        {{"KROTX2.EXE", fixed + "KROTX2.EXE", x86 + "KROTX2.EXE"}, "C:\\Program Files (x86)", 0, ""},
        {{fixed + "KROTX2.EXE", x86 + "KROTX2.EXE"}, "C:\\Program Files (x86)", 1, fixed},
        {{x86 + "KROTX2.EXE"}, "C:\\Program Files (x86)", 1, x86},
        {{x86 + "KROTX2.EXE"}, "C:\\Program Files (x86)\\", 1, x86},
        // "表" ends in 0x5C (literals are Shift-JIS): a character, not a separator.
        {{"C:\\表\\TARVO INC\\KRO-TX2\\KROTX2.EXE"}, "C:\\表", 1, "C:\\表\\TARVO INC\\KRO-TX2\\"},
        {{}, "C:\\Program Files (x86)", 1, fixed},
        {{x86 + "KROTX2.EXE"}, "", 1, fixed},
        {{x86 + "KROTX2.EXE"}, nullptr, 1, fixed},
        {{long_folder + "\\TARVO INC\\KRO-TX2\\KROTX2.EXE"}, long_folder.c_str(), 1, fixed},
    };
    for (const Case& c : cases) {
        fakes.files.files.clear();
        for (const std::string& path : c.present) fakes.files.files[path] = "";
        choose_capture_folder(c.program_files);
        EXPECT_EQ(c.install, capture_choice.use_install_folder) << c.folder;
        EXPECT_EQ(c.folder, capture_folder(capture_choice.use_install_folder));
        desk.calls.clear();
        reservations.table.slots[0].mpeg1 = 0;
        open_capture_application(&capture, 0);
        EXPECT_EQ(c.folder + "KROTX2.exe", first("launch").a);
    }
    choose_capture_folder(nullptr);  // the fixed folder again, for the other tests
}

}  // namespace
