// CryptelleSetup.exe: checks that the product can be installed, then
// installs it from the folder it runs in through its one dialog.
#include <windows.h>
// windows.h first: OLE builds on it.
#include <ole2.h>

#include "setup_dialog.h"
#include "startup_checks.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  setup::SetupState state;
  if (!setup::RunStartupChecks(&state)) return 0;
  // Shell links and the folder picker need OLE on this thread.
  const bool ole = SUCCEEDED(OleInitialize(nullptr));
  setup::ShowSetupDialog(instance, &state);
  if (ole) OleUninitialize();
  ReleaseMutex(state.mutex.get());
  state.mutex.reset();
  return 0;
}
