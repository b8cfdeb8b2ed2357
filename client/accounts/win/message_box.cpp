#include "message_box.h"

#include "client_texts.h"
#include "win/platform_checks.h"

int ShowMessage(HWND owner, const wchar_t* title, const wchar_t* text, UINT style) {
  return MessageBoxW(owner, text, title, style | MB_SYSTEMMODAL);
}

void ShowErrorBox(HWND owner, const wchar_t* text) {
  ShowMessage(owner, CT_W(CT_PRODUCT), text, MB_ICONERROR);
}

void ShowInfoBox(HWND owner, const wchar_t* title, const wchar_t* text) {
  ShowMessage(owner, title, text, MB_ICONINFORMATION);
}

int ShowSystemError(DWORD error) {
  const UniqueLocal text = SystemMessageW(error);
  if (!text.valid()) return 0;
  ShowErrorBox(nullptr, static_cast<const wchar_t*>(text.get()));
  return 1;
}

void ShowAdministratorMessage(HWND owner) {
  ShowMessage(owner, CT_W(CT_TITLE_RUN_AS_ADMIN), CT_W(CT_MSG_RUN_AS_ADMIN), MB_ICONINFORMATION);
}
