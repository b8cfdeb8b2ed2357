// The client's message boxes: system-modal, with the fixed titles and icons
// of its errors and refusals.
#pragma once

#include <windows.h>

// MessageBoxW with MB_SYSTEMMODAL added; returns its answer.
int ShowMessage(HWND owner, const wchar_t* title, const wchar_t* text, UINT style);

// Title "Cryptelle", MB_ICONERROR: the errors that end the program or that a
// tray command reports.
void ShowErrorBox(HWND owner, const wchar_t* text);

// The refusals of a dialog: its own title, MB_ICONINFORMATION.
void ShowInfoBox(HWND owner, const wchar_t* title, const wchar_t* text);

// Shows the system's text for `error` (captured by the caller right after the
// failing call). 1 when shown, 0 when the system has no text.
int ShowSystemError(DWORD error);

// An OK/Cancel box whose OK button reads `okText`: IDOK or IDCANCEL.
int ShowChoice(HWND owner, const wchar_t* title, const wchar_t* text, const wchar_t* okText);

// "Run as administrator required": the control device or the start-up
// refused us for lack of rights.
void ShowAdministratorMessage(HWND owner);
