// What installing the driver leaves in the system besides its device and its
// file: the kernel service the INF adds and the system's copy of the INF.
// Removing the device alone would leave both behind after an uninstall.
#pragma once

namespace uninstaller {

// Stops the driver's service (Windows unloads the driver with its last
// device; stopping makes sure its image is no longer in use when the file is
// deleted) and deletes it. A service that is not there is no failure.
void StopAndDeleteDriverService();

// Removes every copy the system made of `programInf` (same bytes) in its
// INF folder, with its precompiled form.
void RemoveSystemInfCopies(const wchar_t* programInf);

// Removes the INF's own device setup class once no device of it is left.
void RemoveEmptySetupClass(const wchar_t* programInf);

// Removes the drive-icon entries the client leaves for the letters it used
// (their icon emptied at each lock, or still naming the program folder's
// icon); entries naming anything else stay.
void RemoveDriveIcons(const wchar_t* programFolder);

}  // namespace uninstaller
