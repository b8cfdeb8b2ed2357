// CryptelleUninstaller.exe: checks that nothing of the product is in use,
// then removes the whole installation from its one dialog.
#include <windows.h>

#include "messages.h"
#include "resource_ids.h"
#include "startup_checks.h"
#include "uninstall_sequence.h"
#include "win/platform_checks.h"

namespace uninstaller {
namespace {

void RunSequenceFromDialog(HWND dialog, const StartupState& state) {
  EnableWindow(GetDlgItem(dialog, IDOK), FALSE);
  EnableWindow(GetDlgItem(dialog, IDCANCEL), FALSE);
  const HCURSOR previous = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
  const SequenceContext context{dialog, state.programFolder.c_str(), state.uninstallerPath.c_str()};
  const int result = RunUninstallSequence(context);
  SetCursor(previous);
  EndDialog(dialog, result == -1 ? 0 : 1);
}

INT_PTR CALLBACK UninstallDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      SetWindowLongPtrW(dialog, DWLP_USER, lParam);
      if (!CentreWindowOnDesktop(dialog)) {
        MessageBoxW(dialog, kGeneralError, kCaption, MB_SYSTEMMODAL | MB_ICONERROR);
        EndDialog(dialog, 0);
      }
      return TRUE;
    case WM_CTLCOLORSTATIC: {
      // The labels stand on the picture's white area.
      const HDC context = reinterpret_cast<HDC>(wParam);
      SetBkColor(context, RGB(255, 255, 255));
      SetTextColor(context, RGB(0, 0, 0));
      return reinterpret_cast<INT_PTR>(GetStockObject(WHITE_BRUSH));
    }
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK: {
          const auto* state =
              reinterpret_cast<const StartupState*>(GetWindowLongPtrW(dialog, DWLP_USER));
          RunSequenceFromDialog(dialog, *state);
          return TRUE;
        }
        case IDCANCEL:
          EndDialog(dialog, 0);
          return TRUE;
      }
      break;
  }
  return FALSE;
}

}  // namespace
}  // namespace uninstaller

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  uninstaller::StartupState state;
  if (!uninstaller::RunStartupChecks(&state)) return 0;
  DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_UNINSTALL), nullptr,
                  uninstaller::UninstallDialogProc, reinterpret_cast<LPARAM>(&state));
  ReleaseMutex(state.folderMutex.get());
  return 0;
}
