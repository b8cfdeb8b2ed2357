#include "driver_install.h"

// clang-format off
#include <setupapi.h>
#include <newdev.h>
#include <cfgmgr32.h>
// clang-format on
#include <string.h>

#include "cryptdsk_protocol.h"
#include "win/unique_handles.h"

namespace cryptelle_setup {
namespace {

// Any class: with DIGCF_ALLCLASSES the GUID does not restrict the list.
const GUID kVolumeInterfaceClass = {
    0x53F5630D, 0xB6BF, 0x11D0, {0x94, 0xF2, 0x00, 0xA0, 0xC9, 0x1E, 0xFB, 0x8B}};

// "CryptDsk" as a multi-string: the id, its terminator and a second zero.
constexpr char kHardwareIdList[] = "CryptDsk\0";
static_assert(sizeof(kHardwareIdList) == sizeof(kCryptDskHardwareId) + 1, "double terminator");

// A device's hardware ids in local memory, zero-filled with two spare zero
// bytes past `size` so that any multi-string read into it ends.
struct HardwareIds {
  UniqueLocal memory;
  DWORD size = 0;
  char* text() const { return static_cast<char*>(memory.get()); }
};

enum class IdsResult { kRead, kNoIds, kStop };

IdsResult ReadHardwareIds(HDEVINFO set, SP_DEVINFO_DATA* device, HardwareIds* ids, HWND owner,
                          GeneralErrorReporter reportError) {
  // A size of 0 with ERROR_INSUFFICIENT_BUFFER is asked again, a few times.
  for (int attempt = 0; attempt < 8; ++attempt) {
    DWORD required = 0;
    if (SetupDiGetDeviceRegistryPropertyA(set, device, SPDRP_HARDWAREID, nullptr,
                                          reinterpret_cast<BYTE*>(ids->text()), ids->size,
                                          &required)) {
      return IdsResult::kRead;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_INVALID_DATA) return IdsResult::kNoIds;
    if (error != ERROR_INSUFFICIENT_BUFFER) return IdsResult::kStop;
    ids->memory.reset();
    ids->size = 0;
    if (required == 0) continue;
    ids->memory.reset(LocalAlloc(LMEM_FIXED | LMEM_ZEROINIT, required + 2));
    if (!ids->memory.valid()) {
      if (reportError != nullptr) reportError(owner);
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return IdsResult::kStop;
    }
    ids->size = required;
  }
  return IdsResult::kStop;
}

// Walks the multi-string up to an empty string or the end of the buffer.
bool ListsCryptDsk(const HardwareIds& ids) {
  const char* at = ids.text();
  const char* end = ids.text() + ids.size;
  while (at < end && *at != '\0') {
    const size_t length = strnlen(at, static_cast<size_t>(end - at));
    if (length == sizeof(kCryptDskHardwareId) - 1 &&
        _strnicmp(at, kCryptDskHardwareId, length) == 0) {
      return true;
    }
    at += length + 1;
  }
  return false;
}

template <typename Visit>
bool ForEachCryptDskDevice(HDEVINFO set, HWND owner, GeneralErrorReporter reportError,
                           Visit visit) {
  SP_DEVINFO_DATA device;
  device.cbSize = sizeof(device);
  for (DWORD index = 0; SetupDiEnumDeviceInfo(set, index, &device); ++index) {
    HardwareIds ids;
    const IdsResult result = ReadHardwareIds(set, &device, &ids, owner, reportError);
    if (result == IdsResult::kStop) return false;
    if (result == IdsResult::kRead && ListsCryptDsk(ids) && !visit(&device)) return true;
  }
  return true;
}

bool UpdateDriver(const char* infPath) {
  return UpdateDriverForPlugAndPlayDevicesA(nullptr, kCryptDskHardwareId, infPath,
                                            INSTALLFLAG_FORCE, nullptr) != FALSE;
}

}  // namespace

bool FindExistingDevice(HWND owner, GeneralErrorReporter reportError) {
  const UniqueDeviceInfoList set(SetupDiGetClassDevsA(&kVolumeInterfaceClass, nullptr, nullptr,
                                                      DIGCF_PRESENT | DIGCF_ALLCLASSES));
  if (!set.valid()) return false;
  bool found = false;
  ForEachCryptDskDevice(set.get(), owner, reportError, [&found](SP_DEVINFO_DATA*) {
    found = true;
    return false;
  });
  return found;
}

bool InstallDriver(const char* infPath, HWND owner, GeneralErrorReporter reportError) {
  if (FindExistingDevice(owner, reportError)) return UpdateDriver(infPath);

  GUID classGuid;
  char className[32];
  if (!SetupDiGetINFClassA(infPath, &classGuid, className, sizeof(className), nullptr))
    return false;
  UniqueDeviceInfoList set(SetupDiCreateDeviceInfoList(&classGuid, nullptr));
  if (!set.valid()) return false;

  bool installed = false;
  SP_DEVINFO_DATA device;
  device.cbSize = sizeof(device);
  if (SetupDiCreateDeviceInfoA(set.get(), className, &classGuid, nullptr, nullptr, DICD_GENERATE_ID,
                               &device) &&
      SetupDiSetDeviceRegistryPropertyA(set.get(), &device, SPDRP_HARDWAREID,
                                        reinterpret_cast<const BYTE*>(kHardwareIdList),
                                        sizeof(kHardwareIdList)) &&
      SetupDiCallClassInstaller(DIF_REGISTERDEVICE, set.get(), &device)) {
    installed = UpdateDriver(infPath);
    if (!installed) {
      // The device node goes again; the update's error is what the caller sees.
      const DWORD error = GetLastError();
      SetupDiCallClassInstaller(DIF_REMOVE, set.get(), &device);
      SetLastError(error);
    }
  }
  // A list that cannot be destroyed fails the installation; the last error
  // stays the one reported before.
  const DWORD error = GetLastError();
  const bool destroyed = SetupDiDestroyDeviceInfoList(set.release()) != FALSE;
  SetLastError(error);
  return installed && destroyed;
}

int RemoveDriverDevices() {
  const UniqueDeviceInfoList set(SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES));
  if (!set.valid()) return -1;
  int removed = 0;
  bool failed = false;
  const bool walked =
      ForEachCryptDskDevice(set.get(), nullptr, nullptr, [&](SP_DEVINFO_DATA* device) {
        if (SetupDiCallClassInstaller(DIF_REMOVE, set.get(), device)) {
          ++removed;
        } else {
          failed = true;
        }
        return true;
      });
  return walked && !failed ? removed : -1;
}

DriverStart CheckDriverStarted(DWORD waitMs, ULONG* problem) {
  *problem = 0;
  constexpr DWORD kPollMs = 250;
  for (DWORD waited = 0;; waited += kPollMs) {
    const UniqueFile device(CreateFileA(CRYPTDSK_USER_PATH_NARROW, GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                        0, nullptr));
    if (device.valid() || GetLastError() == ERROR_ACCESS_DENIED) return DriverStart::kStarted;
    if (waited >= waitMs) break;
    Sleep(kPollMs);
  }
  const UniqueDeviceInfoList set(
      SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_PRESENT | DIGCF_ALLCLASSES));
  ULONG status = 0;
  if (set.valid()) {
    ForEachCryptDskDevice(set.get(), nullptr, nullptr, [&](SP_DEVINFO_DATA* device) {
      if (CM_Get_DevNode_Status(&status, problem, device->DevInst, 0) != CR_SUCCESS) *problem = 0;
      return false;
    });
  }
  if ((status & DN_NEED_RESTART) != 0 || *problem == CM_PROB_NEED_RESTART) {
    return DriverStart::kNeedsRestart;
  }
  if ((status & DN_HAS_PROBLEM) == 0) *problem = 0;
  return DriverStart::kNotStarted;
}

}  // namespace cryptelle_setup
