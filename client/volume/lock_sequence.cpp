// LockCryptDsk and LockAndExit: lock, dismount and detach the drive, then
// remove what the mount left in the system.
#include <windows.h>

#include <shlobj.h>

#include <string>
#include <utility>

#include "cryptdsk_protocol.h"
#include "drive_links.h"
#include "message_box.h"
#include "path_buffer.h"
#include "registry_state.h"
#include "secure_wipe.h"
#include "volume_operations.h"
#include "volume_rules.h"
#include "volume_state.h"
#include "volume_system.h"
#include "volume_texts.h"
#include "win/wide_text.h"

namespace {

void ShowLockError(HWND owner, const wchar_t* text) {
  MessageBoxW(owner, text, kErrorTitle, MB_SYSTEMMODAL | MB_ICONERROR);
}

int GiveUp() {
  Volume().host.SessionChanged(true);
  return 0;
}

// The file system's lock, after its buffers went to the disk. With
// `dismountFirst` the volume is dismounted before, which closes the files
// still open on it. False, with LockRefusedInUse, when files hold it.
bool LockFileSystem(HANDLE device, bool dismountFirst) {
  FlushFileBuffers(device);  // best effort: the lock flushes as well
  if (dismountFirst) DismountVolume(device);
  if (LockVolume(device)) return true;
  Volume().LockRefusedInUse = true;
  return false;
}

// The given letter when it has a volume name, else the first letter
// linked to the driver; 0 when none is.
wchar_t FindLetter(int given, wchar_t* volume) {
  volume[0] = 0;
  if (IsDriveLetter(given)) {
    VolumeNameOf(static_cast<wchar_t>(given), volume);
    if (volume[0] != 0) return static_cast<wchar_t>(given);
  }
  for (wchar_t letter = L'A'; letter <= L'Z'; ++letter) {
    if (!LinksToCryptDsk(letter)) continue;
    VolumeNameOf(letter, volume);
    return letter;
  }
  return 0;
}

// Without a letter: the control device, and the letter the driver
// recorded (0 when it has none). 1, or 0 to give up.
int OpenThroughControlDevice(UniqueFile* device, wchar_t* letter) {
  *device = OpenVolumePath(CRYPTDSK_USER_PATH);
  if (!device->valid()) return 0;
  // The query never returns the key, but the record is wiped all the same.
  Wiped<OPEN_IMAGE_RECORD> record;
  DWORD returned = 0;
  if (!DeviceIoControl(device->get(), IOCTL_CRYPTDSK_QUERY_IMAGE, nullptr, 0, &record.get(),
                       sizeof(OPEN_IMAGE_RECORD), &returned, nullptr)) {
    device->reset();
    return 0;
  }
  const int recorded = record.get().DriveLetter;
  *letter = IsDriveLetter(recorded) ? static_cast<wchar_t>(recorded) : 0;
  return 1;
}


// After the driver closed the image: dismount, unlink, forget the drive and
// show it Locked. Failures here are only reported.
int CleanUpAfterClose(UniqueFile device, wchar_t letter, const wchar_t* volume, HWND owner,
                      int quiet) {
  VolumeState& state = Volume();
  if (!DismountVolume(device.get())) ShowLockError(owner, kLockIncompleteText);
  if (!UnlockVolume(device.get())) ShowLockError(owner, kLockIncompleteText);
  device.reset();
  if (volume[0] != 0 && letter != 0) {
    RemoveCryptDskDriveLetters(volume, letter, false);
    RemoveCryptDskDriveLetters(volume, letter, true);
    NotifyDriveChange(SHCNE_ASSOCCHANGED);
  }
  state.CurrentDriveLetter = 0;
  state.Generation = 0;
  if (StorageShortcutApplies(state) && state.ShortcutCreated) DeleteStorageShortcut();
  if (SetCryptDskOpenFlag(L"", false) != 1 && !quiet) ShowLockError(owner, kLockRegistryText);
  if (state.host.ShowDriveState(false, kLockedTooltip) == 0 && !quiet) {
    ShowLockError(owner, kLockTrayText);
  }
  return 1;
}

}  // namespace

int LockCryptDsk(int letterGiven, HWND owner, int quiet, bool dismountFirst) {
  Volume().host.SessionChanged(false);
  Volume().LockRefusedInUse = false;
  wchar_t volume[kPathBufferUnits];
  wchar_t letter = FindLetter(letterGiven, volume);
  UniqueFile device;
  if (letter != 0) {
    const DriveNames names = MakeDriveNames(static_cast<char16_t>(letter));
    device = OpenVolumePath(AsWide(names.Volume));
    if (!device.valid()) return GiveUp();
  } else if (OpenThroughControlDevice(&device, &letter) != 1) {
    return GiveUp();
  }
  if (!LockFileSystem(device.get(), dismountFirst)) return GiveUp();
  DWORD returned = 0;
  if (!DeviceIoControl(device.get(), IOCTL_CRYPTDSK_CLOSE_IMAGE, nullptr, 0, nullptr, 0, &returned,
                       nullptr)) {
    return GiveUp();
  }
  return CleanUpAfterClose(std::move(device), letter, volume, owner, quiet);
}

void DeleteStorageShortcut() {
  const wchar_t* path = Volume().StorageShortcutPath;
  if (GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES) return;
  SetFileAttributesW(path, FILE_ATTRIBUTE_NORMAL);
  DeleteFileW(path);
}

int LockAndExit(HWND owner) {
  const int letter = Volume().CurrentDriveLetter;
  int locked = LockCryptDsk(letter, nullptr, 0);
  if (locked != 1) {
    char16_t message[kLetterMessageUnits];
    if (BuildLetterMessage(static_cast<char16_t>(letter), kLockAndExitReasons, message,
                           kLetterMessageUnits) != 1) {
      return 0;
    }
    if (!Volume().LockRefusedInUse) {
      MessageBoxW(owner, AsWide(message), kPrivacyAlertBoxTitle,
                  MB_SYSTEMMODAL | MB_ICONINFORMATION);
      return 0;
    }
    // Files hold the drive: the user may lock it anyway, losing what they
    // have not saved.
    const std::wstring text = std::wstring(AsWide(message)) + kLockAnywayWarning;
    if (ShowChoice(owner, kPrivacyAlertBoxTitle, text.c_str(), kLockAnywayButton) != IDOK) return 0;
    locked = LockCryptDsk(letter, nullptr, 0, true);
    if (locked != 1) return 0;
  }
  Volume().CurrentDriveLetter = 0;
  return 1;
}

int BuildPrivacyAlertMessage(wchar_t letter, wchar_t* out, size_t units) {
  return BuildLetterMessage(static_cast<char16_t>(letter), kPrivacyAlertReasons,
                            reinterpret_cast<char16_t*>(out), units);
}
