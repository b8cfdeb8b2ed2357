// Checks, system texts and window placement that every Cryptelle program
// shares.
#pragma once

#include <windows.h>

#include "unique_handles.h"

// True when the thread's token (or, without one, the process token) holds
// the built-in Administrators group, whatever the group's attributes. Any
// failure counts as not a member.
bool IsAdministratorsMember();

// Centres a window on the desktop without changing its size, and raises it
// to the top of the z-order when `raise`; false when a rectangle cannot be
// read or the move fails.
bool CentreWindowOnDesktop(HWND window, bool raise = false);

// The Windows version as GetVersionEx reports it to this program.
struct WindowsVersion {
  DWORD major = 0;
  DWORD minor = 0;
  bool nt = false;
};

// False, with the system's error code in *error, when the version cannot be
// read.
bool ReadWindowsVersion(WindowsVersion* version, DWORD* error);

// Windows XP (NT 5.1) or later: the oldest system Cryptelle runs on.
bool IsSupportedWindows(const WindowsVersion& version);

// The system's text for an error code, in local memory; not valid when the
// system has none. Inserts are left as they are.
UniqueLocal SystemMessageW(DWORD error);
UniqueLocal SystemMessageA(DWORD error);
