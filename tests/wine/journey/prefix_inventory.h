// Everything a program can leave behind in a Wine prefix: every file and
// folder on C:, every registry key and value name under HKEY_LOCAL_MACHINE
// and HKEY_CURRENT_USER. Two inventories, one taken before and one after,
// give what was left.
#pragma once

#include <set>
#include <string>
#include <vector>

namespace journey {

using Inventory = std::set<std::wstring>;

// Entries read "C:\path" for files and folders, "HKLM\key" or "HKCU\key"
// for keys and "HKLM\key -> name" for values.
Inventory TakeInventory();
// Kept in a file (UTF-8, one entry a line) across a restart of the session.
bool SaveInventory(const Inventory& inventory, const std::wstring& path);
Inventory LoadInventory(const std::wstring& path);
std::vector<std::wstring> AddedSince(const Inventory& before, const Inventory& after);

}  // namespace journey
