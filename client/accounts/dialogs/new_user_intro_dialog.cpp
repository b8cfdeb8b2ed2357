// Introduction to a new user (804), before Create User.
#include "client_dialogs.h"
#include "dialog_messages.h"
#include "dialog_base.h"
#include "resource_ids.h"

namespace {

class NewUserIntroDialog : public DialogBase {
 protected:
  void OnCommand(int id) override {
    if (id == IDOK) EndAndPost(1, UM_NEW_USER_INTRO_DONE);
    if (id == IDCANCEL) EndAndPost(1, UM_EXIT);
  }
};

}  // namespace

INT_PTR ShowNewUserIntroDialog() {
  NewUserIntroDialog dialog;
  return dialog.Run(IDD_NEW_USER_INTRO);
}
