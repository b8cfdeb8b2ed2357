// Welcome (802): the first screen while no user exists.
#include "client_dialogs.h"
#include "dialog_messages.h"
#include "dialog_base.h"
#include "resource_ids.h"

namespace {

class WelcomeDialog : public DialogBase {
 protected:
  void OnCommand(int id) override {
    if (id == IDOK) EndAndPost(1, UM_WELCOME_DONE);
    if (id == IDCANCEL) EndAndPost(1, UM_EXIT);
  }
};

}  // namespace

INT_PTR ShowWelcomeDialog() {
  WelcomeDialog dialog;
  return dialog.Run(IDD_WELCOME);
}
