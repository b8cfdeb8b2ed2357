// A user's container from Linux: the disk key from the key file and the
// password, and the container file read and written through the driver's own
// transfer procedures, so every Linux program keeps the driver's sector rule.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>

#include "aes.h"

// Opens the key file with password (UTF-8 without NUL, no line end) and sets
// *schedule to the AES-256 schedule of the user's disk key.
// 1 done; 0 the password is wrong (the stored container path does not
// decrypt to a path); -1 the key file is unreadable or shorter than 804
// bytes, or the password is not UTF-8 of at most 260 UTF-16 units.
// On 0 and -1 *reason says why and *schedule is all zero. Every temporary
// (password text, key material, disk key) is wiped on every path.
int UnlockDiskKey(const char* keyFilePath, const char* password, size_t passwordLength,
                  AesKeySchedule* schedule, std::string* reason);

// The container file, open and locked: shared for reading, exclusive for
// writing, so an export never reads a container that an import or a
// read-write serve is changing. Transfers are safe from many threads at once.
class ContainerFile {
 public:
  enum class Access { kReadOnly, kReadWrite };

  ContainerFile() = default;
  ~ContainerFile();
  ContainerFile(const ContainerFile&) = delete;
  ContainerFile& operator=(const ContainerFile&) = delete;

  // 1, or -1 with *reason (missing, not a regular file, in use, too small).
  int Open(const char* path, Access access, std::string* reason);
  void Close();

  int64_t size() const { return size_; }
  int fd() const { return fd_; }

  // One transfer of the plain disk through ReadImage/WriteImage. 0, or an
  // errno value: EINVAL for an offset or length that is not a multiple of 512
  // (a length may end exactly at the end of the container instead) or a
  // range past the end, EIO for a short transfer, else the file call's error.
  int Read(const AesKeySchedule& schedule, int64_t offset, uint8_t* buffer, uint32_t length) const;
  int Write(const AesKeySchedule& schedule, int64_t offset, const uint8_t* buffer,
            uint32_t length) const;

  // Data of earlier writes on the disk. 0 or errno.
  int Flush() const;

 private:
  int CheckAlignment(int64_t offset, uint32_t length) const;

  int fd_ = -1;
  int64_t size_ = 0;
};
