#include "account_state.h"

#include <string.h>

WideText InstallFolder;
WideText UserName;
WideText UserKeyFilePath;
WideText RecoveryFilePath;
WideText StorageFilePath;
Wiped<WideText> Password;
Wiped<WideText> OldPassword;
Wiped<AnswerTexts> RecoveryAnswers;
bool ChangingPassword;
bool MustCloseProgram;
bool WantRecoveryFile;
bool WantWholeDriveEncryption;
bool PasswordRecovered;
bool RecoveryMessageShown;

int CopyWideText(const WCHAR* source, WCHAR* destination) {
  const size_t length = Utf16Length(AsUtf16(source));
  if (length > kMaxPathUnits) return -1;
  memmove(destination, source, (length + 1) * sizeof(WCHAR));
  return 1;
}
