#include "container_access.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "account_records.h"
#include "disk_key.h"
#include "key_file_v2.h"
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

// A write's own bounce buffer, so transfers on many threads never share
// one. The first generation encrypts only the 2048-byte head there; the
// second encrypts everything, in chunks of the buffer's size, so a large
// write gets a large buffer and few file writes. The transfer wipes it
// after every write.
class WriteBounce {
 public:
  WriteBounce(uint32_t generation, uint32_t length) {
    constexpr uint32_t kLargest = 256u << 10;
    const uint32_t wanted = std::min(length, kLargest);
    size_ = generation == cryptdsk::kGenerationWholeDisk
                ? std::max<uint32_t>(cryptdsk::kEncryptedAreaBytes, RoundUpToSector(wanted))
                : cryptdsk::kEncryptedAreaBytes;
    bytes_ = static_cast<uint8_t*>(aligned_alloc(64, size_));
  }
  ~WriteBounce() { free(bytes_); }
  WriteBounce(const WriteBounce&) = delete;
  WriteBounce& operator=(const WriteBounce&) = delete;

  bool usable() const { return bytes_ != nullptr; }
  cryptdsk::BounceBuffer buffer() const { return {bytes_, size_}; }

 private:
  static uint32_t RoundUpToSector(uint32_t length) {
    return (length + kSectorSize - 1) / kSectorSize * kSectorSize;
  }

  uint8_t* bytes_ = nullptr;
  uint32_t size_ = 0;
};

// One transfer of the plain disk through ReadImage or WriteImage. 0 or errno.
template <typename Procedure>
int ImageTransfer(Procedure procedure, int fd, uint32_t length) {
  PositionedFile file{fd, 0};
  const ImageFileIo io{&file, ReadAll, WriteAll};
  const TransferResult result = procedure(io);
  if (result.Status == cryptdsk::kStatusInvalidParameter) return EINVAL;
  if (!cryptdsk::IsSuccess(result.Status)) return file.error != 0 ? file.error : EIO;
  return result.Information == length ? 0 : EIO;
}

// The first generation: the disk key from the key material, once the
// stored path shows the password right.
int UnlockHeadOnly(const char* keyFilePath, const uint8_t file[kUserKeyFileSize],
                   const char16_t* password, cryptdsk::ImageCipher* cipher, std::string* reason) {
  Wiped<uint8_t[kUserKeyMaterialSize]> keyMaterial;
  if (UnwrapKeyMaterial(file, password, DeriveAccountKey, keyMaterial.get()) != 1) {
    *reason = "the password is longer than 260 UTF-16 units";
    return -1;
  }
  // The key file names no container we could compare with here (its path is
  // a Windows one), so the path record's shape is the password check.
  if (!StoredPathLooksValid(file, keyMaterial.get())) {
    *reason = std::string("wrong password for key file ") + keyFilePath;
    return 0;
  }
  Wiped<uint8_t[kDiskKeySize]> diskKey;
  DiskKeyFromKeyMaterial(keyMaterial.get(), diskKey.get());
  if (cryptdsk::ImageCipherSetKey(cipher, cryptdsk::kGenerationHeadOnly, diskKey.get(),
                                  kDiskKeySize, kXtsEngineBest) != 1) {
    *reason = "the disk key was refused by the cipher";
    return -1;
  }
  return 1;
}

// The second generation: the XTS keys the key file seals; its MAC checks
// the password.
int UnlockWholeDisk(const char* keyFilePath, const uint8_t file[kKeyFileV2Size],
                    const char16_t* password, cryptdsk::ImageCipher* cipher, std::string* reason) {
  Wiped<uint8_t[kKeyFileV2KeysSize]> keys;
  Wiped<char16_t[kPathBufferUnits]> storedPath;
  const int opened = OpenKeyFileV2(file, kKeyFileV2Size, password, DefaultToolSystem().kdfMemory,
                                   keys.get(), storedPath.get());
  if (opened == 0) {
    *reason = std::string("wrong password or damaged key file ") + keyFilePath;
    return 0;
  }
  if (opened != 1) {
    *reason = std::string("key file ") + keyFilePath +
              " has a damaged header or Argon2id parameters out of range, or there is no "
              "memory for them";
    return -1;
  }
  if (cryptdsk::ImageCipherSetKey(cipher, cryptdsk::kGenerationWholeDisk, keys.get(),
                                  kKeyFileV2KeysSize, kXtsEngineBest) != 1) {
    *reason = "the disk keys were refused by the cipher";
    return -1;
  }
  return 1;
}

}  // namespace

int UnlockDisk(const char* keyFilePath, const char* password, size_t passwordLength,
               cryptdsk::ImageCipher* cipher, std::string* reason) {
  cryptdsk::ImageCipherWipe(cipher);
  Wiped<char16_t[kPathBufferUnits]> text;
  const int converted = Utf8ToUtf16(password, passwordLength, text.get());
  if (converted != 1) {
    *reason = converted == 0 ? "the password is longer than 260 UTF-16 units"
                             : "the password is not UTF-8 text without NUL";
    return -1;
  }
  Wiped<UserKeyFileBytes> file;
  if (ReadUserKeyFile(DefaultToolSystem(), keyFilePath, &file.get(), reason) != 1) return -1;
  return file->secondGeneration
             ? UnlockWholeDisk(keyFilePath, file->bytes, text.get(), cipher, reason)
             : UnlockHeadOnly(keyFilePath, file->bytes, text.get(), cipher, reason);
}

ContainerFile::~ContainerFile() {
  Close();
}

void ContainerFile::Close() {
  if (fd_ >= 0) close(fd_);  // also drops the lock
  fd_ = -1;
  size_ = 0;
  generation_ = 0;
}

int ContainerFile::Open(const char* path, uint32_t generation, Access access, std::string* reason) {
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
  // A disk smaller than the protected head cannot be any disk the client made.
  const int64_t disk = cryptdsk::DiskSizeOfContainer(generation, status.st_size);
  if (disk < static_cast<int64_t>(cryptdsk::kEncryptedAreaBytes)) {
    const int64_t least =
        cryptdsk::kEncryptedAreaBytes +
        (generation == cryptdsk::kGenerationWholeDisk ? cryptdsk::kWholeDiskBackupAreaBytes : 0);
    *reason =
        std::string("container ") + path + " is shorter than " + std::to_string(least) + " bytes";
    close(fd);
    return -1;
  }
  fd_ = fd;
  size_ = disk;
  generation_ = generation;
  return 1;
}

int ContainerFile::CheckTransfer(const cryptdsk::ImageCipher& cipher, int64_t offset,
                                 uint32_t length) const {
  if (cipher.Generation != generation_) return EINVAL;
  if (offset < 0 || offset % kSectorSize != 0) return EINVAL;
  if (length % kSectorSize != 0 && offset + static_cast<int64_t>(length) != size_) return EINVAL;
  return 0;
}

int ContainerFile::Read(const cryptdsk::ImageCipher& cipher, int64_t offset, uint8_t* buffer,
                        uint32_t length) const {
  if (const int refused = CheckTransfer(cipher, offset, length)) return refused;
  return ImageTransfer(
      [&](const ImageFileIo& io) {
        return cryptdsk::ReadImage(io, &cipher, size_, offset, buffer, length);
      },
      fd_, length);
}

int ContainerFile::Write(const cryptdsk::ImageCipher& cipher, int64_t offset, const uint8_t* buffer,
                         uint32_t length) const {
  if (const int refused = CheckTransfer(cipher, offset, length)) return refused;
  const WriteBounce bounce(generation_, length);
  if (!bounce.usable()) return ENOMEM;
  return ImageTransfer(
      [&](const ImageFileIo& io) {
        return cryptdsk::WriteImage(io, &cipher, bounce.buffer(), size_, offset, buffer, length);
      },
      fd_, length);
}

int ContainerFile::Flush() const {
  return fdatasync(fd_) == 0 ? 0 : errno;
}
