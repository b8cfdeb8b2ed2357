#include "driver_port.h"

#include "cryptdsk_protocol.h"
#include "win_handles.h"

int QueryCryptDskIsOpen(BYTE* isOpenByte, DWORD* openError) {
  UniqueFile device(CreateFileW(CRYPTDSK_USER_PATH, GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_NO_BUFFERING, nullptr));
  if (!device.valid()) {
    *openError = GetLastError();
    return 0;
  }
  *isOpenByte = 0xFF;
  DWORD returned = 0;
  if (!DeviceIoControl(device.get(), IOCTL_CRYPTDSK_IS_OPEN, nullptr, 0, isOpenByte, 1, &returned,
                       nullptr)) {
    return -1;
  }
  return 1;
}
