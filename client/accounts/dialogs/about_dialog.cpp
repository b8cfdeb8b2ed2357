// About (816): nothing follows it; the program goes on in the tray.
#include "client_dialogs.h"
#include "dialog_base.h"
#include "resource_ids.h"

namespace {

class AboutDialog : public DialogBase {
 protected:
  // The template has no Cancel button, but Esc still sends 2; it closes the
  // box like OK instead of leaving the main window blocked.
  void OnCommand(int id) override {
    if (id == IDOK || id == IDCANCEL) EndDialog(window(), 1);
  }
};

}  // namespace

INT_PTR ShowAboutDialog() {
  AboutDialog dialog;
  return dialog.Run(IDD_ABOUT);
}
