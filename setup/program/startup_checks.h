// Everything setup checks before it shows its dialog.
#pragma once

#include "setup_state.h"

namespace setup {

// Runs the start-up checks in order. True when setup may show its dialog;
// false when it must end (any message has been shown). On true the state
// holds the setup folder, the system folder and the owned mutex.
bool RunStartupChecks(SetupState* state);

}  // namespace setup
