// The setup program's message boxes: all system-modal, titled "Cryptelle
// Setup" with the error icon unless a caller says otherwise.
#pragma once

#include <windows.h>

namespace setup {

// Returns the button pressed (MessageBoxA's result).
int ShowMessage(HWND owner, const char* text, const char* caption, UINT style);
void ShowError(HWND owner, const char* text);
void ShowGeneralError(HWND owner);
void ShowAdministratorRequired(HWND owner);

}  // namespace setup
