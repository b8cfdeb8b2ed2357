#include "container_attach.h"

#include "cryptdsk_protocol.h"
#include "image_cipher.h"
#include "sector_cipher.h"

namespace cryptdsk {
namespace {

static_assert(static_cast<uint32_t>(kStatusNotSupported) == kOpenImageHostSectorStatus,
              "the open request's status for unsupported host sectors");

// Opens the existing container, or creates a missing one when a size is
// given. On failure no handle is open.
NtStatus OpenOrCreate(const ContainerSystem& system, uint64_t fileSize) {
  ContainerCreate call{kFileOpen,
                       kFileShareReadWrite,
                       0,
                       kObjCaseInsensitive | kObjKernelHandle | kObjForceAccessCheck,
                       kContainerCreateOptions,
                       kIoForceAccessCheck};
  bool created = false;
  NtStatus status = system.Create(system.Context, call, &created);
  if (status != kStatusObjectNameNotFound && status != kStatusNoSuchFile) return status;
  if (fileSize == 0) return kStatusNoSuchFile;
  // A new container is held without sharing.
  call.Disposition = kFileOpenIf;
  call.ShareAccess = 0;
  call.AllocationSize = fileSize;
  status = system.Create(system.Context, call, &created);
  if (!IsSuccess(status) || !created) return status;
  status = system.SetEndOfFile(system.Context, fileSize);
  if (!IsSuccess(status)) system.Close(system.Context);
  return status;
}

NtStatus CheckFacts(const ContainerFacts& facts) {
  // A compressed or file-system-encrypted container would not keep its
  // bytes where the disk expects them.
  if (facts.FileAttributes & (kFileAttributeCompressed | kFileAttributeEncrypted))
    return kStatusAccessDenied;
  if (!HostSectorSizeSupported(facts.BytesPerSector)) return kStatusNotSupported;
  if (facts.DiskSize < 0) return kStatusUnrecognizedMedia;
  return kStatusSuccess;
}

// Sizes past int64_t are no file; they fail at the file system as before.
bool TooSmallToCreate(uint32_t generation, uint64_t fileSize) {
  return fileSize != 0 && fileSize <= static_cast<uint64_t>(INT64_MAX) &&
         DiskSizeOfContainer(generation, static_cast<int64_t>(fileSize)) < 0;
}

}  // namespace

bool HostSectorSizeSupported(uint32_t bytesPerSector) {
  return bytesPerSector == 0 ||
         (bytesPerSector <= kSectorSize && kSectorSize % bytesPerSector == 0);
}

NtStatus AttachContainer(const ContainerSystem& system, uint32_t generation, uint64_t fileSize) {
  // Refused before a file is made that could not be opened.
  if (TooSmallToCreate(generation, fileSize)) return kStatusUnrecognizedMedia;
  NtStatus status = OpenOrCreate(system, fileSize);
  if (!IsSuccess(status)) return status;
  ContainerFacts facts{};
  status = system.Query(system.Context, &facts);
  facts.DiskSize = DiskSizeOfContainer(generation, facts.Size);
  if (IsSuccess(status)) status = CheckFacts(facts);
  if (IsSuccess(status)) {
    // Attached first: the mount manager asks the disk as soon as the
    // interface is enabled.
    system.Publish(system.Context, facts);
    status = system.SetInterface(system.Context, true);
    if (IsSuccess(status)) return kStatusSuccess;
    system.Withdraw(system.Context);
  }
  system.Close(system.Context);
  return status;
}

NtStatus DetachContainer(const ContainerSystem& system, bool attached, bool force) {
  if (!attached) return kStatusUnsuccessful;
  if (!IsSuccess(system.SetInterface(system.Context, false)) && !force) return kStatusUnsuccessful;
  system.Withdraw(system.Context);
  // What the disk acknowledged reaches stable storage before the handle goes.
  system.Flush(system.Context);
  system.Close(system.Context);
  return kStatusSuccess;
}

}  // namespace cryptdsk
