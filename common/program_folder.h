// Rules on the program folder shared by the client, setup and the uninstaller.
#pragma once

#include "path_buffer.h"

// The program-folder mutex is named after the folder with every backslash
// replaced by an underscore, in the namespace of the whole computer
// (C:\Program Files\Cryptelle gives Global\C:_Program Files_Cryptelle), so
// the programs of one installation exclude each other in every Windows
// session. 1, or -1 when the name is longer than a path.
template <typename Unit>
int ProgramFolderMutexName(const Unit* folder, PathBuffer<Unit>* name) {
  const Unit global[] = {Unit('G'), Unit('l'), Unit('o'), Unit('b'), Unit('a'),
                         Unit('l'), Unit('\\'), 0};
  if (name->Assign(global) != 1 || name->Append(folder) != 1) return -1;
  for (Unit* unit = name->data() + 7; *unit != 0; ++unit) {
    if (*unit == Unit('\\')) *unit = Unit('_');
  }
  return 1;
}
