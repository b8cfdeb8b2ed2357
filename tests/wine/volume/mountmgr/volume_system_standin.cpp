// The test bed's mount manager and file system for the driver's drive, for
// Wine, which has neither for it. Loaded into the client process, it points
// the program's imports of the calls that client/volume/volume_system.cpp
// makes at answers built from what the driver itself says:
//   - the volume name of a letter linked to "\Device\CryptDsk00" from the
//     driver's IOCTL_MOUNTDEV_QUERY_UNIQUE_ID ("\??\" becomes "\\?\");
//   - a volume's path names from the DOS-device links of A: to Z:;
//   - a mount-point deletion of such a root removes its link;
//   - the label is kept in HKCU\Software\CryptelleTestBed\Labels;
//   - FSCTL_LOCK_VOLUME is refused (ERROR_ACCESS_DENIED) while the value
//     FileOpenOnVolume of HKCU\Software\CryptelleTestBed is 1 (a test's "file
//     open on the drive"); dismount and unlock succeed;
//   - the shell's root information names the drive "<label> (X:)";
//   - the tray icon's last tooltip is kept in the value TrayTip of
//     HKCU\Software\CryptelleTestBed (a test cannot ask the tray for it);
//   - in the trial, a file system outside Wine mounts the volume once it is
//     labelled, and unmounts it before a lock or dismount
//     (outside_file_system.h).
// Any other path and control code goes to the system unchanged.
#include <windows.h>

#include <shellapi.h>
#include <stdio.h>
#include <string.h>
#include <wchar.h>
#include <winioctl.h>

#include <string>

#include "../outside_file_system.h"

namespace {

constexpr wchar_t kTestBedKey[] = L"Software\\CryptelleTestBed";
constexpr wchar_t kLabelsKey[] = L"Software\\CryptelleTestBed\\Labels";
constexpr wchar_t kCryptDskDevice[] = L"\\Device\\CryptDsk00";
// CTL_CODE(MOUNTDEVCONTROLTYPE, 0, METHOD_BUFFERED, FILE_ANY_ACCESS)
constexpr DWORD kQueryUniqueId = 0x004D0000;

decltype(&GetVolumeNameForVolumeMountPointW) RealVolumeName = GetVolumeNameForVolumeMountPointW;
decltype(&GetVolumePathNamesForVolumeNameW) RealPathNames = GetVolumePathNamesForVolumeNameW;
decltype(&DeleteVolumeMountPointW) RealDeleteMountPoint = DeleteVolumeMountPointW;
decltype(&SetVolumeLabelW) RealSetLabel = SetVolumeLabelW;
decltype(&DeviceIoControl) RealDeviceIoControl = DeviceIoControl;
decltype(&SHGetFileInfoW) RealFileInfo = SHGetFileInfoW;
decltype(&Shell_NotifyIconW) RealNotifyIcon = Shell_NotifyIconW;

// "X:\" (any case) linked to the driver: the upper-case letter, else 0.
wchar_t CryptDskRootLetter(const wchar_t* path) {
  if (path == nullptr || path[0] == 0 || path[1] != L':' || path[2] != L'\\' || path[3] != 0) {
    return 0;
  }
  const wchar_t letter = static_cast<wchar_t>(towupper(path[0]));
  const wchar_t device[3] = {letter, L':', 0};
  wchar_t target[MAX_PATH] = {};
  if (QueryDosDeviceW(device, target, MAX_PATH) == 0) return 0;
  return wcscmp(target, kCryptDskDevice) == 0 ? letter : 0;
}

// The driver's unique id as a volume name, through the letter's device.
bool DriverVolumeName(wchar_t letter, wchar_t* name, DWORD units) {
  const wchar_t path[7] = {L'\\', L'\\', L'.', L'\\', letter, L':', 0};
  const HANDLE device =
      CreateFileW(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (device == INVALID_HANDLE_VALUE) return false;
  BYTE answer[256] = {};
  DWORD returned = 0;
  const BOOL asked = RealDeviceIoControl(device, kQueryUniqueId, nullptr, 0, answer, sizeof(answer),
                                         &returned, nullptr);
  CloseHandle(device);
  const USHORT length = *reinterpret_cast<USHORT*>(answer);
  if (!asked || length < 5 || length + 1u > units || length + 2u > sizeof(answer)) return false;
  for (USHORT i = 0; i < length; ++i) name[i] = answer[2 + i];
  name[length] = 0;
  if (wcsncmp(name, L"\\??\\", 4) == 0) name[1] = L'\\';
  return true;
}

BOOL WINAPI StandInVolumeName(LPCWSTR mountPoint, LPWSTR name, DWORD units) {
  const wchar_t letter = CryptDskRootLetter(mountPoint);
  if (letter == 0) return RealVolumeName(mountPoint, name, units);
  if (DriverVolumeName(letter, name, units)) return TRUE;
  SetLastError(ERROR_FILE_NOT_FOUND);
  return FALSE;
}

BOOL WINAPI StandInPathNames(LPCWSTR volume, LPWCH names, DWORD units, PDWORD needed) {
  wchar_t list[27 * 4 + 1] = {};
  DWORD length = 0;
  bool ours = false;
  for (wchar_t letter = L'A'; letter <= L'Z'; ++letter) {
    const wchar_t root[4] = {letter, L':', L'\\', 0};
    wchar_t name[MAX_PATH];
    if (CryptDskRootLetter(root) == 0 || !DriverVolumeName(letter, name, MAX_PATH) ||
        wcscmp(name, volume) != 0) {
      continue;
    }
    ours = true;
    memcpy(list + length, root, sizeof(root));
    length += 4;
  }
  if (!ours) return RealPathNames(volume, names, units, needed);
  list[length++] = 0;
  if (needed != nullptr) *needed = length;
  if (units < length) {
    SetLastError(ERROR_MORE_DATA);
    return FALSE;
  }
  memcpy(names, list, length * sizeof(wchar_t));
  return TRUE;
}

BOOL WINAPI StandInDeleteMountPoint(LPCWSTR mountPoint) {
  const wchar_t letter = CryptDskRootLetter(mountPoint);
  if (letter == 0) {
    // A volume name is not a mount point.
    if (mountPoint != nullptr && wcsncmp(mountPoint, L"\\\\?\\Volume{", 11) == 0) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
    return RealDeleteMountPoint(mountPoint);
  }
  const wchar_t device[3] = {letter, L':', 0};
  return DefineDosDeviceW(DDD_RAW_TARGET_PATH | DDD_REMOVE_DEFINITION, device, nullptr);
}

BOOL WINAPI StandInSetLabel(LPCWSTR root, LPCWSTR label) {
  const wchar_t letter = CryptDskRootLetter(root);
  if (letter == 0) return RealSetLabel(root, label);
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kLabelsKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    return FALSE;
  }
  const wchar_t name[2] = {letter, 0};
  const LONG status = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(label),
                                     static_cast<DWORD>((wcslen(label) + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
  // The volume is formatted by now: a file system outside Wine mounts it.
  char mount[16];
  snprintf(mount, sizeof(mount), "%s %c", kMountRequest, static_cast<char>(letter));
  AskOutsideFileSystem(mount);
  return status == ERROR_SUCCESS;
}

bool FileMarkedOpen() {
  DWORD value = 0;
  DWORD bytes = sizeof(value);
  return RegGetValueW(HKEY_CURRENT_USER, kTestBedKey, L"FileOpenOnVolume", RRF_RT_REG_DWORD,
                      nullptr, &value, &bytes) == ERROR_SUCCESS &&
         value == 1;
}

BOOL WINAPI StandInDeviceIoControl(HANDLE device, DWORD code, LPVOID input, DWORD inputBytes,
                                   LPVOID output, DWORD outputBytes, LPDWORD returned,
                                   LPOVERLAPPED overlapped) {
  if (code != FSCTL_LOCK_VOLUME && code != FSCTL_DISMOUNT_VOLUME && code != FSCTL_UNLOCK_VOLUME) {
    return RealDeviceIoControl(device, code, input, inputBytes, output, outputBytes, returned,
                               overlapped);
  }
  if (returned != nullptr) *returned = 0;
  // A file system outside Wine (the trial's) unmounts first; it refuses a
  // lock while files are open on it, never a dismount.
  if (code == FSCTL_DISMOUNT_VOLUME) AskOutsideFileSystem(kForceReleaseRequest);
  if (code == FSCTL_LOCK_VOLUME &&
      (FileMarkedOpen() || AskOutsideFileSystem(kReleaseRequest) == 0)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  // A dismount invalidates every handle open on the volume.
  if (code == FSCTL_DISMOUNT_VOLUME && FileMarkedOpen()) {
    const DWORD closed = 0;
    RegSetKeyValueW(HKEY_CURRENT_USER, kTestBedKey, L"FileOpenOnVolume", REG_DWORD, &closed,
                    sizeof(closed));
  }
  return TRUE;
}

DWORD_PTR WINAPI StandInFileInfo(LPCWSTR path, DWORD attributes, SHFILEINFOW* info, UINT bytes,
                                 UINT flags) {
  const wchar_t letter = CryptDskRootLetter(path);
  if (letter == 0 || info == nullptr) return RealFileInfo(path, attributes, info, bytes, flags);
  wchar_t label[64] = {};
  DWORD labelBytes = sizeof(label);
  const wchar_t name[2] = {letter, 0};
  RegGetValueW(HKEY_CURRENT_USER, kLabelsKey, name, RRF_RT_REG_SZ, nullptr, label, &labelBytes);
  memset(info, 0, sizeof(*info));
  swprintf(info->szDisplayName, MAX_PATH, L"%ls (%lc:)", label[0] != 0 ? label : L"Local Disk",
           letter);
  wcscpy(info->szTypeName, L"Local Disk");
  return 1;
}

BOOL WINAPI StandInNotifyIcon(DWORD message, PNOTIFYICONDATAW data) {
  if (data != nullptr && (data->uFlags & NIF_TIP) != 0 &&
      (message == NIM_ADD || message == NIM_MODIFY)) {
    const std::wstring tip(data->szTip, wcsnlen(data->szTip, ARRAYSIZE(data->szTip)));
    RegSetKeyValueW(HKEY_CURRENT_USER, kTestBedKey, L"TrayTip", REG_SZ, tip.c_str(),
                    static_cast<DWORD>((tip.size() + 1) * sizeof(wchar_t)));
  }
  return RealNotifyIcon(message, data);
}

struct Replacement {
  const char* name;
  void* function;
};

// Points the main program's import entries for these names at the
// stand-ins. The program's own calls go through these entries.
void PatchProgramImports() {
  const Replacement replacements[] = {
      {"GetVolumeNameForVolumeMountPointW", reinterpret_cast<void*>(StandInVolumeName)},
      {"GetVolumePathNamesForVolumeNameW", reinterpret_cast<void*>(StandInPathNames)},
      {"DeleteVolumeMountPointW", reinterpret_cast<void*>(StandInDeleteMountPoint)},
      {"SetVolumeLabelW", reinterpret_cast<void*>(StandInSetLabel)},
      {"DeviceIoControl", reinterpret_cast<void*>(StandInDeviceIoControl)},
      {"SHGetFileInfoW", reinterpret_cast<void*>(StandInFileInfo)},
      {"Shell_NotifyIconW", reinterpret_cast<void*>(StandInNotifyIcon)},
  };
  BYTE* base = reinterpret_cast<BYTE*>(GetModuleHandleW(nullptr));
  const auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (imports.VirtualAddress == 0) return;
  for (auto* module = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
       module->Name != 0; ++module) {
    if (module->OriginalFirstThunk == 0) continue;
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + module->OriginalFirstThunk);
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + module->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      const auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      for (const Replacement& replacement : replacements) {
        if (strcmp(reinterpret_cast<const char*>(byName->Name), replacement.name) != 0) continue;
        DWORD previous = 0;
        VirtualProtect(&slots->u1.Function, sizeof(slots->u1.Function), PAGE_READWRITE, &previous);
        slots->u1.Function = reinterpret_cast<ULONG_PTR>(replacement.function);
        VirtualProtect(&slots->u1.Function, sizeof(slots->u1.Function), previous, &previous);
      }
    }
  }
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) PatchProgramImports();
  return TRUE;
}
