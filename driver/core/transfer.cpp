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

bool WholeDisk(const ImageCipher* cipher) {
  return cipher->Generation == kGenerationWholeDisk;
}

// The checks every transfer passes before it touches the file or a buffer.
NtStatus CheckRequest(const ImageCipher* cipher, int64_t imageSize, int64_t offset,
                      uint32_t length) {
  const NtStatus range = CheckTransferRange(offset, length, imageSize);
  if (range != kStatusSuccess) return range;
  if (cipher == nullptr ||
      (cipher->Generation != kGenerationHeadOnly && cipher->Generation != kGenerationWholeDisk)) {
    return kStatusInvalidDeviceRequest;
  }
  // XTS knows no partial sector.
  if (WholeDisk(cipher) && length % kSectorSize != 0) return kStatusInvalidParameter;
  return kStatusSuccess;
}

bool BounceUsable(const BounceBuffer& bounce) {
  return bounce.Bytes != nullptr && bounce.Size >= kEncryptedAreaBytes &&
         bounce.Size % kSectorSize == 0;
}

// The first generation: the head sealed in the bounce buffer, the rest
// written as it is.
TransferResult WriteHeadOnly(const ImageFileIo& io, const AesEngine* engine,
                             const BounceBuffer& bounce, int64_t offset, const uint8_t* buffer,
                             uint32_t length) {
  uint32_t total = 0;
  const uint32_t head = EncryptedHeadLength(offset, length);
  if (head != 0) {
    uint8_t* sealed = bounce.Bytes;
    memcpy(sealed, buffer, head);
    SectorIv iv;
    SetSectorIv(&iv, static_cast<uint64_t>(offset) / kSectorSize);
    EncryptChunk(sealed, head, &iv, engine);
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

// The second generation: chunk after chunk encrypted into the bounce buffer
// and written from there.
TransferResult WriteWholeDisk(const ImageFileIo& io, const XtsContext* xts,
                              const BounceBuffer& bounce, int64_t offset, const uint8_t* buffer,
                              uint32_t length) {
  TransferResult result = Result(kStatusSuccess, 0);
  while (result.Information < length) {
    const uint32_t left = length - result.Information;
    const uint32_t chunk = left < bounce.Size ? left : bounce.Size;
    const int64_t position = offset + result.Information;
    XtsEncryptSectors(xts, static_cast<uint64_t>(position) / kSectorSize,
                      buffer + result.Information, bounce.Bytes, chunk / kSectorSize);
    uint32_t transferred = 0;
    result.Status = io.Write(io.Context, bounce.Bytes, chunk, position, &transferred);
    if (transferred > chunk) transferred = chunk;
    result.Information += transferred;
    if (!IsSuccess(result.Status) || transferred != chunk) break;
  }
  if (IsSuccess(result.Status)) result.Status = kStatusSuccess;
  SecureWipe(bounce.Bytes, length < bounce.Size ? length : bounce.Size);
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

TransferResult ReadImage(const ImageFileIo& io, const ImageCipher* cipher, int64_t imageSize,
                         int64_t offset, uint8_t* buffer, uint32_t length) {
  const NtStatus refused = CheckRequest(cipher, imageSize, offset, length);
  if (refused != kStatusSuccess) return Result(refused, 0);
  if (length == 0) return Result(kStatusSuccess, 0);
  uint32_t transferred = 0;
  const NtStatus status = io.Read(io.Context, buffer, length, offset, &transferred);
  if (!IsSuccess(status)) return Result(status, transferred);
  if (transferred > length) transferred = length;
  if (WholeDisk(cipher)) {
    // A sector read in part cannot be decrypted: it is not reported read.
    const uint32_t sectors = transferred / kSectorSize;
    XtsDecryptSectors(&cipher->Xts, static_cast<uint64_t>(offset) / kSectorSize, buffer, buffer,
                      sectors);
    return Result(status, sectors * kSectorSize);
  }
  const uint32_t head = EncryptedHeadLength(offset, transferred);
  if (head != 0) {
    SectorIv iv;
    SetSectorIv(&iv, static_cast<uint64_t>(offset) / kSectorSize);
    DecryptChunk(buffer, head, &iv, &cipher->Head);
  }
  return Result(status, transferred);
}

TransferResult WriteImage(const ImageFileIo& io, const ImageCipher* cipher,
                          const BounceBuffer& bounce, int64_t imageSize, int64_t offset,
                          const uint8_t* buffer, uint32_t length) {
  const NtStatus refused = CheckRequest(cipher, imageSize, offset, length);
  if (refused != kStatusSuccess) return Result(refused, 0);
  if (length == 0) return Result(kStatusSuccess, 0);
  if (!BounceUsable(bounce)) return Result(kStatusInvalidParameter, 0);
  if (WholeDisk(cipher)) return WriteWholeDisk(io, &cipher->Xts, bounce, offset, buffer, length);
  return WriteHeadOnly(io, &cipher->Head, bounce, offset, buffer, length);
}

TransferResult WriteImageThrough(const ImageFileIo& io, FlushImageFile flush,
                                 const ImageCipher* cipher, const BounceBuffer& bounce,
                                 int64_t imageSize, int64_t offset, const uint8_t* buffer,
                                 uint32_t length) {
  TransferResult result = WriteImage(io, cipher, bounce, imageSize, offset, buffer, length);
  // What the request reports as written must be on stable storage.
  if (IsSuccess(result.Status) && result.Information != 0) result.Status = flush(io.Context);
  return result;
}

}  // namespace cryptdsk
