// Rules on the program folder shared by the client and the uninstaller.
#pragma once

#include <stddef.h>

// The program-folder mutex is named after the folder with every backslash
// replaced by an underscore (C:\Program Files\Cryptelle gives
// C:_Program Files_Cryptelle), so the client and the uninstaller of one
// installation exclude each other. `name` must hold length + 1 units.
template <typename Unit>
void ProgramFolderMutexName(const Unit* folder, Unit* name) {
  size_t i = 0;
  for (; folder[i] != 0; ++i) name[i] = folder[i] == Unit('\\') ? Unit('_') : folder[i];
  name[i] = 0;
}
