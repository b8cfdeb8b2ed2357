#include "startup_checks.h"

#include <string.h>

#include "messages.h"
#include "program_folder.h"
#include "setup_texts.h"
#include "win/platform_checks.h"

namespace setup {
namespace {

bool ReadSetupFolder(NarrowPath* folder) {
  char path[kPathBufferChars] = {};
  const DWORD length = GetModuleFileNameA(nullptr, path, kPathBufferChars);
  if (length == 0 || length >= kPathBufferChars) return false;  // a full buffer is cut short
  char* slash = strrchr(path, '\\');
  if (slash == nullptr) return false;
  *slash = 0;
  return folder->Assign(path) == 1;
}

bool TakeSetupMutex(SetupState* state) {
  NarrowPath folder;
  if (folder.Assign(state->setupFolder.c_str()) != 1) {
    ShowGeneralError(nullptr);
    return false;
  }
  // Mutex names may not hold backslashes.
  char name[kPathBufferChars] = {};
  ProgramFolderMutexName(folder.c_str(), name);
  SECURITY_ATTRIBUTES attributes = {sizeof(attributes), nullptr, FALSE};
  SetLastError(ERROR_SUCCESS);
  state->mutex.reset(CreateMutexA(&attributes, TRUE, name));
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

void ReportVersionFailure(DWORD error) {
  char* system = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPSTR>(&system),
      0, nullptr);
  if (length == 0 || system == nullptr) return;
  char text[2048] = {};
  const size_t head = strlen(kVersionUnknown);
  if (head + length < sizeof(text)) {
    memcpy(text, kVersionUnknown, head);
    memcpy(text + head, system, length);
    text[head + length] = 0;
    ShowError(nullptr, text);
  } else {
    ShowGeneralError(nullptr);
  }
  LocalFree(system);
}

bool CheckPlatform() {
  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof(version);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  const BOOL known = GetVersionExA(&version);
#pragma GCC diagnostic pop
  if (!known) {
    ReportVersionFailure(GetLastError());
    return false;
  }
  const bool atLeastXp =
      version.dwMajorVersion > 5 || (version.dwMajorVersion == 5 && version.dwMinorVersion != 0);
  if (version.dwPlatformId != VER_PLATFORM_WIN32_NT || !atLeastXp) {
    ShowError(nullptr, kOldPlatform);
    return false;
  }
  return true;
}

bool IsAlreadyInstalled() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kProductKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(key);
  return true;
}

// False when setup must end: the driver of an earlier installation answers,
// or the device refuses us for lack of rights.
bool CheckDriverNotLoaded() {
  UniqueFile device(CreateFileA(kDevicePath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_NO_BUFFERING, nullptr));
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
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunOnceKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) {
    return;
  }
  const UniqueRegKey opened(key);
  RegDeleteValueA(opened.get(), kRunOnceValue);
}

bool ReadSystemFolder(NarrowPath* folder) {
  char path[kPathBufferChars] = {};
  const UINT length = GetSystemDirectoryA(path, kPathBufferChars);
  if (length == 0 || length > kMaxPathChars) return false;
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
