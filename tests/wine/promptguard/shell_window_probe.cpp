// Started by the PromptGuard test under a chosen executable name. It tries
// to create and activate windows and reports through its exit code what the
// hook allowed:
//   probe create    exit 0 when a top-level window was created, 1 when refused
//   probe children LIBRARY
//                   builds a window with the children "Format disk" and
//                   "Cancel" behind a second window, starts the hook from
//                   LIBRARY itself, activates the first window and stops the
//                   hook; exit bits: 1 "Format disk" minimised, 2 "Cancel"
//                   minimised, 4 a new window was refused, 8 the activation
//                   went through
// Wine 8 does not deliver HCBT_ACTIVATE to a hook installed by another
// process (creation it does), so for activation the probe installs it.
#include <windows.h>

#include <wchar.h>

namespace {

HWND CreateTopLevel() {
  return CreateWindowExW(0, L"STATIC", L"probe", WS_OVERLAPPEDWINDOW, 10, 10, 300, 200, nullptr,
                         nullptr, GetModuleHandleW(nullptr), nullptr);
}

HWND CreateChild(HWND parent, const wchar_t* text, int y) {
  return CreateWindowExW(0, L"BUTTON", text, WS_CHILD | WS_VISIBLE, 10, y, 120, 24, parent, nullptr,
                         GetModuleHandleW(nullptr), nullptr);
}

int Children(const wchar_t* library) {
  const HWND parent = CreateTopLevel();
  if (parent == nullptr) return 100;
  const HWND format = CreateChild(parent, L"Format disk", 10);
  const HWND cancel = CreateChild(parent, L"Cancel", 40);
  if (format == nullptr || cancel == nullptr) return 101;
  // Shown and then put behind another window before the hook, so that the
  // activation below is a plain switch between two windows of the process.
  ShowWindow(parent, SW_SHOWNORMAL);
  const HWND other = CreateTopLevel();
  if (other == nullptr) return 104;
  ShowWindow(other, SW_SHOWNORMAL);
  SetActiveWindow(other);
  const HMODULE guard = LoadLibraryW(library);
  if (guard == nullptr) return 102;
  using HookCall = int(WINAPI*)();
  const auto start = reinterpret_cast<HookCall>(
      reinterpret_cast<void*>(GetProcAddress(guard, "_StartPromptGuardHook@0")));
  const auto stop = reinterpret_cast<HookCall>(
      reinterpret_cast<void*>(GetProcAddress(guard, "_StopPromptGuardHook@0")));
  if (start == nullptr || stop == nullptr || start() != 0) return 103;
  SetActiveWindow(parent);
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
  int result = 0;
  if (IsIconic(format)) result |= 1;
  if (IsIconic(cancel)) result |= 2;
  if (GetActiveWindow() == parent) result |= 8;
  if (CreateTopLevel() == nullptr) result |= 4;
  stop();
  return result;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 2 && wcscmp(argv[1], L"create") == 0) {
    if (CreateTopLevel() != nullptr) return 0;
    return GetLastError() == 0 ? 1 : 10000 + static_cast<int>(GetLastError());
  }
  if (argc == 3 && wcscmp(argv[1], L"children") == 0) return Children(argv[2]);
  return 200;
}
