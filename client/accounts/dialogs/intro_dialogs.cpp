// The two screens that only lead on: Welcome (802), the first screen while no
// user can log in, and the introduction to a new user (804) before Create
// User. Next posts the chain's next message, Cancel ends the program.
#include "client_dialogs.h"
#include "dialog_base.h"
#include "dialog_messages.h"
#include "resource_ids.h"

namespace {

class IntroDialog : public DialogBase {
 public:
  explicit IntroDialog(UINT next) : next_(next) {}

 protected:
  void OnCommand(int id) override {
    if (id == IDOK) EndAndPost(1, next_);
    if (id == IDCANCEL) EndAndPost(1, UM_EXIT);
  }

 private:
  const UINT next_;
};

INT_PTR ShowIntro(int templateId, UINT next) {
  IntroDialog dialog(next);
  return dialog.Run(templateId);
}

}  // namespace

INT_PTR ShowWelcomeDialog() {
  return ShowIntro(IDD_WELCOME, UM_WELCOME_DONE);
}

INT_PTR ShowNewUserIntroDialog() {
  return ShowIntro(IDD_NEW_USER_INTRO, UM_NEW_USER_INTRO_DONE);
}
