// The setup dialog: the installation path, the Install button and the status line.
#pragma once

#include <windows.h>

#include "setup_state.h"

namespace setup {

// Shows the dialog modally with `state` for its whole life. Its result: 1
// installed or left by Cancel/close; 0 after an error.
INT_PTR ShowSetupDialog(HINSTANCE instance, SetupState* state);

}  // namespace setup
