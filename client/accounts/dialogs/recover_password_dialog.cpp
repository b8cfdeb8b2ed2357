// Recover Your Password (807): user name and the three answers.
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

constexpr int kButtons[] = {IDOK, IDCANCEL};

class RecoverPasswordDialog : public DialogBase {
 protected:
  void OnInit() override {
    DialogBase::OnInit();
    LimitText(IDC_RECOVER_USER, 260);
    LimitText(IDC_RECOVER_MAIDEN, 260);
    LimitText(IDC_RECOVER_HOBBY, 260);
    LimitText(IDC_RECOVER_FOOD, 260);
    EnableControls(kButtons, CountOf(kButtons), true);
  }

  void OnCommand(int id) override {
    if (id == IDCANCEL) EndAndPost(1, UM_EXIT);
    if (id == IDOK) Recover();
  }

 private:
  void Recover() {
    EnableControls(kButtons, CountOf(kButtons), false);
    MustCloseProgram = false;  // a fault of an earlier screen is over
    WaitCursor wait;
    RecoveryMessageShown = false;
    const int result = RecoverPassword(window());
    if (result == 1) {
      PasswordRecovered = true;
      EndAndPost(1, UM_SHOW_CHANGE_PASSWORD);
    } else if (result == 0) {
      if (!RecoveryMessageShown) {
        ShowInfoBox(window(), CT_W(CT_TITLE_RECOVER_PASSWORD), CT_W(CT_MSG_ANSWERS_INCORRECT));
      }
      EnableControls(kButtons, CountOf(kButtons), true);
    } else {
      ShowGeneralError(window());
    }
  }
};

}  // namespace

INT_PTR ShowRecoverPasswordDialog() {
  RecoverPasswordDialog dialog;
  return dialog.Run(IDD_RECOVER_PASSWORD);
}
