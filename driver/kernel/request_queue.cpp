// cryptdsk.sys: the transfer and shutdown dispatch, the request queue and the worker
// thread that serves reads, writes, flushes, shutdown, attach and detach one
// at a time in arrival order. Kernel mode only.
//
// Producers (dispatch routines, requesting threads, PASSIVE_LEVEL) only
// check and queue; the worker alone touches the container file, the image
// cipher and the attachment.
#include "cipher_in_use.h"
#include "control_protocol.h"
#include "cryptdsk_protocol.h"
#include "disk_extension.h"
#include "pnp_state.h"
#include "transfer.h"

namespace cryptdsk {
namespace {

static_assert(STATUS_DRIVER_INTERNAL_ERROR == kStatusDriverInternalError, "");
static_assert(STATUS_INVALID_PARAMETER == kStatusInvalidParameter, "");
static_assert(STATUS_NO_SUCH_DEVICE == kStatusNoSuchDevice, "");
static_assert(STATUS_DELETE_PENDING == kStatusDeletePending, "");

// The transfer calls' context is the device's extension.
HANDLE ImageHandleOf(void* context) {
  return static_cast<DiskExtension*>(context)->ImageFileHandle;
}

NtStatus ZwReadAt(void* context, uint8_t* buffer, uint32_t length, int64_t offset, uint32_t* done) {
  IO_STATUS_BLOCK io;
  io.Information = 0;
  LARGE_INTEGER position;
  position.QuadPart = offset;
  const NTSTATUS status = ZwReadFile(ImageHandleOf(context), nullptr, nullptr, nullptr, &io, buffer,
                                     length, &position, nullptr);
  *done = static_cast<uint32_t>(io.Information);
  return status;
}

NtStatus ZwWriteAt(void* context, const uint8_t* buffer, uint32_t length, int64_t offset,
                   uint32_t* done) {
  IO_STATUS_BLOCK io;
  io.Information = 0;
  LARGE_INTEGER position;
  position.QuadPart = offset;
  const NTSTATUS status = ZwWriteFile(ImageHandleOf(context), nullptr, nullptr, nullptr, &io,
                                      const_cast<uint8_t*>(buffer), length, &position, nullptr);
  *done = static_cast<uint32_t>(io.Information);
  return status;
}

NtStatus FlushImage(void* context) {
  return FlushContainerFile(static_cast<DiskExtension*>(context), ImageHandleOf(context));
}

// A read or write of the attached container; the caller's memory comes
// through the request's memory descriptor list (DO_DIRECT_IO). A write the
// requester wants on stable storage (write-through, FUA) is flushed.
TransferResult Transfer(DiskExtension* extension, PIRP irp, PIO_STACK_LOCATION stack) {
  TransferResult result;
  result.Information = 0;
  if (!ImageIsAttached(extension)) {
    result.Status = STATUS_NO_MEDIA_IN_DEVICE;
    return result;
  }
  const bool write = stack->MajorFunction == IRP_MJ_WRITE;
  const ULONG length = write ? stack->Parameters.Write.Length : stack->Parameters.Read.Length;
  const LONGLONG offset = write ? stack->Parameters.Write.ByteOffset.QuadPart
                                : stack->Parameters.Read.ByteOffset.QuadPart;
  // Refused ranges touch nothing, not even the caller's pages.
  result.Status = CheckTransferRange(offset, length, extension->ImageSize);
  if (!NT_SUCCESS(result.Status) || length == 0) return result;
  const auto priority =
      static_cast<MM_PAGE_PRIORITY>(NormalPagePriority | extension->MdlMappingFlags);
  auto* buffer =
      irp->MdlAddress == nullptr
          ? nullptr
          : static_cast<uint8_t*>(MmGetSystemAddressForMdlSafe(irp->MdlAddress, priority));
  if (buffer == nullptr) {
    result.Status = STATUS_INSUFFICIENT_RESOURCES;
    return result;
  }
  ImageFileIo io;
  io.Context = extension;
  io.Read = ZwReadAt;
  io.Write = ZwWriteAt;
  const CipherInUse inUse(extension);
  const ImageCipher* cipher = inUse.Cipher();
  if (!write) return ReadImage(io, cipher, extension->ImageSize, offset, buffer, length);
  const BounceBuffer bounce{extension->Bounce, kBounceBytes};
  if (stack->Flags & SL_WRITE_THROUGH) {
    return WriteImageThrough(io, FlushImage, cipher, bounce, extension->ImageSize, offset, buffer,
                             length);
  }
  return WriteImage(io, cipher, bounce, extension->ImageSize, offset, buffer, length);
}

// Shutdown leaves a consistent container for the power-off: what is written
// reaches stable storage. A file system mounted on the disk writes its last
// state after the shutdown notification, so the container stays attached
// under it; without one the container is also closed.
NTSTATUS ShutDown(DiskExtension* extension) {
  if (!ImageIsAttached(extension)) return STATUS_SUCCESS;
  const PVPB volume = extension->DeviceObject->Vpb;
  if (volume != nullptr && (volume->Flags & VPB_MOUNTED)) return FlushImage(extension);
  return DetachImage(extension, true);
}

// The open request: the container is opened with the requesting user's
// rights, and the key leaves the system buffer whatever the outcome.
NTSTATUS Attach(DiskExtension* extension, PIRP irp, PIO_STACK_LOCATION stack) {
  NTSTATUS status = ImpersonateClient(ClientSecurityOf(irp));
  if (NT_SUCCESS(status)) {
    status = AttachImage(extension, irp);
    RevertToSelf();
  }
  ReleaseClientSecurity(irp);
  WipeOpenRecordKey(static_cast<uint8_t*>(irp->AssociatedIrp.SystemBuffer),
                    stack->Parameters.DeviceIoControl.InputBufferLength);
  return status;
}

NTSTATUS Control(DiskExtension* extension, PIRP irp, PIO_STACK_LOCATION stack) {
  switch (stack->Parameters.DeviceIoControl.IoControlCode) {
    case IOCTL_CRYPTDSK_OPEN_IMAGE:
      return Attach(extension, irp, stack);
    case IOCTL_CRYPTDSK_CLOSE_IMAGE:
      return DetachImage(extension, false);
    default:
      return STATUS_DRIVER_INTERNAL_ERROR;
  }
}

TransferResult Serve(DiskExtension* extension, PIRP irp) {
  PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
  TransferResult result;
  result.Information = 0;
  switch (stack->MajorFunction) {
    case IRP_MJ_READ:
    case IRP_MJ_WRITE:
      return Transfer(extension, irp, stack);
    case IRP_MJ_FLUSH_BUFFERS:
      result.Status =
          ImageIsAttached(extension) ? FlushImage(extension) : STATUS_NO_MEDIA_IN_DEVICE;
      return result;
    case IRP_MJ_SHUTDOWN:
      result.Status = ShutDown(extension);
      return result;
    case IRP_MJ_DEVICE_CONTROL:
      result.Status = Control(extension, irp, stack);
      return result;
    default:
      result.Status = STATUS_DRIVER_INTERNAL_ERROR;
      return result;
  }
}

PLIST_ENTRY RemoveHead(DiskExtension* extension) {
  KIRQL irql;
  KeAcquireSpinLock(&extension->QueueLock, &irql);
  PLIST_ENTRY entry =
      IsListEmpty(&extension->RequestQueue) ? nullptr : RemoveHeadList(&extension->RequestQueue);
  KeReleaseSpinLock(&extension->QueueLock, irql);
  return entry;
}

}  // namespace

NTSTATUS QueueRequest(DiskExtension* extension, PIRP irp) {
  IoMarkIrpPending(irp);
  KIRQL irql;
  KeAcquireSpinLock(&extension->QueueLock, &irql);
  InsertTailList(&extension->RequestQueue, &irp->Tail.Overlay.ListEntry);
  KeReleaseSpinLock(&extension->QueueLock, irql);
  KeSetEvent(&extension->QueueEvent, IO_NO_INCREMENT, FALSE);
  return STATUS_PENDING;
}

NTSTATUS DispatchTransfer(PDEVICE_OBJECT device, PIRP irp) {
  DiskExtension* extension = ExtensionOf(device);
  NTSTATUS status = NewRequestStatus(extension->PnpState);
  if (!NT_SUCCESS(status)) return CompleteRequest(irp, status, 0);
  if (!ImageIsAttached(extension)) return CompleteRequest(irp, STATUS_NO_MEDIA_IN_DEVICE, 0);
  // Read and Write parameters share their layout; a flush has no length.
  PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
  if (stack->MajorFunction != IRP_MJ_FLUSH_BUFFERS && stack->Parameters.Read.Length == 0) {
    return CompleteRequest(irp, STATUS_SUCCESS, 0);
  }
  status = IoAcquireRemoveLock(&extension->RemoveLock, irp);
  if (!NT_SUCCESS(status)) return CompleteRequest(irp, status, 0);
  return QueueRequest(extension, irp);
}

NTSTATUS DispatchShutdown(PDEVICE_OBJECT device, PIRP irp) {
  DiskExtension* extension = ExtensionOf(device);
  const NTSTATUS status = IoAcquireRemoveLock(&extension->RemoveLock, irp);
  if (!NT_SUCCESS(status)) return CompleteRequest(irp, status, 0);
  return QueueRequest(extension, irp);
}

void WorkerThreadMain(PVOID context) {
  auto* device = static_cast<PDEVICE_OBJECT>(context);
  DiskExtension* extension = ExtensionOf(device);
  KeSetPriorityThread(CurrentThread(), LOW_REALTIME_PRIORITY);
  for (;;) {
    KeWaitForSingleObject(&extension->QueueEvent, Executive, KernelMode, FALSE, nullptr);
    if (extension->StopWorker) PsTerminateSystemThread(STATUS_SUCCESS);
    // The event is auto-reset: drain everything; a wake-up may find nothing.
    PLIST_ENTRY entry;
    while ((entry = RemoveHead(extension)) != nullptr) {
      PIRP irp = CONTAINING_RECORD(entry, IRP, Tail.Overlay.ListEntry);
      const TransferResult result = Serve(extension, irp);
      irp->IoStatus.Status = result.Status;
      irp->IoStatus.Information = result.Information;
      IoCompleteRequest(irp, NT_SUCCESS(result.Status) ? IO_DISK_INCREMENT : IO_NO_INCREMENT);
      IoReleaseRemoveLock(&extension->RemoveLock, irp);
    }
  }
}

}  // namespace cryptdsk
