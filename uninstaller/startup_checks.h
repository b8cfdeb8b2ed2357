// The uninstaller's checks before it shows its dialog: one instance and no
// client, a recent enough Windows, administrator rights, no container
// attached, and a driver file it may delete.
#pragma once

#include "path_buffer.h"
#include "win/unique_handles.h"

namespace uninstaller {

struct StartupState {
  PathBuffer<wchar_t> programFolder;  // no trailing backslash
  PathBuffer<wchar_t> uninstallerPath;
  UniqueHandle folderMutex;  // held until the program ends
};

// true when the dialog may be shown; otherwise the reason has been shown
// (or, for an unreadable module path, nothing is shown) and the program ends.
bool RunStartupChecks(StartupState* state);

// true, with the path of "cryptdsk.sys" in the system's Drivers folder in
// *path, when that file exists and its attributes could be made normal.
bool MakeDriverFileDeletable(PathBuffer<wchar_t>* path);

}  // namespace uninstaller
