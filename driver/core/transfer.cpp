#include "transfer.h"

#include <string.h>

#include "sector_cipher.h"
#include "secure_wipe.h"

namespace cryptdsk {
namespace {

// Bytes of [offset, offset + length) inside the encrypted area.
uint32_t EncryptedHeadLength(int64_t offset, uint32_t length) {
  if (offset >= static_cast<int64_t>(kEncryptedAreaBytes)) return 0;
  const uint32_t room = kEncryptedAreaBytes - static_cast<uint32_t>(offset);
  return length < room ? length : room;
}

TransferResult Result(NtStatus status, uint32_t information) {
  TransferResult result;
  result.Status = status;
  result.Information = information;
  return result;
}

}  // namespace

NtStatus CheckTransferRange(int64_t offset, uint32_t length, int64_t imageSize) {
  if (offset < 0 || imageSize < 0) return kStatusInvalidParameter;
  if (offset % kSectorSize != 0) return kStatusInvalidParameter;
  // offset <= imageSize first, so the subtraction cannot wrap.
  if (offset > imageSize || static_cast<int64_t>(length) > imageSize - offset) {
    return kStatusInvalidParameter;
  }
  return kStatusSuccess;
}

TransferResult ReadImage(const ImageFileIo& io, const AesKeySchedule* schedule, int64_t imageSize,
                         int64_t offset, uint8_t* buffer, uint32_t length) {
  const NtStatus range = CheckTransferRange(offset, length, imageSize);
  if (range != kStatusSuccess) return Result(range, 0);
  if (length == 0) return Result(kStatusSuccess, 0);
  uint32_t transferred = 0;
  const NtStatus status = io.Read(io.Context, buffer, length, offset, &transferred);
  if (!IsSuccess(status)) return Result(status, transferred);
  if (transferred > length) transferred = length;
  const uint32_t head = EncryptedHeadLength(offset, transferred);
  if (head != 0) {
    SectorIv iv;
    SetSectorIv(&iv, static_cast<uint64_t>(offset) / kSectorSize);
    DecryptChunk(buffer, head, &iv, schedule);
  }
  return Result(status, transferred);
}

TransferResult WriteImage(const ImageFileIo& io, const AesKeySchedule* schedule, int64_t imageSize,
                          int64_t offset, const uint8_t* buffer, uint32_t length) {
  const NtStatus range = CheckTransferRange(offset, length, imageSize);
  if (range != kStatusSuccess) return Result(range, 0);
  if (length == 0) return Result(kStatusSuccess, 0);
  uint32_t total = 0;
  const uint32_t head = EncryptedHeadLength(offset, length);
  if (head != 0) {
    // Aligned for files opened without intermediate buffering.
    alignas(64) uint8_t sealed[kEncryptedAreaBytes];
    memcpy(sealed, buffer, head);
    SectorIv iv;
    SetSectorIv(&iv, static_cast<uint64_t>(offset) / kSectorSize);
    EncryptChunk(sealed, head, &iv, schedule);
    uint32_t transferred = 0;
    const NtStatus status = io.Write(io.Context, sealed, head, offset, &transferred);
    // A tail under 16 bytes stays plain in the copy: wipe it with the rest.
    SecureWipe(sealed, head);
    if (!IsSuccess(status)) return Result(status, transferred);
    if (transferred != head) return Result(kStatusSuccess, transferred < head ? transferred : head);
    total = head;
    if (head == length) return Result(status, total);
  }
  uint32_t transferred = 0;
  const NtStatus status =
      io.Write(io.Context, buffer + head, length - head, offset + head, &transferred);
  if (transferred > length - head) transferred = length - head;
  if (!IsSuccess(status)) return Result(status, total + transferred);
  return Result(kStatusSuccess, total + transferred);
}

TransferResult WriteImageThrough(const ImageFileIo& io, FlushImageFile flush,
                                 const AesKeySchedule* schedule, int64_t imageSize, int64_t offset,
                                 const uint8_t* buffer, uint32_t length) {
  TransferResult result = WriteImage(io, schedule, imageSize, offset, buffer, length);
  // What the request reports as written must be on stable storage.
  if (IsSuccess(result.Status) && result.Information != 0) result.Status = flush(io.Context);
  return result;
}

}  // namespace cryptdsk
