#include "control_protocol.h"

#include <stddef.h>
#include <string.h>

#include "disk_requests.h"
#include "pnp_state.h"
#include "secure_wipe.h"

namespace cryptdsk {
namespace {

constexpr uint32_t kRecordKeyOffset = offsetof(OPEN_IMAGE_RECORD, Key);
constexpr uint32_t kRecordValidFlagOffset = offsetof(OPEN_IMAGE_RECORD, ValidFlag);
constexpr uint32_t kRecordNameLengthOffset = offsetof(OPEN_IMAGE_RECORD, FileNameLength);
constexpr uint32_t kRecordGenerationOffset = offsetof(OPEN_IMAGE_RECORD, Generation);
constexpr uint32_t kRecordFileSizeOffset = offsetof(OPEN_IMAGE_RECORD, FileSize);
constexpr uint32_t kRecordDriveLetterOffset = offsetof(OPEN_IMAGE_RECORD, DriveLetter);
constexpr uint32_t kRecordFileNameOffset = offsetof(OPEN_IMAGE_RECORD, FileName);
constexpr uint32_t kRecordSize = static_cast<uint32_t>(kOpenImageRecordSize);
constexpr uint32_t kTweakKeyOffset = offsetof(OPEN_IMAGE_WHOLE_DISK_REQUEST, TweakKey);
constexpr uint32_t kWholeDiskRequestSize = static_cast<uint32_t>(kOpenImageWholeDiskRequestSize);

ControlAnswer Complete(NtStatus status, uint32_t information) {
  ControlAnswer answer{};
  answer.Status = status;
  answer.Information = information;
  answer.Action = ControlAction::kComplete;
  return answer;
}

// An answer that needs `size` bytes of output: too small gives
// STATUS_BUFFER_TOO_SMALL with Information = the size the answer needs.
bool FitsOutput(const ControlRequest& request, uint32_t size) {
  return request.OutputLength >= size;
}

ControlAnswer AnswerGeometry(const ControlRequest& request, const DiskView& disk) {
  if (!FitsOutput(request, kDiskGeometrySize))
    return Complete(kStatusBufferTooSmall, kDiskGeometrySize);
  uint8_t* out = request.SystemBuffer;
  memset(out, 0, kDiskGeometrySize);
  StoreU64(out + kGeometryCylindersOffset, static_cast<uint64_t>(disk.ImageSize) >> 15);
  StoreU32(out + kGeometryMediaTypeOffset, kFixedMedia);
  StoreU32(out + kGeometryTracksPerCylinderOffset, kTracksPerCylinder);
  StoreU32(out + kGeometrySectorsPerTrackOffset, kSectorsPerTrack);
  StoreU32(out + kGeometryBytesPerSectorOffset, kBytesPerSector);
  return Complete(kStatusSuccess, kDiskGeometrySize);
}

// Where the one partition's start, length and hidden sectors sit in a
// partition-information layout of `size` bytes.
struct PartitionLayout {
  uint32_t size;
  uint32_t startingOffset;
  uint32_t length;
  uint32_t hiddenSectors;
};

// Everything else is zero: MBR style, partition number 0, flags false.
ControlAnswer AnswerPartition(const ControlRequest& request, const DiskView& disk,
                              const PartitionLayout& layout) {
  if (!FitsOutput(request, layout.size)) return Complete(kStatusBufferTooSmall, layout.size);
  uint8_t* out = request.SystemBuffer;
  memset(out, 0, layout.size);
  StoreU64(out + layout.startingOffset, static_cast<uint64_t>(kPartitionStart));
  StoreU64(out + layout.length, static_cast<uint64_t>(disk.ImageSize - kPartitionStart));
  StoreU32(out + layout.hiddenSectors, kHiddenSectors);
  return Complete(kStatusSuccess, layout.size);
}

ControlAnswer AnswerPartitionInfoEx(const ControlRequest& request, const DiskView& disk) {
  return AnswerPartition(request, disk,
                         {kPartitionInfoExSize, kPartExStartingOffsetOffset, kPartExLengthOffset,
                          kPartExMbrHiddenSectorsOffset});
}

ControlAnswer AnswerPartitionInfo(const ControlRequest& request, const DiskView& disk) {
  return AnswerPartition(request, disk,
                         {kPartitionInfoSize, kPartStartingOffsetOffset, kPartLengthOffset,
                          kPartHiddenSectorsOffset});
}

ControlAnswer AnswerLengthInfo(const ControlRequest& request, const DiskView& disk) {
  if (!FitsOutput(request, kLengthInfoSize))
    return Complete(kStatusBufferTooSmall, kLengthInfoSize);
  StoreU64(request.SystemBuffer, static_cast<uint64_t>(disk.ImageSize));
  return Complete(kStatusSuccess, kLengthInfoSize);
}

// MOUNTDEV_UNIQUE_ID / MOUNTDEV_NAME: the length first; the bytes and a zero
// terminator when the output holds them, which the Information value counts
// without the terminator.
ControlAnswer AnswerMountdev(const ControlRequest& request, const uint8_t* bytes, uint16_t length,
                             uint32_t terminatorBytes) {
  if (request.OutputLength < kMountdevHeaderSize) return Complete(kStatusInvalidParameter, 0);
  uint8_t* out = request.SystemBuffer;
  StoreU16(out, length);
  if (request.OutputLength < kMountdevHeaderSize + length) {
    return Complete(kStatusBufferOverflow, kMountdevHeaderSize);
  }
  memcpy(out + 2, bytes, length);
  memset(out + 2 + length, 0, terminatorBytes);
  return Complete(kStatusSuccess, 2u + length);
}

ControlAnswer AnswerUniqueId(const ControlRequest& request) {
  return AnswerMountdev(request, reinterpret_cast<const uint8_t*>(kVolumeUniqueId),
                        static_cast<uint16_t>(kVolumeUniqueIdLength), 1);
}

ControlAnswer AnswerDeviceName(const ControlRequest& request) {
  uint8_t name[kDeviceNameBytes];
  for (uint32_t i = 0; i < kDeviceNameBytes / 2; ++i) StoreU16(name + 2 * i, kDeviceNameUtf16[i]);
  return AnswerMountdev(request, name, static_cast<uint16_t>(kDeviceNameBytes), 2);
}

ControlAnswer AnswerOpen(const ControlRequest& request, const DiskView& disk) {
  NtStatus status = NewRequestStatus(disk.PnpState);
  if (status != kStatusSuccess) return RefuseControlRequest(request, status);
  if (disk.ImageAttached) return RefuseControlRequest(request, kStatusInvalidDeviceRequest);
  OpenImageParameters parameters;
  status = ParseOpenImageRecord(request.SystemBuffer, request.InputLength, &parameters);
  if (status != kStatusSuccess) return RefuseControlRequest(request, status);
  ControlAnswer answer = Complete(kStatusPending, 0);
  answer.Action = ControlAction::kQueueOpen;
  return answer;
}

ControlAnswer AnswerIsOpen(const ControlRequest& request, const DiskView& disk) {
  if (request.OutputLength < 1) return Complete(kStatusBufferTooSmall, 1);
  request.SystemBuffer[0] = disk.ImageAttached ? 1 : 0;
  return Complete(kStatusSuccess, 1);
}

// The record is zero-filled first: input and output share the system
// buffer, so anything not written would echo the caller's input. A name
// longer than the output holds is cut, with STATUS_BUFFER_OVERFLOW; the
// terminator is written when there is room for it (a 263-unit name fills
// the 576-byte record exactly and has none).
ControlAnswer AnswerQuery(const ControlRequest& request, const DiskView& disk) {
  if (request.OutputLength < kRecordSize) return Complete(kStatusBufferTooSmall, 0);
  uint8_t* out = request.SystemBuffer;
  const uint32_t room = (request.OutputLength - kRecordFileNameOffset) / 2;
  const uint32_t units = disk.ImageFileNameUnits;
  const uint32_t copied = units < room ? units : room;
  const bool terminated = copied < room;
  const uint32_t end = kRecordFileNameOffset + 2 * copied + (terminated ? 2 : 0);
  const uint32_t information = end > kRecordSize ? end : kRecordSize;
  memset(out, 0, information);
  StoreU16(out + kRecordValidFlagOffset, 1);
  StoreU16(out + kRecordNameLengthOffset, static_cast<uint16_t>(units));
  StoreU32(out + kRecordGenerationOffset, disk.Generation);
  StoreU64(out + kRecordFileSizeOffset, static_cast<uint64_t>(disk.ImageSize));
  StoreU16(out + kRecordDriveLetterOffset, disk.DriveLetter);
  for (uint32_t i = 0; i < copied; ++i) {
    StoreU16(out + kRecordFileNameOffset + 2 * i, disk.ImageFileName[i]);
  }
  return Complete(copied < units ? kStatusBufferOverflow : kStatusSuccess, information);
}

ControlAnswer AnswerSetDriveLetter(const ControlRequest& request) {
  if (request.InputLength < 2) return Complete(kStatusBufferTooSmall, 4);
  ControlAnswer answer = Complete(kStatusSuccess, 1);
  answer.DriveLetterChanged = true;
  answer.NewDriveLetter = LoadU16(request.SystemBuffer);
  return answer;
}

}  // namespace

bool RequiresImage(uint32_t code) {
  return code != IOCTL_CRYPTDSK_OPEN_IMAGE && code != IOCTL_CRYPTDSK_IS_OPEN;
}

NtStatus ParseOpenImageRecord(const uint8_t* buffer, uint32_t inputLength,
                              OpenImageParameters* parameters) {
  if (buffer == nullptr || inputLength < kRecordSize) return kStatusInvalidParameter;
  const uint16_t units = LoadU16(buffer + kRecordNameLengthOffset);
  // An empty name would open the object directory root; a name past the
  // input would be read from beyond the caller's bytes; a longer one would
  // wrap the 16-bit byte count into a shorter, different path.
  if (units == 0 || units > kMaxFileNameUnits || kRecordFileNameOffset + 2u * units > inputLength)
    return kStatusInvalidParameter;
  // Earlier clients leave the field zero.
  uint32_t generation = LoadU32(buffer + kRecordGenerationOffset);
  if (generation == 0) generation = kGenerationHeadOnly;
  const uint8_t* tweakKey = nullptr;
  if (generation == kGenerationWholeDisk) {
    // The tweak key follows the record, so the name cannot run past it.
    if (inputLength < kWholeDiskRequestSize || kRecordFileNameOffset + 2u * units > kRecordSize)
      return kStatusInvalidParameter;
    tweakKey = buffer + kTweakKeyOffset;
  } else if (generation != kGenerationHeadOnly) {
    return kStatusInvalidParameter;
  }
  parameters->Generation = generation;
  parameters->Key = buffer + kRecordKeyOffset;
  parameters->TweakKey = tweakKey;
  parameters->FileName = buffer + kRecordFileNameOffset;
  parameters->FileNameUnits = units;
  parameters->FileSize = LoadU64(buffer + kRecordFileSizeOffset);
  parameters->DriveLetter = LoadU16(buffer + kRecordDriveLetterOffset);
  return kStatusSuccess;
}

void WipeOpenRecordKey(uint8_t* systemBuffer, uint32_t inputLength) {
  if (systemBuffer == nullptr) return;
  SecureWipe(systemBuffer, inputLength < kOpenImageKeySize ? inputLength : kOpenImageKeySize);
  if (inputLength > kTweakKeyOffset) {
    const uint32_t held = inputLength - kTweakKeyOffset;
    SecureWipe(systemBuffer + kTweakKeyOffset,
               held < kOpenImageTweakKeySize ? held : kOpenImageTweakKeySize);
  }
}

ControlAnswer RefuseControlRequest(const ControlRequest& request, NtStatus status) {
  if (request.Code == IOCTL_CRYPTDSK_OPEN_IMAGE)
    WipeOpenRecordKey(request.SystemBuffer, request.InputLength);
  return Complete(status, 0);
}

ControlAnswer AnswerControlRequest(const ControlRequest& request, const DiskView& disk) {
  if (!disk.ImageAttached && RequiresImage(request.Code))
    return Complete(kStatusNoMediaInDevice, 0);
  switch (request.Code) {
    case IOCTL_CRYPTDSK_OPEN_IMAGE:
      return AnswerOpen(request, disk);
    case IOCTL_CRYPTDSK_CLOSE_IMAGE: {
      ControlAnswer answer = Complete(kStatusPending, 0);
      answer.Action = ControlAction::kQueueClose;
      return answer;
    }
    case IOCTL_CRYPTDSK_IS_OPEN:
      return AnswerIsOpen(request, disk);
    case IOCTL_CRYPTDSK_QUERY_IMAGE:
      return AnswerQuery(request, disk);
    case IOCTL_CRYPTDSK_SET_DRIVE_LETTER:
      return AnswerSetDriveLetter(request);
    case kIoctlDiskGetDriveGeometry:
      return AnswerGeometry(request, disk);
    case kIoctlDiskVerify:
      if (request.InputLength < kVerifyInformationSize) {
        return Complete(kStatusBufferTooSmall, kVerifyInformationSize);
      }
      return Complete(kStatusSuccess, 0);
    case kIoctlDiskGetPartitionInfoEx:
      return AnswerPartitionInfoEx(request, disk);
    case kIoctlDiskGetPartitionInfo:
      return AnswerPartitionInfo(request, disk);
    case kIoctlDiskGetLengthInfo:
      return AnswerLengthInfo(request, disk);
    case kIoctlDiskSetPartitionInfo:
      return Complete(request.InputLength >= 1 ? kStatusSuccess : kStatusInvalidParameter, 0);
    case kIoctlDiskIsWritable:
    case kIoctlDiskCheckVerify:
    case kIoctlDiskMediaRemoval:
    case kIoctlStorageCheckVerify2:
    case kIoctlStorageCheckVerify:
    case kIoctlStorageMediaRemoval:
      return Complete(kStatusSuccess, 0);
    case kIoctlMountdevQueryUniqueId:
      return AnswerUniqueId(request);
    case kIoctlMountdevQueryDeviceName:
      return AnswerDeviceName(request);
    default:
      return Complete(kStatusInvalidDeviceRequest, 0);
  }
}

}  // namespace cryptdsk
