// cryptdsk.sys: creation of the disk device, plug-and-play and power
// dispatch, removal. Kernel mode only; everything here runs at
// PASSIVE_LEVEL except the start completion routine.
#include "disk_extension.h"
#include "memory_kinds.h"
#include "pnp_state.h"
#include "secure_wipe.h"

namespace cryptdsk {
namespace {

// The platform's volume interface class (GUID_DEVINTERFACE_VOLUME).
const GUID kVolumeInterfaceClass = {
    0x53F5630D, 0xB6BF, 0x11D0, {0x94, 0xF2, 0x00, 0xA0, 0xC9, 0x1E, 0xFB, 0x8B}};

const WCHAR kDeviceName[] = L"\\Device\\CryptDsk00";
const WCHAR kLinkName[] = L"\\DosDevices\\CryptDsk00";

// S-1-5-18 (LocalSystem) and S-1-5-32-544 (Administrators), as SID bytes.
const UCHAR kSystemSid[] = {1, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0};
const UCHAR kAdminsSid[] = {1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x20, 0x02, 0, 0};

void TraceStep(int step) {
  DbgPrint("CryptDsk - cryptdsk: AD%d \n", step);
}

// An own terminated copy of `source` in non-paged pool. False: no memory.
bool CopyName(POOL_TYPE pool, const WCHAR* source, UNICODE_STRING* target) {
  UNICODE_STRING name;
  RtlInitUnicodeString(&name, source);
  auto* buffer = static_cast<PWCH>(ExAllocatePoolWithTag(pool, name.MaximumLength, kPoolTag));
  if (buffer == nullptr) return false;
  RtlZeroMemory(buffer, name.MaximumLength);
  RtlCopyMemory(buffer, name.Buffer, name.Length);
  target->Buffer = buffer;
  target->Length = name.Length;
  target->MaximumLength = name.MaximumLength;
  return true;
}

// Only SYSTEM and Administrators may open the device: any other user could
// otherwise read another user's open disk through it, or close it.
// D:P(A;;GA;;;SY)(A;;GA;;;BA)
NTSTATUS RestrictDeviceAccess(PDEVICE_OBJECT device) {
  constexpr ULONG kAclSize =
      sizeof(ACL) + 2 * sizeof(ACCESS_ALLOWED_ACE) + sizeof(kSystemSid) + sizeof(kAdminsSid);
  struct {
    SECURITY_DESCRIPTOR Descriptor;
    union {
      ACL Acl;
      UCHAR Bytes[kAclSize];
    } Dacl;
  } security;
  RtlZeroMemory(&security, sizeof(security));
  NTSTATUS status = RtlCreateSecurityDescriptor(&security.Descriptor, SECURITY_DESCRIPTOR_REVISION);
  if (NT_SUCCESS(status)) status = RtlCreateAcl(&security.Dacl.Acl, kAclSize, ACL_REVISION);
  if (NT_SUCCESS(status)) {
    status = RtlAddAccessAllowedAce(&security.Dacl.Acl, ACL_REVISION, GENERIC_ALL,
                                    const_cast<UCHAR*>(kSystemSid));
  }
  if (NT_SUCCESS(status)) {
    status = RtlAddAccessAllowedAce(&security.Dacl.Acl, ACL_REVISION, GENERIC_ALL,
                                    const_cast<UCHAR*>(kAdminsSid));
  }
  if (NT_SUCCESS(status)) {
    status = RtlSetDaclSecurityDescriptor(&security.Descriptor, TRUE, &security.Dacl.Acl, FALSE);
  }
  HANDLE handle = nullptr;
  if (NT_SUCCESS(status)) {
    status = ObOpenObjectByPointer(device, OBJ_KERNEL_HANDLE, nullptr, WRITE_DAC, nullptr,
                                   KernelMode, &handle);
  }
  if (NT_SUCCESS(status)) {
    status = ZwSetSecurityObject(handle, DACL_SECURITY_INFORMATION, &security.Descriptor);
    ZwClose(handle);
  }
  return status;
}

NTSTATUS StartWorkerThread(DiskExtension* extension) {
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, nullptr, OBJ_KERNEL_HANDLE, nullptr, nullptr);
  HANDLE thread = nullptr;
  NTSTATUS status = PsCreateSystemThread(&thread, 0, &attributes, nullptr, nullptr,
                                         WorkerThreadMain, extension->DeviceObject);
  if (!NT_SUCCESS(status)) return STATUS_UNSUCCESSFUL;
  TraceStep(8);
  PVOID object = nullptr;
  status =
      ObReferenceObjectByHandle(thread, THREAD_ALL_ACCESS, nullptr, KernelMode, &object, nullptr);
  if (!NT_SUCCESS(status)) {
    extension->StopWorker = TRUE;
    KeSetEvent(&extension->QueueEvent, IO_NO_INCREMENT, FALSE);
    ZwWaitForSingleObject(thread, FALSE, nullptr);
    ZwClose(thread);
    return status;
  }
  extension->WorkerThread = static_cast<PKTHREAD>(object);
  ZwClose(thread);
  TraceStep(9);
  return STATUS_SUCCESS;
}

// The memory kinds of this Windows version and the flush routine of this
// ntoskrnl, before anything is allocated.
void ChooseKernelFacilities(DiskExtension* extension) {
  RTL_OSVERSIONINFOW version;
  RtlZeroMemory(&version, sizeof(version));
  version.dwOSVersionInfoSize = sizeof(version);
  RtlGetVersion(&version);
  const MemoryKinds memory = MemoryKindsFor(version.dwMajorVersion, version.dwMinorVersion);
  extension->NonPagedPoolType = static_cast<POOL_TYPE>(memory.NonPagedPoolType);
  extension->MdlMappingFlags = memory.MdlMappingFlags;
  extension->FlushBuffersFile = FindFlushBuffersFile();
}

IO_COMPLETION_ROUTINE SignalLowerCompletion;

NTSTATUS SignalLowerCompletion(PDEVICE_OBJECT, PIRP, PVOID context) {
  KeSetEvent(static_cast<PKEVENT>(context), IO_NO_INCREMENT, FALSE);
  return STATUS_MORE_PROCESSING_REQUIRED;
}

// The lower drivers handle the request first; it comes back to us.
NTSTATUS ForwardAndWait(DiskExtension* extension, PIRP irp) {
  KEVENT done;
  KeInitializeEvent(&done, NotificationEvent, FALSE);
  IoCopyCurrentIrpStackLocationToNext(irp);
  IoSetCompletionRoutine(irp, SignalLowerCompletion, &done, TRUE, TRUE, TRUE);
  NTSTATUS status = IoCallDriver(extension->LowerDeviceObject, irp);
  if (status == STATUS_PENDING) {
    KeWaitForSingleObject(&done, Executive, KernelMode, FALSE, nullptr);
    status = irp->IoStatus.Status;
  }
  return status;
}

NTSTATUS PassDown(DiskExtension* extension, PIRP irp) {
  IoSkipCurrentIrpStackLocation(irp);
  const NTSTATUS status = IoCallDriver(extension->LowerDeviceObject, irp);
  IoReleaseRemoveLock(&extension->RemoveLock, irp);
  return status;
}

}  // namespace

void StopWorkerThread(DiskExtension* extension) {
  if (extension->WorkerThread == nullptr) return;
  extension->StopWorker = TRUE;
  KeSetEvent(&extension->QueueEvent, IO_NO_INCREMENT, FALSE);
  KeWaitForSingleObject(extension->WorkerThread, Executive, KernelMode, FALSE, nullptr);
  ObDereferenceObject(extension->WorkerThread);
  extension->WorkerThread = nullptr;
}

void ReleaseDeviceResources(DiskExtension* extension) {
  StopWorkerThread(extension);
  // A container still attached is detached, so that no handle or key
  // outlives the device.
  if (ImageIsAttached(extension)) DetachImage(extension, true);
  if (extension->Flags & kLinkCreated) {
    IoDeleteSymbolicLink(&extension->SymbolicLinkName);
    InterlockedAnd(&extension->Flags, ~static_cast<LONG>(kLinkCreated));
  }
  FreePoolString(&extension->DeviceName);
  FreePoolString(&extension->SymbolicLinkName);
  if (extension->InterfaceName.Buffer != nullptr) RtlFreeUnicodeString(&extension->InterfaceName);
  if (extension->LowerDeviceObject != nullptr) IoDetachDevice(extension->LowerDeviceObject);
  extension->LowerDeviceObject = nullptr;
  ReleaseImageCipher(extension);
  IoUnregisterShutdownNotification(extension->DeviceObject);
  IoDeleteDevice(extension->DeviceObject);
}

NTSTATUS AddDevice(PDRIVER_OBJECT driver, PDEVICE_OBJECT physicalDevice) {
  TraceStep(1);
  UNICODE_STRING deviceName;
  RtlInitUnicodeString(&deviceName, kDeviceName);
  PDEVICE_OBJECT device = nullptr;
  NTSTATUS status = IoCreateDevice(driver, sizeof(DiskExtension), &deviceName, FILE_DEVICE_DISK,
                                   FILE_DEVICE_SECURE_OPEN, FALSE, &device);
  if (!NT_SUCCESS(status)) return status;
  TraceStep(2);

  DiskExtension* extension = ExtensionOf(device);
  RtlZeroMemory(extension, sizeof(*extension));
  extension->DriverObject = driver;
  extension->DeviceObject = device;
  extension->PhysicalDeviceObject = physicalDevice;
  IoInitializeRemoveLock(&extension->RemoveLock, 0, 0, 0);
  KeInitializeSpinLock(&extension->StateLock);
  extension->PnpState = kPnpNotStarted;
  ChooseKernelFacilities(extension);
  TraceStep(3);

  // From here every failure goes through ReleaseDeviceResources, which
  // undoes exactly what has been done so far.
  if (!CopyName(extension->NonPagedPoolType, kDeviceName, &extension->DeviceName)) {
    ReleaseDeviceResources(extension);
    return STATUS_UNSUCCESSFUL;
  }
  TraceStep(4);
  if (!CopyName(extension->NonPagedPoolType, kLinkName, &extension->SymbolicLinkName)) {
    ReleaseDeviceResources(extension);
    return STATUS_UNSUCCESSFUL;
  }
  TraceStep(5);
  status = RestrictDeviceAccess(device);
  if (!NT_SUCCESS(status)) {
    ReleaseDeviceResources(extension);
    return status;
  }
  status = IoRegisterDeviceInterface(physicalDevice, &kVolumeInterfaceClass, nullptr,
                                     &extension->InterfaceName);
  if (!NT_SUCCESS(status)) {
    ReleaseDeviceResources(extension);
    return status;
  }
  TraceStep(6);
  InitializeListHead(&extension->RequestQueue);
  KeInitializeSpinLock(&extension->QueueLock);
  KeInitializeEvent(&extension->QueueEvent, SynchronizationEvent, FALSE);
  extension->StopWorker = FALSE;
  TraceStep(7);
  status = StartWorkerThread(extension);
  if (!NT_SUCCESS(status)) {
    ReleaseDeviceResources(extension);
    return status;
  }
  extension->LowerDeviceObject = IoAttachDeviceToDeviceStack(device, physicalDevice);
  if (extension->LowerDeviceObject == nullptr) {
    ReleaseDeviceResources(extension);
    return STATUS_UNSUCCESSFUL;
  }
  device->Flags |= DO_DIRECT_IO | DO_POWER_PAGABLE;
  TraceStep(10);
  // At shutdown the container is flushed (and closed when no file system
  // still writes to the disk).
  status = IoRegisterShutdownNotification(device);
  if (!NT_SUCCESS(status)) {
    ReleaseDeviceResources(extension);
    return status;
  }
  status = IoCreateSymbolicLink(&extension->SymbolicLinkName, &extension->DeviceName);
  if (!NT_SUCCESS(status)) {
    ReleaseDeviceResources(extension);
    return status;
  }
  InterlockedOr(&extension->Flags, static_cast<LONG>(kLinkCreated));
  TraceStep(11);
  device->Flags &= ~DO_DEVICE_INITIALIZING;
  return STATUS_SUCCESS;
}

NTSTATUS DispatchPnp(PDEVICE_OBJECT device, PIRP irp) {
  DiskExtension* extension = ExtensionOf(device);
  NTSTATUS status = IoAcquireRemoveLock(&extension->RemoveLock, irp);
  if (!NT_SUCCESS(status)) return CompleteRequest(irp, status, 0);
  const UCHAR minor = IoGetCurrentIrpStackLocation(irp)->MinorFunction;
  const PnpStep step = NextPnpStep(minor, extension->PnpState);
  switch (step.Route) {
    case PnpRoute::kLowerFirst:
      if (step.SetsSuccess) irp->IoStatus.Status = STATUS_SUCCESS;
      status = ForwardAndWait(extension, irp);
      if (NT_SUCCESS(status) && step.ChangesState) extension->PnpState = step.NewState;
      CompleteRequest(irp, status, 0);
      IoReleaseRemoveLock(&extension->RemoveLock, irp);
      return status;
    case PnpRoute::kRemove:
      irp->IoStatus.Status = STATUS_SUCCESS;
      IoSkipCurrentIrpStackLocation(irp);
      status = IoCallDriver(extension->LowerDeviceObject, irp);
      extension->PnpState = kPnpRemoved;
      // Waits until no request holds the lock; the worker is stopped after,
      // so it never sees a deleted device.
      IoReleaseRemoveLockAndWait(&extension->RemoveLock, irp);
      ReleaseDeviceResources(extension);
      return status;
    case PnpRoute::kPassDown:
    default:
      if (step.SetsSuccess) irp->IoStatus.Status = STATUS_SUCCESS;
      if (step.ChangesState) extension->PnpState = step.NewState;
      return PassDown(extension, irp);
  }
}

// Power requests hold the remove lock while they go down, so removal waits
// for them.
NTSTATUS DispatchPower(PDEVICE_OBJECT device, PIRP irp) {
  DiskExtension* extension = ExtensionOf(device);
  PoStartNextPowerIrp(irp);
  NTSTATUS status = IoAcquireRemoveLock(&extension->RemoveLock, irp);
  if (!NT_SUCCESS(status)) return CompleteRequest(irp, status, 0);
  if (extension->PnpState == kPnpRemoved) {
    status = CompleteRequest(irp, STATUS_DELETE_PENDING, 0);
  } else {
    IoSkipCurrentIrpStackLocation(irp);
    status = PoCallDriver(extension->LowerDeviceObject, irp);
  }
  IoReleaseRemoveLock(&extension->RemoveLock, irp);
  return status;
}

void FreePoolString(UNICODE_STRING* name) {
  if (name->Buffer != nullptr) ExFreePoolWithTag(name->Buffer, kPoolTag);
  name->Buffer = nullptr;
  name->Length = name->MaximumLength = 0;
}

}  // namespace cryptdsk
