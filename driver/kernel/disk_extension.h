// cryptdsk.sys: the per-device record and the routines the kernel-mode
// files share. Kernel mode only.
#pragma once

#include <ntifs.h>

#include "control_protocol.h"
#include "image_cipher.h"

namespace cryptdsk {

// Pool tag "TCCT" of every allocation of the driver.
constexpr ULONG kPoolTag = 0x54434354;

// The bounce buffer in which writes are encrypted: chunks of this size.
constexpr ULONG kBounceBytes = 64 * 1024;

constexpr ULONG kLinkCreated = 0x1;
constexpr ULONG kImageAttached = 0x2;

// ZwFlushBuffersFile, which not every supported ntoskrnl exports.
typedef NTSTATUS(NTAPI* FlushBuffersFileRoutine)(HANDLE file, PIO_STATUS_BLOCK io);

struct DiskExtension {
  PDRIVER_OBJECT DriverObject;
  PDEVICE_OBJECT DeviceObject;
  PDEVICE_OBJECT LowerDeviceObject;
  PDEVICE_OBJECT PhysicalDeviceObject;
  UNICODE_STRING DeviceName;
  UNICODE_STRING SymbolicLinkName;
  UNICODE_STRING InterfaceName;
  UNICODE_STRING ImageFileName;  // worker only, except under StateLock
  HANDLE ImageFileHandle;        // worker only
  LONGLONG ImageSize;     // the disk's
  ULONG ImageGeneration;  // of the attached container; as ImageSize
  LIST_ENTRY RequestQueue;
  KSPIN_LOCK QueueLock;  // guards RequestQueue; held only around one insert or remove
  KEVENT QueueEvent;
  PKTHREAD WorkerThread;
  BOOLEAN StopWorker;
  USHORT DriveLetter;
  ImageCipher Cipher;  // worker only; zero while detached
#if defined(__i386__)
  // The same keys on the software engine, for a transfer that cannot save
  // the vector state the AES instructions need. Worker only; zero while
  // detached.
  ImageCipher SoftwareCipher;
#endif
  // Allocated at attach, so that no write fails for want of memory. Worker
  // only; null while detached.
  uint8_t* Bounce;
  volatile LONG Flags;
  IO_REMOVE_LOCK RemoveLock;
  ULONG PnpState;
  // Guards ImageFileName, ImageSize and kImageAttached against the control
  // dispatch reading them while the worker attaches or detaches.
  KSPIN_LOCK StateLock;
  // Chosen at device creation from the Windows version and ntoskrnl's exports.
  POOL_TYPE NonPagedPoolType;
  ULONG MdlMappingFlags;
  FlushBuffersFileRoutine FlushBuffersFile;  // null: not exported
};

inline DiskExtension* ExtensionOf(PDEVICE_OBJECT device) {
  return static_cast<DiskExtension*>(device->DeviceExtension);
}

inline bool ImageIsAttached(const DiskExtension* extension) {
  return (extension->Flags & kImageAttached) != 0;
}

// The current thread through the ntoskrnl import: the x64 DDK inlines a gs:
// read that does not hold everywhere the driver runs.
PKTHREAD CurrentThread();

// Completes at once with no priority boost; returns `status`.
NTSTATUS CompleteRequest(PIRP irp, NTSTATUS status, ULONG_PTR information);

// Dispatch routines and their helpers, one file per role.
DRIVER_ADD_DEVICE AddDevice;
DRIVER_DISPATCH DispatchPnp;
DRIVER_DISPATCH DispatchPower;
DRIVER_DISPATCH DispatchDeviceControl;
DRIVER_DISPATCH DispatchTransfer;  // read, write and flush
DRIVER_DISPATCH DispatchShutdown;
KSTART_ROUTINE WorkerThreadMain;

// Takes the request (which holds one RemoveLock acquisition) into the
// worker's queue; returns STATUS_PENDING. The IRP must not be touched after.
NTSTATUS QueueRequest(DiskExtension* extension, PIRP irp);

// Sets StopWorker, wakes the worker and waits until it has ended.
// PASSIVE_LEVEL; the queue must be empty.
void StopWorkerThread(DiskExtension* extension);

// The security context of an open request: captured in the caller's thread
// into the request itself, impersonated by the worker around the attach,
// released with the request. PASSIVE_LEVEL.
NTSTATUS CaptureClientSecurity(PIRP irp);
HANDLE ClientSecurityOf(PIRP irp);
NTSTATUS ImpersonateClient(HANDLE context);
void RevertToSelf();
void ReleaseClientSecurity(PIRP irp);

// Worker thread only (or after the worker has stopped). `force` detaches
// even when the volume interface cannot be disabled (removal, shutdown).
NTSTATUS AttachImage(DiskExtension* extension, PIRP irp);
NTSTATUS DetachImage(DiskExtension* extension, bool force);

// Keys the extension's image cipher(s) from a validated open request.
// STATUS_UNSUCCESSFUL when the cipher refuses the key. Worker thread.
NTSTATUS KeyImageCipher(DiskExtension* extension, const OpenImageParameters& open);

// Wipes the keys and the bounce buffer and frees the latter. Worker thread
// (or after it has stopped).
void ReleaseImageCipher(DiskExtension* extension);

// The container file's buffers to stable storage. PASSIVE_LEVEL.
FlushBuffersFileRoutine FindFlushBuffersFile();
NTSTATUS FlushContainerFile(const DiskExtension* extension, HANDLE file);

// Frees a name allocated from the driver's pool and empties it; an empty name
// is left as it is.
void FreePoolString(UNICODE_STRING* name);

// Tears down everything AddDevice built, in reverse; used by removal,
// unload and AddDevice's own failure paths. PASSIVE_LEVEL.
void ReleaseDeviceResources(DiskExtension* extension);

}  // namespace cryptdsk
