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

namespace {

// The box's OK text, for the hook that renames the button as the box comes
// up; the hook lives only for the one box on this thread.
thread_local const wchar_t* g_choiceOkText = nullptr;

LRESULT CALLBACK RenameOkButton(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE && g_choiceOkText != nullptr) {
    SetDlgItemTextW(reinterpret_cast<HWND>(wParam), IDOK, g_choiceOkText);
    g_choiceOkText = nullptr;
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

int ShowChoice(HWND owner, const wchar_t* title, const wchar_t* text, const wchar_t* okText) {
  g_choiceOkText = okText;
  HHOOK hook = SetWindowsHookExW(WH_CBT, &RenameOkButton, nullptr, GetCurrentThreadId());
  const int answer = ShowMessage(owner, title, text, MB_OKCANCEL | MB_ICONWARNING);
  if (hook != nullptr) UnhookWindowsHookEx(hook);
  g_choiceOkText = nullptr;
  return answer;
}
