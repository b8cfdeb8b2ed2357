#include "messages.h"

#include "setup_texts.h"

namespace setup {

int ShowMessage(HWND owner, const char* text, const char* caption, UINT style) {
  return MessageBoxA(owner, text, caption, MB_SYSTEMMODAL | style);
}

void ShowError(HWND owner, const char* text) {
  ShowMessage(owner, text, kCaption, MB_ICONERROR);
}

void ShowGeneralError(HWND owner) {
  ShowError(owner, kGeneralError);
}

void ShowAdministratorRequired(HWND owner) {
  ShowMessage(owner, kAdministratorRequired, kAdminCaption, MB_ICONINFORMATION);
}

}  // namespace setup
