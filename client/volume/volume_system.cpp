#include "volume_system.h"

#include <winioctl.h>

namespace {

BOOL SendVolumeControl(HANDLE volume, DWORD code) {
  DWORD returned = 0;
  return DeviceIoControl(volume, code, nullptr, 0, nullptr, 0, &returned, nullptr);
}

}  // namespace

BOOL QueryVolumeName(const wchar_t* rootPath, wchar_t* name, DWORD units) {
  return GetVolumeNameForVolumeMountPointW(rootPath, name, units);
}

BOOL QueryVolumePathNames(const wchar_t* volumeName, wchar_t* names, DWORD units, DWORD* needed) {
  return GetVolumePathNamesForVolumeNameW(volumeName, names, units, needed);
}

BOOL DeleteMountPoint(const wchar_t* mountPoint) {
  return DeleteVolumeMountPointW(mountPoint);
}

BOOL SetLabel(const wchar_t* rootPath, const wchar_t* label) {
  return SetVolumeLabelW(rootPath, label);
}

BOOL LockVolume(HANDLE volume) {
  return SendVolumeControl(volume, FSCTL_LOCK_VOLUME);
}

BOOL DismountVolume(HANDLE volume) {
  return SendVolumeControl(volume, FSCTL_DISMOUNT_VOLUME);
}

BOOL UnlockVolume(HANDLE volume) {
  return SendVolumeControl(volume, FSCTL_UNLOCK_VOLUME);
}

DWORD_PTR QueryRootFileInfo(const wchar_t* rootPath, SHFILEINFOW* info) {
  return SHGetFileInfoW(rootPath, 0, info, sizeof(*info),
                        SHGFI_DISPLAYNAME | SHGFI_TYPENAME | SHGFI_USEFILEATTRIBUTES);
}
