#include "dialog_common.h"

#include <shellapi.h>

#include "dialog_messages.h"
#include "client_texts.h"
#include "flow_rules.h"
#include "message_box.h"
#include "platform_checks.h"
#include "secure_wipe.h"

namespace {

constexpr wchar_t kPendingFocusProperty[] = L"CryptellePendingFocus";

struct DialogParent {
  HINSTANCE instance = nullptr;
  HWND mainWindow = nullptr;
};

DialogParent& Parent() {
  static DialogParent parent;
  return parent;
}

}  // namespace

void SetDialogParent(HINSTANCE instance, HWND mainWindow) {
  Parent() = {instance, mainWindow};
}

HINSTANCE DialogInstance() {
  return Parent().instance;
}

HWND DialogOwner() {
  return Parent().mainWindow;
}

int CentreDialog(HWND dialog) {
  return CentreWindowOnDesktop(dialog, true) ? 1 : 0;
}

void ShowGeneralError(HWND dialog) {
  WipeSecrets();
  ShowErrorBox(dialog, CT_W(CT_MSG_GENERAL_ERROR));
  if (dialog != nullptr) EndDialog(dialog, 0);
  PostToMainWindow(UM_EXIT);
}

void PostToMainWindow(UINT message) {
  // Before the main window exists (the Privacy Alert at start-up) the
  // start-up reads the dialog's outcome instead.
  if (DialogOwner() != nullptr) PostMessageW(DialogOwner(), message, 0, 0);
}

int ReadControlText(HWND dialog, int id, wchar_t* buffer, int units) {
  buffer[0] = 0;
  return GetDlgItemTextW(dialog, id, buffer, units);
}

void WipeText(WideText& text) {
  SecureWipeObject(text);
}

void WipeText(Wiped<WideText>& text) {
  SecureWipeObject(text.get());
}

void WipeSecrets() {
  WipeText(Password);
  WipeText(OldPassword);
  SecureWipeObject(RecoveryAnswers.get());
}

int Refuse(HWND dialog, const wchar_t* title, const wchar_t* text, int focusId) {
  ShowInfoBox(dialog, title, text);
  if (focusId != 0) MoveFocusAfterRefusal(dialog, focusId);
  return 0;
}

void MoveFocusAfterRefusal(HWND dialog, int id) {
  SetPropW(dialog, kPendingFocusProperty, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(id)));
  ApplyPendingFocus(dialog);
}

int ReadRequiredField(HWND dialog, int id, wchar_t* buffer, const wchar_t* title,
                      const wchar_t* emptyText, const wchar_t* cutText) {
  const int units = ReadControlText(dialog, id, buffer, kPathBufferUnits);
  switch (ClassifyFieldLength(static_cast<size_t>(units))) {
    case FieldLength::kEmpty:
      return Refuse(dialog, title, emptyText, id);
    case FieldLength::kMaybeCut:
      ShowInfoBox(dialog, title, cutText);
      return 1;
    case FieldLength::kTooLong:
      return -1;
    case FieldLength::kFits:
      break;
  }
  return 1;
}

void ApplyPendingFocus(HWND dialog) {
  const int id =
      static_cast<int>(reinterpret_cast<INT_PTR>(GetPropW(dialog, kPendingFocusProperty)));
  if (id == 0) return;
  HWND control = GetDlgItem(dialog, id);
  if (control == nullptr || !IsWindowEnabled(control)) return;
  RemovePropW(dialog, kPendingFocusProperty);
  SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
}

void ForgetPendingFocus(HWND dialog) {
  RemovePropW(dialog, kPendingFocusProperty);
}

int OpenManual() {
  PathBuffer<char16_t> manual;
  if (manual.AssignJoined(AsUtf16(InstallFolder), CT_U(CT_MANUAL_FILE)) != 1) return -1;
  const auto result = reinterpret_cast<INT_PTR>(ShellExecuteW(
      DialogOwner(), nullptr, AsWide(manual.c_str()), nullptr, nullptr, SW_SHOWMAXIMIZED));
  if (result > 32) return 1;
  ShowErrorBox(DialogOwner(),
               CT_W(CT_MSG_MANUAL_MISSING_HEAD) CT_W(CT_WEB_SITE) CT_W(CT_MSG_MANUAL_MISSING_TAIL));
  return 0;
}
