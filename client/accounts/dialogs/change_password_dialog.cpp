// Change Password (810): from Log In, or after a recovery with the name and
// the current password locked.
#include <initializer_list>

#include "account_state.h"
#include "client_dialogs.h"
#include "client_messages.h"
#include "client_texts.h"
#include "dialog_base.h"
#include "dialog_common.h"
#include "flow_steps.h"
#include "resource_ids.h"

namespace {

constexpr int kButtons[] = {IDOK, IDCANCEL};

void ForgetFlowState() {
  AccountState& accounts = Accounts();
  WipeText(accounts.OldPassword);
  WipeText(accounts.RecoveryFilePath);
  WipeText(accounts.UserKeyFilePath);
  WipeText(accounts.StorageFilePath);
  WipeText(accounts.Password);
  WipeText(accounts.UserName);
  accounts.PasswordRecovered = false;
  accounts.ChangingPassword = false;
}

class ChangePasswordDialog : public DialogBase {
 protected:
  void OnInit() override {
    DialogBase::OnInit();
    for (int id : {IDC_CHANGE_USER, IDC_CHANGE_OLD, IDC_CHANGE_NEW, IDC_CHANGE_NEW_AGAIN}) {
      LimitText(id, 260);
    }
    const int locked[] = {IDC_CHANGE_USER, IDC_CHANGE_OLD};
    EnableControls(locked, CountOf(locked), true);
    if (Accounts().PasswordRecovered) {
      SetDlgItemTextW(window(), IDC_CHANGE_USER, Accounts().UserName);
      SetDlgItemTextW(window(), IDC_CHANGE_OLD, CT_W(CT_PASSWORD_MASK));
      EnableControls(locked, CountOf(locked), false);
    }
  }

  void OnCommand(int id) override {
    if (id == IDCANCEL) {
      ForgetFlowState();
      EndAndPost(1, UM_SHOW_LOG_IN);
    }
    if (id == IDOK) Change();
  }

 private:
  void Change() {
    EnableControls(kButtons, CountOf(kButtons), false);
    WaitCursor wait;
    AccountState& accounts = Accounts();
    WipeText(accounts.OldPassword);
    WipeText(accounts.RecoveryFilePath);
    accounts.ChangingPassword = true;
    accounts.MustCloseProgram = false;
    const int result = ChangeUserPassword(window());
    if (result == 1) {
      Changed();
    } else if (result == 0 && !accounts.MustCloseProgram) {
      accounts.ChangingPassword = false;
      EnableControls(kButtons, CountOf(kButtons), true);
    } else if (result == 0) {
      ForgetFlowState();
      EndAndPost(1, UM_SHOW_LOG_IN);
    } else if (accounts.MustCloseProgram) {
      EndAndPost(1, UM_EXIT);
    } else {
      ShowGeneralError(window());
    }
  }

  // TODO(flows): delete the user's old recovery file here, before the new
  // one is offered (ChangingPassword stays set for dialog 806).
  void Changed() {
    AccountState& accounts = Accounts();
    WipeText(accounts.OldPassword);
    WipeText(accounts.RecoveryFilePath);
    WipeText(accounts.UserKeyFilePath);
    WipeText(accounts.StorageFilePath);
    accounts.PasswordRecovered = false;
    EndAndPost(1, UM_SHOW_RECOVERY_SETUP);
  }
};

}  // namespace

INT_PTR ShowChangePasswordDialog() {
  ChangePasswordDialog dialog;
  return dialog.Run(IDD_CHANGE_PASSWORD);
}
