#include "memory_kinds.h"

#include <gtest/gtest.h>

namespace cryptdsk {
namespace {

// Windows 8 (6.2) on: non-executable pool and mappings; before: the kinds
// those kernels accept.
TEST(MemoryKinds, NoExecuteFromWindows8On) {
  struct Version {
    uint32_t Major;
    uint32_t Minor;
    bool NoExecute;
  };
  for (const Version v :
       {Version{5, 1, false}, Version{5, 2, false}, Version{6, 0, false}, Version{6, 1, false},
        Version{6, 2, true}, Version{6, 3, true}, Version{10, 0, true}}) {
    const MemoryKinds kinds = MemoryKindsFor(v.Major, v.Minor);
    EXPECT_EQ(kinds.NonPagedPoolType, v.NoExecute ? 512u : 0u) << v.Major << "." << v.Minor;
    EXPECT_EQ(kinds.MdlMappingFlags, v.NoExecute ? 0x40000000u : 0u) << v.Major << "." << v.Minor;
  }
}

}  // namespace
}  // namespace cryptdsk
