// Base of every client dialog: the static procedure keeps `this` from
// WM_INITDIALOG on and dispatches to the virtual handlers. Nothing thrown by
// a handler leaves the procedure.
#pragma once

#include <windows.h>

class DialogBase {
 public:
  virtual ~DialogBase() = default;

  // DialogBoxParamW with the main window as owner; its result.
  INT_PTR Run(int templateId);

 protected:
  HWND window() const { return window_; }

  // Centres the dialog; the general error ends the program when that fails.
  virtual void OnInit();
  virtual void OnCommand(int id) = 0;
  // The brush behind a static control's text (WM_CTLCOLORSTATIC), with the
  // colours set on `dc`; null leaves the system's.
  virtual HBRUSH OnStaticColour(HDC /*dc*/, HWND /*control*/) { return nullptr; }

  // Ends the dialog with `result` and posts `message` to the main window.
  void EndAndPost(INT_PTR result, UINT message);
  // Enabling also gives the focus to the field a refusal named.
  void EnableControls(const int* ids, size_t count, bool enable);
  void LimitText(int id, int units);

 private:
  static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam);

  HWND window_ = nullptr;
};

// Keeps the wait cursor up for the life of the object.
class WaitCursor {
 public:
  WaitCursor() : previous_(SetCursor(LoadCursorW(nullptr, IDC_WAIT))) {}
  ~WaitCursor() { SetCursor(previous_); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

 private:
  HCURSOR previous_;
};

template <size_t N>
constexpr size_t CountOf(const int (&)[N]) {
  return N;
}
