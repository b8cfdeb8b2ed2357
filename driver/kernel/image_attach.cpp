// cryptdsk.sys: attaching a container file to the disk and detaching it:
// the portable procedure over the kernel's file calls. Kernel mode only;
// runs on the worker thread at PASSIVE_LEVEL (attach while impersonating
// the requesting user), or at removal after the worker has stopped.
#include "container_attach.h"
#include "control_protocol.h"
#include "disk_extension.h"
#include "secure_wipe.h"

namespace cryptdsk {
namespace {

static_assert(FILE_OPEN == kFileOpen && FILE_OPEN_IF == kFileOpenIf, "dispositions");
static_assert((FILE_SHARE_READ | FILE_SHARE_WRITE) == kFileShareReadWrite, "share access");
static_assert(OBJ_CASE_INSENSITIVE == kObjCaseInsensitive &&
                  OBJ_KERNEL_HANDLE == kObjKernelHandle &&
                  OBJ_FORCE_ACCESS_CHECK == kObjForceAccessCheck,
              "object attributes");
static_assert(IO_FORCE_ACCESS_CHECK == kIoForceAccessCheck, "create options of the I/O manager");
static_assert((FILE_NON_DIRECTORY_FILE | FILE_RANDOM_ACCESS | FILE_NO_INTERMEDIATE_BUFFERING |
               FILE_SYNCHRONOUS_IO_NONALERT) == kContainerCreateOptions,
              "create options of the container");
static_assert(FILE_ATTRIBUTE_COMPRESSED == kFileAttributeCompressed &&
                  FILE_ATTRIBUTE_ENCRYPTED == kFileAttributeEncrypted,
              "file attributes");
static_assert(STATUS_NOT_SUPPORTED == kStatusNotSupported, "");
static_assert(STATUS_UNRECOGNIZED_MEDIA == kStatusUnrecognizedMedia, "");

// Synchronous I/O needs SYNCHRONIZE in the requested access.
constexpr ACCESS_MASK kContainerAccess = GENERIC_READ | GENERIC_WRITE | SYNCHRONIZE;

// The container being attached or detached; its name and handle pass
// between here and the extension under StateLock.
struct Container {
  DiskExtension* Extension;
  UNICODE_STRING Name;
  HANDLE Handle;
  ULONG Generation;
};

Container* ContainerOf(void* context) {
  return static_cast<Container*>(context);
}

// IoCreateFile rather than ZwCreateFile: only it takes the I/O manager's
// forced access check.
NtStatus Create(void* context, const ContainerCreate& call, bool* created) {
  Container* container = ContainerOf(context);
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &container->Name, call.ObjectAttributes, nullptr,
                             nullptr);
  LARGE_INTEGER allocation;
  allocation.QuadPart = static_cast<LONGLONG>(call.AllocationSize);
  IO_STATUS_BLOCK io;
  io.Information = 0;
  HANDLE handle = nullptr;
  const NTSTATUS status = IoCreateFile(
      &handle, kContainerAccess, &attributes, &io, call.AllocationSize != 0 ? &allocation : nullptr,
      FILE_ATTRIBUTE_NORMAL, call.ShareAccess, call.Disposition, call.CreateOptions, nullptr, 0,
      CreateFileTypeNone, nullptr, call.IoOptions);
  if (!NT_SUCCESS(status)) return status;
  container->Handle = handle;
  *created = io.Information == FILE_CREATED;
  return status;
}

NtStatus SetEndOfFile(void* context, uint64_t size) {
  FILE_END_OF_FILE_INFORMATION end;
  end.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
  IO_STATUS_BLOCK io;
  return ZwSetInformationFile(ContainerOf(context)->Handle, &io, &end, sizeof(end),
                              FileEndOfFileInformation);
}

NtStatus Query(void* context, ContainerFacts* facts) {
  const HANDLE handle = ContainerOf(context)->Handle;
  IO_STATUS_BLOCK io;
  FILE_BASIC_INFORMATION basic;
  NTSTATUS status =
      ZwQueryInformationFile(handle, &io, &basic, sizeof(basic), FileBasicInformation);
  if (!NT_SUCCESS(status)) return status;
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
  // A host volume that does not tell its sector size is taken as it is.
  FILE_FS_SIZE_INFORMATION volume;
  if (!NT_SUCCESS(ZwQueryVolumeInformationFile(handle, &io, &volume, sizeof(volume),
                                               FileFsSizeInformation))) {
    volume.BytesPerSector = 0;
  }
  facts->FileAttributes = basic.FileAttributes;
  facts->Size = standard.EndOfFile.QuadPart;
  facts->Alignment = alignment.AlignmentRequirement;
  facts->BytesPerSector = volume.BytesPerSector;
  return STATUS_SUCCESS;
}

NtStatus Flush(void* context) {
  Container* container = ContainerOf(context);
  return FlushContainerFile(container->Extension, container->Handle);
}

void Close(void* context) {
  Container* container = ContainerOf(context);
  ZwClose(container->Handle);
  container->Handle = nullptr;
}

void Publish(void* context, const ContainerFacts& facts) {
  Container* container = ContainerOf(context);
  DiskExtension* extension = container->Extension;
  PDEVICE_OBJECT device = extension->DeviceObject;
  device->Characteristics &= ~FILE_READ_ONLY_DEVICE;
  device->AlignmentRequirement = facts.Alignment;
  KIRQL irql;
  KeAcquireSpinLock(&extension->StateLock, &irql);
  extension->ImageFileHandle = container->Handle;
  extension->ImageFileName = container->Name;
  extension->ImageSize = facts.DiskSize;
  extension->ImageGeneration = container->Generation;
  InterlockedOr(&extension->Flags, static_cast<LONG>(kImageAttached));
  KeReleaseSpinLock(&extension->StateLock, irql);
}

void Withdraw(void* context) {
  Container* container = ContainerOf(context);
  DiskExtension* extension = container->Extension;
  KIRQL irql;
  KeAcquireSpinLock(&extension->StateLock, &irql);
  InterlockedAnd(&extension->Flags, ~static_cast<LONG>(kImageAttached));
  container->Handle = extension->ImageFileHandle;
  container->Name = extension->ImageFileName;
  extension->ImageFileHandle = nullptr;
  extension->ImageFileName.Buffer = nullptr;
  extension->ImageFileName.Length = extension->ImageFileName.MaximumLength = 0;
  KeReleaseSpinLock(&extension->StateLock, irql);
}

NtStatus SetInterface(void* context, bool enabled) {
  return IoSetDeviceInterfaceState(&ContainerOf(context)->Extension->InterfaceName,
                                   enabled ? TRUE : FALSE);
}

ContainerSystem SystemOf(Container* container) {
  return ContainerSystem{container, Create,  SetEndOfFile, Query,       Flush,
                         Close,     Publish, Withdraw,     SetInterface};
}

}  // namespace

NTSTATUS AttachImage(DiskExtension* extension, PIRP irp) {
  if (ImageIsAttached(extension)) return STATUS_INVALID_DEVICE_REQUEST;
  PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
  OpenImageParameters open;
  NTSTATUS status =
      ParseOpenImageRecord(static_cast<uint8_t*>(irp->AssociatedIrp.SystemBuffer),
                           stack->Parameters.DeviceIoControl.InputBufferLength, &open);
  if (!NT_SUCCESS(status)) return status;
  extension->DriveLetter = open.DriveLetter;

  // At most kMaxFileNameUnits: the byte count and the terminator fit a USHORT.
  const USHORT nameBytes = static_cast<USHORT>(2 * open.FileNameUnits);
  auto* nameBuffer = static_cast<PWCH>(
      ExAllocatePoolWithTag(extension->NonPagedPoolType, nameBytes + sizeof(WCHAR), kPoolTag));
  if (nameBuffer == nullptr) return STATUS_UNSUCCESSFUL;
  RtlZeroMemory(nameBuffer, nameBytes + sizeof(WCHAR));
  RtlCopyMemory(nameBuffer, open.FileName, nameBytes);
  Container container{extension, {nameBytes, nameBytes, nameBuffer}, nullptr, open.Generation};

  extension->Bounce = static_cast<uint8_t*>(
      ExAllocatePoolWithTag(extension->NonPagedPoolType, kBounceBytes, kPoolTag));
  status = extension->Bounce != nullptr ? KeyImageCipher(extension, open)
                                        : STATUS_INSUFFICIENT_RESOURCES;
  if (NT_SUCCESS(status)) {
    status = AttachContainer(SystemOf(&container), open.Generation, open.FileSize);
  }
  if (!NT_SUCCESS(status)) {
    FreePoolString(&container.Name);
    ReleaseImageCipher(extension);
  }
  return status;
}

NTSTATUS DetachImage(DiskExtension* extension, bool force) {
  Container container{extension, {0, 0, nullptr}, nullptr, 0};
  const NTSTATUS status = DetachContainer(SystemOf(&container), ImageIsAttached(extension), force);
  if (NT_SUCCESS(status)) {
    ReleaseImageCipher(extension);
    FreePoolString(&container.Name);
  }
  return status;
}

}  // namespace cryptdsk
