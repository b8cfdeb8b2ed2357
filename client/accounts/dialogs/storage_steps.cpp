// CreateUserStorage: the storage dialog's (808) checks, the key file and the
// mount that creates, formats and opens the new container.
#include <string.h>

#include "account_files.h"
#include "account_records.h"
#include "account_state.h"
#include "client_texts.h"
#include "dialog_common.h"
#include "flow_rules.h"
#include "flow_steps.h"
#include "message_box.h"
#include "resource_ids.h"
#include "volume_operations.h"

namespace {

// Name, size and folder from the dialog, joined into the storage path.
int ReadStorageInput(HWND dialog, PathBuffer<char16_t>* path) {
  const wchar_t* title = CT_W(CT_TITLE_CREATE_USER);
  WideText name = {};
  const int nameUnits = ReadControlText(dialog, IDC_STORAGE_NAME, name, kPathBufferUnits);
  if (nameUnits == 0)
    return Refuse(dialog, title, CT_W(CT_MSG_ENTER_STORAGE_NAME), IDC_STORAGE_NAME);
  if (nameUnits >= static_cast<int>(kMaxPathUnits)) {
    ShowInfoBox(dialog, title, CT_W(CT_MSG_STORAGE_NAME_CUT));
  }
  if (!IsPlainName(AsUtf16(name))) {
    return Refuse(dialog, title, CT_W(CT_MSG_STORAGE_NAME_NOT_PLAIN), IDC_STORAGE_NAME);
  }

  wchar_t size[5] = {};
  ReadControlText(dialog, IDC_STORAGE_SIZE, size, ARRAYSIZE(size));
  unsigned megabytes = 0;
  switch (CheckStorageSize(AsUtf16(size), &megabytes)) {
    case StorageSize::kEmpty:
    case StorageSize::kNotANumber:
      return Refuse(dialog, title, CT_W(CT_MSG_ENTER_STORAGE_SIZE), IDC_STORAGE_SIZE);
    case StorageSize::kBelowMinimum:
      return Refuse(dialog, title, CT_W(CT_MSG_STORAGE_SIZE_MINIMUM), IDC_STORAGE_SIZE);
    case StorageSize::kAboveMaximum:
      return Refuse(dialog, title, CT_W(CT_MSG_STORAGE_SIZE_MAXIMUM), IDC_STORAGE_SIZE);
    case StorageSize::kAccepted:
      break;
  }

  WideText folder = {};
  const int folderUnits = ReadControlText(dialog, IDC_STORAGE_FOLDER, folder, kPathBufferUnits);
  switch (ClassifyFieldLength(static_cast<size_t>(folderUnits))) {
    case FieldLength::kEmpty:
      return Refuse(dialog, title, CT_W(CT_MSG_ENTER_STORAGE_FOLDER), IDC_STORAGE_FOLDER);
    case FieldLength::kMaybeCut:
      return Refuse(dialog, title, CT_W(CT_MSG_STORAGE_FOLDER_CUT), IDC_STORAGE_FOLDER);
    case FieldLength::kTooLong:
      return -1;
    case FieldLength::kFits:
      break;
  }
  const int built = BuildStorageFilePath(AsUtf16(folder), AsUtf16(name), path);
  if (built == 0) {
    ShowInfoBox(dialog, CT_W(CT_TITLE_CREATE_FOR_USER), CT_W(CT_MSG_STORAGE_FILE_NAME_LONG));
  }
  return built;
}

// A file already at the path may be another user's container: it is never
// created over, and so never formatted or deleted by this flow.
int RefuseExistingStorageFile(HWND dialog, const PathBuffer<char16_t>& path) {
  if (GetFileAttributesW(AsWide(path.c_str())) == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    return (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) ? 1 : -1;
  }
  return Refuse(dialog, CT_W(CT_TITLE_CREATE_FOR_USER), CT_W(CT_MSG_STORAGE_FILE_EXISTS),
                IDC_STORAGE_NAME);
}

// After a refusal or a cancelled confirmation the user may change the
// storage path, which the key file records: what this attempt wrote goes, so
// that the next attempt starts from nothing.
void ForgetAttempt() {
  if (WantRecoveryFile && RecoveryFilePath[0] != 0) DeleteFileW(RecoveryFilePath);
  if (UserKeyFilePath[0] != 0) DeleteFileW(UserKeyFilePath);
  if (StorageFilePath[0] != 0) DeleteFileW(StorageFilePath);
  WipeText(UserKeyFilePath);
  WipeText(StorageFilePath);
}

}  // namespace

int CreateUserStorage(HWND dialog) {
  PathBuffer<char16_t> path;
  int result = ReadStorageInput(dialog, &path);
  if (result != 1) return result;
  result = RefuseExistingStorageFile(dialog, path);
  if (result != 1) return result;
  // From here on StorageFilePath names a file this flow creates; the clean-up
  // of a failed creation deletes nothing else.
  if (CopyWideText(AsWide(path.c_str()), StorageFilePath) != 1) return -1;

  // The recovery file first, as its screen used to write it: a password it
  // cannot hold stops the flow before anything else of the user exists. The
  // answers stay until the user is made, for another attempt.
  if (WantRecoveryFile) {
    Wiped<AnswerTexts> answers;
    memcpy(answers.get(), RecoveryAnswers.get(), sizeof(AnswerTexts));
    result = WriteRecoveryFile(dialog, answers.get());
    if (result != 1) return result;
  }
  RememberedAccountKeyScope remembering;  // the read-back's derivation serves the mount
  result = WriteUserKeyFile(dialog);
  if (result == 1) result = VerifyUserPassword(dialog);
  if (result == 1) result = MountUserStorage(dialog, 1);
  if (result == 1) {
    WipeText(Password);
    SecureWipe(RecoveryAnswers.get(), sizeof(AnswerTexts));
  }
  if (result == 0) ForgetAttempt();
  return result;
}
