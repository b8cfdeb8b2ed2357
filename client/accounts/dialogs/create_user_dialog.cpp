// Create User (805): name, password twice and the recovery-file choice.
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

constexpr int kInputs[] = {IDC_NEW_USER_NAME, IDC_NEW_PASSWORD, IDC_NEW_PASSWORD_AGAIN,
                           IDC_RECOVERY_YES,  IDC_RECOVERY_NO,  IDOK,
                           IDCANCEL};

class CreateUserDialog : public DialogBase {
 protected:
  void OnInit() override {
    DialogBase::OnInit();
    LimitText(IDC_NEW_USER_NAME, 260);
    LimitText(IDC_NEW_PASSWORD, 260);
    LimitText(IDC_NEW_PASSWORD_AGAIN, 260);
    CheckDlgButton(window(), IDC_RECOVERY_NO, BST_CHECKED);
    CheckDlgButton(window(), IDC_RECOVERY_YES, BST_UNCHECKED);
    // The flag follows the button shown as checked.
    WantRecoveryFile = false;
  }

  void OnCommand(int id) override {
    switch (id) {
      case IDC_RECOVERY_YES:
        WantRecoveryFile = true;
        break;
      case IDC_RECOVERY_NO:
        WantRecoveryFile = false;
        break;
      case IDC_RECOVERY_WHAT:
        ShowInfoBox(window(), CT_W(CT_TITLE_RECOVERY_OPTION), CT_W(CT_MSG_RECOVERY_OPTION));
        break;
      case IDCANCEL:
        EndAndPost(1, UM_EXIT);
        break;
      case IDOK:
        Next();
        break;
      default:
        break;
    }
  }

 private:
  void Next() {
    EnableControls(kInputs, CountOf(kInputs), false);
    MustCloseProgram = false;  // a fault of an earlier screen is over
    WipeText(Password);
    WipeText(UserName);
    WipeText(RecoveryFilePath);
    WipeText(UserKeyFilePath);
    const int result = ValidateNewUser(window());
    if (result == 1) {
      EndAndPost(1, UM_USER_ENTERED);
    } else if (result == 0) {
      EnableControls(kInputs, CountOf(kInputs), true);
    } else {
      if (RecoveryFilePath[0] != 0) DeleteFileW(RecoveryFilePath);
      if (UserKeyFilePath[0] != 0) DeleteFileW(UserKeyFilePath);
      ShowGeneralError(window());
    }
  }
};

}  // namespace

INT_PTR ShowCreateUserDialog() {
  CreateUserDialog dialog;
  return dialog.Run(IDD_CREATE_USER);
}
