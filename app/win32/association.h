// "iEPGの関連付け(&I)...": registers Tavrel for iEPG files for the current user alone
// (HKCU\Software\Classes, no administrator rights), so that a TV guide's one-click
// reservation starts "tavrel.exe /dir <this folder> <file>". Doing it again changes nothing.
#pragma once
#include <windows.h>

// Writes the registration and tells the shell; says the outcome in a box owned by dialog.
void associate_iepg_files(HWND dialog);
