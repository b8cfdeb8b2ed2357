#include "main_window.h"

#include <shellapi.h>
#include <shlobj.h>

#include <initializer_list>

#include "account_state.h"
#include "auto_lock.h"
#include "client_dialogs.h"
#include "dialog_messages.h"
#include "client_texts.h"
#include "dialog_common.h"
#include "flow_steps.h"
#include "message_box.h"
#include "resource_ids.h"
#include "shell_rules.h"
#include "shell_state.h"
#include "tray_icon.h"
#include "volume_operations.h"
#include "volume_state.h"

namespace {

constexpr UINT_PTR kEndTimer = 1;   // the program ends once the Locked balloon was up
constexpr UINT_PTR kIdleTimer = 2;  // the automatic lock's idle check
constexpr UINT kLockedBalloonMs = 20000;
constexpr UINT kIdleCheckMs = 30000;

bool TrayEventsAllowed() {
  const ShellState& shell = ClientShell();
  return !shell.TrayBusy && Volume().CurrentDriveLetter != 0 && shell.SessionOpen;
}

void ShowTrayMenu() {
  ShellState& shell = ClientShell();
  UniqueMenu menu(LoadMenuW(shell.instance, MAKEINTRESOURCEW(IDM_TRAY)));
  HMENU popup = menu.valid() ? GetSubMenu(menu.get(), 0) : nullptr;
  if (popup == nullptr) {
    ShowErrorBox(shell.mainWindow, CT_W(CT_MSG_TRAY_MENU_FAILED));
    return;
  }
  if (!shell.TrayMenuEnabled) {
    for (UINT id : {IDM_MANUAL, IDM_WEB_SITE, IDM_ABOUT, IDM_EXPLORER, IDM_LOCK_EXIT,
                    IDM_AUTO_LOCK_SUSPEND, IDM_AUTO_LOCK_WORKSTATION, IDM_AUTO_LOCK_IDLE}) {
      EnableMenuItem(popup, id, MF_BYCOMMAND | MF_GRAYED);
    }
  }
  ShowAutoLockChoices(popup);
  POINT cursor = {};
  GetCursorPos(&cursor);
  SetForegroundWindow(shell.mainWindow);
  TrackPopupMenu(popup, TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, shell.mainWindow, nullptr);
}

void OnTrayCallback(LPARAM mouseMessage) {
  ShellState& shell = ClientShell();
  if (!TrayEventsAllowed()) return;
  shell.TrayBusy = true;
  if (mouseMessage == WM_LBUTTONDBLCLK) {
    shell.TrayMenuEnabled = false;
    OpenDriveInExplorer();
    shell.TrayMenuEnabled = true;
  } else if (mouseMessage == WM_RBUTTONUP) {
    ShowTrayMenu();
  }
  shell.TrayBusy = false;
}

void OnCopyData(const COPYDATASTRUCT* data) {
  ShellState& shell = ClientShell();
  if (data == nullptr || !IsOpenAndExplorerRequest(data->lpData, data->cbData)) return;
  if (shell.ExplorerOpenCount == 3) {
    ShowErrorBox(shell.mainWindow, CT_W(CT_MSG_EXPLORER_THRICE));
    return;
  }
  if (!TrayEventsAllowed()) return;
  ++shell.ExplorerOpenCount;
  shell.TrayBusy = true;
  OpenDriveInExplorer();
  shell.TrayBusy = false;
}

void OnDestroy() {
  ShellState& shell = ClientShell();
  if (shell.TrayIconAdded) {
    int removed = RemoveTrayIcon();
    if (removed != 1) removed = RemoveTrayIcon();
    if (removed == -1) ShowErrorBox(shell.mainWindow, CT_W(CT_MSG_TRAY_REMOVE_NOT_FOUND));
    if (removed == 0) ShowErrorBox(shell.mainWindow, CT_W(CT_MSG_TRAY_REMOVE_FAILED));
  }
  for (HICON* icon : {&shell.LockedIcon, &shell.OpenIcon, &shell.ProgramIcon}) {
    if (*icon != nullptr) DestroyIcon(*icon);
    *icon = nullptr;
  }
  SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
  PostMessageW(HWND_BROADCAST, WM_WININICHANGE, 0, 0);
  PostQuitMessage(0);
}

void Post(UINT message) {
  PostMessageW(ClientShell().mainWindow, message, 0, 0);
}

void OnTimer(UINT_PTR id) {
  if (id == kIdleTimer) {
    CheckIdleLock();
    return;
  }
  if (id != kEndTimer) return;
  KillTimer(ClientShell().mainWindow, kEndTimer);
  Post(WM_DESTROY);
}

// The dialog chain; false for messages that are not part of it.
bool OnChainMessage(UINT message) {
  switch (message) {
    case UM_EXIT:
      // Every way out of the dialogs passes here.
      WipeSecrets();
      Post(WM_DESTROY);
      return true;
    case UM_SHOW_WELCOME:
      ShowWelcomeDialog();
      return true;
    case UM_WELCOME_DONE:
      Post(UM_SHOW_NEW_USER_INTRO);
      return true;
    case UM_SHOW_NEW_USER_INTRO:
      ShowNewUserIntroDialog();
      return true;
    case UM_NEW_USER_INTRO_DONE:
      Post(UM_SHOW_CREATE_USER);
      return true;
    case UM_LOGGED_IN:
      WipeText(Password);
      return true;
    case UM_SHOW_CREATE_USER:
      ShowCreateUserDialog();
      return true;
    case UM_USER_ENTERED:
      Post(WantRecoveryFile ? UM_SHOW_RECOVERY_SETUP : UM_SHOW_STORAGE_SETUP);
      return true;
    case UM_SHOW_RECOVERY_SETUP:
      ShowRecoverySetupDialog();
      return true;
    case UM_SHOW_STORAGE_SETUP:
      ShowStorageSetupDialog();
      return true;
    case UM_SHOW_LOG_IN:
      ShowLogInDialog();
      return true;
    case UM_SHOW_RECOVER_PASSWORD:
      ShowRecoverPasswordDialog();
      return true;
    case UM_SHOW_CHANGE_PASSWORD:
      ShowChangePasswordDialog();
      return true;
    case UM_SHOW_ABOUT:
      ShowAboutDialog();
      return true;
    default:
      return false;
  }
}

LRESULT Dispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_DESTROY:
      OnDestroy();
      return 0;
    case WM_COPYDATA:
      OnCopyData(reinterpret_cast<const COPYDATASTRUCT*>(lParam));
      return 0;
    case WM_COMMAND: {
      const int id = LOWORD(wParam);
      if (ToggleAutoLockChoice(id)) return 0;
      if (id < IDM_EXPLORER || id > IDM_WEB_SITE || id == IDM_UNUSED) break;
      // The program ends once the Locked balloon has been up, without
      // holding up the messages meanwhile.
      if (MenuCommand(id) == 1 && id == IDM_LOCK_EXIT) {
        SetTimer(window, kEndTimer, kLockedBalloonMs, nullptr);
      }
      return 0;
    }
    case WM_TIMER:
      OnTimer(wParam);
      return 0;
    case WM_CREATE:
      SetTimer(window, kIdleTimer, kIdleCheckMs, nullptr);
      return 0;
    case kTrayCallbackMessage:
      OnTrayCallback(lParam);
      return 0;
    default:
      if (OnChainMessage(message)) return 0;
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int MenuCommand(int id) {
  ShellState& shell = ClientShell();
  switch (id) {
    case IDM_EXPLORER:
      return OpenDriveInExplorer();
    case IDM_LOCK_EXIT:
      return LockAndExit(shell.mainWindow);
    case IDM_MANUAL: {
      const int result = OpenManual();
      if (result == -1) ShowErrorBox(shell.mainWindow, CT_W(CT_MSG_MANUAL_ERROR));
      return result;
    }
    case IDM_ABOUT:
      Post(UM_SHOW_ABOUT);
      return 1;
    case IDM_WEB_SITE: {
      const auto result = reinterpret_cast<INT_PTR>(
          ShellExecuteW(nullptr, L"open", CT_W(CT_WEB_SITE), nullptr, nullptr, SW_SHOWNORMAL));
      if (result <= 32) ShowErrorBox(shell.mainWindow, CT_W(CT_MSG_WEB_SITE_FAILED));
      return 0;
    }
    default:
      return 0;
  }
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  try {
    return Dispatch(window, message, wParam, lParam);
  } catch (...) {
    return 0;
  }
}
