#include "account_system.h"

#include "random_pool_win.h"

AccountSystem DefaultAccountSystem() {
  return AccountSystem{CreateFileW,   ReadFile,    WriteFile,         FlushFileBuffers,
                       CloseHandle,   DeleteFileW, MoveFileExW,       GetFileAttributesW,
                       GetFileSizeEx, MessageBoxW, RandomPoolGetBytes};
}

AccountSystem& AccountSystemCalls() {
  static AccountSystem calls = DefaultAccountSystem();
  return calls;
}

void ShowAccountMessage(HWND owner, const WCHAR* text, const WCHAR* title, UINT icon) {
  AccountSystemCalls().messageBox(owner, text, title, MB_OK | MB_SYSTEMMODAL | icon);
}
