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
  const DWORD number = entry.number;
  const void* data = entry.isNumber ? static_cast<const void*>(&number) : entry.data.c_str();
  const DWORD size = entry.isNumber ? sizeof(number) : static_cast<DWORD>(entry.data.size() + 1);
  const LONG written = RegSetValueExA(key.get(), value, 0, entry.isNumber ? REG_DWORD : REG_SZ,
                                      static_cast<const BYTE*>(data), size);
  return written == ERROR_SUCCESS ? 1 : -1;
}

int WriteRegistryEntries(const std::vector<RegistryEntry>& entries) {
  for (const RegistryEntry& entry : entries) {
    if (WriteRegistryEntry(entry) != 1) return -1;
  }
  return 1;
}

}  // namespace setup
