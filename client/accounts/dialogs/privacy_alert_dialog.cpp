// Privacy Alert (801): offers to lock a container that an earlier run left
// attached. Shown by the start-up before the main window exists.
#include "client_dialogs.h"
#include "client_messages.h"
#include "client_texts.h"
#include "dialog_base.h"
#include "dialog_common.h"
#include "message_box.h"
#include "resource_ids.h"
#include "shell_state.h"
#include "volume_operations.h"

namespace {

constexpr int kButtons[] = {IDOK, IDCANCEL};
constexpr size_t kLetterMessageUnits = 780;

class PrivacyAlertDialog : public DialogBase {
 protected:
  void OnInit() override {
    if (CentreDialog(window()) != 1) {
      ShowGeneralError(window());
      return;
    }
    EnableControls(kButtons, CountOf(kButtons), true);
  }

  void OnCommand(int id) override {
    ShellState& shell = ClientShell();
    if (id == IDCANCEL) {
      shell.StaleLockCancelled = true;
      EndAndPost(1, UM_EXIT);
    }
    if (id == IDOK) Lock();
  }

 private:
  void Lock() {
    ShellState& shell = ClientShell();
    EnableControls(kButtons, CountOf(kButtons), false);
    {
      WaitCursor wait;
      if (LockCryptDsk(shell.StaleDriveLetter, window(), 1) == 1) {
        shell.StaleLockDone = true;
        shell.StaleDriveLetter = 0;
        EndDialog(window(), 0);
        return;
      }
    }
    wchar_t message[kLetterMessageUnits];
    if (BuildPrivacyAlertMessage(shell.StaleDriveLetter, message, kLetterMessageUnits) == 1) {
      ShowInfoBox(nullptr, CT_W(CT_TITLE_PRIVACY_ALERT_BOX), message);
    }
    WaitCursor wait;
    EnableControls(kButtons, CountOf(kButtons), true);
  }
};

}  // namespace

INT_PTR ShowPrivacyAlertDialog() {
  PrivacyAlertDialog dialog;
  return dialog.Run(IDD_PRIVACY_ALERT);
}
