// cryptdsk.sys: the read/write dispatch, the request queue and the worker
// thread that serves reads, writes, attach and detach one at a time in
// arrival order. Kernel mode only.
//
// Producers (dispatch routines, requesting threads, PASSIVE_LEVEL) only
// check and queue; the worker alone touches the container file, the key
// schedule and the attachment.
#include "cryptdsk_protocol.h"
#include "disk_extension.h"
#include "transfer.h"

namespace cryptdsk {
namespace {

static_assert(STATUS_DRIVER_INTERNAL_ERROR == kStatusDriverInternalError, "");
static_assert(STATUS_INVALID_PARAMETER == kStatusInvalidParameter, "");

NtStatus ZwReadAt(void* context, uint8_t* buffer, uint32_t length, int64_t offset, uint32_t* done) {
  IO_STATUS_BLOCK io;
  io.Information = 0;
  LARGE_INTEGER position;
  position.QuadPart = offset;
  const NTSTATUS status = ZwReadFile(static_cast<HANDLE>(context), nullptr, nullptr, nullptr, &io,
                                     buffer, length, &position, nullptr);
  *done = static_cast<uint32_t>(io.Information);
  return status;
}

NtStatus ZwWriteAt(void* context, const uint8_t* buffer, uint32_t length, int64_t offset,
                   uint32_t* done) {
  IO_STATUS_BLOCK io;
  io.Information = 0;
  LARGE_INTEGER position;
  position.QuadPart = offset;
  const NTSTATUS status = ZwWriteFile(static_cast<HANDLE>(context), nullptr, nullptr, nullptr, &io,
                                      const_cast<uint8_t*>(buffer), length, &position, nullptr);
  *done = static_cast<uint32_t>(io.Information);
  return status;
}

// A read or write of the attached container; the caller's memory comes
// through the request's memory descriptor list (DO_DIRECT_IO).
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
  auto* buffer = irp->MdlAddress == nullptr ? nullptr
                                            : static_cast<uint8_t*>(MmGetSystemAddressForMdlSafe(
                                                  irp->MdlAddress, NormalPagePriority));
  if (buffer == nullptr) {
    result.Status = STATUS_INSUFFICIENT_RESOURCES;
    return result;
  }
  ImageFileIo io;
  io.Context = extension->ImageFileHandle;
  io.Read = ZwReadAt;
  io.Write = ZwWriteAt;
  return write
             ? WriteImage(io, &extension->KeySchedule, extension->ImageSize, offset, buffer, length)
             : ReadImage(io, &extension->KeySchedule, extension->ImageSize, offset, buffer, length);
}

TransferResult Serve(DiskExtension* extension, PIRP irp) {
  PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
  TransferResult result;
  result.Information = 0;
  switch (stack->MajorFunction) {
    case IRP_MJ_READ:
    case IRP_MJ_WRITE:
      return Transfer(extension, irp, stack);
    case IRP_MJ_DEVICE_CONTROL:
      if (stack->Parameters.DeviceIoControl.IoControlCode == IOCTL_CRYPTDSK_OPEN_IMAGE) {
        // The container is opened with the requesting user's rights.
        result.Status = ImpersonateClient(ClientSecurityOf(irp));
        if (NT_SUCCESS(result.Status)) {
          result.Status = AttachImage(extension, irp);
          RevertToSelf();
        }
        ReleaseClientSecurity(irp);
        return result;
      }
      if (stack->Parameters.DeviceIoControl.IoControlCode == IOCTL_CRYPTDSK_CLOSE_IMAGE) {
        result.Status = DetachImage(extension);
        return result;
      }
      result.Status = STATUS_DRIVER_INTERNAL_ERROR;
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

NTSTATUS DispatchReadWrite(PDEVICE_OBJECT device, PIRP irp) {
  DiskExtension* extension = ExtensionOf(device);
  if (!ImageIsAttached(extension)) return CompleteRequest(irp, STATUS_NO_MEDIA_IN_DEVICE, 0);
  // Read and Write parameters share their layout.
  if (IoGetCurrentIrpStackLocation(irp)->Parameters.Read.Length == 0) {
    return CompleteRequest(irp, STATUS_SUCCESS, 0);
  }
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
