// The user's script started through cmd.exe on KERNEL32.
#pragma once
#include "base/platform.h"

// Runs `cmd.exe /d /v:off /s /c ".\<script>"` from the system folder, in the current
// folder, with no window (without CREATE_NO_WINDOW, Wine opens a console over the dialog,
// whatever the show flag says) and a Unicode copy of the program's environment with the
// variables set. The folder's name stays off the command line: cmd expands a "%" in it
// before it splits at "&", so that "x%TAVREL_NAME%y" would run the reservation's name, and
// Wine's cmd expands a variable's value again, so that handing the folder in one would not
// help. /d: no AutoRun command of the registry runs first; /v:off: no "!" is expanded,
// whatever the registry asks.
class Win32Scripts : public Scripts {
public:
    int start(const char* script, const ScriptVariable* vars, int count) override;
};
