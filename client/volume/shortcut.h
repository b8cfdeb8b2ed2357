// The storage shortcut: a shell link in the shared documents folder that
// points at the open drive.
#pragma once

#include <windows.h>

// Saves a link at shortcutPath to targetPath (for example H:) with the
// description "Cryptelle" and, when iconPath is given, its icon 0.
// 1 saved, else 0. An existing file of that name is replaced.
int CreateStorageShortcut(const wchar_t* iconPath, const wchar_t* targetPath,
                          const wchar_t* shortcutPath);
