// The standard disk, storage and mount-manager requests the disk device
// answers, with the byte layouts of their answers. The layouts are the
// platform's published structures (x86 and x64 agree on all of them); the
// kernel build checks every offset below against the DDK's own definitions.
// Freestanding.
#pragma once

#include <stdint.h>

namespace cryptdsk {

constexpr uint32_t kIoctlDiskGetDriveGeometry = 0x00070000;
constexpr uint32_t kIoctlDiskVerify = 0x00070014;
constexpr uint32_t kIoctlDiskIsWritable = 0x00070024;
constexpr uint32_t kIoctlDiskGetPartitionInfoEx = 0x00070048;
constexpr uint32_t kIoctlDiskGetPartitionInfo = 0x00074004;
constexpr uint32_t kIoctlDiskGetLengthInfo = 0x0007405C;
constexpr uint32_t kIoctlDiskCheckVerify = 0x00074800;
constexpr uint32_t kIoctlDiskMediaRemoval = 0x00074804;
constexpr uint32_t kIoctlDiskSetPartitionInfo = 0x0007C008;
constexpr uint32_t kIoctlStorageCheckVerify2 = 0x002D0800;
constexpr uint32_t kIoctlStorageCheckVerify = 0x002D4800;
constexpr uint32_t kIoctlStorageMediaRemoval = 0x002D4804;
constexpr uint32_t kIoctlMountdevQueryUniqueId = 0x004D0000;
constexpr uint32_t kIoctlMountdevQueryDeviceName = 0x004D0008;

// DISK_GEOMETRY
constexpr uint32_t kDiskGeometrySize = 24;
constexpr uint32_t kGeometryCylindersOffset = 0;
constexpr uint32_t kGeometryMediaTypeOffset = 8;
constexpr uint32_t kGeometryTracksPerCylinderOffset = 12;
constexpr uint32_t kGeometrySectorsPerTrackOffset = 16;
constexpr uint32_t kGeometryBytesPerSectorOffset = 20;
constexpr uint32_t kFixedMedia = 12;
constexpr uint32_t kTracksPerCylinder = 2;
constexpr uint32_t kSectorsPerTrack = 32;
constexpr uint32_t kBytesPerSector = 512;

// IOCTL_DISK_VERIFY input (VERIFY_INFORMATION)
constexpr uint32_t kVerifyInformationSize = 16;

// PARTITION_INFORMATION_EX, MBR style
constexpr uint32_t kPartitionInfoExSize = 144;
constexpr uint32_t kPartExStyleOffset = 0;
constexpr uint32_t kPartExStartingOffsetOffset = 8;
constexpr uint32_t kPartExLengthOffset = 16;
constexpr uint32_t kPartExNumberOffset = 24;
constexpr uint32_t kPartExRewriteOffset = 28;
constexpr uint32_t kPartExMbrTypeOffset = 32;
constexpr uint32_t kPartExMbrBootIndicatorOffset = 33;
constexpr uint32_t kPartExMbrRecognizedOffset = 34;
constexpr uint32_t kPartExMbrHiddenSectorsOffset = 36;

// PARTITION_INFORMATION
constexpr uint32_t kPartitionInfoSize = 32;
constexpr uint32_t kPartStartingOffsetOffset = 0;
constexpr uint32_t kPartLengthOffset = 8;
constexpr uint32_t kPartHiddenSectorsOffset = 16;
constexpr uint32_t kPartNumberOffset = 20;
constexpr uint32_t kPartTypeOffset = 24;
constexpr uint32_t kPartBootIndicatorOffset = 25;
constexpr uint32_t kPartRecognizedOffset = 26;
constexpr uint32_t kPartRewriteOffset = 27;

// The one partition the disk reports: it starts at the second sector.
constexpr int64_t kPartitionStart = 512;
constexpr uint32_t kHiddenSectors = 1;

// GET_LENGTH_INFORMATION
constexpr uint32_t kLengthInfoSize = 8;

// MOUNTDEV_UNIQUE_ID and MOUNTDEV_NAME: a u16 length, then the bytes.
constexpr uint32_t kMountdevHeaderSize = 4;
constexpr char kVolumeUniqueId[] = "\\??\\Volume{F9B1D053-4889-4656-9155-7652877B7E58}\\";
constexpr uint32_t kVolumeUniqueIdLength = sizeof(kVolumeUniqueId) - 1;
static_assert(kVolumeUniqueIdLength == 49, "unique id is 49 bytes");

}  // namespace cryptdsk
