// ChangeUserPassword and RewriteUserFiles: Change Password's (810) checks,
// then the key file re-wrapped under the new password (and, after a
// recovery, a new recovery file with the answers just given).
#include "account_files.h"
#include "account_records.h"
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

// The user name and current password into UserName and Password, unless a
// recovery has set them already. 1, 0 refused, -1 error.
int ReadUserAndCurrentPassword(HWND dialog) {
  const wchar_t* title = CT_W(CT_TITLE_CHANGE_YOUR_PASSWORD);
  if (!PasswordRecovered) {
    WideText name = {};
    const int result = ReadRequiredField(dialog, IDC_CHANGE_USER, name, title,
                                         CT_W(CT_MSG_ENTER_USERNAME), CT_W(CT_MSG_USERNAME_CUT));
    if (result != 1) return result;
    if (CopyWideText(name, UserName) != 1) return -1;
  }
  if (PasswordRecovered) {
    SetDlgItemTextW(dialog, IDC_CHANGE_OLD, CT_W(CT_PASSWORD_MASK));
    EnableWindow(GetDlgItem(dialog, IDC_CHANGE_OLD), FALSE);
    return 1;
  }
  Wiped<WideText> current;
  const int result =
      ReadRequiredField(dialog, IDC_CHANGE_OLD, current.get(), title,
                        CT_W(CT_MSG_ENTER_CURRENT_PASSWORD), CT_W(CT_MSG_PASSWORD_CUT));
  if (result != 1) return result;
  return CopyWideText(current.get(), Password.get()) == 1 ? 1 : -1;
}

// The new password twice into `fresh`. 1, 0 refused (a mismatch empties both
// fields), -1 error.
int ReadNewPassword(HWND dialog, Wiped<WideText>& fresh) {
  const wchar_t* title = CT_W(CT_TITLE_CHANGE_YOUR_PASSWORD);
  Wiped<WideText> again;
  int result = ReadRequiredField(dialog, IDC_CHANGE_NEW, fresh.get(), title,
                                 CT_W(CT_MSG_ENTER_NEW_PASSWORD), CT_W(CT_MSG_PASSWORD_CUT));
  if (result != 1) return result;
  result = ReadRequiredField(dialog, IDC_CHANGE_NEW_AGAIN, again.get(), title,
                             CT_W(CT_MSG_RECONFIRM_NEW_PASSWORD), CT_W(CT_MSG_PASSWORD_CUT));
  if (result != 1) return result;
  if (SameText(AsUtf16(fresh.get()), AsUtf16(again.get()))) return 1;
  ShowInfoBox(dialog, title, CT_W(CT_MSG_PASSWORDS_DIFFER));
  if (!SetDlgItemTextW(dialog, IDC_CHANGE_NEW, L"") ||
      !SetDlgItemTextW(dialog, IDC_CHANGE_NEW_AGAIN, L"")) {
    return -1;
  }
  MoveFocusAfterRefusal(dialog, IDC_CHANGE_NEW);
  return 0;
}

}  // namespace

int RewriteUserFiles(HWND dialog) {
  // A read-only key file must still be replaceable; a failure shows below.
  SetFileAttributesW(UserKeyFilePath, FILE_ATTRIBUTE_NORMAL);
  const int written = WriteUserKeyFile(dialog);
  if (written != 1) return written;
  if (PasswordRecovered) return WriteRecoveryFile(dialog, RecoveryAnswers.get());
  return 1;
}

int ChangeUserPassword(HWND dialog) {
  int result = ReadUserAndCurrentPassword(dialog);
  if (result != 1) return result;
  if (LocateUserKeyFile(UserName, true) != 1) return -1;
  if (ReadDefaultCryptDsk() != 1) {
    ShowInfoBox(dialog, CT_W(CT_TITLE_CREATE_FOR_USER), CT_W(CT_MSG_STORAGE_FILE_MISSING));
    return -1;
  }
  // The check's derivation serves the re-wrap's read of the same key file.
  RememberedAccountKeyScope remembering;
  result = VerifyUserPassword(dialog);
  if (result != 1) return result;

  Wiped<WideText> fresh;
  result = ReadNewPassword(dialog, fresh);
  if (result != 1) return result;
  if (CopyWideText(Password.get(), OldPassword.get()) != 1 ||
      CopyWideText(fresh.get(), Password.get()) != 1) {
    return -1;
  }
  return RewriteUserFiles(dialog);
}
