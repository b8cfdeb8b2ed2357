// What every client dialog shares: centring, the general error, the
// hand-over to the main window, and reading and refusing input.
#pragma once

#include <windows.h>

#include "account_state.h"

// 1 when the dialog was moved to the centre of the desktop, 0 on failure.
int CentreDialog(HWND dialog);

// Wipes the secrets, shows the general error, ends the dialog (if any) with 0
// and posts UM_EXIT; the program then ends.
void ShowGeneralError(HWND dialog);

// The program's module (the dialog templates) and the hidden main window
// (the dialogs' owner and the receiver of the chain's messages; null before
// it exists). The shell sets them at start-up.
void SetDialogParent(HINSTANCE instance, HWND mainWindow);
HINSTANCE DialogInstance();
HWND DialogOwner();

// PostMessageW to the hidden main window with both parameters 0.
void PostToMainWindow(UINT message);

// Reads a control's text into a 261-unit buffer; the character count, so that
// 260 means the text may have been cut.
int ReadControlText(HWND dialog, int id, wchar_t* buffer, int units);

void WipeText(WideText& text);
void WipeText(Wiped<WideText>& text);
// Password, OldPassword and the remembered RecoveryAnswers.
void WipeSecrets();

// Shows a refusal (title, MB_ICONINFORMATION) and moves the focus to
// `focusId` (0: left where it is). Returns 0, the refusal result.
int Refuse(HWND dialog, const wchar_t* title, const wchar_t* text, int focusId);

// Opens the manual from the program folder: 1 opened, 0 not (after its
// message), -1 the path does not fit.
int OpenManual();

// The focus goes to `id` now, or when the controls are enabled again.
void MoveFocusAfterRefusal(HWND dialog, int id);

// A field that must not be empty, read into a 261-unit buffer. Empty: the
// refusal `emptyText` with the focus on the field, 0. Exactly 260 units:
// `cutText` is shown and the text is used. Longer: -1. Otherwise 1.
int ReadRequiredField(HWND dialog, int id, wchar_t* buffer, const wchar_t* title,
                      const wchar_t* emptyText, const wchar_t* cutText);

// The focus a refusal asked for, applied once the dialog's controls are
// enabled again (a disabled control cannot take it).
void ApplyPendingFocus(HWND dialog);
void ForgetPendingFocus(HWND dialog);
