#include "setup_dialog.h"

#include <shlobj.h>

#include "install_sequence.h"
#include "messages.h"
#include "resource_ids.h"
#include "setup_texts.h"
#include "win/platform_checks.h"

namespace setup {
namespace {

constexpr int kButtons[] = {IDC_READ, IDC_BROWSE, IDC_INSTALL, IDC_CANCEL};

void EnableButtons(HWND dialog, bool enabled) {
  for (int id : kButtons) EnableWindow(GetDlgItem(dialog, id), enabled ? TRUE : FALSE);
}

void EndWithGeneralError(HWND dialog) {
  ShowGeneralError(dialog);
  EndDialog(dialog, 0);
}

void OnInit(HWND dialog) {
  if (!CentreWindowOnDesktop(dialog)) return EndWithGeneralError(dialog);
  char programFiles[kPathBufferUnits] = {};
  const bool found = SHGetFolderPathA(nullptr, CSIDL_PROGRAM_FILES, nullptr, SHGFP_TYPE_CURRENT,
                                      programFiles) == S_OK;
  if (!found) ShowError(dialog, kNoProgramFiles);
  if ((found && !SetDlgItemTextA(dialog, IDC_INSTALL_PATH, programFiles)) ||
      !SetDlgItemTextA(dialog, IDC_FOLDER_NAME, kFolderName) ||
      !SetDlgItemTextA(dialog, IDC_SHORTCUT_NAME, kShortcutName) ||
      !SetDlgItemTextA(dialog, IDC_STATUS, kStatusReady)) {
    return EndWithGeneralError(dialog);
  }
  EnableButtons(dialog, true);
}

int CALLBACK BrowseCallback(HWND picker, UINT message, LPARAM lParam, LPARAM) {
  char path[kPathBufferUnits] = {};
  if (message == BFFM_INITIALIZED) {
    const DWORD length = GetCurrentDirectoryA(kPathBufferUnits, path);
    if (length > 0 && length <= kMaxPathUnits) {
      SendMessageA(picker, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(path));
    }
  } else if (message == BFFM_SELCHANGED) {
    if (SHGetPathFromIDListA(reinterpret_cast<PCIDLIST_ABSOLUTE>(lParam), path)) {
      SendMessageA(picker, BFFM_SETSTATUSTEXTA, 0, reinterpret_cast<LPARAM>(path));
    }
  }
  return 0;
}

struct ItemListTraits {
  using Handle = PIDLIST_ABSOLUTE;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { CoTaskMemFree(h); }
};

// False when the chosen path could not be shown (setup then ends).
bool BrowseForPath(HWND dialog) {
  BROWSEINFOA info = {};
  info.hwndOwner = dialog;
  info.lpszTitle = kBrowseTitle;
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_STATUSTEXT;
  info.lpfn = BrowseCallback;
  const UniqueWinHandle<ItemListTraits> chosen(SHBrowseForFolderA(&info));
  if (!chosen.valid()) return true;
  char path[kPathBufferUnits] = {};
  if (!SHGetPathFromIDListA(chosen.get(), path)) return true;
  return SetDlgItemTextA(dialog, IDC_INSTALL_PATH, path) != FALSE;
}

void OnBrowse(HWND dialog) {
  EnableButtons(dialog, false);
  if (!BrowseForPath(dialog)) return EndWithGeneralError(dialog);
  EnableButtons(dialog, true);
}

void OnInstall(HWND dialog, SetupState* state) {
  EnableButtons(dialog, false);
  const int result = RunInstallSequence(dialog, state);
  if (result == 1) {
    EndDialog(dialog, 1);
  } else if (result == 0) {
    EnableButtons(dialog, true);
  } else {
    if (!state->adminMessageShown) ShowGeneralError(dialog);
    EndDialog(dialog, 0);
  }
}

INT_PTR OnColorStatic(HWND dialog, HDC dc, SetupState* state) {
  if (!state->whiteBrush.valid()) {
    state->whiteBrush.reset(CreateSolidBrush(RGB(0xFF, 0xFF, 0xFF)));
    if (!state->whiteBrush.valid()) {
      EndWithGeneralError(dialog);
      return FALSE;
    }
  }
  SetBkColor(dc, RGB(0xFF, 0xFF, 0xFF));
  SetTextColor(dc, RGB(0, 0, 0));
  SetBkMode(dc, TRANSPARENT);
  return reinterpret_cast<INT_PTR>(state->whiteBrush.get());
}

INT_PTR HandleMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* state = reinterpret_cast<SetupState*>(GetWindowLongPtrA(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      SetWindowLongPtrA(dialog, DWLP_USER, lParam);
      OnInit(dialog);
      return TRUE;
    case WM_CTLCOLORSTATIC:
      if (state == nullptr) return FALSE;
      return OnColorStatic(dialog, reinterpret_cast<HDC>(wParam), state);
    case WM_CLOSE:
      EndDialog(dialog, 1);
      return TRUE;
    case WM_COMMAND:
      if (state == nullptr) return FALSE;
      switch (LOWORD(wParam)) {
        case IDC_READ:
          ShowMessage(dialog, kChangingPathAdvice, kReadCaption, MB_ICONINFORMATION);
          return TRUE;
        case IDC_BROWSE:
          OnBrowse(dialog);
          return TRUE;
        case IDC_INSTALL:
          OnInstall(dialog, state);
          return TRUE;
        case IDC_CANCEL:
          EndDialog(dialog, 1);
          return TRUE;
      }
      break;
  }
  return FALSE;
}

INT_PTR CALLBACK SetupDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  try {
    return HandleMessage(dialog, message, wParam, lParam);
  } catch (...) {
    // Nothing may unwind into the system's dialog code.
    EndWithGeneralError(dialog);
    return TRUE;
  }
}

}  // namespace

INT_PTR ShowSetupDialog(HINSTANCE instance, SetupState* state) {
  return DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_SETUP), nullptr, SetupDialogProc,
                         reinterpret_cast<LPARAM>(state));
}

}  // namespace setup
