// The client's start-up: the checks that decide whether it may run, and the
// sequence that ends in the message loop.
#pragma once

#include <windows.h>

#include "volume_state.h"

// The whole start-up and the message loop: WM_QUIT's wParam, or 0 when the
// start-up stops.
int RunClient(HINSTANCE instance);

// 1 only instance, 0 the mutex exists already, -1 access to it denied.
int CreateSingleInstanceMutex();
// 1 for Windows XP (5.1) or later, else 0 after its message.
int CheckOsVersion();
// The file system of the shared documents folder's volume; clears
// SharedDocumentsFolderKnown when it cannot be read.
FileSystemKind GetSharedDocumentsKind();
// 1 a user key file exists in the Key folder, 0 none or not listable, -1
// the folder's own path does not fit (after the general error message).
int UserKeyFilesExist();
// 1, or 0 after the general error message.
int RegisterMainWindowClass();
