#include "session_window.h"

#include "auto_lock.h"
#include "shell_state.h"
#include "tray_icon.h"

namespace {

// Session-change notifications: wtsapi32 is bound at run time, as systems
// without terminal services lack it.
constexpr UINT kSessionChangeMessage = 0x02B1;  // WM_WTSSESSION_CHANGE
constexpr WPARAM kSessionLocked = 0x7;          // WTS_SESSION_LOCK
constexpr DWORD kThisSessionOnly = 0;           // NOTIFY_FOR_THIS_SESSION
constexpr WPARAM kSuspending = 0x4;             // PBT_APMSUSPEND

void AskForSessionChanges(HWND window) {
  HMODULE library = LoadLibraryW(L"wtsapi32.dll");
  if (library == nullptr) return;
  using Register = BOOL(WINAPI*)(HWND, DWORD);
  const auto registerWindow = reinterpret_cast<Register>(
      reinterpret_cast<void*>(GetProcAddress(library, "WTSRegisterSessionNotification")));
  // The library stays loaded for the life of the process, as the
  // registration does.
  if (registerWindow != nullptr) registerWindow(window, kThisSessionOnly);
}

LRESULT OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  static const UINT taskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");
  switch (message) {
    case WM_QUERYENDSESSION:
      LockAutomatically(LockTrigger::kSessionEnd);
      return TRUE;
    case WM_ENDSESSION:
      if (wParam) LockAutomatically(LockTrigger::kSessionEnd);
      return 0;
    case WM_POWERBROADCAST:
      if (wParam == kSuspending) LockAutomatically(LockTrigger::kSuspend);
      return TRUE;
    case kSessionChangeMessage:
      if (wParam == kSessionLocked) LockAutomatically(LockTrigger::kWorkstationLock);
      return 0;
    default:
      if (message == taskbarCreated && taskbarCreated != 0) {
        ReAddTrayIcon();
        return 0;
      }
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

LRESULT CALLBACK SessionWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  try {
    return OnMessage(window, message, wParam, lParam);
  } catch (...) {
    return 0;
  }
}

}  // namespace

int CreateSessionWindow() {
  const HINSTANCE instance = ClientShell().instance;
  WNDCLASSEXW windowClass = {};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = &SessionWindowProc;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = kSessionWindowClass;
  if (RegisterClassExW(&windowClass) == 0) return 0;
  // A top-level popup that is never shown: it takes part in broadcasts.
  const HWND window = CreateWindowExW(WS_EX_TOOLWINDOW, kSessionWindowClass, L"", WS_POPUP, 0, 0,
                                      0, 0, nullptr, nullptr, instance, nullptr);
  if (window == nullptr) return 0;
  AskForSessionChanges(window);
  return 1;
}
