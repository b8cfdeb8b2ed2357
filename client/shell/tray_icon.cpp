#include "tray_icon.h"

#include <shellapi.h>
#include <stddef.h>

#include "account_state.h"
#include "dialog_messages.h"
#include "client_texts.h"
#include "message_box.h"
#include "shell_rules.h"
#include "shell_state.h"
#include "volume_state.h"

namespace {

constexpr UINT kLaunchedBalloonMs = 30000;
constexpr UINT kUpdateBalloonMs = 20000;

void CopyField(const wchar_t* text, wchar_t* field, size_t units) {
  CopyIntoField(AsUtf16(text), AsUtf16(field), units);
}

// Texts of an update, composed before the record is touched so that a text
// that does not fit leaves the record as it was.
struct BalloonTexts {
  wchar_t tip[ARRAYSIZE(NOTIFYICONDATAW{}.szTip)] = {};
  wchar_t title[ARRAYSIZE(NOTIFYICONDATAW{}.szInfoTitle)] = {};
  wchar_t text[ARRAYSIZE(NOTIFYICONDATAW{}.szInfo)] = {};
};

bool ComposeUpdate(const wchar_t* tooltip, BalloonTexts* out) {
  const VolumeState& volume = Volume();
  if (CopyIntoField(AsUtf16(tooltip), AsUtf16(out->tip), ARRAYSIZE(out->tip)) != 1) return false;
  if (volume.CurrentDriveLetter == 0) {
    CopyField(CT_W(CT_BALLOON_LOCKED_TITLE), out->title, ARRAYSIZE(out->title));
    return CopyIntoField(CT_U(CT_BALLOON_LOCKED), AsUtf16(out->text), ARRAYSIZE(out->text)) == 1;
  }
  CopyField(CT_W(CT_BALLOON_OPEN_TITLE), out->title, ARRAYSIZE(out->title));
  return BuildOpenBalloonText(AsUtf16(volume.SharedDocumentsFolder), AsUtf16(out->text)) == 1;
}

}  // namespace

// The XP layout with balloon fields and GUID: 952 bytes in a 32-bit build.
constexpr DWORD kTrayRecordSize = offsetof(NOTIFYICONDATAW, hBalloonIcon);
#ifndef _WIN64
static_assert(kTrayRecordSize == 952, "tray record layout");
#endif
static_assert(kBalloonTextUnits == ARRAYSIZE(NOTIFYICONDATAW{}.szInfo), "balloon field size");
static_assert(kTooltipUnits == ARRAYSIZE(NOTIFYICONDATAW{}.szTip), "tooltip field size");

namespace {

// The record emptied down to what names our icon to the shell.
NOTIFYICONDATAW& ResetTrayRecord(ShellState& shell) {
  NOTIFYICONDATAW& record = shell.trayRecord;
  record = NOTIFYICONDATAW{};
  record.cbSize = kTrayRecordSize;
  record.hWnd = shell.mainWindow;
  record.uID = kTrayIconId;
  return record;
}

}  // namespace

int AddTrayIcon() {
  ShellState& shell = ClientShell();
  NOTIFYICONDATAW& record = ResetTrayRecord(shell);
  record.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_INFO;
  record.uCallbackMessage = kTrayCallbackMessage;
  record.hIcon = shell.LockedIcon;
  CopyField(shell.windowTitle, record.szTip, ARRAYSIZE(record.szTip));
  CopyField(CT_W(CT_BALLOON_LAUNCHED_TITLE), record.szInfoTitle, ARRAYSIZE(record.szInfoTitle));
  CopyField(CT_W(CT_BALLOON_LAUNCHED), record.szInfo, ARRAYSIZE(record.szInfo));
  record.uTimeout = kLaunchedBalloonMs;
  record.dwInfoFlags = NIIF_USER;
  if (!Shell_NotifyIconW(NIM_ADD, &record)) return 0;
  shell.TrayIconAdded = true;
  return 1;
}

int UpdateTrayIcon(const wchar_t* tooltip, HICON icon, bool balloon) {
  ShellState& shell = ClientShell();
  if (!shell.TrayIconAdded) return 0;
  BalloonTexts texts;
  if (!ComposeUpdate(tooltip, &texts)) return 0;
  NOTIFYICONDATAW& record = shell.trayRecord;
  record.hIcon = icon;
  CopyField(texts.tip, record.szTip, ARRAYSIZE(record.szTip));
  CopyField(texts.title, record.szInfoTitle, ARRAYSIZE(record.szInfoTitle));
  CopyField(texts.text, record.szInfo, ARRAYSIZE(record.szInfo));
  record.uTimeout = kUpdateBalloonMs;
  NOTIFYICONDATAW sent = record;
  if (!balloon) sent.uFlags &= ~NIF_INFO;
  return Shell_NotifyIconW(NIM_MODIFY, &sent) ? 1 : 0;
}

int ShowTrayBalloon(const wchar_t* title, const wchar_t* text) {
  ShellState& shell = ClientShell();
  if (!shell.TrayIconAdded) return 0;
  NOTIFYICONDATAW balloon = shell.trayRecord;
  balloon.uFlags = NIF_INFO;
  CopyField(title, balloon.szInfoTitle, ARRAYSIZE(balloon.szInfoTitle));
  CopyField(text, balloon.szInfo, ARRAYSIZE(balloon.szInfo));
  balloon.uTimeout = kUpdateBalloonMs;
  return Shell_NotifyIconW(NIM_MODIFY, &balloon) ? 1 : 0;
}

int ReAddTrayIcon() {
  ShellState& shell = ClientShell();
  if (!shell.TrayIconAdded) return 0;
  NOTIFYICONDATAW again = shell.trayRecord;
  again.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  return Shell_NotifyIconW(NIM_ADD, &again) ? 1 : 0;
}

int RemoveTrayIcon() {
  ShellState& shell = ClientShell();
  NOTIFYICONDATAW& record = ResetTrayRecord(shell);
  if (Shell_NotifyIconW(NIM_DELETE, &record)) {
    shell.TrayIconAdded = false;
    return 1;
  }
  return GetLastError() == ERROR_FILE_NOT_FOUND ? -1 : 0;
}

int OpenDriveInExplorer() {
  ShellState& shell = ClientShell();
  wchar_t root[] = L" :\\";
  root[0] = static_cast<wchar_t>(Volume().CurrentDriveLetter);
  const auto result = reinterpret_cast<INT_PTR>(
      ShellExecuteW(shell.mainWindow, L"open", root, nullptr, nullptr, SW_SHOWNORMAL));
  if (result > 32) return 1;
  ShowErrorBox(shell.mainWindow, CT_W(CT_MSG_EXPLORER_FAILED));
  return 0;
}

