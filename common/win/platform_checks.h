// Checks and window placement that every Cryptelle program shares.
#pragma once

#include <windows.h>

// True when the thread's token (or, without one, the process token) holds
// the built-in Administrators group, whatever the group's attributes. Any
// failure counts as not a member.
bool IsAdministratorsMember();

// Centres a window on the desktop without changing its size; false when a
// rectangle cannot be read or the move fails.
bool CentreWindowOnDesktop(HWND window);
