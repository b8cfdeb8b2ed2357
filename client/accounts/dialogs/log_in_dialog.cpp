// Log In (814): name and password, and the four tool buttons.
#include "account_state.h"
#include "client_dialogs.h"
#include "dialog_messages.h"
#include "client_texts.h"
#include "dialog_base.h"
#include "dialog_common.h"
#include "flow_steps.h"
#include "message_box.h"
#include "resource_ids.h"

namespace {

constexpr int kButtons[] = {
    IDOK, IDCANCEL, IDC_LOGIN_FORGOT, IDC_LOGIN_CHANGE, IDC_LOGIN_NEW_USER, IDC_LOGIN_HELP};

class LogInDialog : public DialogBase {
 protected:
  void OnInit() override {
    DialogBase::OnInit();
    EnableControls(kButtons, CountOf(kButtons), true);
  }

  void OnCommand(int id) override {
    switch (id) {
      case IDOK:
        LogIn();
        break;
      case IDCANCEL:
        EndAndPost(1, UM_EXIT);
        break;
      case IDC_LOGIN_FORGOT:
        EndAndPost(1, UM_SHOW_RECOVER_PASSWORD);
        break;
      case IDC_LOGIN_CHANGE:
        EndAndPost(1, UM_SHOW_CHANGE_PASSWORD);
        break;
      case IDC_LOGIN_NEW_USER:
        EndAndPost(1, UM_SHOW_NEW_USER_INTRO);
        break;
      case IDC_LOGIN_HELP:
        if (OpenManual() == -1) ShowErrorBox(window(), CT_W(CT_MSG_MANUAL_ERROR));
        break;
      default:
        break;
    }
  }

 private:
  void LogIn() {
    EnableControls(kButtons, CountOf(kButtons), false);
    MustCloseProgram = false;  // a fault of an earlier screen is over
    WaitCursor wait;
    WipeText(Password);
    WipeText(UserName);
    WipeText(UserKeyFilePath);
    WipeText(RecoveryFilePath);
    WipeText(StorageFilePath);
    const int result = ValidateLogIn(window());
    if (result == 1) {
      EndAndPost(1, UM_LOGGED_IN);
    } else if (result == 0) {
      WipeText(Password);  // the next attempt reads the field again
      EnableControls(kButtons, CountOf(kButtons), true);
    } else if (MustCloseProgram) {
      EndAndPost(1, UM_EXIT);  // its message said the program closes
    } else {
      ShowGeneralError(window());
    }
  }
};

}  // namespace

INT_PTR ShowLogInDialog() {
  LogInDialog dialog;
  return dialog.Run(IDD_LOG_IN);
}
