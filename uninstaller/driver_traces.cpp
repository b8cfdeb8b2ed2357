#include "driver_traces.h"

// clang-format off
#include <windows.h>
#include <setupapi.h>
// clang-format on
#include <stdio.h>

#include <memory>
#include <type_traits>
#include <vector>

#include "win/unique_handles.h"

namespace uninstaller {

namespace {

// The service name the INF's AddService directive gives.
constexpr wchar_t kServiceName[] = L"cryptdsk";
// Our INF is a few kilobytes; anything much larger is not a copy of it.
constexpr DWORD kLargestInf = 1 << 20;

struct ServiceHandleCloser {
  void operator()(SC_HANDLE handle) const { CloseServiceHandle(handle); }
};
using ServiceHandle = std::unique_ptr<std::remove_pointer_t<SC_HANDLE>, ServiceHandleCloser>;

bool ReadWholeFile(const std::wstring& path, std::vector<char>* bytes) {
  UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
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

}  // namespace

void StopAndDeleteDriverService() {
  ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager) return;
  ServiceHandle service(
      OpenServiceW(manager.get(), kServiceName, SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE));
  if (!service) return;
  SERVICE_STATUS status = {};
  if (ControlService(service.get(), SERVICE_CONTROL_STOP, &status)) {
    for (int waited = 0; waited < 50 && status.dwCurrentState != SERVICE_STOPPED; ++waited) {
      Sleep(100);
      if (!QueryServiceStatus(service.get(), &status)) break;
    }
  }
  DeleteService(service.get());
}

void RemoveSystemInfCopies(const std::wstring& programInf) {
  std::vector<char> ours;
  if (!ReadWholeFile(programInf, &ours) || ours.empty()) return;
  wchar_t windows[MAX_PATH + 1] = {};
  const UINT length = GetWindowsDirectoryW(windows, MAX_PATH + 1);
  if (length == 0 || length > MAX_PATH) return;
  const std::wstring infFolder = std::wstring(windows, length) + L"\\inf\\";

  std::vector<std::wstring> copies;
  WIN32_FIND_DATAW entry;
  const UniqueFind search(FindFirstFileW((infFolder + L"*.inf").c_str(), &entry));
  if (!search.valid()) return;
  do {
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    std::vector<char> theirs;
    if (ReadWholeFile(infFolder + entry.cFileName, &theirs) && theirs == ours) {
      copies.emplace_back(entry.cFileName);
    }
  } while (FindNextFileW(search.get(), &entry));

  for (const std::wstring& name : copies) {
    SetupUninstallOEMInfW(name.c_str(), SUOI_FORCEDELETE, nullptr);
    // The system removes the precompiled form with it; where it does not,
    // it is of no use without its INF.
    const std::wstring precompiled = infFolder + name.substr(0, name.size() - 4) + L".pnf";
    DeleteFileW(precompiled.c_str());
  }
}

void RemoveEmptySetupClass(const std::wstring& programInf) {
  GUID classGuid;
  wchar_t className[33] = {};  // setup class names are at most 32 characters
  if (!SetupDiGetINFClassW(programInf.c_str(), &classGuid, className, 32, nullptr)) {
    return;
  }
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

void RemoveDriveIcons(const std::wstring& programFolder) {
  constexpr wchar_t kDriveIcons[] =
      L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\DriveIcons\\";
  const std::wstring ourIcon = programFolder + L"\\CryptelleOpen.ico";
  for (wchar_t letter = L'H'; letter <= L'Z'; ++letter) {
    const std::wstring letterKey = std::wstring(kDriveIcons) + letter;
    const std::wstring iconKey = letterKey + L"\\DefaultIcon";
    wchar_t icon[MAX_PATH + 1] = {};
    DWORD bytes = sizeof(icon) - sizeof(wchar_t);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, iconKey.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, icon,
                     &bytes) != ERROR_SUCCESS) {
      continue;
    }
    if (icon[0] != 0 && lstrcmpiW(icon, ourIcon.c_str()) != 0) continue;
    if (RegDeleteKeyW(HKEY_LOCAL_MACHINE, iconKey.c_str()) == ERROR_SUCCESS) {
      RegDeleteKeyW(HKEY_LOCAL_MACHINE, letterKey.c_str());  // only when nothing else is in it
    }
  }
}

}  // namespace uninstaller
