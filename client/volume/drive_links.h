// The DOS-device links between drive letters and the driver's disk, the
// driver's idle check and the shell notices after a letter change.
#pragma once

#include <windows.h>

#include "unique_handles.h"

// True when the letter's first DOS-device target is exactly
// "\Device\CryptDsk00" (case-sensitive).
bool LinksToCryptDsk(wchar_t letter);
// Links the letter's device name to the driver's disk.
bool LinkToCryptDsk(wchar_t letter);
// Removes the letter's device name (no target given).
void RemoveDeviceName(wchar_t letter);
// Opens a volume or device path for reading and writing, unbuffered.
UniqueFile OpenVolumePath(const wchar_t* path);
// SHChangeNotify(event) and WM_WININICHANGE to every top-level window.
void NotifyDriveChange(LONG event);
// The volume name of the letter's root into a 261-unit buffer (empty on
// failure).
void VolumeNameOf(wchar_t letter, wchar_t* name);
