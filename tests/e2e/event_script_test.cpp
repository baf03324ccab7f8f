// The user's script of tavrel.exe: after a real recording through the stand-in, in a
// folder whose name holds a space, "&", "^", "%OS%" and "!", "tavrel-event.bat" runs and
// finds the recording's data in its environment, and a reservation name full of cmd's
// special characters arrives unchanged and runs nothing.
#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <string>

#include "tests/e2e/driver.h"

using namespace e2e;

namespace {

// "NAME=value" lines as `set` writes them.
std::map<std::string, std::string> variables(const std::string& text) {
    std::map<std::string, std::string> out;
    for (std::size_t at = 0; at < text.size();) {
        std::size_t end = text.find("\r\n", at);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(at, end - at);
        const std::size_t eq = line.find('=');
        if (eq != std::string::npos) out[line.substr(0, eq)] = line.substr(eq + 1);
        at = end + 2;
    }
    return out;
}

std::string journal_time(long long ms) {
    const SYSTEMTIME t = from_ms(ms);
    char text[32];
    snprintf(text, sizeof(text), "%04d/%02d/%02d %02d:%02d:%02d", t.wYear, t.wMonth, t.wDay,
             t.wHour, t.wMinute, t.wSecond);
    return text;
}

TEST(EventScript, ARecordingHandsItsDataToTheScriptAndAHostileNameRunsNothing) {
    CaptureFolder folder(L"event script &^%OS%!");
    // Wine's cmd takes `set X > file` for a variable whose name ends in a space, and
    // expands the folder's "%OS%" in "%~dp0" once more: the script writes to a path
    // relative to the current folder, its own.
    ASSERT_TRUE(folder.write_file(L"tavrel-event.bat", ">env.txt set TAVREL_\r\n"));
    // Run by cmd, it would write a file "pwn" and run what PATH names.
    const std::string hostile = "a&echo>pwn|%PATH%\"^";
    const long long start = (local_now() / 1000) * 1000 + 75000;  // due in a quarter minute
    ReservationTable table = default_table();
    once_only(table.slots[0], hostile.c_str(), start, start + 10000);
    ASSERT_TRUE(folder.write_schedule(table));

    // Left over in the program's environment: replaced, or left out where empty.
    SetEnvironmentVariableW(L"TAVREL_NAME", L"old");
    SetEnvironmentVariableW(L"TAVREL_COUNT", L"7");
    Process tavrel;
    HWND main = start_tavrel(tavrel, folder);
    ASSERT_NE(nullptr, main);
    // The result's script is the last; it writes the recorded file's path.
    std::map<std::string, std::string> env;
    ASSERT_TRUE(wait_until(
        [&] {
            env = variables(folder.read_file(L"env.txt"));
            return env.count("TAVREL_FILE") != 0;
        },
        (int)(start + 10000 + 60000 - local_now()), 500))
        << folder.read_file(L"tavrel.log");
    ASSERT_TRUE(Dialog(main).command(IDC_EXIT));
    ASSERT_TRUE(tavrel.wait_exit(10000, nullptr));

    const std::string log = folder.read_file(L"tavrel.log");
    EXPECT_NE(std::string::npos, log.find("\t" + sjis(L"録画終了") + "\t1\t")) << log;
    EXPECT_EQ(std::string::npos, log.find(sjis(L"スクリプト失敗"))) << log;
    // Japanese values come out as "?" from Wine's cmd: the ASCII ones are compared.
    EXPECT_EQ("1", env["TAVREL_SLOT"]);
    EXPECT_EQ(hostile, env["TAVREL_NAME"]);
    // The recording's start is the tick that started it, the time of its 録画開始 line.
    const std::size_t started = log.find("\t" + sjis(L"録画開始") + "\t1\t");
    ASSERT_NE(std::string::npos, started) << log;
    const std::size_t line = log.rfind("\n", started) + 1;
    EXPECT_EQ(log.substr(line, 19), env["TAVREL_START"]);
    EXPECT_EQ(journal_time(start + 10000), env["TAVREL_STOP"]);
    ASSERT_EQ(1u, folder.list(L"Samples").size());
    EXPECT_EQ("Samples\\" + sjis(folder.list(L"Samples")[0]), env["TAVREL_FILE"]);
    EXPECT_EQ(0u, env.count("TAVREL_COUNT"));
    EXPECT_EQ(1u, env.count("TAVREL_EXE")) << "the program's own environment is kept";
    EXPECT_FALSE(folder.exists(L"pwn"));
}

}  // namespace
