// The countdown before a power action on Win32: a window of its own ("録画後の処理") on a
// thread of its own, topmost and without an owner, while the calling thread waits on an
// event for at most the countdown's length. The window only reports the choice.
#pragma once
#include <cstdint>
#include "base/platform.h"

// Shows "label N 秒", counted down once a second from seconds, with "今すぐ実行" and the
// default "中止" (also Esc and the close box), and returns how it ended; kCountdownNoWindow,
// without waiting, when its thread cannot be started.
CountdownEnd run_countdown_window(const char* label, std::uint32_t seconds);

// Seconds since the keyboard or mouse was last used (GetLastInputInfo); -1 when unknown.
std::int64_t seconds_since_input_win32();
