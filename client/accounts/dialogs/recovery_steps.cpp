// SaveRecoveryAnswers (806) and RecoverPassword (807): the three answers,
// written into a recovery file or used to read the password back from one.
#include <string.h>

#include "account_files.h"
#include "account_state.h"
#include "client_texts.h"
#include "dialog_common.h"
#include "flow_rules.h"
#include "flow_steps.h"
#include "message_box.h"
#include "resource_ids.h"
#include "win/program_folder.h"

namespace {

struct AnswerField {
  int id;
  const wchar_t* emptyText;
  const wchar_t* cutText;
};

// The three answers in the order of the recovery file: maiden name, hobby,
// food. 1, 0 refused, -1 error.
int ReadAnswers(HWND dialog, const wchar_t* title, const int (&ids)[3], AnswerTexts& answers) {
  const AnswerField fields[3] = {
      {ids[0], CT_W(CT_MSG_ENTER_MAIDEN_NAME), CT_W(CT_MSG_MAIDEN_NAME_CUT)},
      {ids[1], CT_W(CT_MSG_ENTER_HOBBY), CT_W(CT_MSG_HOBBY_CUT)},
      {ids[2], CT_W(CT_MSG_ENTER_FOOD), CT_W(CT_MSG_FOOD_CUT)},
  };
  for (size_t i = 0; i < 3; ++i) {
    const int result = ReadRequiredField(dialog, fields[i].id, answers[i], title,
                                         fields[i].emptyText, fields[i].cutText);
    if (result != 1) return result;
  }
  return 1;
}

// An earlier recovery file of the user is replaced only when the user says
// so. 1 go on, 0 kept (MustCloseProgram set), -1 error.
int ReplaceEarlierRecoveryFile(HWND dialog) {
  const int found = LocateRecoveryFile(UserName, true);
  if (found != 1) return found == 0 ? 1 : -1;
  const int answer = ShowMessage(dialog, CT_W(CT_TITLE_RECOVERY_SETUP),
                                 CT_W(CT_MSG_RECOVERY_FILE_EXISTS), MB_ICONQUESTION | MB_OKCANCEL);
  if (answer != IDOK) {
    MustCloseProgram = true;
    return 0;
  }
  if (!SetFileAttributesW(RecoveryFilePath, FILE_ATTRIBUTE_NORMAL) ||
      !DeleteFileW(RecoveryFilePath)) {
    return -1;
  }
  return 1;
}

int ShowRecoveredPassword(HWND dialog) {
  Wiped<char16_t[kRecoveredMessageUnits]> message;
  if (BuildRecoveredPasswordMessage(AsUtf16(Password.get()), message.get(),
                                    kRecoveredMessageUnits) != 1) {
    return -1;
  }
  ShowInfoBox(dialog, CT_W(CT_TITLE_PASSWORD_RECOVERED), AsWide(message.get()));
  return 1;
}

// The user name and the answers of 807. A refusal sets RecoveryMessageShown.
int ReadRecoveryRequest(HWND dialog, WideText& name, AnswerTexts& answers) {
  static constexpr int kIds[3] = {IDC_RECOVER_MAIDEN, IDC_RECOVER_HOBBY, IDC_RECOVER_FOOD};
  const wchar_t* title = CT_W(CT_TITLE_RECOVER_PASSWORD);
  int result = ReadRequiredField(dialog, IDC_RECOVER_USER, name, title, CT_W(CT_MSG_ENTER_USERNAME),
                                 CT_W(CT_MSG_USERNAME_CUT));
  if (result == 1) result = ReadAnswers(dialog, title, kIds, answers);
  if (result == 0) RecoveryMessageShown = true;
  return result;
}

}  // namespace

int SaveRecoveryAnswers(HWND dialog) {
  static constexpr int kIds[3] = {IDC_ANSWER_MAIDEN, IDC_ANSWER_HOBBY, IDC_ANSWER_FOOD};
  Wiped<AnswerTexts> answers;
  int result = ReadAnswers(dialog, CT_W(CT_TITLE_RECOVERY_SETUP), kIds, answers.get());
  if (result != 1) return result;
  result = ReplaceEarlierRecoveryFile(dialog);
  if (result != 1) return result;
  if (ChangingPassword) return WriteRecoveryFile(dialog, answers.get());
  // A new user's file is written by the storage screen, whose whole-drive
  // choice decides its generation: a whole-drive user's password must not
  // sit under the first generation's weaker derivation.
  memcpy(RecoveryAnswers.get(), answers.get(), sizeof(AnswerTexts));
  return 1;
}

int RecoverPassword(HWND dialog) {
  WideText name = {};
  Wiped<AnswerTexts> answers;
  int result = ReadRecoveryRequest(dialog, name, answers.get());
  if (result != 1) return result;
  const int found = LocateRecoveryFile(name, true);
  if (found != 1) {
    if (found == 0) {
      RecoveryMessageShown = true;
      Refuse(dialog, CT_W(CT_TITLE_RECOVER_PASSWORD), CT_W(CT_MSG_RECOVERY_FILE_MISSING), 0);
    }
    return found;
  }
  result = ReadRecoveryFile(dialog, answers.get());
  if (result != 1) return result;
  if (CopyWideText(name, UserName) != 1) return -1;
  return ShowRecoveredPassword(dialog);
}
