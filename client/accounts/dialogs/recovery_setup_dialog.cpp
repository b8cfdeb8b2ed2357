// Create Password Recovery File (806): three answers; reached while a user
// is created and after a password change.
#include "account_state.h"
#include "client_dialogs.h"
#include "dialog_messages.h"
#include "dialog_base.h"
#include "dialog_common.h"
#include "flow_steps.h"
#include "resource_ids.h"
#include "secure_wipe.h"

namespace {

constexpr int kButtons[] = {IDOK, IDCANCEL};

class RecoverySetupDialog : public DialogBase {
 protected:
  void OnInit() override {
    DialogBase::OnInit();
    LimitText(IDC_ANSWER_MAIDEN, 260);
    LimitText(IDC_ANSWER_HOBBY, 260);
    LimitText(IDC_ANSWER_FOOD, 260);
    EnableControls(kButtons, CountOf(kButtons), true);
  }

  void OnCommand(int id) override {
    if (id == IDCANCEL) Cancel();
    if (id == IDOK) Save();
  }

 private:
  // Ends the dialog: after a password change back to Log In, else on to
  // `nextForNewUser`.
  void Leave(UINT nextForNewUser) {
    EndDialog(window(), 1);
    if (ChangingPassword) {
      // The new password is in force; nothing needs it any more.
      WipeText(Password);
      ChangingPassword = false;
      PostToMainWindow(UM_SHOW_LOG_IN);
    } else {
      PostToMainWindow(nextForNewUser);
    }
  }

  void Cancel() { Leave(UM_EXIT); }

  void Save() {
    EnableControls(kButtons, CountOf(kButtons), false);
    MustCloseProgram = false;  // a fault of an earlier screen is over
    WaitCursor wait;
    const int result = SaveRecoveryAnswers(window());
    if (result == 1) {
      Leave(UM_SHOW_STORAGE_SETUP);
    } else if (result == 0) {
      Refused();
    } else if (MustCloseProgram) {
      EndAndPost(1, UM_EXIT);
    } else {
      ShowGeneralError(window());
    }
  }

  void Refused() {
    if (!MustCloseProgram) {
      EnableControls(kButtons, CountOf(kButtons), true);
    } else if (!ChangingPassword) {
      EndAndPost(1, UM_EXIT);
    } else {
      WipeText(Password);
      ChangingPassword = false;
      EndAndPost(1, UM_SHOW_LOG_IN);
    }
  }
};

}  // namespace

INT_PTR ShowRecoverySetupDialog() {
  RecoverySetupDialog dialog;
  return dialog.Run(IDD_RECOVERY_SETUP);
}
