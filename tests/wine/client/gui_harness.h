// A harness for driving Cryptelle.exe from another process of the same Wine
// session: start and stop it, find its dialogs and message boxes, type,
// click, read, talk to its hidden main window and take screenshots.
#pragma once

#include <windows.h>

#include <string>

namespace gui {

// Generous bound for every wait; nothing asserts on how long a step takes.
constexpr DWORD kPatienceMs = 30000;

class ClientProcess {
 public:
  ClientProcess() = default;
  ~ClientProcess();
  ClientProcess(const ClientProcess&) = delete;
  ClientProcess& operator=(const ClientProcess&) = delete;

  // Starts the program at exePath; false when CreateProcessW fails.
  bool Start(const std::wstring& exePath);
  // Takes on a client that something else started (setup, a shortcut).
  bool Attach(DWORD processId);
  // True when the process ended within kPatienceMs; *exitCode gets its code.
  bool WaitForExit(DWORD* exitCode = nullptr);
  bool Running() const;
  // Ends the process at once, like a crash.
  void Kill();
  // Loads a library into the running program through a thread of its own
  // (LoadLibraryW); true when the library's initialisation succeeded.
  bool LoadLibraryInto(const std::wstring& libraryPath);
  DWORD id() const { return processId_; }

 private:
  HANDLE process_ = nullptr;
  DWORD processId_ = 0;
};

// A top-level dialog or message box (class #32770) with this exact title,
// other than `except`, waiting up to kPatienceMs; null when none appears.
HWND WaitForDialog(const std::wstring& title, HWND except = nullptr);
// The same without waiting.
HWND FindDialog(const std::wstring& title, HWND except = nullptr);
// Waits until the control is enabled; false when patience runs out.
bool WaitUntilEnabled(HWND dialog, int id);
// True when the window is gone within kPatienceMs.
bool WaitUntilGone(HWND window);
// Number of visible #32770 windows that belong to the process.
int CountDialogsOf(DWORD processId);

// A message box's text (static control 65535).
std::wstring MessageBoxText(HWND box);
std::wstring ControlText(HWND dialog, int id);
std::wstring WindowTitle(HWND window);
bool ControlEnabled(HWND dialog, int id);
// The id of the control of `dialog` that has the keyboard focus in its
// thread, or 0 when the focus is elsewhere.
int FocusedControlId(HWND dialog);

void SetControlText(HWND dialog, int id, const std::wstring& text);
// A check box's state, read and set (BM_SETCHECK: no click notification;
// the dialog reads the box when it needs it).
bool Checked(HWND dialog, int id);
void SetChecked(HWND dialog, int id, bool checked);
// Posts BM_CLICK to the button, so that a box it opens does not block us.
void Click(HWND dialog, int id);
// Posts the Escape key to the dialog.
void PressEscape(HWND dialog);

// The client's hidden main window, waiting up to kPatienceMs.
HWND WaitForMainWindow();
// SendMessageTimeoutW; true when the window handled it (it did not block in
// a menu or a message box).
bool SendAndReturn(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// WM_COPYDATA with the given bytes; true when it returned.
bool SendCopyData(HWND window, const void* data, DWORD byteCount);

// Writes the window as it is on screen to a 24-bit BMP file.
bool SaveScreenshot(HWND window, const std::wstring& bmpPath);

// Windows path of a Unix path (Wine maps Z: to /).
std::wstring FromUnixPath(const char* unixPath);

}  // namespace gui
