// A hidden top-level window, never shown, for what the message-only main
// window cannot receive: the end of the Windows session, the taskbar's
// restart, power changes and the locking of the workstation.
#pragma once

#include <windows.h>

// The class by which tests and tools find it.
constexpr wchar_t kSessionWindowClass[] = L"CryptelleSessionWindow";

// 1 created, 0 not (the program runs on without these notifications).
int CreateSessionWindow();
