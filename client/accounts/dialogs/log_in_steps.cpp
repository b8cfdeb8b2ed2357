// ValidateLogIn: Log In's (814) checks in their order, then the password
// check against the key file and the mount.
#include "account_files.h"
#include "account_records.h"
#include "account_state.h"
#include "account_texts.h"
#include "client_texts.h"
#include "dialog_common.h"
#include "flow_steps.h"
#include "message_box.h"
#include "path_rules.h"
#include "resource_ids.h"
#include "volume_operations.h"
#include "win/program_folder.h"
#include "win/unique_handles.h"

namespace {

// The user's storage path from the user table into StorageFilePath: 1 read,
// 0 no such value (after its message), -1 the table cannot be opened.
int ReadRegisteredStorage(HWND dialog, const WCHAR* name) {
  HKEY opened = nullptr;
  if (RegOpenKeyW(HKEY_LOCAL_MACHINE, CT_W(CT_REG_USERS_KEY), &opened) != ERROR_SUCCESS) return -1;
  UniqueRegKey key(opened);
  // 261 units leave room for a 260-unit path with its terminator.
  DWORD bytes = sizeof(StorageFilePath);
  DWORD type = 0;
  const LSTATUS read = RegQueryValueExW(key.get(), name, nullptr, &type,
                                        reinterpret_cast<LPBYTE>(StorageFilePath), &bytes);
  StorageFilePath[kMaxPathUnits] = 0;
  if (read != ERROR_SUCCESS || type != REG_SZ) {
    WipeText(StorageFilePath);
    return Refuse(dialog, CT_W(CT_TITLE_LOG_IN), CT_W(CT_MSG_STORAGE_FILE_MISSING), 0);
  }
  return 1;
}

// Key file, registry value and storage file, in that order. 1 all found.
int FindUserFiles(HWND dialog, const WCHAR* name) {
  const wchar_t* title = CT_W(CT_TITLE_LOG_IN);
  const int located = LocateUserKeyFile(name, true);
  if (located != 1) return located == 0 ? Refuse(dialog, title, kUserDoesNotExistText, 0) : -1;
  const int registered = ReadRegisteredStorage(dialog, name);
  if (registered != 1) return registered;
  if (GetFileAttributesW(StorageFilePath) == INVALID_FILE_ATTRIBUTES) {
    return Refuse(dialog, title, CT_W(CT_MSG_STORAGE_FILE_MISSING), 0);
  }
  return 1;
}

}  // namespace

int ValidateLogIn(HWND dialog) {
  const wchar_t* title = CT_W(CT_TITLE_LOG_IN);
  WideText name = {};
  int result = ReadRequiredField(dialog, IDC_LOGIN_USER, name, title, CT_W(CT_MSG_ENTER_USERNAME),
                                 CT_W(CT_MSG_USERNAME_CUT));
  if (result != 1) return result;
  result = FindUserFiles(dialog, name);
  if (result != 1) return result;

  Wiped<WideText> password;
  result = ReadRequiredField(dialog, IDC_LOGIN_PASSWORD, password.get(), title,
                             CT_W(CT_MSG_ENTER_PASSWORD), CT_W(CT_MSG_PASSWORD_CUT));
  if (result != 1) return result;
  if (CopyWideText(name, UserName) != 1 || CopyWideText(password.get(), Password.get()) != 1) {
    return -1;
  }
  ToLowerInPlace(AsUtf16(StorageFilePath));

  RememberedAccountKeyScope remembering;  // the check's derivation serves the mount
  result = VerifyUserPassword(dialog);
  if (result != 1) return result;
  result = MountUserStorage(dialog, 0);
  if (result == 1) WipeText(Password);
  return result;
}
