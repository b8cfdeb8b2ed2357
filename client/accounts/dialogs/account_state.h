// The account flows' process-wide state. Passwords and answers are wiped
// with SecureWipe as soon as a flow no longer needs them.
#pragma once

#include "path_buffer.h"

struct AccountState {
  wchar_t UserName[kPathBufferUnits] = {};
  wchar_t Password[kPathBufferUnits] = {};
  wchar_t OldPassword[kPathBufferUnits] = {};
  wchar_t UserKeyFilePath[kPathBufferUnits] = {};
  wchar_t RecoveryFilePath[kPathBufferUnits] = {};
  wchar_t StorageFilePath[kPathBufferUnits] = {};
  wchar_t RecoveryAnswers[3][kPathBufferUnits] = {};
  bool ChangingPassword = false;
  bool MustCloseProgram = false;
  bool WantRecoveryFile = false;
  bool PasswordRecovered = false;
  // RecoverPassword has shown its own message; the dialog adds none.
  bool RecoveryMessageShown = false;
};

AccountState& Accounts();

// Zeroes every character of a 261-unit buffer.
void WipeText(wchar_t (&text)[kPathBufferUnits]);
