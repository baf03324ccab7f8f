#include "app/win32/win32_seams.h"

#include "base/win32/win32_platform.h"
#include "engine/win32/after_actions_win32.h"
#include "app/win32/main_dialog.h"
#include "engine/win32/event_script_win32.h"
#include "engine/win32/win32_desktop.h"
#include "view/win32/gdi.h"

void install_win32_platform() {
    static Win32MessageBoxes messages;
    static Win32Files files;
    static Win32Clock clock;
    static GdiSurfaces surfaces;
    static Win32Desktop desktop;
    static Win32FolderSystem folders;
    static MainDialogHost host;
    static Win32JournalFiles journal;
    static Win32Scripts scripts;
    platform.messages = &messages;
    platform.files = &files;
    platform.clock = &clock;
    platform.surfaces = &surfaces;
    platform.desktop = &desktop;
    platform.folders = &folders;
    platform.host = &host;
    platform.journal = &journal;
    platform.scripts = &scripts;
}
