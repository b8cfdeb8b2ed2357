#include "driver_traces.h"

#include <windows.h>
// windows.h first: the device-installation header builds on it.
#include <setupapi.h>
#include <stdio.h>

#include <string>
#include <vector>

#include "path_buffer.h"
#include "product_names.h"
#include "win/unique_handles.h"

namespace uninstaller {

namespace {

using Path = PathBuffer<wchar_t>;

// The service name the INF's AddService directive gives.
constexpr wchar_t kServiceName[] = L"cryptdsk";
// Our INF is a few kilobytes; anything much larger is not a copy of it.
constexpr DWORD kLargestInf = 1 << 20;

bool ReadWholeFile(const wchar_t* path, std::vector<char>* bytes) {
  UniqueFile file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return false;
  LARGE_INTEGER size = {};
  if (!GetFileSizeEx(file.get(), &size) || size.QuadPart > kLargestInf) return false;
  bytes->resize(static_cast<size_t>(size.QuadPart));
  DWORD read = 0;
  return bytes->empty() ||
         (ReadFile(file.get(), bytes->data(), static_cast<DWORD>(bytes->size()), &read, nullptr) &&
          read == bytes->size());
}

// The REG_SZ default value of a key under HKEY_LOCAL_MACHINE.
bool ReadDefaultText(const wchar_t* key, wchar_t (&text)[MAX_PATH + 1]) {
  UniqueRegKey opened;
  DWORD type = 0;
  DWORD bytes = sizeof(text) - sizeof(wchar_t);  // room for a terminator we add
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key, 0, KEY_QUERY_VALUE, opened.put()) != ERROR_SUCCESS ||
      RegQueryValueExW(opened.get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(text),
                       &bytes) != ERROR_SUCCESS ||
      type != REG_SZ) {
    return false;
  }
  text[bytes / sizeof(wchar_t)] = 0;
  return true;
}

}  // namespace

void StopAndDeleteDriverService() {
  const UniqueServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager.valid()) return;
  const UniqueServiceHandle service(
      OpenServiceW(manager.get(), kServiceName, SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE));
  if (!service.valid()) return;
  SERVICE_STATUS status = {};
  if (ControlService(service.get(), SERVICE_CONTROL_STOP, &status)) {
    for (int waited = 0; waited < 50 && status.dwCurrentState != SERVICE_STOPPED; ++waited) {
      Sleep(100);
      if (!QueryServiceStatus(service.get(), &status)) break;
    }
  }
  DeleteService(service.get());
}

void RemoveSystemInfCopies(const wchar_t* programInf) {
  std::vector<char> ours;
  if (!ReadWholeFile(programInf, &ours) || ours.empty()) return;
  wchar_t windows[MAX_PATH + 1] = {};
  const UINT length = GetWindowsDirectoryW(windows, MAX_PATH + 1);
  Path infFolder;
  Path pattern;
  if (length == 0 || length > MAX_PATH || infFolder.AssignJoined(windows, L"inf") != 1 ||
      pattern.AssignJoined(infFolder.c_str(), L"*.inf") != 1) {
    return;
  }

  std::vector<std::wstring> copies;
  WIN32_FIND_DATAW entry;
  const UniqueFind search(FindFirstFileW(pattern.c_str(), &entry));
  if (!search.valid()) return;
  do {
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    Path path;
    std::vector<char> theirs;
    if (path.AssignJoined(infFolder.c_str(), entry.cFileName) == 1 &&
        ReadWholeFile(path.c_str(), &theirs) && theirs == ours) {
      copies.emplace_back(entry.cFileName);
    }
  } while (FindNextFileW(search.get(), &entry));

  for (const std::wstring& name : copies) {
    SetupUninstallOEMInfW(name.c_str(), SUOI_FORCEDELETE, nullptr);
    // The system removes the precompiled form with it; where it does not,
    // it is of no use without its INF. Same name, ".pnf" for ".inf".
    Path precompiled;
    if (precompiled.AssignJoined(infFolder.c_str(), name.c_str()) != 1) continue;
    lstrcpyW(precompiled.data() + precompiled.length() - 4, L".pnf");
    DeleteFileW(precompiled.c_str());
  }
}

void RemoveEmptySetupClass(const wchar_t* programInf) {
  GUID classGuid;
  wchar_t className[33] = {};  // setup class names are at most 32 characters
  if (!SetupDiGetINFClassW(programInf, &classGuid, className, 32, nullptr)) return;
  wchar_t key[80];
  swprintf(key, 80,
           L"SYSTEM\\CurrentControlSet\\Control\\Class\\{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%"
           L"02X%02X}",
           classGuid.Data1, classGuid.Data2, classGuid.Data3, classGuid.Data4[0],
           classGuid.Data4[1], classGuid.Data4[2], classGuid.Data4[3], classGuid.Data4[4],
           classGuid.Data4[5], classGuid.Data4[6], classGuid.Data4[7]);
  // RegDeleteKeyW refuses a key that still has subkeys: devices of the class.
  RegDeleteKeyW(HKEY_LOCAL_MACHINE, key);
}

void RemoveDriveIcons(const wchar_t* programFolder) {
  // Left empty when it would not fit: then only emptied icons are ours.
  Path ourIcon;
  ourIcon.AssignJoined(programFolder, CRYPTELLE_WIDE(CRYPTELLE_OPEN_ICON_FILE));
  wchar_t letterKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\DriveIcons\\?";
  wchar_t& letter = letterKey[ARRAYSIZE(letterKey) - 2];
  for (letter = L'H'; letter <= L'Z'; ++letter) {
    Path iconKey;
    wchar_t icon[MAX_PATH + 1] = {};
    if (iconKey.AssignJoined(letterKey, L"DefaultIcon") != 1 ||
        !ReadDefaultText(iconKey.c_str(), icon)) {
      continue;
    }
    if (icon[0] != 0 && lstrcmpiW(icon, ourIcon.c_str()) != 0) continue;
    if (RegDeleteKeyW(HKEY_LOCAL_MACHINE, iconKey.c_str()) == ERROR_SUCCESS) {
      RegDeleteKeyW(HKEY_LOCAL_MACHINE, letterKey);  // only when nothing else is in it
    }
  }
}

}  // namespace uninstaller
