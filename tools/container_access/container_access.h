// A user's container from Linux: the disk's cipher from the key file and the
// password, and the container file read and written through the driver's own
// transfer procedures, so every Linux program stores sectors as the driver
// does, in either generation.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>

#include "image_cipher.h"

// Opens the key file of either generation with password (UTF-8 without NUL,
// no line end) and keys *cipher for the user's disk: the first generation's
// head cipher from the disk key, or the second's AES-256-XTS from the keys
// the key file seals; cipher->Generation says which.
// 1 done; 0 the password is wrong (first generation: the stored container
// path does not decrypt to a path; second: the MAC fails, which an altered
// file does too); -1 the key file is unreadable or of neither generation, its
// header is damaged, there is no memory for its Argon2id, or the password is
// not UTF-8 of at most 260 UTF-16 units.
// On 0 and -1 *reason says why and *cipher is all zero. Every temporary
// (password text, key material, keys) is wiped on every path.
int UnlockDisk(const char* keyFilePath, const char* password, size_t passwordLength,
               cryptdsk::ImageCipher* cipher, std::string* reason);

// The container file, open and locked: shared for reading, exclusive for
// writing, so an export never reads a container that an import or a
// read-write serve is changing. Transfers are safe from many threads at once:
// each write encrypts in a bounce buffer of its own.
class ContainerFile {
 public:
  enum class Access { kReadOnly, kReadWrite };

  ContainerFile() = default;
  ~ContainerFile();
  ContainerFile(const ContainerFile&) = delete;
  ContainerFile& operator=(const ContainerFile&) = delete;

  // generation is the cipher's. 1, or -1 with *reason (missing, not a
  // regular file, in use, too small to hold a disk of 2048 bytes).
  int Open(const char* path, uint32_t generation, Access access, std::string* reason);
  void Close();

  // The disk's size: the whole file in the first generation, the file less
  // its 4096-byte backup area in the second.
  int64_t size() const { return size_; }
  uint32_t generation() const { return generation_; }
  int fd() const { return fd_; }

  // One transfer of the plain disk through ReadImage/WriteImage with the
  // cipher of the generation the file was opened for. 0, or an errno value:
  // EINVAL for an offset or length that is not a multiple of 512 (a length
  // may end exactly at the end of the disk instead) or a range past the end,
  // ENOMEM when a write gets no bounce buffer, EIO for a short transfer,
  // else the file call's error.
  int Read(const cryptdsk::ImageCipher& cipher, int64_t offset, uint8_t* buffer,
           uint32_t length) const;
  int Write(const cryptdsk::ImageCipher& cipher, int64_t offset, const uint8_t* buffer,
            uint32_t length) const;

  // Data of earlier writes on the disk. 0 or errno.
  int Flush() const;

 private:
  int CheckTransfer(const cryptdsk::ImageCipher& cipher, int64_t offset, uint32_t length) const;

  int fd_ = -1;
  int64_t size_ = 0;
  uint32_t generation_ = 0;
};
