#include "account_system.h"

#include "random_pool_win.h"

namespace {

int PoolRandomBytes(uint8_t* destination, size_t length) {
  return RandomPoolGetBytes(destination, length);
}

}  // namespace

AccountSystem DefaultAccountSystem() {
  AccountSystem calls;
  calls.createFile = CreateFileW;
  calls.readFile = ReadFile;
  calls.writeFile = WriteFile;
  calls.flushFileBuffers = FlushFileBuffers;
  calls.closeHandle = CloseHandle;
  calls.deleteFile = DeleteFileW;
  calls.moveFileEx = MoveFileExW;
  calls.getFileAttributes = GetFileAttributesW;
  calls.getFileSizeEx = GetFileSizeEx;
  calls.messageBox = MessageBoxW;
  calls.randomBytes = PoolRandomBytes;
  return calls;
}

AccountSystem& AccountSystemCalls() {
  static AccountSystem calls = DefaultAccountSystem();
  return calls;
}

void ShowAccountMessage(HWND owner, const WCHAR* text, const WCHAR* title, UINT icon) {
  AccountSystemCalls().messageBox(owner, text, title, MB_OK | MB_SYSTEMMODAL | icon);
}
