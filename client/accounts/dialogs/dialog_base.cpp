#include "dialog_base.h"

#include "dialog_common.h"

INT_PTR DialogBase::Run(int templateId) {
  return DialogBoxParamW(DialogInstance(), MAKEINTRESOURCEW(templateId), DialogOwner(),
                         &DialogBase::Procedure, reinterpret_cast<LPARAM>(this));
}

void DialogBase::OnInit() {
  if (CentreDialog(window_) != 1) ShowGeneralError(window_);
}

void DialogBase::EndAndPost(INT_PTR result, UINT message) {
  EndDialog(window_, result);
  PostToMainWindow(message);
}

void DialogBase::EnableControls(const int* ids, size_t count, bool enable) {
  for (size_t i = 0; i < count; ++i) EnableWindow(GetDlgItem(window_, ids[i]), enable);
  if (enable) ApplyPendingFocus(window_);
}

void DialogBase::LimitText(int id, int units) {
  SendDlgItemMessageW(window_, id, EM_SETLIMITTEXT, static_cast<WPARAM>(units), 0);
}

INT_PTR DialogBase::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      OnInit();
      return TRUE;
    case WM_DESTROY:
      ForgetPendingFocus(window_);
      return FALSE;
    case WM_COMMAND:
      // Edit-control notifications share the ids; only clicks (and Esc,
      // which arrives as a click on 2) are commands.
      if (HIWORD(wParam) != BN_CLICKED) return FALSE;
      OnCommand(LOWORD(wParam));
      return TRUE;
    case WM_CTLCOLORSTATIC:
      return reinterpret_cast<INT_PTR>(
          OnStaticColour(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam)));
    default:
      return FALSE;
  }
}

INT_PTR CALLBACK DialogBase::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<DialogBase*>(GetWindowLongPtrW(window, DWLP_USER));
  if (message == WM_INITDIALOG) {
    self = reinterpret_cast<DialogBase*>(lParam);
    SetWindowLongPtrW(window, DWLP_USER, lParam);
    self->window_ = window;
  }
  if (self == nullptr) return FALSE;
  try {
    return self->Handle(message, wParam, lParam);
  } catch (...) {
    ShowGeneralError(window);
    return TRUE;
  }
}
