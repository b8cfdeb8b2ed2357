#include "registry_state.h"

#include <string.h>

#include "account_state.h"
#include "account_system.h"
#include "path_rules.h"
#include "registry_texts.h"
#include "win/unique_handles.h"

namespace {

bool OpenKey(const WCHAR* path, REGSAM access, UniqueRegKey* key) {
  return RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, access, key->put()) == ERROR_SUCCESS;
}

bool CreateKey(const WCHAR* path, UniqueRegKey* key) {
  return RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, REG_OPTION_NON_VOLATILE,
                         KEY_ALL_ACCESS, nullptr, key->put(), nullptr) == ERROR_SUCCESS;
}

bool HasValue(HKEY key, const WCHAR* name) {
  return RegQueryValueExW(key, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

// REG_SZ with its terminator.
bool SetText(HKEY key, const WCHAR* name, const WCHAR* text) {
  const DWORD bytes = static_cast<DWORD>((wcslen(text) + 1) * sizeof(WCHAR));
  return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), bytes) ==
         ERROR_SUCCESS;
}

int BuildDriveIconKey(WCHAR letter, PathBuffer<char16_t>* path) {
  const char16_t letterText[2] = {static_cast<char16_t>(letter), 0};
  if (path->Assign(AsUtf16(kDriveIconsKey)) != 1 || path->Append(letterText) != 1 ||
      path->Append(AsUtf16(kDefaultIconSubkey)) != 1)
    return -1;
  return 1;
}

}  // namespace

int SetCryptDskOpenFlag(const WCHAR* deviceName, bool set) {
  UniqueRegKey key;
  if (set)
    return CreateKey(kStatusKey, &key) && SetText(key.get(), kOpenFlagValue, deviceName) ? 1 : 0;
  if (!OpenKey(kStatusKey, KEY_ALL_ACCESS, &key)) return 0;
  RegDeleteValueW(key.get(), kOpenFlagValue);
  return 1;
}

void ClearStaleOpenFlag() {
  {
    UniqueRegKey key;
    if (!OpenKey(kStatusKey, KEY_ALL_ACCESS, &key) || !HasValue(key.get(), kOpenFlagValue)) return;
    RegDeleteValueW(key.get(), kOpenFlagValue);
  }
  AccountSystemCalls().messageBox(nullptr, kImproperShutdownText, kRegistryMessageTitle,
                                  MB_OK | MB_SYSTEMMODAL | MB_ICONERROR);
}

int ReadOpenFlagDriveLetter(WCHAR* letter) {
  UniqueRegKey key;
  if (!OpenKey(kStatusKey, KEY_ALL_ACCESS, &key)) return 0;
  WCHAR value[8] = {};  // 16 bytes, zeroed; the last unit stays a terminator
  DWORD bytes = sizeof(value) - sizeof(WCHAR);
  DWORD type = 0;
  if (RegQueryValueExW(key.get(), kOpenFlagValue, nullptr, &type, reinterpret_cast<LPBYTE>(value),
                       &bytes) != ERROR_SUCCESS ||
      bytes == 0)
    return 0;
  if (wcslen(value) != 2 || value[1] != L':' || value[0] < L'A' || value[0] > L'Z') return 0;
  *letter = value[0];
  return 1;
}

int SetDriveIcon(WCHAR letter, bool set) {
  PathBuffer<char16_t> keyPath;
  if (BuildDriveIconKey(letter, &keyPath) != 1) return 0;
  {
    UniqueRegKey existing;
    if (OpenKey(AsWide(keyPath.c_str()), KEY_ALL_ACCESS, &existing) &&
        !SetText(existing.get(), nullptr, L""))
      return 0;
  }
  if (!set) return 1;
  PathBuffer<char16_t> iconPath;
  if (iconPath.AssignJoined(AsUtf16(InstallFolder), AsUtf16(kOpenDriveIconFile)) != 1) return 0;
  UniqueRegKey key;
  return CreateKey(AsWide(keyPath.c_str()), &key) &&
                 SetText(key.get(), nullptr, AsWide(iconPath.c_str()))
             ? 1
             : 0;
}

int WriteDefaultCryptDsk() {
  UniqueRegKey key;
  return CreateKey(kUserTableKey, &key) && SetText(key.get(), UserName, StorageFilePath) ? 1 : 0;
}

int ReadDefaultCryptDsk() {
  int result = 0;
  UniqueRegKey key;
  if (OpenKey(kUserTableKey, KEY_READ, &key)) {
    WideText value = {};
    DWORD bytes = sizeof(value);
    DWORD type = 0;
    if (RegQueryValueExW(key.get(), UserName, nullptr, &type, reinterpret_cast<LPBYTE>(value),
                         &bytes) == ERROR_SUCCESS &&
        type == REG_SZ) {
      // A value stored without its terminator must still fit with one.
      const size_t units = bytes / sizeof(WCHAR);
      if (units < kPathBufferUnits || value[kPathBufferUnits - 1] == 0) {
        value[units < kPathBufferUnits ? units : kPathBufferUnits - 1] = 0;
        memcpy(StorageFilePath, value, sizeof(value));
        result = 1;
      }
    }
  }
  ToLowerInPlace(AsUtf16(StorageFilePath));
  return result;
}

int DefaultCryptDskExists(const WCHAR* name) {
  UniqueRegKey key;
  return OpenKey(kUserTableKey, KEY_READ, &key) && HasValue(key.get(), name) ? 1 : 0;
}

int DeleteDefaultCryptDsk() {
  UniqueRegKey key;
  if (!OpenKey(kUserTableKey, KEY_ALL_ACCESS, &key)) return 0;
  return RegDeleteValueW(key.get(), UserName) == ERROR_SUCCESS ? 1 : 0;
}

int AnyUserRegistered() {
  UniqueRegKey key;
  if (!OpenKey(kUserTableKey, KEY_READ, &key)) return 0;
  DWORD values = 0;
  if (RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                       nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
    return 0;
  return values > 0 ? 1 : 0;
}
