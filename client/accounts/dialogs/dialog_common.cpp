#include "dialog_common.h"

#include "account_state.h"
#include "client_messages.h"
#include "client_texts.h"
#include "message_box.h"
#include "shell_rules.h"
#include "shell_state.h"

int CentreDialog(HWND dialog) {
  RECT desktop;
  RECT own;
  if (!GetWindowRect(GetDesktopWindow(), &desktop) || !GetWindowRect(dialog, &own)) return 0;
  const CentredOrigin origin =
      CentreOrigin(desktop.left, desktop.top, desktop.right, desktop.bottom, own.right - own.left,
                   own.bottom - own.top);
  return SetWindowPos(dialog, HWND_TOP, origin.x, origin.y, 0, 0, SWP_NOSIZE) ? 1 : 0;
}

void ShowGeneralError(HWND dialog) {
  WipeText(Accounts().Password);
  ShowErrorBox(dialog, CT_W(CT_MSG_GENERAL_ERROR));
  if (dialog != nullptr) EndDialog(dialog, 0);
  PostToMainWindow(UM_EXIT);
}

void PostToMainWindow(UINT message) {
  // Before the main window exists (the Privacy Alert at start-up) the
  // start-up reads the dialog's flags instead.
  if (ClientShell().mainWindow != nullptr) PostMessageW(ClientShell().mainWindow, message, 0, 0);
}

int ReadControlText(HWND dialog, int id, wchar_t* buffer, int units) {
  buffer[0] = 0;
  return GetDlgItemTextW(dialog, id, buffer, units);
}
