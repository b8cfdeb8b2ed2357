// Change Password (810): from Log In, or after a recovery with the name and
// the current password locked.
#include <initializer_list>

#include "account_state.h"
#include "client_dialogs.h"
#include "dialog_messages.h"
#include "client_texts.h"
#include "dialog_base.h"
#include "dialog_common.h"
#include "flow_steps.h"
#include "resource_ids.h"
#include "win/program_folder.h"

namespace {

constexpr int kButtons[] = {IDOK, IDCANCEL};

void ForgetFlowState() {
  WipeSecrets();
  WipeText(RecoveryFilePath);
  WipeText(UserKeyFilePath);
  WipeText(StorageFilePath);
  WipeText(UserName);
  PasswordRecovered = false;
  ChangingPassword = false;
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
    if (PasswordRecovered) {
      SetDlgItemTextW(window(), IDC_CHANGE_USER, UserName);
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
    WipeText(OldPassword);
    WipeText(RecoveryFilePath);
    ChangingPassword = true;
    MustCloseProgram = false;
    const int result = ChangeUserPassword(window());
    if (result == 1) {
      Changed();
    } else if (result == 0 && !MustCloseProgram) {
      ChangingPassword = false;
      EnableControls(kButtons, CountOf(kButtons), true);
    } else if (result == 0) {
      ForgetFlowState();
      EndAndPost(1, UM_SHOW_LOG_IN);
    } else if (MustCloseProgram) {
      EndAndPost(1, UM_EXIT);
    } else {
      ShowGeneralError(window());
    }
  }

  // The old recovery file no longer matches the password. When it cannot be
  // removed the program ends through the general error rather than leaving
  // the user in the tray with no screen. ChangingPassword stays set for 806.
  void Changed() {
    // Only the new password is still needed, for the new recovery file.
    WipeText(OldPassword);
    SecureWipeObject(RecoveryAnswers.get());
    WipeText(RecoveryFilePath);
    WipeText(UserKeyFilePath);
    WipeText(StorageFilePath);
    const int located = LocateRecoveryFile(UserName, true);
    EndDialog(window(), 1);
    PasswordRecovered = false;
    if (located == -1 || (located == 1 && !DeleteOldRecoveryFile())) {
      WipeText(UserName);
      ShowGeneralError(nullptr);
      return;
    }
    PostToMainWindow(UM_SHOW_RECOVERY_SETUP);
  }

  static bool DeleteOldRecoveryFile() {
    return SetFileAttributesW(RecoveryFilePath, FILE_ATTRIBUTE_NORMAL) &&
           DeleteFileW(RecoveryFilePath);
  }
};

}  // namespace

INT_PTR ShowChangePasswordDialog() {
  ChangePasswordDialog dialog;
  return dialog.Run(IDD_CHANGE_PASSWORD);
}
