// The one place where the client asks the driver whether a container is
// attached. Test builds link a stand-in that answers without a driver.
#pragma once

#include <windows.h>

// Opens the control device and sends IOCTL_CRYPTDSK_IS_OPEN. 1 answered
// (*isOpenByte holds the driver's byte); 0 the device could not be opened
// (*openError holds its error code); -1 the request failed.
int QueryCryptDskIsOpen(BYTE* isOpenByte, DWORD* openError);
