#include "registry_state.h"

#include <string.h>

#include "account_state.h"
#include "account_system.h"
#include "path_rules.h"
#include "registry_texts.h"

namespace {

class RegistryKey {
 public:
  RegistryKey() = default;
  ~RegistryKey() {
    if (key_ != nullptr) RegCloseKey(key_);
  }
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;

  bool Open(const WCHAR* path, REGSAM access) {
    return RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, access, &key_) == ERROR_SUCCESS;
  }
  bool Create(const WCHAR* path) {
    return RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, REG_OPTION_NON_VOLATILE,
                           KEY_ALL_ACCESS, nullptr, &key_, nullptr) == ERROR_SUCCESS;
  }
  bool HasValue(const WCHAR* name) const {
    return RegQueryValueExW(key_, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
  }
  // REG_SZ with its terminator.
  bool SetText(const WCHAR* name, const WCHAR* text) const {
    const DWORD bytes = static_cast<DWORD>((wcslen(text) + 1) * sizeof(WCHAR));
    return RegSetValueExW(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), bytes) ==
           ERROR_SUCCESS;
  }
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

int BuildDriveIconKey(WCHAR letter, PathBuffer<char16_t>* path) {
  const char16_t letterText[2] = {static_cast<char16_t>(letter), 0};
  if (path->Assign(AsUtf16(kDriveIconsKey)) != 1 || path->Append(letterText) != 1 ||
      path->Append(AsUtf16(kDefaultIconSubkey)) != 1)
    return -1;
  return 1;
}

}  // namespace

int SetCryptDskOpenFlag(const WCHAR* deviceName, bool set) {
  RegistryKey key;
  if (set) return key.Create(kStatusKey) && key.SetText(kOpenFlagValue, deviceName) ? 1 : 0;
  if (!key.Open(kStatusKey, KEY_ALL_ACCESS)) return 0;
  RegDeleteValueW(key.get(), kOpenFlagValue);
  return 1;
}

void ClearStaleOpenFlag() {
  {
    RegistryKey key;
    if (!key.Open(kStatusKey, KEY_ALL_ACCESS) || !key.HasValue(kOpenFlagValue)) return;
  }
  {
    RegistryKey key;
    if (key.Open(kStatusKey, KEY_ALL_ACCESS)) RegDeleteValueW(key.get(), kOpenFlagValue);
  }
  AccountSystemCalls().messageBox(nullptr, kImproperShutdownText, kRegistryMessageTitle,
                                  MB_OK | MB_SYSTEMMODAL | MB_ICONERROR);
}

int ReadOpenFlagDriveLetter(WCHAR* letter) {
  RegistryKey key;
  if (!key.Open(kStatusKey, KEY_ALL_ACCESS)) return 0;
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
    RegistryKey existing;
    if (existing.Open(AsWide(keyPath.c_str()), KEY_ALL_ACCESS) && !existing.SetText(nullptr, L""))
      return 0;
  }
  if (!set) return 1;
  PathBuffer<char16_t> iconPath;
  if (iconPath.Assign(AsUtf16(InstallFolder)) != 1 || iconPath.AppendSeparatorIfMissing() != 1 ||
      iconPath.Append(AsUtf16(kOpenDriveIconFile)) != 1)
    return 0;
  RegistryKey key;
  return key.Create(AsWide(keyPath.c_str())) && key.SetText(nullptr, AsWide(iconPath.c_str())) ? 1
                                                                                               : 0;
}

int WriteDefaultCryptDsk() {
  RegistryKey key;
  return key.Create(kUserTableKey) && key.SetText(UserName, StorageFilePath) ? 1 : 0;
}

int ReadDefaultCryptDsk() {
  int result = 0;
  RegistryKey key;
  if (key.Open(kUserTableKey, KEY_READ)) {
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
  RegistryKey key;
  return key.Open(kUserTableKey, KEY_READ) && key.HasValue(name) ? 1 : 0;
}

int DeleteDefaultCryptDsk() {
  RegistryKey key;
  if (!key.Open(kUserTableKey, KEY_ALL_ACCESS)) return 0;
  return RegDeleteValueW(key.get(), UserName) == ERROR_SUCCESS ? 1 : 0;
}

int AnyUserRegistered() {
  RegistryKey key;
  if (!key.Open(kUserTableKey, KEY_READ)) return 0;
  DWORD values = 0;
  if (RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                       nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
    return 0;
  return values > 0 ? 1 : 0;
}
