// The user's script started through cmd.exe on KERNEL32.
#pragma once
#include "base/platform.h"

// Runs `cmd.exe /d /s /c ""<current folder>\<script>""` from the system folder, with no
// window (without CREATE_NO_WINDOW, Wine opens a console over the dialog, whatever the
// show flag says) and a Unicode copy of the program's environment with the variables set.
// The doubled quotes keep a folder's space, "&" or "^" from being read by cmd. /d: no
// AutoRun command of the registry runs first.
class Win32Scripts : public Scripts {
public:
    int start(const char* script, const ScriptVariable* vars, int count) override;
};
