#include "startup_checks.h"

#include <wchar.h>
#include <windows.h>
#include <winioctl.h>

#include "cryptdsk_protocol.h"
#include "messages.h"
#include "product_names.h"
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
  if (length == 0 || length > MAX_PATH || state->uninstallerPath.Assign(path) != 1) return false;
  wchar_t* const slash = wcsrchr(path, L'\\');
  if (slash == nullptr) return false;
  *slash = 0;
  return state->programFolder.Assign(path) == 1;
}

bool TakeFolderMutex(StartupState* state) {
  PathBuffer<wchar_t> name;
  if (ProgramFolderMutexName(state->programFolder.c_str(), &name) != 1) return false;
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
  WindowsVersion version;
  DWORD error = 0;
  if (!ReadWindowsVersion(&version, &error)) {
    const UniqueLocal text = SystemMessageW(error);
    if (text.valid()) ShowError(static_cast<const wchar_t*>(text.get()));
    return false;
  }
  if (!IsSupportedWindows(version)) {
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

}  // namespace

bool MakeDriverFileDeletable(PathBuffer<wchar_t>* path) {
  wchar_t system[MAX_PATH + 1] = {};
  const UINT length = GetSystemDirectoryW(system, MAX_PATH + 1);
  return length != 0 && length <= MAX_PATH &&
         path->AssignJoined(system, L"Drivers\\" CRYPTELLE_WIDE(CRYPTELLE_DRIVER_SYS)) == 1 &&
         GetFileAttributesW(path->c_str()) != INVALID_FILE_ATTRIBUTES &&
         SetFileAttributesW(path->c_str(), FILE_ATTRIBUTE_NORMAL);
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
  PathBuffer<wchar_t> driverFile;
  if (!MakeDriverFileDeletable(&driverFile)) {
    ShowAdministratorRequired();
    return false;
  }
  return true;
}

}  // namespace uninstaller
