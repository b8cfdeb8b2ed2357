// Rules on the program folder shared by the client, setup and the uninstaller.
#pragma once

#include "path_buffer.h"

// The program-folder mutex is named after the folder with every backslash
// replaced by an underscore (C:\Program Files\Cryptelle gives
// C:_Program Files_Cryptelle), so the programs of one installation exclude
// each other. 1, or -1 when the folder is longer than a path.
template <typename Unit>
int ProgramFolderMutexName(const Unit* folder, PathBuffer<Unit>* name) {
  if (name->Assign(folder) != 1) return -1;
  for (Unit* unit = name->data(); *unit != 0; ++unit) {
    if (*unit == Unit('\\')) *unit = Unit('_');
  }
  return 1;
}
