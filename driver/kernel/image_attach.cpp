// cryptdsk.sys: attaching a container file to the disk and detaching it.
// Kernel mode only; runs on the worker thread at PASSIVE_LEVEL (attach
// while impersonating the requesting user), or at removal after the worker
// has stopped.
#include "control_protocol.h"
#include "disk_extension.h"
#include "pnp_state.h"
#include "secure_wipe.h"

namespace cryptdsk {
namespace {

constexpr ULONG kContainerOptions = FILE_NON_DIRECTORY_FILE | FILE_RANDOM_ACCESS |
                                    FILE_NO_INTERMEDIATE_BUFFERING | FILE_SYNCHRONOUS_IO_NONALERT;
static_assert(kContainerOptions == 0x868, "create options of the container");
// Synchronous I/O needs SYNCHRONIZE in the requested access.
constexpr ACCESS_MASK kContainerAccess = GENERIC_READ | GENERIC_WRITE | SYNCHRONIZE;

struct OpenedFile {
  HANDLE Handle;
  NTSTATUS Status;
};

// Opens the container, or creates it at `fileSize` when it is missing and a
// size was given. On failure no handle stays open.
OpenedFile OpenContainer(UNICODE_STRING* name, uint64_t fileSize) {
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, name, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, nullptr,
                             nullptr);
  OpenedFile file{nullptr, STATUS_SUCCESS};
  IO_STATUS_BLOCK io;
  file.Status =
      ZwCreateFile(&file.Handle, kContainerAccess, &attributes, &io, nullptr, FILE_ATTRIBUTE_NORMAL,
                   FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_OPEN, kContainerOptions, nullptr, 0);
  if (file.Status != STATUS_OBJECT_NAME_NOT_FOUND && file.Status != STATUS_NO_SUCH_FILE) {
    if (!NT_SUCCESS(file.Status)) file.Handle = nullptr;
    return file;
  }
  if (fileSize == 0) {
    file.Handle = nullptr;
    file.Status = STATUS_NO_SUCH_FILE;
    return file;
  }
  LARGE_INTEGER allocation;
  allocation.QuadPart = static_cast<LONGLONG>(fileSize);
  // A new container is held without sharing.
  file.Status = ZwCreateFile(&file.Handle, kContainerAccess, &attributes, &io, &allocation,
                             FILE_ATTRIBUTE_NORMAL, 0, FILE_OPEN_IF, kContainerOptions, nullptr, 0);
  if (!NT_SUCCESS(file.Status)) {
    file.Handle = nullptr;
    return file;
  }
  if (io.Information == FILE_CREATED) {
    FILE_END_OF_FILE_INFORMATION end;
    end.EndOfFile.QuadPart = static_cast<LONGLONG>(fileSize);
    file.Status =
        ZwSetInformationFile(file.Handle, &io, &end, sizeof(end), FileEndOfFileInformation);
    if (!NT_SUCCESS(file.Status)) {
      ZwClose(file.Handle);
      file.Handle = nullptr;
    }
  }
  return file;
}

struct ContainerFacts {
  LONGLONG Size;
  ULONG Alignment;
};

NTSTATUS QueryContainer(HANDLE handle, ContainerFacts* facts) {
  IO_STATUS_BLOCK io;
  FILE_BASIC_INFORMATION basic;
  NTSTATUS status =
      ZwQueryInformationFile(handle, &io, &basic, sizeof(basic), FileBasicInformation);
  if (!NT_SUCCESS(status)) return status;
  // A compressed or file-system-encrypted container would not keep its
  // bytes where the disk expects them.
  if (basic.FileAttributes & (FILE_ATTRIBUTE_COMPRESSED | FILE_ATTRIBUTE_ENCRYPTED)) {
    return STATUS_ACCESS_DENIED;
  }
  FILE_STANDARD_INFORMATION standard;
  status =
      ZwQueryInformationFile(handle, &io, &standard, sizeof(standard), FileStandardInformation);
  if (!NT_SUCCESS(status)) return status;
  FILE_ALIGNMENT_INFORMATION alignment;
  status =
      ZwQueryInformationFile(handle, &io, &alignment, sizeof(alignment), FileAlignmentInformation);
  // A file system that does not know the class has no alignment to ask for.
  if (status == STATUS_INVALID_INFO_CLASS || status == STATUS_NOT_IMPLEMENTED) {
    alignment.AlignmentRequirement = FILE_BYTE_ALIGNMENT;
    status = STATUS_SUCCESS;
  }
  if (!NT_SUCCESS(status)) return status;
  facts->Size = standard.EndOfFile.QuadPart;
  facts->Alignment = alignment.AlignmentRequirement;
  return STATUS_SUCCESS;
}

}  // namespace

NTSTATUS AttachImage(DiskExtension* extension, PIRP irp) {
  if (ImageIsAttached(extension)) return STATUS_INVALID_DEVICE_REQUEST;
  PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
  auto* record = static_cast<uint8_t*>(irp->AssociatedIrp.SystemBuffer);
  OpenImageParameters open;
  NTSTATUS status =
      ParseOpenImageRecord(record, stack->Parameters.DeviceIoControl.InputBufferLength, &open);
  if (!NT_SUCCESS(status)) return status;
  extension->DriveLetter = open.DriveLetter;

  const USHORT nameBytes = static_cast<USHORT>(2 * open.FileNameUnits);
  auto* nameBuffer =
      static_cast<PWCH>(ExAllocatePoolWithTag(NonPagedPool, nameBytes + sizeof(WCHAR), kPoolTag));
  if (nameBuffer == nullptr) return STATUS_UNSUCCESSFUL;
  RtlZeroMemory(nameBuffer, nameBytes + sizeof(WCHAR));
  RtlCopyMemory(nameBuffer, open.FileName, nameBytes);
  UNICODE_STRING name;
  name.Buffer = nameBuffer;
  name.Length = name.MaximumLength = nameBytes;

  // The key leaves the system buffer as soon as it is scheduled: the I/O
  // manager frees that buffer without wiping it.
  const uint32_t keyStatus = AesSetKey(open.Key, 32, 0, &extension->KeySchedule);
  SecureWipe(record, kOpenImageKeySize);
  if (keyStatus != kAesOk) {
    FreePoolString(&name);
    SecureWipeObject(extension->KeySchedule);
    return STATUS_UNSUCCESSFUL;
  }

  const OpenedFile file = OpenContainer(&name, open.FileSize);
  ContainerFacts facts{};
  status = file.Status;
  if (NT_SUCCESS(status)) status = QueryContainer(file.Handle, &facts);
  if (NT_SUCCESS(status)) status = IoSetDeviceInterfaceState(&extension->InterfaceName, TRUE);
  if (!NT_SUCCESS(status)) {
    if (file.Handle != nullptr) ZwClose(file.Handle);
    FreePoolString(&name);
    SecureWipeObject(extension->KeySchedule);
    return status;
  }

  PDEVICE_OBJECT device = extension->DeviceObject;
  device->Characteristics &= ~FILE_READ_ONLY_DEVICE;
  device->AlignmentRequirement = facts.Alignment;
  KIRQL irql;
  KeAcquireSpinLock(&extension->StateLock, &irql);
  extension->ImageFileHandle = file.Handle;
  extension->ImageFileName = name;
  extension->ImageSize = facts.Size;
  InterlockedOr(&extension->Flags, static_cast<LONG>(kImageAttached));
  KeReleaseSpinLock(&extension->StateLock, irql);
  return STATUS_SUCCESS;
}

NTSTATUS DetachImage(DiskExtension* extension) {
  if (!ImageIsAttached(extension)) return STATUS_UNSUCCESSFUL;
  // At removal the device goes whatever the interface says.
  const bool removing = extension->PnpState == kPnpRemoved;
  if (!NT_SUCCESS(IoSetDeviceInterfaceState(&extension->InterfaceName, FALSE)) && !removing) {
    return STATUS_UNSUCCESSFUL;
  }
  KIRQL irql;
  KeAcquireSpinLock(&extension->StateLock, &irql);
  InterlockedAnd(&extension->Flags, ~static_cast<LONG>(kImageAttached));
  UNICODE_STRING name = extension->ImageFileName;
  extension->ImageFileName.Buffer = nullptr;
  extension->ImageFileName.Length = extension->ImageFileName.MaximumLength = 0;
  KeReleaseSpinLock(&extension->StateLock, irql);
  SecureWipeObject(extension->KeySchedule);
  FreePoolString(&name);
  ZwClose(extension->ImageFileHandle);
  extension->ImageFileHandle = nullptr;
  return STATUS_SUCCESS;
}

}  // namespace cryptdsk
