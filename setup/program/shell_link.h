// Shell links made through COM with narrow strings.
#pragma once

#include <windows.h>

namespace setup {

// Saves a link at `linkPath` to `target`, starting in `workingDirectory`,
// with the icon at index 0 of `iconPath` when that is not null. 1 on
// success; 0 after showing the shortcut message when any step failed.
int CreateShellLink(const char* linkPath, const char* target, const char* iconPath,
                    const char* description, const char* workingDirectory, HWND owner);

}  // namespace setup
