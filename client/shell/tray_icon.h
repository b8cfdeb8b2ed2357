// The notification-area icon of the main window and the drive's opener.
#pragma once

#include <windows.h>

// The tray icon record's callback message and icon number.
constexpr UINT kTrayCallbackMessage = WM_USER + 10;
constexpr UINT kTrayIconId = 8081;
static_assert(kTrayCallbackMessage == 1034, "tray callback number");

// 1 added, 0 the shell refused.
int AddTrayIcon();

// Non-zero on success; 0 before AddTrayIcon succeeded, when a text does not
// fit (nothing is sent to the shell then), or when the shell refuses.
// Without `balloon` only the icon and tooltip change.
int UpdateTrayIcon(const wchar_t* tooltip, HICON icon, bool balloon = true);

// A balloon over the icon as it is. 1 shown, 0 not.
int ShowTrayBalloon(const wchar_t* title, const wchar_t* text);

// Adds the icon again as it last was (after Explorer restarted, its tray is
// new and empty). 1 added, 0 not (or never added before).
int ReAddTrayIcon();

// 1 removed, -1 the shell reports ERROR_FILE_NOT_FOUND, 0 other failures.
int RemoveTrayIcon();

// 1 the shell opened the drive, else 0 after its message.
int OpenDriveInExplorer();

