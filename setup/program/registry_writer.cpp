#include "registry_writer.h"

#include <windows.h>

#include "win/unique_handles.h"

namespace setup {

int WriteRegistryEntry(const RegistryEntry& entry) {
  const HKEY root =
      entry.root == RegistryRoot::kClassesRoot ? HKEY_CLASSES_ROOT : HKEY_LOCAL_MACHINE;
  UniqueRegKey key;
  if (RegCreateKeyExA(root, entry.key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                      nullptr, key.put(), nullptr) != ERROR_SUCCESS) {
    return -1;
  }
  const char* value = entry.value.empty() ? nullptr : entry.value.c_str();
  const LONG written =
      RegSetValueExA(key.get(), value, 0, REG_SZ, reinterpret_cast<const BYTE*>(entry.data.c_str()),
                     static_cast<DWORD>(entry.data.size() + 1));
  return written == ERROR_SUCCESS ? 1 : -1;
}

int WriteRegistryEntries(const std::vector<RegistryEntry>& entries) {
  for (const RegistryEntry& entry : entries) {
    if (WriteRegistryEntry(entry) != 1) return -1;
  }
  return 1;
}

}  // namespace setup
