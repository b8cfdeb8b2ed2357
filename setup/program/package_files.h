// The package: the regular files of the setup folder.
#pragma once

#include <windows.h>

namespace setup {

// 1 when the setup folder holds exactly the package's 12 regular files,
// among them every file the product uses; 0 after the files-missing
// message; -1 when the folder cannot be listed or its pattern is too long.
int CheckPackage(const char* setupFolder, HWND owner);

// Copies every regular file of the setup folder into the installation
// folder, overwriting (an existing target is made normal first), and adds up
// their sizes in `bytes`. 1, or -1 on any failure (the files-missing message
// is shown when the listing cannot start or the count is not 12).
int CopyPackage(const char* setupFolder, const char* installFolder, HWND owner,
                unsigned long long* bytes);

}  // namespace setup
