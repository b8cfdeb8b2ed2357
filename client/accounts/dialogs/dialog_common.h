// What every client dialog shares: centring, the general error, and the
// hand-over to the main window.
#pragma once

#include <windows.h>

// 1 when the dialog was moved to the centre of the desktop, 0 on failure.
int CentreDialog(HWND dialog);

// Wipes Password, shows the general error, ends the dialog (if any) with 0
// and posts UM_EXIT; the program then ends.
void ShowGeneralError(HWND dialog);

// PostMessageW to the hidden main window with both parameters 0.
void PostToMainWindow(UINT message);

// Reads a control's text into a 261-unit buffer; the character count, so that
// 260 means the text may have been cut.
int ReadControlText(HWND dialog, int id, wchar_t* buffer, int units);
