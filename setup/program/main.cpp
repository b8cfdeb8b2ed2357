// CryptelleSetup.exe: checks that the product can be installed, then
// installs it from the folder it runs in through its one dialog.
#include <windows.h>

#include "setup_dialog.h"
#include "startup_checks.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  setup::SetupState state;
  if (!setup::RunStartupChecks(&state)) return 0;
  setup::ShowSetupDialog(instance, &state);
  ReleaseMutex(state.mutex.get());
  state.mutex.reset();
  return 0;
}
