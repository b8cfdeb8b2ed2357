// The validation steps of the account flows. Each returns 1 (done), 0 (stay:
// a refusal already shown) or -1 (error: the caller shows the general error,
// unless MustCloseProgram says the closing was announced already).
#pragma once

#include <windows.h>

int ValidateNewUser(HWND dialog);
int SaveRecoveryAnswers(HWND dialog);
int CreateUserStorage(HWND dialog);
int ChangeUserPassword(HWND dialog);
int RewriteUserFiles(HWND dialog);
int RecoverPassword(HWND dialog);
int ValidateLogIn(HWND dialog);
