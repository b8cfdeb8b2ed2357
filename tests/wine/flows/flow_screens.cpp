#include "flow_screens.h"

#include <gtest/gtest.h>

#include "client_texts.h"
#include "gui_harness.h"
#include "resource_ids.h"
#include "volume_texts.h"

namespace flow_screens {

std::wstring AnswerBox(const wchar_t* title, int button, HWND except) {
  HWND box = gui::WaitForDialog(title, except);
  if (box == nullptr) return L"<none>";
  // A box may show before its text is set.
  std::wstring text = gui::MessageBoxText(box);
  for (DWORD waited = 0; text.empty() && waited < gui::kPatienceMs; waited += 50) {
    Sleep(50);
    text = gui::MessageBoxText(box);
  }
  gui::Click(box, button);
  gui::WaitUntilGone(box);
  return text;
}

HWND OpenCreateUserFromWelcome() {
  HWND welcome = gui::WaitForDialog(CT_W(CT_TITLE_WELCOME));
  if (welcome == nullptr) return nullptr;
  gui::Click(welcome, IDOK);
  HWND intro = gui::WaitForDialog(CT_W(CT_TITLE_NEW_USER_INTRO));
  if (intro == nullptr) return nullptr;
  gui::Click(intro, IDOK);
  return gui::WaitForDialog(CT_W(CT_TITLE_CREATE_USER));
}

void FillUser(HWND createUser, const wchar_t* name, const wchar_t* password, const wchar_t* again) {
  gui::SetControlText(createUser, IDC_NEW_USER_NAME, name);
  gui::SetControlText(createUser, IDC_NEW_PASSWORD, password);
  gui::SetControlText(createUser, IDC_NEW_PASSWORD_AGAIN, again);
}

void FillAnswers(HWND dialog, int firstId, const RecoveryAnswers& answers) {
  gui::SetControlText(dialog, firstId, answers.maiden);
  gui::SetControlText(dialog, firstId + 1, answers.hobby);
  gui::SetControlText(dialog, firstId + 2, answers.food);
}

void ChooseDriveEncryption(HWND storage, DriveEncryption encryption) {
  gui::SetChecked(storage, IDC_STORAGE_WHOLE_DRIVE, encryption == DriveEncryption::kWholeDrive);
}

HWND OpenCreateUserFromLogIn(HWND logIn) {
  gui::Click(logIn, IDC_LOGIN_NEW_USER);
  HWND intro = gui::WaitForDialog(CT_W(CT_TITLE_NEW_USER_INTRO));
  if (intro == nullptr) return nullptr;
  gui::Click(intro, IDOK);
  return gui::WaitForDialog(CT_W(CT_TITLE_CREATE_USER));
}

void CreateUserThroughTheScreens(const wchar_t* name, const wchar_t* password,
                                 const RecoveryAnswers* answers, const wchar_t* sizeMb,
                                 DriveEncryption encryption) {
  HWND createUser = OpenCreateUserFromWelcome();
  ASSERT_NE(createUser, nullptr);
  CreateUserFrom(createUser, name, password, answers, sizeMb, encryption);
}

void CreateUserFrom(HWND createUser, const wchar_t* name, const wchar_t* password,
                    const RecoveryAnswers* answers, const wchar_t* sizeMb,
                    DriveEncryption encryption) {
  FillUser(createUser, name, password, password);
  if (answers != nullptr) {
    gui::Click(createUser, IDC_RECOVERY_YES);
    gui::Click(createUser, IDOK);
    HWND recovery = gui::WaitForDialog(CT_W(CT_TITLE_RECOVERY_SETUP));
    ASSERT_NE(recovery, nullptr);
    FillAnswers(recovery, IDC_ANSWER_MAIDEN, *answers);
    gui::Click(recovery, IDOK);
  } else {
    gui::Click(createUser, IDOK);
  }
  HWND storage = gui::WaitForDialog(CT_W(CT_TITLE_STORAGE_SETUP));
  ASSERT_NE(storage, nullptr);
  gui::SetControlText(storage, IDC_STORAGE_SIZE, sizeMb);
  ChooseDriveEncryption(storage, encryption);
  gui::Click(storage, IDOK);
  EXPECT_EQ(AnswerBox(kUserCreationTitle), kUserCreationConfirmText);
  EXPECT_TRUE(gui::WaitUntilGone(storage));
}

void LogInThroughTheScreen(HWND logIn, const wchar_t* name, const wchar_t* password) {
  gui::SetControlText(logIn, IDC_LOGIN_USER, name);
  gui::SetControlText(logIn, IDC_LOGIN_PASSWORD, password);
  gui::Click(logIn, IDOK);
  EXPECT_EQ(AnswerBox(kLogInTitle, IDOK, logIn), kLogInConfirmText);
  EXPECT_TRUE(gui::WaitUntilGone(logIn));
}

void ChooseLockAndExit() {
  HWND mainWindow = gui::WaitForMainWindow();
  ASSERT_NE(mainWindow, nullptr);
  PostMessageW(mainWindow, WM_COMMAND, IDM_LOCK_EXIT, 0);
}

}  // namespace flow_screens
