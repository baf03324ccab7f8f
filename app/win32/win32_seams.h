// The one place where the program's seams are set to their Win32 implementations.
#pragma once

// Every seam but the power requests: messages, files, clock, drawing, the desktop, the
// folders, the scheduler's host, the journal's files and the user's script. The program's
// start-up calls it, then installs the power requests itself.
void install_win32_platform();
