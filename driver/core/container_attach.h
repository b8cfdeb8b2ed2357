// Attaching a container file to the disk and detaching it, without the
// kernel: which file calls are made, with which flags, in which order, and
// what every failure undoes. The kernel supplies the calls (ContainerSystem)
// and keeps the handle, the name and the key; a test supplies a recorder.
// Freestanding.
#pragma once

#include <stdint.h>

#include "nt_status.h"

namespace cryptdsk {

// One create call of the container file. The requester's own rights
// decide: the access check is forced although the caller is the kernel.
struct ContainerCreate {
  uint32_t Disposition;       // kFileOpen, or kFileOpenIf to create it
  uint32_t ShareAccess;       // read and write for an existing file, none for a new one
  uint64_t AllocationSize;    // 0: none
  uint32_t ObjectAttributes;  // OBJ_ flags of the name
  uint32_t CreateOptions;
  uint32_t IoOptions;  // IO_ options of the create call
};

// The kernel's values, restated (the kernel build checks them).
constexpr uint32_t kFileOpen = 1;
constexpr uint32_t kFileOpenIf = 3;
constexpr uint32_t kFileShareReadWrite = 0x3;
constexpr uint32_t kObjCaseInsensitive = 0x40;
constexpr uint32_t kObjKernelHandle = 0x200;
constexpr uint32_t kObjForceAccessCheck = 0x400;
constexpr uint32_t kIoForceAccessCheck = 0x1;
// Non-directory, random access, no intermediate buffering, synchronous.
constexpr uint32_t kContainerCreateOptions = 0x868;
constexpr uint32_t kFileAttributeCompressed = 0x800;
constexpr uint32_t kFileAttributeEncrypted = 0x4000;

struct ContainerFacts {
  uint32_t FileAttributes;
  int64_t Size;             // end of file
  uint32_t Alignment;       // the file's alignment requirement
  uint32_t BytesPerSector;  // the host volume's sector size; 0: it did not say
  int64_t DiskSize;         // set by AttachContainer from Size and the generation
};

// The kernel's side; every call on the worker thread. Create and Close work
// on the one handle the context holds.
struct ContainerSystem {
  void* Context;
  // On failure no handle is open. `created`: the file did not exist before.
  NtStatus (*Create)(void* context, const ContainerCreate& call, bool* created);
  NtStatus (*SetEndOfFile)(void* context, uint64_t size);
  NtStatus (*Query)(void* context, ContainerFacts* facts);
  NtStatus (*Flush)(void* context);
  void (*Close)(void* context);
  // Makes the open container the disk's, and takes it back into the context.
  void (*Publish)(void* context, const ContainerFacts& facts);
  void (*Withdraw)(void* context);
  NtStatus (*SetInterface)(void* context, bool enabled);
};

// True for a host sector size that whole 512-byte disk sectors can be read
// and written in without intermediate buffering; 0 (unknown) counts as one.
bool HostSectorSizeSupported(uint32_t bytesPerSector);

// Opens the container (creates it at `fileSize` when it is missing and a
// size is given), checks it, publishes it with the disk size of its
// generation and then enables the volume interface, so the disk is attached
// before the system learns of it. Every failure undoes all of it and leaves
// no handle open. A second-generation file (or size to create) too small to
// hold a sector besides its backup area is refused with
// kStatusUnrecognizedMedia; a size to create is checked before anything is
// opened.
NtStatus AttachContainer(const ContainerSystem& system, uint32_t generation, uint64_t fileSize);

// Disables the volume interface (its failure keeps the container attached
// unless `force`), takes the container back, flushes it and closes it.
// STATUS_UNSUCCESSFUL when nothing is attached.
NtStatus DetachContainer(const ContainerSystem& system, bool attached, bool force);

}  // namespace cryptdsk
