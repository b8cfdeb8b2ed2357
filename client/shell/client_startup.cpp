// RunClient: the start-up steps in their fixed order, then the message loop.
// Each refusal shows its own message and returns 0; nothing is undone.
#include <shlobj.h>

#include "account_state.h"
#include "client_dialogs.h"
#include "client_messages.h"
#include "client_texts.h"
#include "message_box.h"
#include "random_pool_win.h"
#include "registry_state.h"
#include "resource_ids.h"
#include "shell_rules.h"
#include "shell_state.h"
#include "shortcut.h"
#include "startup_checks.h"
#include "tray_icon.h"
#include "volume_operations.h"
#include "win/platform_checks.h"

namespace {

void ShowAdministratorMessage(HWND owner) {
  ShowMessage(owner, CT_W(CT_TITLE_RUN_AS_ADMIN), CT_W(CT_MSG_RUN_AS_ADMIN), MB_ICONINFORMATION);
}

void ShowVolumeSystemError(DWORD error) {
  ShowSystemError(error);
}

// The mount and lock sequences work on the shell's own state and tray.
void RegisterWithVolume() {
  ShellState& shell = ClientShell();
  VolumeHost host;
  host.CurrentDriveLetter = &shell.CurrentDriveLetter;
  host.ShortcutCreated = &shell.ShortcutCreated;
  host.SessionOpen = &shell.SessionOpen;
  host.TrayMenuEnabled = &shell.TrayMenuEnabled;
  host.DriverUnavailable = &shell.DriverUnavailable;
  host.SharedDocumentsFolderKnown = &shell.SharedDocumentsFolderKnown;
  host.SharedDocumentsKind = &shell.SharedDocumentsKind;
  host.StorageShortcutPath = shell.StorageShortcutPath;
  host.OpenIcon = &shell.OpenIcon;
  host.LockedIcon = &shell.LockedIcon;
  host.MainWindow = &shell.mainWindow;
  host.UpdateTrayIcon = &UpdateTrayIcon;
  host.CreateStorageShortcut = &CreateStorageShortcut;
  host.ShowAdministratorMessage = &ShowAdministratorMessage;
  host.ShowSystemError = &ShowVolumeSystemError;
  SetVolumeHost(host);
}

void LoadIconsAndTitle() {
  ShellState& shell = ClientShell();
  shell.LaunchedIcon = LoadIconW(shell.instance, MAKEINTRESOURCEW(IDI_LAUNCHED));
  shell.LockedIcon = LoadIconW(shell.instance, MAKEINTRESOURCEW(IDI_LOCKED));
  shell.OpenIcon = LoadIconW(shell.instance, MAKEINTRESOURCEW(IDI_OPEN));
  shell.ProgramIcon = LoadIconW(shell.instance, MAKEINTRESOURCEW(IDI_PROGRAM));
  LoadStringW(shell.instance, IDS_WINDOW_TITLE, shell.windowTitle, ARRAYSIZE(shell.windowTitle));
}

bool FindInstallFolder() {
  const DWORD length = GetModuleFileNameW(nullptr, InstallFolder, kPathBufferUnits);
  if (length == 0 || length >= kPathBufferUnits) return false;
  wchar_t* lastSeparator = wcsrchr(InstallFolder, L'\\');
  if (lastSeparator == nullptr) return false;
  *lastSeparator = 0;
  return true;
}

void FindSharedDocuments() {
  ShellState& shell = ClientShell();
  if (SHGetFolderPathW(nullptr, CSIDL_COMMON_DOCUMENTS, nullptr, SHGFP_TYPE_CURRENT,
                       shell.SharedDocumentsFolder) != S_OK) {
    return;
  }
  shell.SharedDocumentsFolderKnown = true;
  shell.SharedDocumentsKind = GetSharedDocumentsKind();
}

// Step 7: a container left attached is offered for locking first.
bool SettleEarlierRun() {
  ShellState& shell = ClientShell();
  if (IsDriverIdle(nullptr) == 1) {
    ClearStaleOpenFlag();
    return true;
  }
  if (shell.DriverUnavailable) return false;
  wchar_t letter = 0;
  if (ReadOpenFlagDriveLetter(&letter) != 1) {
    ShowErrorBox(nullptr, CT_W(CT_MSG_REGISTRY_CHANGED));
    return false;
  }
  shell.StaleDriveLetter = letter;
  ShowPrivacyAlertDialog();
  if (shell.StaleLockCancelled) return false;
  if (!shell.StaleLockDone || !shell.SharedDocumentsFolderKnown || shell.SharedDocumentsKind != 2) {
    ShowErrorBox(nullptr, CT_W(CT_MSG_GENERAL_ERROR));
    return false;
  }
  return true;
}

// Step 8: no shortcut of an earlier run survives.
bool RemoveOldShortcut() {
  ShellState& shell = ClientShell();
  if (!shell.SharedDocumentsFolderKnown ||
      (shell.SharedDocumentsKind != 1 && shell.SharedDocumentsKind != 2)) {
    return true;
  }
  PathBuffer path;
  if (BuildStorageShortcutPath(AsUtf16(shell.SharedDocumentsFolder), &path) != 1) {
    ShowErrorBox(nullptr, CT_W(CT_MSG_GENERAL_ERROR));
    return false;
  }
  wcscpy(shell.StorageShortcutPath, AsWide(path.c_str()));
  if (GetFileAttributesW(shell.StorageShortcutPath) != INVALID_FILE_ATTRIBUTES) {
    SetFileAttributesW(shell.StorageShortcutPath, FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(shell.StorageShortcutPath);
  }
  return true;
}

bool CreateMainWindow() {
  ShellState& shell = ClientShell();
  shell.mainWindow = CreateWindowExW(0, CT_W(CT_WINDOW_CLASS), shell.windowTitle, WS_CAPTION, 0, 0,
                                     0, 0, HWND_MESSAGE, nullptr, shell.instance, nullptr);
  if (shell.mainWindow == nullptr) {
    ShowErrorBox(nullptr, CT_W(CT_MSG_INITIALISATION));
    return false;
  }
  ShowWindow(shell.mainWindow, SW_HIDE);
  UpdateWindow(shell.mainWindow);
  return true;
}

// Steps 3 to 11; false when the program must end.
bool PassStartupChecks() {
  const int mutex = CreateSingleInstanceMutex();
  if (mutex == -1) ShowErrorBox(nullptr, CT_W(CT_MSG_GENERAL_ERROR));
  if (mutex == 0) ShowErrorBox(nullptr, CT_W(CT_MSG_ALREADY_RUNNING));
  if (mutex != 1 || CheckOsVersion() != 1) return false;
  if (!IsAdministratorsMember()) {
    ShowAdministratorMessage(nullptr);
    return false;
  }
  FindSharedDocuments();
  if (!SettleEarlierRun() || !RemoveOldShortcut()) return false;
  if (RandomPoolStart() != 1) {
    ShowErrorBox(nullptr, CT_W(CT_MSG_INITIALISATION));
    return false;
  }
  if (RegisterMainWindowClass() != 1) return false;
  ShellState& shell = ClientShell();
  shell.UsersRegistered = AnyUserRegistered() == 1;
  const int keyFiles = UserKeyFilesExist();
  if (keyFiles == -1) return false;
  shell.UserKeyFilesPresent = keyFiles == 1;
  return true;
}

int RunMessageLoop() {
  MSG message = {};
  for (;;) {
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == 0) break;
    if (got == -1) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}

}  // namespace

int RunClient(HINSTANCE instance) {
  ShellState& shell = ClientShell();
  shell.instance = instance;
  RegisterWithVolume();
  LoadIconsAndTitle();
  if (!FindInstallFolder() || !PassStartupChecks() || !CreateMainWindow()) return 0;
  if (AddTrayIcon() != 1 && AddTrayIcon() != 1) {
    ShowErrorBox(nullptr, CT_W(CT_MSG_TRAY_ADD_FAILED));
    return 0;
  }
  const bool logIn = shell.UsersRegistered && shell.UserKeyFilesPresent;
  PostMessageW(shell.mainWindow, logIn ? UM_SHOW_LOG_IN : UM_SHOW_WELCOME, 0, 0);
  return RunMessageLoop();
}
