// Privacy Alert (801): offers to lock a container that an earlier run left
// attached. Shown by the start-up before the main window exists.
#include "client_dialogs.h"
#include "dialog_messages.h"
#include "client_texts.h"
#include "dialog_base.h"
#include "dialog_common.h"
#include "message_box.h"
#include "resource_ids.h"
#include "volume_operations.h"

namespace {

constexpr int kButtons[] = {IDOK, IDCANCEL};
constexpr size_t kLetterMessageUnits = 780;

class PrivacyAlertDialog : public DialogBase {
 public:
  explicit PrivacyAlertDialog(wchar_t letter) : letter_(letter) {}
  StaleDriveOutcome outcome() const { return outcome_; }

 protected:
  void OnInit() override {
    if (CentreDialog(window()) != 1) {
      outcome_ = StaleDriveOutcome::kErrorShown;
      ShowGeneralError(window());
      return;
    }
    EnableControls(kButtons, CountOf(kButtons), true);
  }

  void OnCommand(int id) override {
    if (id == IDCANCEL) {
      outcome_ = StaleDriveOutcome::kCancelled;
      EndAndPost(1, UM_EXIT);
    }
    if (id == IDOK) Lock();
  }

 private:
  void Lock() {
    EnableControls(kButtons, CountOf(kButtons), false);
    {
      WaitCursor wait;
      if (LockCryptDsk(letter_, window(), 1) == 1) {
        outcome_ = StaleDriveOutcome::kLocked;
        EndDialog(window(), 0);
        return;
      }
    }
    wchar_t message[kLetterMessageUnits];
    if (BuildPrivacyAlertMessage(letter_, message, kLetterMessageUnits) == 1) {
      ShowInfoBox(nullptr, CT_W(CT_TITLE_PRIVACY_ALERT_BOX), message);
    }
    WaitCursor wait;
    EnableControls(kButtons, CountOf(kButtons), true);
  }

  const wchar_t letter_;
  StaleDriveOutcome outcome_ = StaleDriveOutcome::kUnresolved;
};

}  // namespace

StaleDriveOutcome ShowPrivacyAlertDialog(wchar_t letter) {
  PrivacyAlertDialog dialog(letter);
  dialog.Run(IDD_PRIVACY_ALERT);
  return dialog.outcome();
}
