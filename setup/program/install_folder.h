// Creating the installation folder and its sub-folders.
#pragma once

#include <windows.h>

#include "setup_state.h"

namespace setup {

// Builds selected\Cryptelle into `folder` and creates it. An existing empty
// folder is removed and made again; one holding the program's sub-folders,
// or anything else, is refused. 1 created; 0 refused with a message; -1 when
// it cannot be created (the administrator message has been shown and
// state->adminMessageShown set).
int CreateInstallFolder(HWND dialog, SetupState* state, const char* selectedPath,
                        PathBuffer<char>* folder);

// Creates "PRF", "Key" and "CryptDsks" in that order, each with the private
// descriptor (SYSTEM and Administrators only, nothing inherited). 1; 0 after
// the too-long message; -1 after the administrator message.
int CreateSubFolders(HWND dialog, SetupState* state, const char* installFolder);

}  // namespace setup
