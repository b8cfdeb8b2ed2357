// Automatic locking: the user's choices (per Windows user, under the
// program's key in HKEY_CURRENT_USER, all off until chosen) and the quiet
// lock that the session's events trigger.
#pragma once

#include <windows.h>

struct AutoLockSettings {
  bool onSuspend = false;           // the computer goes to sleep or hibernates
  bool onWorkstationLock = false;   // the workstation is locked
  bool whenIdle = false;            // no input for idleMinutes
  DWORD idleMinutes = 15;
};

AutoLockSettings ReadAutoLockSettings();
// 1 stored, 0 the registry refused.
int WriteAutoLockSettings(const AutoLockSettings& settings);

enum class LockTrigger { kSessionEnd, kSuspend, kWorkstationLock, kIdle };

// Locks the open drive the quiet way (no boxes, no balloon) for `trigger` if
// the user chose it (the end of the Windows session always locks). Locked:
// the program ends. Refused because files are open: the drive stays open and
// a balloon says why, except at the session's end, where the volume is
// dismounted and locked anyway. Nothing open: nothing happens.
void LockAutomatically(LockTrigger trigger);

// The idle check, run from the main window's timer.
void CheckIdleLock();

// The tray menu's "Lock automatically" items: checked as chosen, the idle
// item naming its minutes.
void ShowAutoLockChoices(HMENU menu);
// Turns the choice of a "Lock automatically" item over; false for any other
// command id.
bool ToggleAutoLockChoice(int id);
