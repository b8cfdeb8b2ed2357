// The volume mount and lock operations of Cryptelle.exe. Results follow the
// client's rule: 1 success, 0 refusal or cancel already shown, -1 error (the
// caller shows the general error). All run on the user-interface thread.
//
// The account state comes from the accounts library (StorageFilePath,
// InstallFolder, UserKeyFilePath, Password); the volume's own state is
// Volume() (volume_state.h); the shell hears of the session through the
// VolumeHost it registers once at start-up.
#pragma once

#include <windows.h>

struct VolumeHost {
  // A drive session opened (the tray menu serves it) or ended.
  void (*SessionChanged)(bool open) = nullptr;
  // The tray shows the drive Open or Locked, with this tooltip and the
  // state's balloon. Non-zero on success.
  int (*ShowDriveState)(bool open, const wchar_t* tooltip) = nullptr;
};

// Registers the shell's side; must precede every other call here.
void SetVolumeHost(const VolumeHost& host);

// Attaches StorageFilePath as a drive (new container when isNewUser, sized
// from control 401 of `owner`, then formatted). Leaves the format-prompt
// hook running when it started it; see MountUserStorage.
int OpenCryptDsk(HWND owner, int isNewUser);

// OpenCryptDsk and what the create-user and log-in flows do after it: stops
// and unloads the format-prompt hook, opens the session on 1; when the mount did not succeed and a drive letter was already
// recorded, quietly locks the half-open drive and gives -1; otherwise gives
// OpenCryptDsk's result unchanged (a cancel stays 0, so the flow keeps its
// screen).
int MountUserStorage(HWND owner, int isNewUser);

// Stops and unloads the format-prompt hook if OpenCryptDsk started it.
void StopFormatHook();

// 1 when the driver answers and has no image attached; 0 otherwise (sets
// DriverUnavailable when the control device cannot be opened).
int IsDriverIdle(HWND owner);

// Removes the drive letters linked to the driver: only `letter`, or every
// other one. Always 1.
int RemoveCryptDskDriveLetters(const wchar_t* volumeName, wchar_t letter, bool thisLetterOnly);

// Formats the attached volume on `letter` as NTFS, label "Cryptelle", 4096-
// byte clusters, through fmifs.dll. 1 when the format reported success.
int FormatCryptDsk(HWND owner, wchar_t letter);

// Locks, detaches and cleans up the drive. 1 detached, 0 not (nothing
// changed; the caller reports; LockRefusedInUse tells whether open files
// held it). `letter` 0 or out of range: found from the links or the driver.
// `dismountFirst` dismounts the volume before locking it, which closes the
// files open on it.
int LockCryptDsk(int letter, HWND owner, int quiet, bool dismountFirst = false);

// Deletes the storage shortcut file (made writable first) if it exists.
void DeleteStorageShortcut();

// The tray's "Lock & Exit": 1 locked (the caller ends the program once the
// Locked balloon has been up), 0 not, after the letter message (owned by
// `owner`). When open files hold the drive the message offers Lock anyway.
int LockAndExit(HWND owner);

// The Privacy Alert's letter message for `letter` into out (780 units).
// 1, or 0 when it does not fit.
int BuildPrivacyAlertMessage(wchar_t letter, wchar_t* out, size_t units);
