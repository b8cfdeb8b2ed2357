// The install sequence run by the dialog's Install button.
#pragma once

#include <windows.h>

#include "setup_state.h"

namespace setup {

// 1 installed; 0 refused with a message (the dialog stays); -1 error (the
// dialog shows the general error unless state->adminMessageShown is set).
// Each step shows its name in the status line first. Nothing is undone.
int RunInstallSequence(HWND dialog, SetupState* state);

}  // namespace setup
