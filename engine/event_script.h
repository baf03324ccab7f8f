// The user's own script: when a file (not a folder) "tavrel-event.bat" lies beside
// "recdata.dat", it is started after each journal line that tells of a recording's fate
// or of a fault on its way
// (録画開始, 録画終了, 録画失敗, 録画漏れ, 電源操作, 設定失敗, 録画ソフトなし, 移動失敗,
// 空き容量不足), so that a user who is away can be told (a mail, a chat message). The
// line's data goes in the script's environment only, never on its command line, so that
// no reservation name can be read as a command:
//   TAVREL_EVENT, TAVREL_SLOT, TAVREL_NAME, TAVREL_DETAILS  the line's fields
//   TAVREL_START, TAVREL_STOP  "YYYY/MM/DD HH:MM:SS": the recording's start tick and stop
//       time for lines during a recording, the missed window for 録画漏れ; else empty
//   TAVREL_FILE   the recorded file, for 録画終了 and a too small file's 録画失敗
//   TAVREL_COUNT  録画漏れ only: how many were found together
// The program never waits for the script. One that cannot be started is journalled as
// "スクリプト失敗", which starts nothing.
#pragma once
#include <ctime>

const char* const kEventScriptFile = "tavrel-event.bat";

// From now on, the journal's lines start the script (program start).
void event_script_begin();

// The recorded file's path, for the next line written (TAVREL_FILE).
void event_script_file(const char* path);
// The next line written, a power action's, starts the script: only the first of its lines
// does, the one written before the delay.
void event_script_power_line();

// Missed occurrences found together start the script once: their lines, written after
// event_script_hold_missed(), are held, and event_script_missed_found() starts it with the
// first one's line, window (start, stop) and the count of all of them.
void event_script_hold_missed();
void event_script_missed_found(std::time_t start, std::time_t stop, int count);

// Forgets what is pending (tests).
void reset_event_script();
