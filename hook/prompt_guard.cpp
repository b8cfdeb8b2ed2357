// The hook library. Its two values live in the shared section "HOOK_PGD" so
// that the hook handle stored by the client is seen by the hook procedure in
// every process the system maps the library into.
#include "prompt_guard.h"

#include "prompt_guard_rules.h"

#define PROMPT_GUARD_SHARED __attribute__((section("HOOK_PGD"), shared))

// 32-bit values by the wire layout of the section; handles fit in 32 bits.
PROMPT_GUARD_SHARED volatile unsigned int SharedModuleHandle = 0;
PROMPT_GUARD_SHARED volatile unsigned int SharedHookHandle = 0;

namespace {

// The stored module handle is 32 bits wide; in a 64-bit process the module
// may be mapped above 4 GB, so the process keeps its own full handle too.
HINSTANCE ProcessModule = nullptr;

HHOOK StoredHook() {
  return reinterpret_cast<HHOOK>(static_cast<ULONG_PTR>(SharedHookHandle));
}

BOOL CALLBACK MinimiseFormatChild(HWND window, LPARAM) {
  wchar_t text[32] = {};
  GetWindowTextW(window, text, 32);
  if (prompt_guard::IsFormatText(text) && !CloseWindow(window)) {
    // Some systems' CloseWindow refuses child windows; minimising is what it
    // does for the others.
    ShowWindow(window, SW_MINIMIZE);
  }
  return TRUE;
}

LRESULT CALLBACK PromptGuardHookProc(int code, WPARAM wParam, LPARAM lParam) {
  if (code < 0 || (code != HCBT_CREATEWND && code != HCBT_ACTIVATE)) {
    return CallNextHookEx(StoredHook(), code, wParam, lParam);
  }
  wchar_t path[MAX_PATH + 1] = {};
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (length == 0 || !prompt_guard::IsShellExecutable(path)) return 0;
  EnumChildWindows(reinterpret_cast<HWND>(wParam), MinimiseFormatChild, 0);
  return 1;
}

}  // namespace

extern "C" int WINAPI StartPromptGuardHook() {
  if (SharedHookHandle != 0) return 0;
  const HINSTANCE module =
      ProcessModule != nullptr
          ? ProcessModule
          : reinterpret_cast<HINSTANCE>(static_cast<ULONG_PTR>(SharedModuleHandle));
  const HHOOK hook = SetWindowsHookExW(WH_CBT, PromptGuardHookProc, module, 0);
  if (hook == nullptr) return 1;
  SharedHookHandle = static_cast<unsigned int>(reinterpret_cast<ULONG_PTR>(hook));
  return 0;
}

extern "C" int WINAPI StopPromptGuardHook() {
  if (SharedHookHandle == 0) return 1;
  if (!UnhookWindowsHookEx(StoredHook())) return 0;
  SharedHookHandle = 0;
  return 1;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    ProcessModule = instance;
    SharedModuleHandle = static_cast<unsigned int>(reinterpret_cast<ULONG_PTR>(instance));
  }
  return TRUE;
}
