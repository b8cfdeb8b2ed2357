// The read and write procedures of the disk, over a small file interface so
// that the kernel's Zw calls and a test's pread/pwrite drive the same code.
//
// Sector rule: sectors 0 to 3, the first 2048 bytes of the disk, are always
// stored encrypted (each sector its own AES-256-CBC chain, IV = sector
// number, whole 16-byte blocks only); every later sector is stored as
// written. The stored form of a sector depends on its number alone.
// Freestanding.
#pragma once

#include <stdint.h>

#include "aes.h"
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

// One file read straight into `buffer`, then the part inside the encrypted
// area is decrypted in place. Information is the byte count read. On a
// failed read the buffer holds whatever the file system left there.
TransferResult ReadImage(const ImageFileIo& io, const AesKeySchedule* schedule, int64_t imageSize,
                         int64_t offset, uint8_t* buffer, uint32_t length);

// At most two file writes: the part inside the encrypted area, encrypted in
// a private stack buffer, then the rest straight from `buffer`, which is
// never modified. A short write stops the transfer with success and
// Information = bytes written; a failed one returns its status.
TransferResult WriteImage(const ImageFileIo& io, const AesKeySchedule* schedule, int64_t imageSize,
                          int64_t offset, const uint8_t* buffer, uint32_t length);

// A write the requester wants on stable storage (write-through, FUA):
// WriteImage, then `flush` of io.Context when any byte was written. A
// failed flush fails the request with its status; Information keeps the
// bytes written.
TransferResult WriteImageThrough(const ImageFileIo& io, FlushImageFile flush,
                                 const AesKeySchedule* schedule, int64_t imageSize, int64_t offset,
                                 const uint8_t* buffer, uint32_t length);

}  // namespace cryptdsk
