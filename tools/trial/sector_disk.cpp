#include "sector_disk.h"

#include <winioctl.h>

#include <string.h>

#include <vector>

#include "cryptdsk_protocol.h"

namespace {

constexpr uint64_t kSector = 512;

}  // namespace

bool SectorDisk::Open() {
  device_.reset(CreateFileW(CRYPTDSK_USER_PATH, GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
  GET_LENGTH_INFORMATION length = {};
  DWORD returned = 0;
  if (!device_.valid() || !DeviceIoControl(device_.get(), IOCTL_DISK_GET_LENGTH_INFO, nullptr, 0,
                                           &length, sizeof(length), &returned, nullptr)) {
    device_.reset();
    return false;
  }
  size_ = static_cast<uint64_t>(length.Length.QuadPart);
  return true;
}

// Under Wine a handle that a driver serves has no file pointer: each request
// carries its offset in an OVERLAPPED.
bool SectorDisk::Transfer(bool write, uint64_t offset, uint8_t* data, uint32_t length) {
  OVERLAPPED where = {};
  where.Offset = static_cast<DWORD>(offset);
  where.OffsetHigh = static_cast<DWORD>(offset >> 32);
  DWORD done = 0;
  const BOOL moved = write ? WriteFile(device_.get(), data, length, &done, &where)
                           : ReadFile(device_.get(), data, length, &done, &where);
  return moved && done == length;
}

bool SectorDisk::Read(uint64_t offset, uint8_t* data, uint32_t length) {
  const uint64_t first = offset - offset % kSector;
  const uint64_t end = (offset + length + kSector - 1) / kSector * kSector;
  if (first == offset && end == offset + length) return Transfer(false, offset, data, length);
  std::vector<uint8_t> whole(static_cast<size_t>(end - first));
  if (!Transfer(false, first, whole.data(), static_cast<uint32_t>(whole.size()))) return false;
  memcpy(data, whole.data() + (offset - first), length);
  return true;
}

bool SectorDisk::Write(uint64_t offset, const uint8_t* data, uint32_t length) {
  const uint64_t first = offset - offset % kSector;
  const uint64_t end = (offset + length + kSector - 1) / kSector * kSector;
  if (first == offset && end == offset + length) {
    return Transfer(true, offset, const_cast<uint8_t*>(data), length);  // the driver only reads it
  }
  std::vector<uint8_t> whole(static_cast<size_t>(end - first));
  if (!Transfer(false, first, whole.data(), static_cast<uint32_t>(whole.size()))) return false;
  memcpy(whole.data() + (offset - first), data, length);
  return Transfer(true, first, whole.data(), static_cast<uint32_t>(whole.size()));
}

bool SectorDisk::Flush() {
  return FlushFileBuffers(device_.get()) != FALSE;
}
