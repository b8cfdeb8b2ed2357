// cryptdsk.sys: the device-control dispatch. Answers come from the portable
// core; open and close go to the worker. Kernel mode only; runs in the
// requesting thread at PASSIVE_LEVEL.
#include "disk_extension.h"
// clang-format off
#include <ntdddisk.h>
#include <ntddstor.h>
// clang-format on

#include "control_protocol.h"
#include "disk_requests.h"

namespace cryptdsk {
namespace {

// The core's wire layouts must be the DDK's.
static_assert(sizeof(DISK_GEOMETRY) == kDiskGeometrySize, "DISK_GEOMETRY");
static_assert(FIELD_OFFSET(DISK_GEOMETRY, MediaType) == kGeometryMediaTypeOffset, "DISK_GEOMETRY");
static_assert(FIELD_OFFSET(DISK_GEOMETRY, BytesPerSector) == kGeometryBytesPerSectorOffset, "");
static_assert(sizeof(PARTITION_INFORMATION_EX) == kPartitionInfoExSize, "PARTITION_INFORMATION_EX");
static_assert(FIELD_OFFSET(PARTITION_INFORMATION_EX, PartitionLength) == kPartExLengthOffset, "");
static_assert(FIELD_OFFSET(PARTITION_INFORMATION_EX, Mbr.HiddenSectors) ==
                  kPartExMbrHiddenSectorsOffset,
              "");
static_assert(sizeof(PARTITION_INFORMATION) == kPartitionInfoSize, "PARTITION_INFORMATION");
static_assert(FIELD_OFFSET(PARTITION_INFORMATION, RewritePartition) == kPartRewriteOffset, "");
static_assert(sizeof(GET_LENGTH_INFORMATION) == kLengthInfoSize, "GET_LENGTH_INFORMATION");
static_assert(IOCTL_DISK_GET_DRIVE_GEOMETRY == kIoctlDiskGetDriveGeometry, "");
static_assert(IOCTL_DISK_GET_PARTITION_INFO_EX == kIoctlDiskGetPartitionInfoEx, "");
static_assert(IOCTL_DISK_GET_LENGTH_INFO == kIoctlDiskGetLengthInfo, "");
static_assert(IOCTL_STORAGE_CHECK_VERIFY2 == kIoctlStorageCheckVerify2, "");
static_assert(STATUS_NO_MEDIA_IN_DEVICE == kStatusNoMediaInDevice, "");
static_assert(STATUS_BUFFER_OVERFLOW == kStatusBufferOverflow, "");
static_assert(STATUS_UNSUCCESSFUL == kStatusUnsuccessful, "");

ControlAnswer AnswerUnderStateLock(DiskExtension* extension, const ControlRequest& request) {
  KIRQL irql;
  KeAcquireSpinLock(&extension->StateLock, &irql);
  DiskView view;
  view.PnpState = extension->PnpState;
  view.ImageAttached = ImageIsAttached(extension);
  view.Generation = extension->ImageGeneration;
  view.ImageSize = extension->ImageSize;
  view.DriveLetter = extension->DriveLetter;
  view.ImageFileName = reinterpret_cast<const char16_t*>(extension->ImageFileName.Buffer);
  view.ImageFileNameUnits = extension->ImageFileName.Length / sizeof(WCHAR);
  const ControlAnswer answer = AnswerControlRequest(request, view);
  if (answer.DriveLetterChanged) extension->DriveLetter = answer.NewDriveLetter;
  KeReleaseSpinLock(&extension->StateLock, irql);
  return answer;
}

}  // namespace

NTSTATUS DispatchDeviceControl(PDEVICE_OBJECT device, PIRP irp) {
  DiskExtension* extension = ExtensionOf(device);
  PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
  ControlRequest request;
  request.Code = stack->Parameters.DeviceIoControl.IoControlCode;
  request.InputLength = stack->Parameters.DeviceIoControl.InputBufferLength;
  request.OutputLength = stack->Parameters.DeviceIoControl.OutputBufferLength;
  request.SystemBuffer = static_cast<uint8_t*>(irp->AssociatedIrp.SystemBuffer);
  if (!ImageIsAttached(extension) && RequiresImage(request.Code)) {
    return CompleteRequest(irp, STATUS_NO_MEDIA_IN_DEVICE, 0);
  }
  // Buffered requests without a system buffer have no bytes to answer with.
  if (request.SystemBuffer == nullptr) request.InputLength = request.OutputLength = 0;
  NTSTATUS status = IoAcquireRemoveLock(&extension->RemoveLock, irp);
  const bool locked = NT_SUCCESS(status);
  ControlAnswer answer =
      locked ? AnswerUnderStateLock(extension, request) : RefuseControlRequest(request, status);
  switch (answer.Action) {
    case ControlAction::kQueueOpen:
      if (NT_SUCCESS(CaptureClientSecurity(irp))) return QueueRequest(extension, irp);
      answer = RefuseControlRequest(request, STATUS_UNSUCCESSFUL);
      break;
    case ControlAction::kQueueClose:
      return QueueRequest(extension, irp);
    case ControlAction::kComplete:
    default:
      if (request.Code == kIoctlMountdevQueryUniqueId && answer.Status == STATUS_SUCCESS) {
        DbgPrint("CryptDsk - cryptdsk: unique id %s\n", kVolumeUniqueId);
      }
      break;
  }
  status = CompleteRequest(irp, answer.Status, answer.Information);
  if (locked) IoReleaseRemoveLock(&extension->RemoveLock, irp);
  return status;
}

}  // namespace cryptdsk
