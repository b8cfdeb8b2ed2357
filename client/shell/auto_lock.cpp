#include "auto_lock.h"

#include "account_state.h"
#include "client_texts.h"
#include "message_box.h"
#include "resource_ids.h"
#include "shell_rules.h"
#include "shell_state.h"
#include "tray_icon.h"
#include "volume_operations.h"
#include "volume_state.h"
#include "win/unique_handles.h"

namespace {

constexpr wchar_t kSettingsKey[] = CT_W(CRYPTELLE_PRODUCT_KEY);
constexpr wchar_t kOnSuspendValue[] = L"AutoLockOnSuspend";
constexpr wchar_t kOnWorkstationLockValue[] = L"AutoLockOnWorkstationLock";
constexpr wchar_t kWhenIdleValue[] = L"AutoLockWhenIdle";
constexpr wchar_t kIdleMinutesValue[] = L"AutoLockIdleMinutes";

DWORD ReadNumber(HKEY key, const wchar_t* name, DWORD absent) {
  DWORD value = 0;
  DWORD size = sizeof(value);
  DWORD type = 0;
  if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
          ERROR_SUCCESS ||
      type != REG_DWORD || size != sizeof(value)) {
    return absent;
  }
  return value;
}

bool WriteNumber(HKEY key, const wchar_t* name, DWORD value) {
  return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                        sizeof(value)) == ERROR_SUCCESS;
}

bool Chosen(const AutoLockSettings& settings, LockTrigger trigger) {
  switch (trigger) {
    case LockTrigger::kSessionEnd:
      return true;
    case LockTrigger::kSuspend:
      return settings.onSuspend;
    case LockTrigger::kWorkstationLock:
      return settings.onWorkstationLock;
    case LockTrigger::kIdle:
      return settings.whenIdle;
  }
  return false;
}

}  // namespace

AutoLockSettings ReadAutoLockSettings() {
  AutoLockSettings settings;
  UniqueRegKey key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_QUERY_VALUE, key.put()) !=
      ERROR_SUCCESS) {
    return settings;
  }
  settings.onSuspend = ReadNumber(key.get(), kOnSuspendValue, 0) != 0;
  settings.onWorkstationLock = ReadNumber(key.get(), kOnWorkstationLockValue, 0) != 0;
  settings.whenIdle = ReadNumber(key.get(), kWhenIdleValue, 0) != 0;
  settings.idleMinutes = ClampIdleMinutes(ReadNumber(key.get(), kIdleMinutesValue, 15));
  return settings;
}

int WriteAutoLockSettings(const AutoLockSettings& settings) {
  UniqueRegKey key;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_SET_VALUE, nullptr, key.put(), nullptr) != ERROR_SUCCESS) {
    return 0;
  }
  const bool written = WriteNumber(key.get(), kOnSuspendValue, settings.onSuspend) &&
                       WriteNumber(key.get(), kOnWorkstationLockValue, settings.onWorkstationLock) &&
                       WriteNumber(key.get(), kWhenIdleValue, settings.whenIdle) &&
                       WriteNumber(key.get(), kIdleMinutesValue, settings.idleMinutes);
  return written ? 1 : 0;
}

void LockAutomatically(LockTrigger trigger) {
  ShellState& shell = ClientShell();
  const int letter = Volume().CurrentDriveLetter;
  if (!shell.SessionOpen || letter == 0) return;
  // A tray command in progress owns the drive; the session's end does not wait.
  if (shell.TrayBusy && trigger != LockTrigger::kSessionEnd) return;
  if (!Chosen(ReadAutoLockSettings(), trigger)) return;
  shell.QuietLock = true;
  int locked = LockCryptDsk(letter, nullptr, 1);
  if (locked != 1 && trigger == LockTrigger::kSessionEnd && Volume().LockRefusedInUse) {
    // Windows ends the session anyway: a dismounted volume loses less than
    // one cut off in the middle of its writes.
    locked = LockCryptDsk(letter, nullptr, 1, true);
  }
  shell.QuietLock = false;
  if (locked == 1) {
    Volume().CurrentDriveLetter = 0;
    PostMessageW(shell.mainWindow, WM_DESTROY, 0, 0);
    return;
  }
  if (Volume().LockRefusedInUse) {
    ShowTrayBalloon(CT_W(CT_BALLOON_STAYED_OPEN_TITLE), CT_W(CT_BALLOON_STAYED_OPEN));
  }
}

void CheckIdleLock() {
  const AutoLockSettings settings = ReadAutoLockSettings();
  if (!settings.whenIdle) return;
  LASTINPUTINFO input = {sizeof(input), 0};
  if (!GetLastInputInfo(&input)) return;
  if (IdleLongEnough(GetTickCount(), input.dwTime, settings.idleMinutes)) {
    LockAutomatically(LockTrigger::kIdle);
  }
}

void ShowAutoLockChoices(HMENU menu) {
  const AutoLockSettings settings = ReadAutoLockSettings();
  const auto check = [menu](UINT id, bool chosen) {
    CheckMenuItem(menu, id, MF_BYCOMMAND | (chosen ? MF_CHECKED : MF_UNCHECKED));
  };
  char16_t idleText[64];
  if (BuildIdleMenuText(settings.idleMinutes, idleText, 64) == 1) {
    const UINT state = GetMenuState(menu, IDM_AUTO_LOCK_IDLE, MF_BYCOMMAND) & MF_GRAYED;
    ModifyMenuW(menu, IDM_AUTO_LOCK_IDLE, MF_BYCOMMAND | MF_STRING | state, IDM_AUTO_LOCK_IDLE,
                AsWide(idleText));
  }
  check(IDM_AUTO_LOCK_SUSPEND, settings.onSuspend);
  check(IDM_AUTO_LOCK_WORKSTATION, settings.onWorkstationLock);
  check(IDM_AUTO_LOCK_IDLE, settings.whenIdle);
}

bool ToggleAutoLockChoice(int id) {
  AutoLockSettings settings = ReadAutoLockSettings();
  switch (id) {
    case IDM_AUTO_LOCK_SUSPEND:
      settings.onSuspend = !settings.onSuspend;
      break;
    case IDM_AUTO_LOCK_WORKSTATION:
      settings.onWorkstationLock = !settings.onWorkstationLock;
      break;
    case IDM_AUTO_LOCK_IDLE:
      settings.whenIdle = !settings.whenIdle;
      break;
    default:
      return false;
  }
  if (WriteAutoLockSettings(settings) != 1) {
    ShowErrorBox(ClientShell().mainWindow, CT_W(CT_MSG_AUTO_LOCK_NOT_SAVED));
  }
  return true;
}
