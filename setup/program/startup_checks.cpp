#include "startup_checks.h"

#include <string.h>

#include <string>

#include "cryptdsk_protocol.h"
#include "messages.h"
#include "program_folder.h"
#include "setup_texts.h"
#include "win/platform_checks.h"
#include "wow64.h"

namespace setup {
namespace {

bool ReadSetupFolder(PathBuffer<char>* folder) {
  char path[kPathBufferUnits] = {};
  const DWORD length = GetModuleFileNameA(nullptr, path, kPathBufferUnits);
  if (length == 0 || length >= kPathBufferUnits) return false;  // a full buffer is cut short
  char* slash = strrchr(path, '\\');
  if (slash == nullptr) return false;
  *slash = 0;
  return folder->Assign(path) == 1;
}

bool TakeSetupMutex(SetupState* state) {
  // Mutex names may not hold backslashes.
  PathBuffer<char> name;
  if (ProgramFolderMutexName(state->setupFolder.c_str(), &name) != 1) {
    ShowGeneralError(nullptr);
    return false;
  }
  SECURITY_ATTRIBUTES attributes = {sizeof(attributes), nullptr, FALSE};
  SetLastError(ERROR_SUCCESS);
  state->mutex.reset(CreateMutexA(&attributes, TRUE, name.c_str()));
  const DWORD error = GetLastError();
  if (error == ERROR_ALREADY_EXISTS) {
    state->mutex.reset();
    ShowError(nullptr, kNotStarted);
    return false;
  }
  if (!state->mutex.valid()) {
    ShowGeneralError(nullptr);
    return false;
  }
  return true;
}

// The version message with the system's text for `error` after it; nothing
// when the system has no text for the error.
void ReportVersionFailure(DWORD error) {
  const UniqueLocal system = SystemMessageA(error);
  if (!system.valid()) return;
  const std::string text = kVersionUnknown + std::string(static_cast<const char*>(system.get()));
  ShowError(nullptr, text.c_str());
}

bool CheckPlatform() {
  WindowsVersion version;
  DWORD error = 0;
  if (!ReadWindowsVersion(&version, &error)) {
    ReportVersionFailure(error);
    return false;
  }
  if (!IsSupportedWindows(version)) {
    ShowError(nullptr, kOldPlatform);
    return false;
  }
  if (RunsUnderWow64()) {
    ShowError(nullptr, kWrongArchitecture);
    return false;
  }
  return true;
}

bool IsAlreadyInstalled() {
  UniqueRegKey key;
  return RegOpenKeyExA(HKEY_LOCAL_MACHINE, CRYPTELLE_PRODUCT_KEY, 0, KEY_ALL_ACCESS, key.put()) ==
         ERROR_SUCCESS;
}

// False when setup must end: the driver of an earlier installation answers,
// or the device refuses us for lack of rights.
bool CheckDriverNotLoaded() {
  UniqueFile device(CreateFileA(CRYPTDSK_USER_PATH_NARROW, GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_NO_BUFFERING, nullptr));
  const DWORD error = GetLastError();
  if (device.valid()) {
    device.reset();
    ShowError(nullptr, kStillInMemory);
    return false;
  }
  if (error == ERROR_ACCESS_DENIED) {
    ShowAdministratorRequired(nullptr);
    return false;
  }
  return true;
}

void ForgetPendingUninstall() {
  UniqueRegKey key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunOnceKey, 0, KEY_SET_VALUE, key.put()) ==
      ERROR_SUCCESS) {
    RegDeleteValueA(key.get(), kRunOnceValue);
  }
}

bool ReadSystemFolder(PathBuffer<char>* folder) {
  char path[kPathBufferUnits] = {};
  const UINT length = GetSystemDirectoryA(path, kPathBufferUnits);
  if (length == 0 || length > kMaxPathUnits) return false;
  return folder->Assign(path) == 1;
}

}  // namespace

bool RunStartupChecks(SetupState* state) {
  if (!ReadSetupFolder(&state->setupFolder)) return false;
  if (!TakeSetupMutex(state)) return false;
  if (!CheckPlatform()) return false;
  if (!::IsAdministratorsMember()) {
    ShowAdministratorRequired(nullptr);
    return false;
  }
  if (IsAlreadyInstalled()) {
    ShowError(nullptr, kAlreadyInstalled);
    return false;
  }
  if (!CheckDriverNotLoaded()) return false;
  ForgetPendingUninstall();
  return ReadSystemFolder(&state->systemFolder);
}

}  // namespace setup
