// The wire protocol between cryptdsk.sys and the programs that talk to it
// through "\\.\CryptDsk00".
//
// WARNING: containers, clients and drivers of different builds meet through
// these definitions. Changing a code, an offset or a size breaks them.
// Freestanding: usable from the driver.
#pragma once

#include <stddef.h>
#include <stdint.h>

namespace cryptdsk {

constexpr uint32_t CtlCode(uint32_t deviceType, uint32_t function, uint32_t method,
                           uint32_t access) {
  return (deviceType << 16) | (access << 14) | (function << 2) | method;
}

constexpr uint32_t kDeviceType = 0x8000;
constexpr uint32_t kMethodBuffered = 0;
constexpr uint32_t kFileReadAccess = 1;
constexpr uint32_t kFileWriteAccess = 2;
constexpr uint32_t kReadWriteAccess = kFileReadAccess | kFileWriteAccess;

}  // namespace cryptdsk

constexpr uint32_t IOCTL_CRYPTDSK_OPEN_IMAGE = cryptdsk::CtlCode(
    cryptdsk::kDeviceType, 0x800, cryptdsk::kMethodBuffered, cryptdsk::kReadWriteAccess);
constexpr uint32_t IOCTL_CRYPTDSK_CLOSE_IMAGE = cryptdsk::CtlCode(
    cryptdsk::kDeviceType, 0x804, cryptdsk::kMethodBuffered, cryptdsk::kReadWriteAccess);
constexpr uint32_t IOCTL_CRYPTDSK_IS_OPEN = cryptdsk::CtlCode(
    cryptdsk::kDeviceType, 0x808, cryptdsk::kMethodBuffered, cryptdsk::kFileReadAccess);
constexpr uint32_t IOCTL_CRYPTDSK_QUERY_IMAGE = cryptdsk::CtlCode(
    cryptdsk::kDeviceType, 0x812, cryptdsk::kMethodBuffered, cryptdsk::kFileReadAccess);
constexpr uint32_t IOCTL_CRYPTDSK_SET_DRIVE_LETTER = cryptdsk::CtlCode(
    cryptdsk::kDeviceType, 0x816, cryptdsk::kMethodBuffered, cryptdsk::kReadWriteAccess);

static_assert(IOCTL_CRYPTDSK_OPEN_IMAGE == 0x8000E000u,
              "request code is part of the wire protocol");
static_assert(IOCTL_CRYPTDSK_CLOSE_IMAGE == 0x8000E010u,
              "request code is part of the wire protocol");
static_assert(IOCTL_CRYPTDSK_IS_OPEN == 0x80006020u, "request code is part of the wire protocol");
static_assert(IOCTL_CRYPTDSK_QUERY_IMAGE == 0x80006048u,
              "request code is part of the wire protocol");
static_assert(IOCTL_CRYPTDSK_SET_DRIVE_LETTER == 0x8000E058u,
              "request code is part of the wire protocol");

// Names of the one disk device.
#define CRYPTDSK_DEVICE_NAME L"\\Device\\CryptDsk00"
#define CRYPTDSK_LINK_NAME L"\\DosDevices\\CryptDsk00"
#define CRYPTDSK_USER_PATH_NARROW "\\\\.\\CryptDsk00"
#define CRYPTDSK_WIDE_(text) L##text
#define CRYPTDSK_WIDE(text) CRYPTDSK_WIDE_(text)
#define CRYPTDSK_USER_PATH CRYPTDSK_WIDE(CRYPTDSK_USER_PATH_NARROW)

// The open request fails with STATUS_NOT_SUPPORTED, which DeviceIoControl
// reports as ERROR_NOT_SUPPORTED, when the container's host volume has
// sectors larger than the disk's 512 bytes (4096-byte "4Kn" disks).
namespace cryptdsk {
constexpr uint32_t kOpenImageHostSectorStatus = 0xC00000BBu;
constexpr uint32_t kOpenImageHostSectorError = 50;
}  // namespace cryptdsk

constexpr size_t kOpenImageRecordSize = 576;
constexpr size_t kOpenImageKeySize = 32;
constexpr size_t kOpenImageNameUnits = 263;

// The record of the open and query requests: 576 bytes, little-endian.
// FileName is UTF-16 (char16_t here, WCHAR in the programs: both 2 bytes).
#pragma pack(push, 1)
struct OPEN_IMAGE_RECORD {
  uint8_t Key[kOpenImageKeySize];  // AES-256 disk key; never returned by query
  uint16_t ValidFlag;              // set to 1 by the client and by the query answer
  uint16_t FileNameLength;         // code units in FileName, terminator not counted
  uint32_t Generation;             // 0 or 1: the first generation; 2: whole disk (below)
  uint64_t FileSize;                       // open: size of a container to create (0: none)
  uint16_t DriveLetter;                    // 'A'..'Z' as a UTF-16 code unit
  char16_t FileName[kOpenImageNameUnits];  // "\??\C:\..." or "\??\UNC\server\..."
};
#pragma pack(pop)

static_assert(sizeof(OPEN_IMAGE_RECORD) == kOpenImageRecordSize, "open-image record is 576 bytes");
static_assert(offsetof(OPEN_IMAGE_RECORD, Key) == 0, "wire offset");
static_assert(offsetof(OPEN_IMAGE_RECORD, ValidFlag) == 32, "wire offset");
static_assert(offsetof(OPEN_IMAGE_RECORD, FileNameLength) == 34, "wire offset");
static_assert(offsetof(OPEN_IMAGE_RECORD, Generation) == 36, "wire offset");
static_assert(offsetof(OPEN_IMAGE_RECORD, FileSize) == 40, "wire offset");
static_assert(offsetof(OPEN_IMAGE_RECORD, DriveLetter) == 48, "wire offset");
static_assert(offsetof(OPEN_IMAGE_RECORD, FileName) == 50, "wire offset");

// Containers of the second generation are encrypted on every sector with
// AES-256-XTS under 64 bytes of key. Their open request is the record with
// Generation = 2, Key holding the data key, followed at byte 576 by the
// 32-byte tweak key: 608 bytes of input, with the name inside the record.
// FileSize stays the size of the container file to create; its disk is the
// file less the 4096-byte backup area at its end. Earlier clients leave
// Generation zero and send 576 bytes (or more for a longer name), and their
// requests are served as before. The query answer gives the attached
// container's generation (1 or 2) and never a key.
namespace cryptdsk {
constexpr uint32_t kGenerationHeadOnly = 1;
constexpr uint32_t kGenerationWholeDisk = 2;
constexpr size_t kOpenImageTweakKeySize = 32;
constexpr size_t kOpenImageWholeDiskRequestSize = kOpenImageRecordSize + kOpenImageTweakKeySize;
constexpr uint32_t kWholeDiskBackupAreaBytes = 4096;
}  // namespace cryptdsk

#pragma pack(push, 1)
struct OPEN_IMAGE_WHOLE_DISK_REQUEST {
  OPEN_IMAGE_RECORD Record;
  uint8_t TweakKey[cryptdsk::kOpenImageTweakKeySize];
};
#pragma pack(pop)
static_assert(sizeof(OPEN_IMAGE_WHOLE_DISK_REQUEST) == 608, "whole-disk open request is 608 bytes");
