// Installation of the encrypted disk driver for its root-enumerated device,
// through the device-installation services with narrow (ANSI) strings, as
// the setup program works. Windows only.
#pragma once

#include <windows.h>

namespace cryptelle_setup {

// The hardware id of the driver's one device.
constexpr char kCryptDskHardwareId[] = "CryptDsk";

// Shows the setup program's general error; may be null.
using GeneralErrorReporter = void (*)(HWND owner);

// True when a present device lists "CryptDsk" (any case) among its hardware
// ids. A failed allocation is reported through `reportError` and ends the
// search. The last error code is the one of the last failing call.
bool FindExistingDevice(HWND owner, GeneralErrorReporter reportError);

// Updates the driver of an existing device, or creates the root device,
// registers it and installs the driver from `infPath` for it. A device whose
// driver update fails is removed again. True when the driver is installed;
// on false the last error code is the failing call's, kept across the
// clean-up.
bool InstallDriver(const char* infPath, HWND owner, GeneralErrorReporter reportError);

// Removes every device that lists "CryptDsk" among its hardware ids
// (DIF_REMOVE). Returns the number removed, or -1 when a removal failed.
int RemoveDriverDevices();

// What became of the driver after its installation.
enum class DriverStart { kStarted, kNeedsRestart, kNotStarted };

// Whether the driver's device opens within `waitMs`. If it does not, the
// device's status says why: a restart pending, or a problem code (0 when
// Windows gives none, CM_PROB_UNSIGNED_DRIVER when it refused the signature).
DriverStart CheckDriverStarted(DWORD waitMs, ULONG* problem);

}  // namespace cryptelle_setup
