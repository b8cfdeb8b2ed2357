// The client shell's process-wide state: the start-up values, the tray and
// the main window; the open drive's state is the volume's. One instance,
// reached through ClientShell().
#pragma once

#include <windows.h>

#include <shellapi.h>

#include "win/unique_handles.h"

struct ShellState {
  HINSTANCE instance = nullptr;
  HWND mainWindow = nullptr;
  wchar_t windowTitle[33] = {};

  UniqueHandle instanceMutex;
  // Loaded in the order 901, 902, 900, 903; 902, 900 and 903 are destroyed
  // on WM_DESTROY, 901 lives until the process ends.
  HICON LaunchedIcon = nullptr;
  HICON LockedIcon = nullptr;
  HICON OpenIcon = nullptr;
  HICON ProgramIcon = nullptr;

  bool UsersRegistered = false;
  bool UserKeyFilesPresent = false;

  bool SessionOpen = false;
  bool TrayMenuEnabled = false;
  bool TrayBusy = false;
  unsigned ExplorerOpenCount = 0;

  // A lock that shows no box and no balloon (the session's end, an
  // automatic lock) is in progress.
  bool QuietLock = false;

  bool TrayIconAdded = false;
  NOTIFYICONDATAW trayRecord = {};
};

ShellState& ClientShell();
