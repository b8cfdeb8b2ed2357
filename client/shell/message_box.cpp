#include "message_box.h"

#include "client_texts.h"
#include "win_handles.h"

int ShowMessage(HWND owner, const wchar_t* title, const wchar_t* text, UINT style) {
  return MessageBoxW(owner, text, title, style | MB_SYSTEMMODAL);
}

void ShowErrorBox(HWND owner, const wchar_t* text) {
  ShowMessage(owner, CT_W(CT_PRODUCT), text, MB_ICONERROR);
}

void ShowInfoBox(HWND owner, const wchar_t* title, const wchar_t* text) {
  ShowMessage(owner, title, text, MB_ICONINFORMATION);
}

HLOCAL FormatSystemMessage(DWORD error) {
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM,
                                      nullptr, error, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                      reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  if (length == 0) {
    if (text != nullptr) LocalFree(text);
    return nullptr;
  }
  return text;
}

int ShowSystemError(DWORD error) {
  UniqueLocal text(FormatSystemMessage(error));
  if (!text.valid()) return 0;
  ShowErrorBox(nullptr, static_cast<const wchar_t*>(text.get()));
  return 1;
}
