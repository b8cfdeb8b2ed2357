#include "prefix_inventory.h"

#include <windows.h>

#include <algorithm>
#include <iterator>
#include <string>

namespace journey {

namespace {

// Deeper than anything Wine or the product makes; a guard against a key
// that links back to one of its parents.
constexpr int kMaxDepth = 40;

void AddFolder(const std::wstring& folder, Inventory* inventory, int depth) {
  if (depth > kMaxDepth) return;
  WIN32_FIND_DATAW entry;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring name = entry.cFileName;
    if (name == L"." || name == L"..") continue;
    const std::wstring path = folder + L"\\" + name;
    inventory->insert(path);
    // Linked folders (the user's Documents and Desktop) are followed too.
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) AddFolder(path, inventory, depth + 1);
  } while (FindNextFileW(search, &entry));
  FindClose(search);
}

void AddKey(HKEY root, const std::wstring& rootName, const std::wstring& path, Inventory* inventory,
            int depth) {
  if (depth > kMaxDepth) return;
  HKEY key = nullptr;
  // A link (CurrentControlSet, the 32-bit views) is listed, not followed:
  // its target is listed where it lives.
  if (RegOpenKeyExW(root, path.c_str(), REG_OPTION_OPEN_LINK, KEY_READ, &key) != ERROR_SUCCESS) {
    return;
  }
  const std::wstring shown = path.empty() ? rootName : rootName + L"\\" + path;
  inventory->insert(shown);
  wchar_t name[16384];
  for (DWORD index = 0;; ++index) {
    DWORD length = 16384;
    const LONG result =
        RegEnumValueW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (result != ERROR_SUCCESS && result != ERROR_MORE_DATA) break;  // the end, or unreadable
    if (result == ERROR_SUCCESS) inventory->insert(shown + L" -> " + name);
  }
  std::vector<std::wstring> children;
  for (DWORD index = 0;; ++index) {
    DWORD length = 256;
    const LONG result =
        RegEnumKeyExW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (result != ERROR_SUCCESS && result != ERROR_MORE_DATA) break;
    // A key with an empty name cannot be opened apart from its parent.
    if (result == ERROR_SUCCESS && name[0] != 0) children.emplace_back(name);
  }
  RegCloseKey(key);
  for (const std::wstring& child : children) {
    AddKey(root, rootName, path.empty() ? child : path + L"\\" + child, inventory, depth + 1);
  }
}

}  // namespace

Inventory TakeInventory() {
  Inventory inventory;
  AddFolder(L"C:", &inventory, 0);
  AddKey(HKEY_LOCAL_MACHINE, L"HKLM", L"", &inventory, 0);
  AddKey(HKEY_CURRENT_USER, L"HKCU", L"", &inventory, 0);
  return inventory;
}

bool SaveInventory(const Inventory& inventory, const std::wstring& path) {
  std::string text;
  for (const std::wstring& entry : inventory) {
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, entry.c_str(), static_cast<int>(entry.size()),
                                          nullptr, 0, nullptr, nullptr);
    std::string line(bytes, '\0');
    WideCharToMultiByte(CP_UTF8, 0, entry.c_str(), static_cast<int>(entry.size()), line.data(),
                        bytes, nullptr, nullptr);
    text += line + '\n';
  }
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok =
      WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
      written == text.size();
  CloseHandle(file);
  return ok;
}

Inventory LoadInventory(const std::wstring& path) {
  Inventory inventory;
  HANDLE file =
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return inventory;
  std::string text(GetFileSize(file, nullptr), '\0');
  DWORD read = 0;
  const bool ok = ReadFile(file, text.data(), static_cast<DWORD>(text.size()), &read, nullptr);
  CloseHandle(file);
  if (!ok) return inventory;
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    const int length = static_cast<int>(end - start);
    const int units = MultiByteToWideChar(CP_UTF8, 0, text.data() + start, length, nullptr, 0);
    std::wstring entry(units, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data() + start, length, entry.data(), units);
    inventory.insert(entry);
  }
  return inventory;
}

std::vector<std::wstring> AddedSince(const Inventory& before, const Inventory& after) {
  std::vector<std::wstring> added;
  std::set_difference(after.begin(), after.end(), before.begin(), before.end(),
                      std::back_inserter(added));
  return added;
}

}  // namespace journey
