// The uninstaller's checks before it shows its dialog: one instance and no
// client, a recent enough Windows, administrator rights, no container
// attached, and a driver file it may delete.
#pragma once

#include <string>

#include "win/unique_handles.h"

namespace uninstaller {

struct StartupState {
  std::wstring programFolder;  // no trailing backslash
  std::wstring uninstallerPath;
  UniqueHandle folderMutex;  // held until the program ends
};

// true when the dialog may be shown; otherwise the reason has been shown
// (or, for an unreadable module path, nothing is shown) and the program ends.
bool RunStartupChecks(StartupState* state);

// Shows the system's text for an error code, when it has one.
void ShowSystemError(DWORD error);

// The driver file "cryptdsk.sys" in the system's Drivers folder; empty when
// the system directory cannot be read or the path would not fit.
std::wstring DriverFilePath();

}  // namespace uninstaller
