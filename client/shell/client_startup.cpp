// RunClient: the start-up checks in their fixed order, then the message
// loop. Each refusal shows its own message and returns 0; nothing is undone.
#include <shlobj.h>

#include "account_state.h"
#include "client_dialogs.h"
#include "client_texts.h"
#include "dialog_common.h"
#include "dialog_messages.h"
#include "message_box.h"
#include "random_pool_win.h"
#include "session_window.h"
#include "registry_state.h"
#include "resource_ids.h"
#include "shell_rules.h"
#include "shell_state.h"
#include "startup_checks.h"
#include "tray_icon.h"
#include "volume_operations.h"
#include "volume_state.h"
#include "win/platform_checks.h"

namespace {

// While a drive session is open the tray menu serves it.
void OnSessionChanged(bool open) {
  ShellState& shell = ClientShell();
  shell.SessionOpen = open;
  shell.TrayMenuEnabled = open;
}

int ShowDriveState(bool open, const wchar_t* tooltip) {
  const ShellState& shell = ClientShell();
  return UpdateTrayIcon(tooltip, open ? shell.OpenIcon : shell.LockedIcon, !shell.QuietLock);
}

void RegisterWithVolume() {
  VolumeHost host;
  host.SessionChanged = &OnSessionChanged;
  host.ShowDriveState = &ShowDriveState;
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
  VolumeState& volume = Volume();
  if (SHGetFolderPathW(nullptr, CSIDL_COMMON_DOCUMENTS, nullptr, SHGFP_TYPE_CURRENT,
                       volume.SharedDocumentsFolder) != S_OK) {
    return;
  }
  volume.SharedDocumentsFolderKnown = true;
  volume.SharedDocumentsKind = GetSharedDocumentsKind();
}

// A container that an earlier run left attached is offered for locking first.
bool SettleEarlierRun() {
  const VolumeState& volume = Volume();
  if (IsDriverIdle(nullptr) == 1) {
    ClearStaleOpenFlag();
    return true;
  }
  if (volume.DriverUnavailable) return false;
  wchar_t letter = 0;
  if (ReadOpenFlagDriveLetter(&letter) != 1) {
    ShowErrorBox(nullptr, CT_W(CT_MSG_REGISTRY_CHANGED));
    return false;
  }
  const StaleDriveOutcome outcome = ShowPrivacyAlertDialog(letter);
  if (outcome == StaleDriveOutcome::kCancelled || outcome == StaleDriveOutcome::kErrorShown) {
    return false;
  }
  if (outcome != StaleDriveOutcome::kLocked || !volume.SharedDocumentsFolderKnown ||
      volume.SharedDocumentsKind != FileSystemKind::kOther) {
    ShowErrorBox(nullptr, CT_W(CT_MSG_GENERAL_ERROR));
    return false;
  }
  return true;
}

// No shortcut of an earlier run survives.
bool RemoveOldShortcut() {
  VolumeState& volume = Volume();
  if (!volume.SharedDocumentsFolderKnown || !StorageShortcutApplies(volume)) return true;
  PathBuffer<char16_t> path;
  if (BuildStorageShortcutPath(AsUtf16(volume.SharedDocumentsFolder), &path) != 1) {
    ShowErrorBox(nullptr, CT_W(CT_MSG_GENERAL_ERROR));
    return false;
  }
  wcscpy(volume.StorageShortcutPath, AsWide(path.c_str()));
  DeleteStorageShortcut();
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
  SetDialogParent(shell.instance, shell.mainWindow);
  ShowWindow(shell.mainWindow, SW_HIDE);
  UpdateWindow(shell.mainWindow);
  return true;
}

// False when the program must end.
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
  SetDialogParent(instance, nullptr);
  RegisterWithVolume();
  LoadIconsAndTitle();
  if (!FindInstallFolder() || !PassStartupChecks() || !CreateMainWindow()) return 0;
  if (AddTrayIcon() != 1 && AddTrayIcon() != 1) {
    ShowErrorBox(nullptr, CT_W(CT_MSG_TRAY_ADD_FAILED));
    return 0;
  }
  CreateSessionWindow();
  const bool logIn = shell.UsersRegistered && shell.UserKeyFilesPresent;
  PostMessageW(shell.mainWindow, logIn ? UM_SHOW_LOG_IN : UM_SHOW_WELCOME, 0, 0);
  return RunMessageLoop();
}
