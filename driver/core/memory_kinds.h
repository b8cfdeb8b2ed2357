// Which non-paged pool and which mapping of callers' buffers the driver
// uses, by Windows version. Windows 8 (6.2) and later have non-executable
// non-paged pool and mappings, which memory integrity (HVCI) requires;
// older kernels reject both values, so they get the executable kinds.
// Freestanding.
#pragma once

#include <stdint.h>

namespace cryptdsk {

constexpr uint32_t kNonPagedPool = 0;
constexpr uint32_t kNonPagedPoolNx = 512;
constexpr uint32_t kMdlMappingNoExecute = 0x40000000;

struct MemoryKinds {
  uint32_t NonPagedPoolType;  // the pool type of every allocation
  uint32_t MdlMappingFlags;   // or-ed into the page priority of MDL mappings
};

constexpr MemoryKinds MemoryKindsFor(uint32_t majorVersion, uint32_t minorVersion) {
  const bool noExecute = majorVersion > 6 || (majorVersion == 6 && minorVersion >= 2);
  return noExecute ? MemoryKinds{kNonPagedPoolNx, kMdlMappingNoExecute}
                   : MemoryKinds{kNonPagedPool, 0};
}

}  // namespace cryptdsk
