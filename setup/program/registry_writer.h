// Writes one planned registry value.
#pragma once

#include "install_plan.h"

namespace setup {

// Creates or opens the key with full access and sets the REG_SZ value with
// its terminating zero, or the REG_DWORD number. 1 on success, -1 on failure.
int WriteRegistryEntry(const RegistryEntry& entry);

// Every entry in order; stops at the first failure. 1 or -1.
int WriteRegistryEntries(const std::vector<RegistryEntry>& entries);

}  // namespace setup
