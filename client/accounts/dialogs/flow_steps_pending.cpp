// Stand-ins for the flow steps until the account, mount and lock work
// lands. Create User and the recovery-file answers are accepted so that the
// chain of screens can be walked; every step that would write a file, mount
// or lock refuses with one message and leaves its dialog open.
// TODO(flows): replace each function with the full sequence.
#include "account_state.h"
#include "client_texts.h"
#include "dialog_common.h"
#include "flow_steps.h"
#include "message_box.h"
#include "resource_ids.h"

namespace {

int RefuseNotYetAvailable(HWND dialog) {
  wchar_t title[128];
  GetWindowTextW(dialog, title, ARRAYSIZE(title));
  ShowInfoBox(dialog, title, CT_W(CT_MSG_NOT_YET_AVAILABLE));
  return 0;
}

}  // namespace

int ValidateNewUser(HWND dialog) {
  AccountState& accounts = Accounts();
  ReadControlText(dialog, IDC_NEW_USER_NAME, accounts.UserName, ARRAYSIZE(accounts.UserName));
  return 1;
}

int SaveRecoveryAnswers(HWND) {
  return 1;
}

int CreateUserStorage(HWND dialog) {
  return RefuseNotYetAvailable(dialog);
}
int ChangeUserPassword(HWND dialog) {
  return RefuseNotYetAvailable(dialog);
}
int RecoverPassword(HWND dialog) {
  Accounts().RecoveryMessageShown = true;
  return RefuseNotYetAvailable(dialog);
}
int ValidateLogIn(HWND dialog) {
  return RefuseNotYetAvailable(dialog);
}

int LockCryptDsk(int, HWND, int) {
  return 0;
}
