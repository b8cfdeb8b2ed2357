// The dialogs of the client. Each runs modally under the main window and
// returns DialogBoxParamW's result; on its way out it posts the next message.
#pragma once

#include <windows.h>

// What became of the container an earlier run left attached.
enum class StaleDriveOutcome { kLocked, kCancelled, kUnresolved, kErrorShown };
// Offers to lock the container attached on `letter` (0: found from the
// driver).
StaleDriveOutcome ShowPrivacyAlertDialog(wchar_t letter);
INT_PTR ShowWelcomeDialog();
INT_PTR ShowNewUserIntroDialog();
INT_PTR ShowCreateUserDialog();
INT_PTR ShowRecoverySetupDialog();
INT_PTR ShowRecoverPasswordDialog();
INT_PTR ShowStorageSetupDialog();
INT_PTR ShowChangePasswordDialog();
INT_PTR ShowLogInDialog();
INT_PTR ShowAboutDialog();
