// Drives another process's windows from a test: finds dialogs and message
// boxes by title, reads their texts, presses their buttons.
#pragma once

#include <windows.h>

#include <string>

namespace gui {

// Waits up to timeoutMs for a top-level dialog (class #32770) with this
// exact title; null when none appears.
inline HWND WaitForDialog(const wchar_t* title, DWORD timeoutMs = 20000) {
  const DWORD start = GetTickCount();
  for (;;) {
    const HWND window = FindWindowW(L"#32770", title);
    if (window != nullptr && IsWindowVisible(window)) return window;
    if (GetTickCount() - start > timeoutMs) return nullptr;
    Sleep(50);
  }
}

inline std::wstring ItemText(HWND dialog, int id) {
  wchar_t text[4096] = {};
  GetDlgItemTextW(dialog, id, text, 4096);
  return text;
}

// A message box shows its text in the static control 65535.
inline std::wstring MessageBoxText(HWND box) {
  return ItemText(box, 65535);
}

// Presses a button as a click would, without waiting for the answer.
inline void Press(HWND dialog, int id) {
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

// Waits for the dialog to go away.
inline bool WaitForClose(HWND window, DWORD timeoutMs = 20000) {
  const DWORD start = GetTickCount();
  while (IsWindow(window)) {
    if (GetTickCount() - start > timeoutMs) return false;
    Sleep(50);
  }
  return true;
}

// Answers the message box that has this caption: returns its text and
// presses the button.
inline std::wstring AnswerMessageBox(const wchar_t* caption, int button = IDOK,
                                     DWORD timeoutMs = 20000) {
  const HWND box = WaitForDialog(caption, timeoutMs);
  if (box == nullptr) return L"<no message box>";
  Sleep(100);  // let the box finish laying out its text
  const std::wstring text = MessageBoxText(box);
  Press(box, button);
  WaitForClose(box);
  return text;
}

// A started child process; killed if still running when this goes away.
class Process {
 public:
  explicit Process(std::wstring commandLine) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                       &startup, &info)) {
      CloseHandle(info.hThread);
      process_ = info.hProcess;
    }
  }
  ~Process() {
    if (process_ == nullptr) return;
    if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) TerminateProcess(process_, 99);
    CloseHandle(process_);
  }
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  bool started() const { return process_ != nullptr; }
  // Exit code, or ~0 when the process did not end in time.
  DWORD Wait(DWORD timeoutMs = 30000) {
    if (process_ == nullptr || WaitForSingleObject(process_, timeoutMs) != WAIT_OBJECT_0) {
      return ~DWORD{0};
    }
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    return code;
  }

 private:
  HANDLE process_ = nullptr;
};

inline std::wstring Widen(const char* text) {
  std::wstring wide;
  for (; *text != 0; ++text) wide += static_cast<wchar_t>(static_cast<unsigned char>(*text));
  return wide;
}

}  // namespace gui
