// What the trial's tour does beside the client's screens: pictures of the
// screen, Wine's own programs on the drive, the client as a person starts
// it, and the drive as Wine programs see it.
#pragma once

#include <windows.h>

#include <string>

#include "gui_harness.h"
#include "win/unique_handles.h"

namespace tour {

// Saves `window` (the whole screen when null) as the next numbered picture,
// NN-name.bmp, in the folder CRYPTELLE_TOUR_SHOTS names (a Unix path).
void Shot(HWND window, const char* name);
// The whole screen once the tray's balloon shows (or after 5 seconds).
void ShotOfTheTray(const char* name);

// Starts a Wine program (a command line) in C:\; its process, or none.
UniqueHandle Start(std::wstring commandLine);
// Runs a Wine program to its end; its exit code, or ~0.
DWORD Run(const std::wstring& commandLine);
// Starts a Wine program, pictures its window (of `windowClass`) as `shot`
// and closes it again.
void ShowProgram(const std::wstring& commandLine, const wchar_t* windowClass, const char* shot);

// The client's screen `title`, once the run script's bridge has loaded the
// volume-system stand-in into the client; null when either does not come.
// The client outlives each step of the tour.
HWND WaitForClientAt(const wchar_t* title);
// Starts the installed Cryptelle.exe and waits for it at `title`.
HWND StartClientAt(const wchar_t* title);
// Opens the tray icon's menu, pictures it, then chooses Lock & Exit.
void LockAndExitFromTheTrayMenu(const char* shot);
// True when the client's main window is gone within a minute (the Locked
// balloon stays up for 20 seconds first).
bool WaitForClientExit();

// In the desktop session, where Wine shows the mounted drive: true once
// H:\ shows its files, or once it no longer does; false when that does not
// happen within a minute.
bool WaitForDriveFiles(bool shown);
std::string ReadFileText(const std::wstring& path);

}  // namespace tour
