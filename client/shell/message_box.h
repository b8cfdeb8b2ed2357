// Message boxes of the client and the one FormatMessageW helper.
#pragma once

#include <windows.h>

// MessageBoxW with MB_SYSTEMMODAL added; returns its answer.
int ShowMessage(HWND owner, const wchar_t* title, const wchar_t* text, UINT style);

// Title "Cryptelle", MB_ICONERROR: the errors that end the program or that a
// tray command reports.
void ShowErrorBox(HWND owner, const wchar_t* text);

// The refusals of a dialog: its own title, MB_ICONINFORMATION.
void ShowInfoBox(HWND owner, const wchar_t* title, const wchar_t* text);

// The system's text for an error code, or an empty owner when it has none.
// The text is freed by the owner.
HLOCAL FormatSystemMessage(DWORD error);

// Shows the system's text for `error` (captured by the caller right after the
// failing call). 1 when shown, 0 when the system has no text.
int ShowSystemError(DWORD error);
