#include "interim_volume_state.h"

#include "client_texts.h"
#include "message_box.h"
#include "win_handles.h"

namespace {

UniqueRegKey OpenMachineKey(const wchar_t* path, REGSAM access) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, access, &key) != ERROR_SUCCESS) return {};
  return UniqueRegKey(key);
}

}  // namespace

void ClearStaleOpenFlag() {
  {
    UniqueRegKey key = OpenMachineKey(CT_W(CT_REG_STATUS_KEY), KEY_ALL_ACCESS);
    if (!key.valid()) return;
    if (RegQueryValueExW(key.get(), CT_W(CT_REG_OPEN_VALUE), nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      return;
    }
  }
  UniqueRegKey key = OpenMachineKey(CT_W(CT_REG_STATUS_KEY), KEY_ALL_ACCESS);
  if (key.valid()) RegDeleteValueW(key.get(), CT_W(CT_REG_OPEN_VALUE));
  ShowErrorBox(nullptr, CT_W(CT_MSG_IMPROPER_SHUTDOWN));
}

int AnyUserRegistered() {
  UniqueRegKey key = OpenMachineKey(CT_W(CT_REG_USERS_KEY), KEY_READ);
  if (!key.valid()) return 0;
  DWORD values = 0;
  if (RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                       nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
    return 0;
  }
  return values > 0 ? 1 : 0;
}

int ReadCryptDskOpenFlag(wchar_t* letter) {
  UniqueRegKey key = OpenMachineKey(CT_W(CT_REG_STATUS_KEY), KEY_ALL_ACCESS);
  if (!key.valid()) return 0;
  wchar_t data[8] = {};  // 16 bytes, zeroed
  DWORD bytes = sizeof(data) - sizeof(wchar_t);
  if (RegQueryValueExW(key.get(), CT_W(CT_REG_OPEN_VALUE), nullptr, nullptr,
                       reinterpret_cast<BYTE*>(data), &bytes) != ERROR_SUCCESS ||
      bytes == 0) {
    return 0;
  }
  if (wcslen(data) != 2 || data[1] != L':') return 0;
  *letter = data[0];
  return 1;
}

// No key material is made before the account flows arrive.
int RandomPoolStart() {
  return 1;
}
