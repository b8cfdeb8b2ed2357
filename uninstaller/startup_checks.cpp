#include "startup_checks.h"

#include <windows.h>
#include <winioctl.h>

#include "cryptdsk_protocol.h"
#include "messages.h"
#include "program_folder.h"
#include "win/platform_checks.h"

namespace uninstaller {

namespace {

void ShowError(const wchar_t* text) {
  MessageBoxW(nullptr, text, kCaption, MB_SYSTEMMODAL | MB_ICONERROR);
}

void ShowAdministratorRequired() {
  MessageBoxW(nullptr, kAdministratorRequired, kAdminCaption, MB_SYSTEMMODAL | MB_ICONINFORMATION);
}

bool ReadProgramFolder(StartupState* state) {
  wchar_t path[MAX_PATH + 1] = {};
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH + 1);
  if (length == 0 || length > MAX_PATH) return false;
  state->uninstallerPath.assign(path, length);
  const size_t slash = state->uninstallerPath.rfind(L'\\');
  if (slash == std::wstring::npos) return false;
  state->programFolder = state->uninstallerPath.substr(0, slash);
  return true;
}

bool TakeFolderMutex(StartupState* state) {
  std::wstring name(state->programFolder.size() + 1, L'\0');
  ProgramFolderMutexName(state->programFolder.c_str(), name.data());
  SECURITY_ATTRIBUTES attributes = {sizeof(attributes), nullptr, FALSE};
  state->folderMutex.reset(CreateMutexW(&attributes, TRUE, name.c_str()));
  const DWORD error = GetLastError();
  if (!state->folderMutex.valid()) {
    ShowError(error == ERROR_ACCESS_DENIED ? kGeneralError : kNotStarted);
    return false;
  }
  if (error == ERROR_ALREADY_EXISTS) {
    ShowError(kNotStarted);
    return false;
  }
  return true;
}

bool CheckPlatform() {
  OSVERSIONINFOW version = {};
  version.dwOSVersionInfoSize = sizeof(version);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  const BOOL known = GetVersionExW(&version);
#pragma GCC diagnostic pop
  if (!known) {
    ShowSystemError(GetLastError());
    return false;
  }
  const bool atLeastXp =
      version.dwMajorVersion > 5 || (version.dwMajorVersion == 5 && version.dwMinorVersion >= 1);
  if (version.dwPlatformId != VER_PLATFORM_WIN32_NT || !atLeastXp) {
    ShowError(kOldPlatform);
    return false;
  }
  return true;
}

enum class DriverState { kIdle, kAttached, kAccessDenied };

DriverState QueryDriverState() {
  UniqueFile device(CreateFileW(CRYPTDSK_USER_PATH, GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_NO_BUFFERING, nullptr));
  if (!device.valid()) {
    // A driver that is not there at all cannot hold a container.
    return GetLastError() == ERROR_ACCESS_DENIED ? DriverState::kAccessDenied : DriverState::kIdle;
  }
  BYTE attached = 255;
  DWORD returned = 0;
  const BOOL answered = DeviceIoControl(device.get(), IOCTL_CRYPTDSK_IS_OPEN, nullptr, 0, &attached,
                                        sizeof(attached), &returned, nullptr);
  return answered && attached != 1 ? DriverState::kIdle : DriverState::kAttached;
}

bool DriverFileIsDeletable() {
  const std::wstring path = DriverFilePath();
  if (path.empty()) return false;
  if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) return false;
  return SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL) != FALSE;
}

}  // namespace

void ShowSystemError(DWORD error) {
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPWSTR>(&text), 0,
      nullptr);
  if (length != 0 && text != nullptr) ShowError(text);
  if (text != nullptr) LocalFree(text);
}

std::wstring DriverFilePath() {
  wchar_t system[MAX_PATH + 1] = {};
  const UINT length = GetSystemDirectoryW(system, MAX_PATH + 1);
  if (length == 0 || length > MAX_PATH) return std::wstring();
  std::wstring path(system, length);
  if (path.back() != L'\\') path += L'\\';
  path += L"Drivers\\cryptdsk.sys";
  return path.size() <= MAX_PATH ? path : std::wstring();
}

bool RunStartupChecks(StartupState* state) {
  if (!ReadProgramFolder(state)) return false;
  if (!TakeFolderMutex(state)) return false;
  if (!CheckPlatform()) return false;
  if (!IsAdministratorsMember()) {
    ShowAdministratorRequired();
    return false;
  }
  switch (QueryDriverState()) {
    case DriverState::kAttached:
      ShowError(kStillOpen);
      return false;
    case DriverState::kAccessDenied:
      ShowAdministratorRequired();
      return false;
    case DriverState::kIdle:
      break;
  }
  if (!DriverFileIsDeletable()) {
    ShowAdministratorRequired();
    return false;
  }
  return true;
}

}  // namespace uninstaller
