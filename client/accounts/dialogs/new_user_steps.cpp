// ValidateNewUser: the checks of Create User (805) before anything is written.
#include "account_state.h"
#include "client_texts.h"
#include "dialog_common.h"
#include "flow_rules.h"
#include "flow_steps.h"
#include "message_box.h"
#include "registry_state.h"
#include "resource_ids.h"
#include "win/program_folder.h"

namespace {

// 1 when a leftover of any kind already carries the name, 0 free, -1 error.
// The recovery file goes first: it may be all that is left of a user.
int UserNameTaken(const WCHAR* name) {
  int found = LocateRecoveryFile(name, false);
  if (found == 0) found = LocateUserKeyFile(name, false);
  if (found == 0) found = DefaultStorageFileExists(name);
  if (found == 0) found = DefaultCryptDskExists(name);
  return found;
}

int CheckProgramFolders(HWND dialog) {
  const wchar_t* title = CT_W(CT_TITLE_CREATE_USER);
  int result = KeyFolderExists();
  if (result != 1) {
    ShowInfoBox(dialog, title, CT_W(CT_MSG_KEY_FOLDER_MISSING));
    return result;
  }
  result = StorageFolderExists();
  if (result != 1) ShowInfoBox(dialog, title, CT_W(CT_MSG_STORAGE_FOLDER_MISSING));
  return result;
}

}  // namespace

int ValidateNewUser(HWND dialog) {
  const wchar_t* title = CT_W(CT_TITLE_CREATE_USER);
  int result = CheckProgramFolders(dialog);
  if (result != 1) return result;

  WideText name = {};
  result = ReadRequiredField(dialog, IDC_NEW_USER_NAME, name, title, CT_W(CT_MSG_ENTER_USERNAME),
                             CT_W(CT_MSG_USERNAME_CUT));
  if (result != 1) return result;
  if (!IsPlainName(AsUtf16(name))) {
    return Refuse(dialog, title, CT_W(CT_MSG_USERNAME_NOT_PLAIN), IDC_NEW_USER_NAME);
  }
  result = UserNameTaken(name);
  if (result == -1) return -1;
  if (result == 1) return Refuse(dialog, title, CT_W(CT_MSG_USERNAME_EXISTS), IDC_NEW_USER_NAME);

  Wiped<WideText> password;
  Wiped<WideText> again;
  result = ReadRequiredField(dialog, IDC_NEW_PASSWORD, password.get(), title,
                             CT_W(CT_MSG_ENTER_PASSWORD), CT_W(CT_MSG_PASSWORD_CUT));
  if (result != 1) return result;
  result = ReadRequiredField(dialog, IDC_NEW_PASSWORD_AGAIN, again.get(), title,
                             CT_W(CT_MSG_RECONFIRM_PASSWORD), CT_W(CT_MSG_RECONFIRMATION_CUT));
  if (result != 1) return result;
  if (!SameText(AsUtf16(password.get()), AsUtf16(again.get()))) {
    ShowInfoBox(dialog, title, CT_W(CT_MSG_PASSWORDS_DIFFER));
    if (!SetDlgItemTextW(dialog, IDC_NEW_PASSWORD, L"") ||
        !SetDlgItemTextW(dialog, IDC_NEW_PASSWORD_AGAIN, L"")) {
      return -1;
    }
    MoveFocusAfterRefusal(dialog, IDC_NEW_PASSWORD);
    return 0;
  }
  if (CopyWideText(password.get(), Password.get()) != 1 || CopyWideText(name, UserName) != 1) {
    return -1;
  }
  return 1;
}
