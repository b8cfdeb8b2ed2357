// About (816): nothing follows it; the program goes on in the tray.
#include "client_dialogs.h"
#include "client_texts.h"
#include "cryptdsk_protocol.h"
#include "dialog_base.h"
#include "resource_ids.h"
#include "volume_state.h"
#include "win/unique_handles.h"

namespace {

// The screen's body colour (make_resources.sh), so that the line added over
// the background does not stand out as a grey box.
constexpr COLORREF kBodyColour = RGB(0xf4, 0xf6, 0xf9);
constexpr COLORREF kInkColour = RGB(0x1e, 0x1e, 0x1e);

// The logged-in user's protection; empty when no drive is open.
const wchar_t* ProtectionText() {
  switch (Volume().Generation) {
    case cryptdsk::kGenerationWholeDisk:
      return CT_W(CT_ABOUT_PROTECTION_WHOLE_DRIVE);
    case cryptdsk::kGenerationHeadOnly:
      return CT_W(CT_ABOUT_PROTECTION_FIRST_SECTORS);
    default:
      return L"";
  }
}

class AboutDialog : public DialogBase {
 protected:
  void OnInit() override {
    DialogBase::OnInit();
    SetDlgItemTextW(window(), IDC_ABOUT_PROTECTION, ProtectionText());
  }

  // The template has no Cancel button, but Esc still sends 2; it closes the
  // box like OK instead of leaving the main window blocked.
  void OnCommand(int id) override {
    if (id == IDOK || id == IDCANCEL) EndDialog(window(), 1);
  }

  HBRUSH OnStaticColour(HDC dc, HWND control) override {
    if (GetDlgCtrlID(control) != IDC_ABOUT_PROTECTION) return nullptr;
    if (!body_.valid()) body_.reset(CreateSolidBrush(kBodyColour));
    SetBkColor(dc, kBodyColour);
    SetTextColor(dc, kInkColour);
    return static_cast<HBRUSH>(body_.get());
  }

 private:
  UniqueGdiObject body_;
};

}  // namespace

INT_PTR ShowAboutDialog() {
  AboutDialog dialog;
  return dialog.Run(IDD_ABOUT);
}
