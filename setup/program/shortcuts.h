// The uninstall log and the shortcuts it records.
#pragma once

#include <windows.h>

#include "win/unique_handles.h"

namespace setup {

// Creates "uninst.log" new in the installation folder; invalid when it
// cannot (for example when it exists already).
UniqueFile CreateUninstallLog(const char* installFolder);

// Creates the program-group folder and links, the Start Menu link and the
// desktop link, each recorded in `log` whether or not it could be made. A
// link that fails only shows the shortcut message. 1, or -1 when a path is
// too long or the log cannot be written.
int CreateShortcuts(HWND dialog, const char* installFolder, HANDLE log);

}  // namespace setup
