// cryptdsk.sys: flushing the container file to stable storage. Where
// ntoskrnl does not export ZwFlushBuffersFile (the oldest supported
// Windows), the flush request goes to the file's own device stack.
// Kernel mode only; PASSIVE_LEVEL.
#include "disk_extension.h"

namespace cryptdsk {
namespace {

// The file system's flush request for the file object behind `file`.
NTSTATUS SendFlushRequest(HANDLE file) {
  PFILE_OBJECT object = nullptr;
  NTSTATUS status = ObReferenceObjectByHandle(file, 0, *IoFileObjectType, KernelMode,
                                              reinterpret_cast<PVOID*>(&object), nullptr);
  if (!NT_SUCCESS(status)) return status;
  PDEVICE_OBJECT target = IoGetRelatedDeviceObject(object);
  KEVENT done;
  KeInitializeEvent(&done, NotificationEvent, FALSE);
  IO_STATUS_BLOCK io;
  PIRP irp =
      IoBuildSynchronousFsdRequest(IRP_MJ_FLUSH_BUFFERS, target, nullptr, 0, nullptr, &done, &io);
  if (irp == nullptr) {
    status = STATUS_INSUFFICIENT_RESOURCES;
  } else {
    IoGetNextIrpStackLocation(irp)->FileObject = object;
    status = IoCallDriver(target, irp);
    if (status == STATUS_PENDING) {
      KeWaitForSingleObject(&done, Executive, KernelMode, FALSE, nullptr);
      status = io.Status;
    }
  }
  ObDereferenceObject(object);
  return status;
}

}  // namespace

FlushBuffersFileRoutine FindFlushBuffersFile() {
  UNICODE_STRING name;
  RtlInitUnicodeString(&name, L"ZwFlushBuffersFile");
  return reinterpret_cast<FlushBuffersFileRoutine>(MmGetSystemRoutineAddress(&name));
}

NTSTATUS FlushContainerFile(const DiskExtension* extension, HANDLE file) {
  if (extension->FlushBuffersFile == nullptr) return SendFlushRequest(file);
  IO_STATUS_BLOCK io;
  return extension->FlushBuffersFile(file, &io);
}

}  // namespace cryptdsk
