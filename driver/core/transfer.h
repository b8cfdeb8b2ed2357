// The read and write procedures of the disk, over a small file interface so
// that the kernel's Zw calls and a test's pread/pwrite drive the same code.
//
// Sector rule of the first generation: sectors 0 to 3, the first 2048 bytes
// of the disk, are always stored encrypted (each sector its own AES-256-CBC
// chain, IV = sector number, whole 16-byte blocks only); every later sector
// is stored as written. The second generation stores every sector as its
// AES-256-XTS encryption, tweak = sector number. Either way the stored form
// of a sector depends on its number alone.
// Freestanding.
#pragma once

#include <stdint.h>

#include "image_cipher.h"
#include "nt_status.h"

namespace cryptdsk {

constexpr uint32_t kEncryptedAreaBytes = 2048;

// One synchronous positioned transfer of the container file. `transferred`
// receives the byte count the file system reported, also on failure.
struct ImageFileIo {
  void* Context;
  NtStatus (*Read)(void* context, uint8_t* buffer, uint32_t length, int64_t offset,
                   uint32_t* transferred);
  NtStatus (*Write)(void* context, const uint8_t* buffer, uint32_t length, int64_t offset,
                    uint32_t* transferred);
};

// Flushes the container file's buffers to stable storage.
using FlushImageFile = NtStatus (*)(void* context);

struct TransferResult {
  NtStatus Status;
  uint32_t Information;
};

// Refuses (STATUS_INVALID_PARAMETER) a negative or unaligned offset and a
// range that ends past imageSize; a range that ends exactly there is valid.
// Overflow-safe for any offset and length.
NtStatus CheckTransferRange(int64_t offset, uint32_t length, int64_t imageSize);

// Where a write's encrypted bytes are made before they go to the file: a
// multiple of 512 bytes, at least kEncryptedAreaBytes; the second generation
// writes a larger request in chunks of this size. Aligned for files opened
// without intermediate buffering. Wiped after every write.
struct BounceBuffer {
  uint8_t* Bytes;
  uint32_t Size;
};

// imageSize is the disk's size (see DiskSizeOfContainer). A cipher that is
// not keyed fails with STATUS_INVALID_DEVICE_REQUEST and touches nothing; in
// the second generation a length that is not a whole number of sectors is
// refused (STATUS_INVALID_PARAMETER), as is a write's unusable bounce buffer.

// One file read straight into `buffer`, then decrypted in place: the part
// inside the encrypted area (first generation) or every whole sector read
// (second; Information then counts whole sectors only). Information is the
// byte count read. On a failed read the buffer holds whatever the file
// system left there.
TransferResult ReadImage(const ImageFileIo& io, const ImageCipher* cipher, int64_t imageSize,
                         int64_t offset, uint8_t* buffer, uint32_t length);

// First generation: at most two file writes, the part inside the encrypted
// area encrypted in the bounce buffer, then the rest straight from `buffer`.
// Second generation: one file write per bounce-buffer chunk, each encrypted
// there. `buffer` is never modified. A short write stops the transfer with
// success and Information = bytes written; a failed one returns its status.
TransferResult WriteImage(const ImageFileIo& io, const ImageCipher* cipher,
                          const BounceBuffer& bounce, int64_t imageSize, int64_t offset,
                          const uint8_t* buffer, uint32_t length);

// A write the requester wants on stable storage (write-through, FUA):
// WriteImage, then `flush` of io.Context when any byte was written. A
// failed flush fails the request with its status; Information keeps the
// bytes written.
TransferResult WriteImageThrough(const ImageFileIo& io, FlushImageFile flush,
                                 const ImageCipher* cipher, const BounceBuffer& bounce,
                                 int64_t imageSize, int64_t offset, const uint8_t* buffer,
                                 uint32_t length);

}  // namespace cryptdsk
