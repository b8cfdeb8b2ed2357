// Existence tests and locating of the per-user files under InstallFolder.
// Results: 1 exists, 0 missing (or, for the folders, not a folder), -1 the
// path would not fit in 260 units.
#pragma once

#include <windows.h>

int KeyFolderExists();
int StorageFolderExists();

// With remember set, the path also goes to UserKeyFilePath / RecoveryFilePath.
// A key file's temporary successor left by an unfinished change also counts.
int LocateUserKeyFile(const WCHAR* name, bool remember);
int LocateRecoveryFile(const WCHAR* name, bool remember);

int DefaultStorageFileExists(const WCHAR* name);
