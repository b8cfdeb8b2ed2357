// The dialogs of the client. Each runs modally under the main window and
// returns DialogBoxParamW's result; on its way out it posts the next message.
#pragma once

#include <windows.h>

INT_PTR ShowPrivacyAlertDialog();
INT_PTR ShowWelcomeDialog();
INT_PTR ShowNewUserIntroDialog();
INT_PTR ShowCreateUserDialog();
INT_PTR ShowRecoverySetupDialog();
INT_PTR ShowRecoverPasswordDialog();
INT_PTR ShowStorageSetupDialog();
INT_PTR ShowChangePasswordDialog();
INT_PTR ShowLogInDialog();
INT_PTR ShowAboutDialog();
