// iEPG files from a TV guide, reserved in one step: given on the command line (by the
// browser, through the association), handed over by a second instance, or dropped onto the
// main dialog. Each file is queued as bytes and imported whole, or not at all, once the
// main dialog is free: never inside a recording's sequence, a modal box or the
// initialisation.
#pragma once
#include <windows.h>
#include <shellapi.h>

#include <cstddef>

// Process start, before anything else: the one place Tavrel reads its command line.
// "/dir <folder>" makes that folder the current folder (a browser starts programs in a
// folder of its own); a file argument's bytes are read at once, since a browser may delete
// its temporary file as soon as we have started. True when a file was given.
bool take_command_line();

// A second instance given a file: hands its bytes to the running main dialog, retrying
// while it is busy (blocked inside a sequence's wait) for up to 180 s; shows a box when
// nothing answered or the file could not be read.
void hand_to_running_instance();

// The main dialog's side. WM_COPYDATA of another instance: only copies the bytes and asks
// for an import; true when it was such a message.
bool receive_iepg_copydata(HWND dialog, const COPYDATASTRUCT* data);
// WM_DROPFILES: each file dropped is queued on its own.
void queue_dropped_files(HWND dialog, HDROP drop);
// Posted to the main dialog when imports are queued: it then runs run_queued_imports.
const UINT kIepgImportMessage = WM_APP + 2;
// Asks for the queued imports to be run as soon as the dialog is free.
void request_imports(HWND dialog);
// Runs the queued imports when the dialog is free; called on the request and every tick.
void run_queued_imports(HWND dialog);
