// What the setup program keeps for its whole run.
#pragma once

#include <windows.h>

#include "narrow_path.h"
#include "win/unique_handles.h"

namespace setup {

struct GdiObjectTraits {
  using Handle = HGDIOBJ;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { DeleteObject(h); }
};
using UniqueGdiObject = UniqueWinHandle<GdiObjectTraits>;

struct SetupState {
  NarrowPath setupFolder;   // folder of the running program, no trailing backslash
  NarrowPath systemFolder;  // GetSystemDirectoryA
  // Set once the administrator message has been shown by the install
  // sequence, so that the general error does not follow it.
  bool adminMessageShown = false;
  UniqueHandle mutex;          // single instance per setup folder
  UniqueGdiObject whiteBrush;  // background of the static controls, made on first use
};

}  // namespace setup
