// The client's process-wide account state, shared by the account flows, the
// key and recovery files and the mount. Secrets wipe themselves at exit and
// are wiped by the flows as soon as they are no longer needed.
#pragma once

#include <windows.h>

#include "path_buffer.h"
#include "secure_wipe.h"
#include "win/wide_text.h"

using WideText = WCHAR[kPathBufferUnits];
using AnswerTexts = WCHAR[3][kPathBufferUnits];

extern WideText InstallFolder;
extern WideText UserName;
extern WideText UserKeyFilePath;
extern WideText RecoveryFilePath;
extern WideText StorageFilePath;
extern Wiped<WideText> Password;
extern Wiped<WideText> OldPassword;
extern Wiped<AnswerTexts> RecoveryAnswers;
extern bool ChangingPassword;
extern bool MustCloseProgram;
extern bool WantRecoveryFile;
// The storage screen's "Encrypt the whole drive" choice: a new user's key
// file and container are of the second generation. Off until the screen sets it.
extern bool WantWholeDriveEncryption;
extern bool PasswordRecovered;
// RecoverPassword has shown its own message, so the dialog adds no other.
extern bool RecoveryMessageShown;

// Copies a terminated text into a 261-unit buffer. 1, or -1 when it does not
// fit (destination unchanged).
int CopyWideText(const WCHAR* source, WCHAR* destination);
