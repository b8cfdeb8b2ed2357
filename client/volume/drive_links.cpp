#include "drive_links.h"

#include <shlobj.h>
#include <wchar.h>

#include "cryptdsk_protocol.h"
#include "message_box.h"
#include "path_buffer.h"
#include "registry_state.h"
#include "volume_operations.h"
#include "volume_rules.h"
#include "volume_state.h"
#include "volume_system.h"
#include "win/wide_text.h"

namespace {


}  // namespace

bool LinksToCryptDsk(wchar_t letter) {
  const DriveNames names = MakeDriveNames(static_cast<char16_t>(letter));
  wchar_t targets[kPathBufferUnits] = {};
  if (QueryDosDeviceW(AsWide(names.Device), targets, kPathBufferUnits) == 0) return false;
  return wcscmp(targets, CRYPTDSK_DEVICE_NAME) == 0;
}

bool LinkToCryptDsk(wchar_t letter) {
  const DriveNames names = MakeDriveNames(static_cast<char16_t>(letter));
  return DefineDosDeviceW(DDD_RAW_TARGET_PATH, AsWide(names.Device), CRYPTDSK_DEVICE_NAME) != FALSE;
}

void RemoveDeviceName(wchar_t letter) {
  const DriveNames names = MakeDriveNames(static_cast<char16_t>(letter));
  DefineDosDeviceW(DDD_RAW_TARGET_PATH | DDD_REMOVE_DEFINITION, AsWide(names.Device), nullptr);
}

UniqueFile OpenVolumePath(const wchar_t* path) {
  return UniqueFile(CreateFileW(path, GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_NO_BUFFERING, nullptr));
}

void NotifyDriveChange(LONG event) {
  SHChangeNotify(event, SHCNF_IDLIST, nullptr, nullptr);
  PostMessageW(HWND_BROADCAST, WM_WININICHANGE, 0, 0);
}

void VolumeNameOf(wchar_t letter, wchar_t* name) {
  const DriveNames names = MakeDriveNames(static_cast<char16_t>(letter));
  name[0] = 0;
  if (!QueryVolumeName(AsWide(names.Root), name, kPathBufferUnits)) name[0] = 0;
}

int IsDriverIdle(HWND owner) {
  UniqueFile device(CreateFileW(CRYPTDSK_USER_PATH, GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_NO_BUFFERING, nullptr));
  if (!device.valid()) {
    const DWORD error = GetLastError();
    if (error == ERROR_ACCESS_DENIED) ShowAdministratorMessage(owner);
    Volume().DriverUnavailable = true;
    return 0;
  }
  BYTE isOpen = 0xFF;
  DWORD returned = 0;
  const BOOL answered = DeviceIoControl(device.get(), IOCTL_CRYPTDSK_IS_OPEN, nullptr, 0, &isOpen,
                                        1, &returned, nullptr);
  return answered && isOpen != 1 ? 1 : 0;
}

int RemoveCryptDskDriveLetters(const wchar_t* volumeName, wchar_t letter, bool thisLetterOnly) {
  if (thisLetterOnly) {
    DeleteMountPoint(volumeName);
    RemoveDeviceName(letter);
    SetDriveIcon(letter, false);
    return 1;
  }
  for (wchar_t other = L'A'; other <= L'Z'; ++other) {
    if (other == letter || !LinksToCryptDsk(other)) continue;
    DeleteMountPoint(volumeName);
    RemoveDeviceName(other);
    SetDriveIcon(other, false);
  }
  return 1;
}
