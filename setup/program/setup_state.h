// What the setup program keeps for its whole run.
#pragma once

#include <windows.h>

#include "path_buffer.h"
#include "win/unique_handles.h"

namespace setup {

struct SetupState {
  PathBuffer<char> setupFolder;   // folder of the running program, no trailing backslash
  PathBuffer<char> systemFolder;  // GetSystemDirectoryA
  // Set once the administrator message has been shown by the install
  // sequence, so that the general error does not follow it.
  bool adminMessageShown = false;
  UniqueHandle mutex;          // single instance per setup folder
  UniqueGdiObject whiteBrush;  // background of the static controls, made on first use
};

}  // namespace setup
