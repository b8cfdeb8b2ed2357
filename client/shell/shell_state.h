// The client shell's process-wide state: the start-up values, the tray and
// the main window. One instance, reached through ClientShell().
#pragma once

#include <windows.h>

#include <shellapi.h>

#include "path_buffer.h"
#include "win_handles.h"

struct ShellState {
  HINSTANCE instance = nullptr;
  HWND mainWindow = nullptr;
  wchar_t windowTitle[33] = {};

  wchar_t SharedDocumentsFolder[kPathBufferUnits] = {};
  bool SharedDocumentsFolderKnown = false;
  int SharedDocumentsKind = -1;
  wchar_t StorageShortcutPath[kPathBufferUnits] = {};
  bool ShortcutCreated = false;

  UniqueHandle instanceMutex;
  // Loaded in the order 901, 902, 900, 903; 902, 900 and 903 are destroyed
  // on WM_DESTROY, 901 lives until the process ends.
  HICON LaunchedIcon = nullptr;
  HICON LockedIcon = nullptr;
  HICON OpenIcon = nullptr;
  HICON ProgramIcon = nullptr;

  bool DriverUnavailable = false;
  int CurrentDriveLetter = 0;
  bool UsersRegistered = false;
  bool UserKeyFilesPresent = false;

  bool SessionOpen = false;
  bool TrayMenuEnabled = false;
  bool TrayBusy = false;
  unsigned ExplorerOpenCount = 0;

  // The Privacy Alert dialog's results, read by the start-up.
  wchar_t StaleDriveLetter = L'A';
  bool StaleLockDone = false;
  bool StaleLockCancelled = false;

  bool TrayIconAdded = false;
  NOTIFYICONDATAW trayRecord = {};
};

ShellState& ClientShell();
