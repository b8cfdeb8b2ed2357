#include "container_access.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "account_records.h"
#include "disk_key.h"
#include "positioned_io.h"
#include "sector_cipher.h"
#include "secure_wipe.h"
#include "tool_system.h"
#include "transfer.h"
#include "utf.h"

namespace {

using cryptdsk::ImageFileIo;
using cryptdsk::NtStatus;
using cryptdsk::TransferResult;

// The errno of a failed file call travels beside the status, per transfer.
struct PositionedFile {
  int fd;
  int error;
};

// Ends one file call of a transfer: the count, and the errno when it failed.
NtStatus Finish(PositionedFile* file, int error, size_t done, uint32_t* transferred) {
  *transferred = static_cast<uint32_t>(done);
  if (error == 0) return cryptdsk::kStatusSuccess;
  file->error = error;
  return cryptdsk::kStatusUnsuccessful;
}

// A read that meets the end of the file is short, which the count reports.
NtStatus ReadAll(void* context, uint8_t* buffer, uint32_t length, int64_t offset,
                 uint32_t* transferred) {
  auto* file = static_cast<PositionedFile*>(context);
  size_t done = 0;
  const int error = TransferAt(pread, file->fd, buffer, length, offset, &done);
  return Finish(file, error, done, transferred);
}

NtStatus WriteAll(void* context, const uint8_t* buffer, uint32_t length, int64_t offset,
                  uint32_t* transferred) {
  auto* file = static_cast<PositionedFile*>(context);
  size_t done = 0;
  const int error = TransferAt(pwrite, file->fd, buffer, length, offset, &done);
  return Finish(file, error == 0 && done < length ? EIO : error, done, transferred);
}

// The first generation's image cipher around the disk key's schedule.
struct HeadOnlyCipher {
  explicit HeadOnlyCipher(const AesKeySchedule& schedule) {
    cipher->Generation = cryptdsk::kGenerationHeadOnly;
    cipher->Head = schedule;
  }
  Wiped<cryptdsk::ImageCipher> cipher;
};

// One transfer of the plain disk through ReadImage or WriteImage. 0 or errno.
template <typename Byte, typename Procedure>
int ImageTransfer(Procedure procedure, int fd, int64_t size, const AesKeySchedule& schedule,
                  int64_t offset, Byte* buffer, uint32_t length) {
  PositionedFile file{fd, 0};
  const ImageFileIo io{&file, ReadAll, WriteAll};
  const HeadOnlyCipher head(schedule);
  const TransferResult result = procedure(io, &head.cipher.get(), size, offset, buffer, length);
  if (result.Status == cryptdsk::kStatusInvalidParameter) return EINVAL;
  if (!cryptdsk::IsSuccess(result.Status)) return file.error != 0 ? file.error : EIO;
  return result.Information == length ? 0 : EIO;
}

}  // namespace

int UnlockDiskKey(const char* keyFilePath, const char* password, size_t passwordLength,
                  AesKeySchedule* schedule, std::string* reason) {
  SecureWipeObject(*schedule);
  Wiped<char16_t[kPathBufferUnits]> text;
  const int converted = Utf8ToUtf16(password, passwordLength, text.get());
  if (converted != 1) {
    *reason = converted == 0 ? "the password is longer than 260 UTF-16 units"
                             : "the password is not UTF-8 text without NUL";
    return -1;
  }

  Wiped<uint8_t[kUserKeyFileSize]> file;
  if (ReadKeyFile(DefaultToolSystem(), keyFilePath, file.get(), reason) != 1) return -1;

  Wiped<uint8_t[kUserKeyMaterialSize]> keyMaterial;
  if (UnwrapKeyMaterial(file.get(), text.get(), DeriveAccountKey, keyMaterial.get()) != 1) {
    *reason = "the password is longer than 260 UTF-16 units";
    return -1;
  }
  // The key file names no container we could compare with here (its path is
  // a Windows one), so the path record's shape is the password check.
  if (!StoredPathLooksValid(file.get(), keyMaterial.get())) {
    *reason = std::string("wrong password for key file ") + keyFilePath;
    return 0;
  }
  Wiped<uint8_t[kDiskKeySize]> diskKey;
  DiskKeyFromKeyMaterial(keyMaterial.get(), diskKey.get());
  if (AesSetKey(diskKey.get(), kDiskKeySize, 0, schedule) != kAesOk) {
    SecureWipeObject(*schedule);
    *reason = "the disk key was refused by the cipher";
    return -1;
  }
  return 1;
}

ContainerFile::~ContainerFile() {
  Close();
}

void ContainerFile::Close() {
  if (fd_ >= 0) close(fd_);  // also drops the lock
  fd_ = -1;
  size_ = 0;
}

int ContainerFile::Open(const char* path, Access access, std::string* reason) {
  Close();
  const bool writing = access == Access::kReadWrite;
  const int fd = open(path, (writing ? O_RDWR : O_RDONLY) | O_CLOEXEC);
  if (fd < 0) {
    *reason = std::string("cannot open container ") + path + ": " + strerror(errno);
    return -1;
  }
  struct stat status;
  if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    *reason = std::string("container ") + path + " is not a regular file";
    close(fd);
    return -1;
  }
  if (flock(fd, (writing ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) {
    *reason = std::string("container ") + path +
              (errno == EWOULDBLOCK ? " is in use by another export, import or serve"
                                    : std::string(" cannot be locked: ") + strerror(errno));
    close(fd);
    return -1;
  }
  // Smaller than the protected head it cannot be any disk the client made.
  if (status.st_size < static_cast<off_t>(cryptdsk::kEncryptedAreaBytes)) {
    *reason = std::string("container ") + path + " is shorter than 2048 bytes";
    close(fd);
    return -1;
  }
  fd_ = fd;
  size_ = status.st_size;
  return 1;
}

int ContainerFile::CheckAlignment(int64_t offset, uint32_t length) const {
  if (offset < 0 || offset % kSectorSize != 0) return EINVAL;
  if (length % kSectorSize != 0 && offset + static_cast<int64_t>(length) != size_) return EINVAL;
  return 0;
}

int ContainerFile::Read(const AesKeySchedule& schedule, int64_t offset, uint8_t* buffer,
                        uint32_t length) const {
  if (const int refused = CheckAlignment(offset, length)) return refused;
  return ImageTransfer(cryptdsk::ReadImage, fd_, size_, schedule, offset, buffer, length);
}

int ContainerFile::Write(const AesKeySchedule& schedule, int64_t offset, const uint8_t* buffer,
                         uint32_t length) const {
  if (const int refused = CheckAlignment(offset, length)) return refused;
  const auto write = [](const ImageFileIo& io, const cryptdsk::ImageCipher* cipher, int64_t size,
                        int64_t at, const uint8_t* data, uint32_t count) {
    alignas(64) Wiped<uint8_t[cryptdsk::kEncryptedAreaBytes]> head;
    return cryptdsk::WriteImage(io, cipher, {head.get(), cryptdsk::kEncryptedAreaBytes}, size, at,
                                data, count);
  };
  return ImageTransfer(write, fd_, size_, schedule, offset, buffer, length);
}

int ContainerFile::Flush() const {
  return fdatasync(fd_) == 0 ? 0 : errno;
}
