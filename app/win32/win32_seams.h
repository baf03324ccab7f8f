// The one place where the program's seams are set to their Win32 implementations.
#pragma once

// Every seam but the power requests: messages, files, clock, drawing, the desktop, the
// folders, the scheduler's host and the journal's files. The program's start-up calls
// it, then installs the power requests itself.
void install_win32_platform();
