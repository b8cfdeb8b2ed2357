#include "account_system.h"

#include "key_file_v2.h"
#include "random_pool_win.h"

namespace {

// Pages of their own: released whole, never left in a heap that outlives
// the derivation. Argon2id has wiped them by the time they are released.
void* AllocateKdfMemory(size_t size) {
  return VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
}

void ReleaseKdfMemory(void* memory, size_t) {
  VirtualFree(memory, 0, MEM_RELEASE);
}

}  // namespace

AccountSystem DefaultAccountSystem() {
  return AccountSystem{CreateFileW,        ReadFile,
                       WriteFile,          FlushFileBuffers,
                       CloseHandle,        DeleteFileW,
                       MoveFileExW,        GetFileAttributesW,
                       GetFileSizeEx,      MessageBoxW,
                       RandomPoolGetBytes, AllocateKdfMemory,
                       ReleaseKdfMemory,   kKeyFileV2DefaultParameters};
}

AccountSystem& AccountSystemCalls() {
  static AccountSystem calls = DefaultAccountSystem();
  return calls;
}

void ShowAccountMessage(HWND owner, const WCHAR* text, const WCHAR* title, UINT icon) {
  AccountSystemCalls().messageBox(owner, text, title, MB_OK | MB_SYSTEMMODAL | icon);
}
