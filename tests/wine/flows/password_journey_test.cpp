// Changing a password and recovering a forgotten one through the screens,
// with the real key and recovery files.
#include <string>

#include "account_texts.h"
#include "client_texts.h"
#include "cryptdsk_protocol.h"
#include "flows_fixture.h"
#include "resource_ids.h"
#include "volume_texts.h"

namespace {

const RecoveryAnswers kCyAnswers = {L"Smith", L"Chess", L"Soup"};
const std::wstring kChangeTitle = CT_W(CT_TITLE_CHANGE_YOUR_PASSWORD);

void FillChange(HWND change, const wchar_t* name, const wchar_t* current, const wchar_t* fresh,
                const wchar_t* again) {
  if (name != nullptr) gui::SetControlText(change, IDC_CHANGE_USER, name);
  if (current != nullptr) gui::SetControlText(change, IDC_CHANGE_OLD, current);
  gui::SetControlText(change, IDC_CHANGE_NEW, fresh);
  gui::SetControlText(change, IDC_CHANGE_NEW_AGAIN, again);
}

}  // namespace

TEST_F(FlowJourney, ChangedPasswordReplacesTheOldOneAndARecoveryLeadsToANewPassword) {
  StartWithStandIn(CT_W(CT_TITLE_WELCOME));
  CreateUserThroughTheScreens(L"Cy", L"Secret#1", &kCyAnswers, L"5");
  CrashAndDetach();
  ASSERT_TRUE(FileExists(RecoveryFilePath(L"Cy")));

  HWND logIn = StartWithStandIn(CT_W(CT_TITLE_LOG_IN));
  ASSERT_NE(logIn, nullptr);
  gui::Click(logIn, IDC_LOGIN_CHANGE);
  HWND change = gui::WaitForDialog(CT_W(CT_TITLE_CHANGE_PASSWORD));
  ASSERT_NE(change, nullptr);
  FillChange(change, L"Cy", L"Wrong#0", L"Newer#2", L"Newer#2");
  gui::Click(change, IDOK);
  EXPECT_EQ(AnswerBox(kCreateUserTitle), kPasswordMismatchText);
  ASSERT_TRUE(gui::WaitUntilEnabled(change, IDOK));
  EXPECT_EQ(gui::ControlText(change, IDC_CHANGE_OLD), L"Wrong#0");
  EXPECT_EQ(gui::ControlText(change, IDC_CHANGE_NEW), L"Newer#2");

  FillChange(change, L"Cy", L"Secret#1", L"Newer#2", L"Newer#3");
  gui::Click(change, IDOK);
  EXPECT_EQ(AnswerBox(kChangeTitle.c_str()), CT_W(CT_MSG_PASSWORDS_DIFFER));
  ASSERT_TRUE(gui::WaitUntilEnabled(change, IDOK));
  EXPECT_EQ(gui::FocusedControlId(change), IDC_CHANGE_NEW);
  EXPECT_EQ(gui::ControlText(change, IDC_CHANGE_NEW), L"");
  EXPECT_EQ(gui::ControlText(change, IDC_CHANGE_NEW_AGAIN), L"");
  EXPECT_EQ(gui::ControlText(change, IDC_CHANGE_OLD), L"Secret#1");

  // Changed: the old recovery file is gone even when no new one is made.
  FillChange(change, nullptr, nullptr, L"Newer#2", L"Newer#2");
  gui::Click(change, IDOK);
  HWND recoverySetup = gui::WaitForDialog(CT_W(CT_TITLE_RECOVERY_SETUP));
  ASSERT_NE(recoverySetup, nullptr);
  EXPECT_FALSE(FileExists(RecoveryFilePath(L"Cy")));
  gui::Click(recoverySetup, IDCANCEL);
  logIn = gui::WaitForDialog(CT_W(CT_TITLE_LOG_IN));
  ASSERT_NE(logIn, nullptr);

  // The old password fails now and the new one is taken.
  gui::SetControlText(logIn, IDC_LOGIN_USER, L"Cy");
  gui::SetControlText(logIn, IDC_LOGIN_PASSWORD, L"Secret#1");
  gui::Click(logIn, IDOK);
  EXPECT_EQ(AnswerBox(kCreateUserTitle), kPasswordMismatchText);
  ASSERT_TRUE(gui::WaitUntilEnabled(logIn, IDOK));
  gui::SetControlText(logIn, IDC_LOGIN_PASSWORD, L"Newer#2");
  gui::Click(logIn, IDOK);
  EXPECT_EQ(AnswerBox(kLogInTitle, IDCANCEL, logIn), kLogInConfirmText);
  ASSERT_TRUE(gui::WaitUntilEnabled(logIn, IDOK));

  // Without a recovery file there is nothing to recover from.
  gui::Click(logIn, IDC_LOGIN_FORGOT);
  HWND recover = gui::WaitForDialog(CT_W(CT_TITLE_RECOVER_PASSWORD));
  ASSERT_NE(recover, nullptr);
  gui::SetControlText(recover, IDC_RECOVER_USER, L"Cy");
  FillAnswers(recover, IDC_RECOVER_MAIDEN, kCyAnswers);
  gui::Click(recover, IDOK);
  EXPECT_EQ(AnswerBox(CT_W(CT_TITLE_RECOVER_PASSWORD), IDOK, recover),
            CT_W(CT_MSG_RECOVERY_FILE_MISSING));
  ASSERT_TRUE(gui::WaitUntilEnabled(recover, IDOK));
  gui::Click(recover, IDCANCEL);
  ASSERT_TRUE(client_.WaitForExit());

  // A second change, this time with a new recovery file.
  logIn = StartWithStandIn(CT_W(CT_TITLE_LOG_IN));
  ASSERT_NE(logIn, nullptr);
  gui::Click(logIn, IDC_LOGIN_CHANGE);
  change = gui::WaitForDialog(CT_W(CT_TITLE_CHANGE_PASSWORD));
  ASSERT_NE(change, nullptr);
  FillChange(change, L"Cy", L"Newer#2", L"Third#3", L"Third#3");
  gui::Click(change, IDOK);
  recoverySetup = gui::WaitForDialog(CT_W(CT_TITLE_RECOVERY_SETUP));
  ASSERT_NE(recoverySetup, nullptr);
  FillAnswers(recoverySetup, IDC_ANSWER_MAIDEN, kCyAnswers);
  gui::Click(recoverySetup, IDOK);
  logIn = gui::WaitForDialog(CT_W(CT_TITLE_LOG_IN));
  ASSERT_NE(logIn, nullptr);
  EXPECT_TRUE(FileExists(RecoveryFilePath(L"Cy")));

  // Forgotten: answers that differ only in case fail; the right ones show
  // the password and lead to Change Password with the name locked.
  gui::Click(logIn, IDC_LOGIN_FORGOT);
  recover = gui::WaitForDialog(CT_W(CT_TITLE_RECOVER_PASSWORD));
  ASSERT_NE(recover, nullptr);
  gui::SetControlText(recover, IDC_RECOVER_USER, L"Cy");
  FillAnswers(recover, IDC_RECOVER_MAIDEN, {L"smith", L"Chess", L"Soup"});
  gui::Click(recover, IDOK);
  EXPECT_EQ(AnswerBox(CT_W(CT_TITLE_RECOVER_PASSWORD), IDOK, recover),
            CT_W(CT_MSG_ANSWERS_INCORRECT));
  ASSERT_TRUE(gui::WaitUntilEnabled(recover, IDOK));
  FillAnswers(recover, IDC_RECOVER_MAIDEN, kCyAnswers);
  gui::Click(recover, IDOK);
  EXPECT_EQ(AnswerBox(CT_W(CT_TITLE_PASSWORD_RECOVERED)),
            L"Your Password:\n\nThird#3\n\nNext is Change Password screen.");
  change = gui::WaitForDialog(CT_W(CT_TITLE_CHANGE_PASSWORD));
  ASSERT_NE(change, nullptr);
  EXPECT_EQ(gui::ControlText(change, IDC_CHANGE_USER), L"Cy");
  EXPECT_EQ(gui::ControlText(change, IDC_CHANGE_OLD), CT_W(CT_PASSWORD_MASK));
  EXPECT_FALSE(gui::ControlEnabled(change, IDC_CHANGE_USER));
  EXPECT_FALSE(gui::ControlEnabled(change, IDC_CHANGE_OLD));
  FillChange(change, nullptr, nullptr, L"Fourth#4", L"Fourth#4");
  gui::Click(change, IDOK);
  recoverySetup = gui::WaitForDialog(CT_W(CT_TITLE_RECOVERY_SETUP));
  ASSERT_NE(recoverySetup, nullptr);
  FillAnswers(recoverySetup, IDC_ANSWER_MAIDEN, kCyAnswers);
  gui::Click(recoverySetup, IDOK);
  logIn = gui::WaitForDialog(CT_W(CT_TITLE_LOG_IN));
  ASSERT_NE(logIn, nullptr);
  EXPECT_TRUE(FileExists(RecoveryFilePath(L"Cy")));

  gui::SetControlText(logIn, IDC_LOGIN_USER, L"Cy");
  gui::SetControlText(logIn, IDC_LOGIN_PASSWORD, L"Fourth#4");
  gui::Click(logIn, IDOK);
  EXPECT_EQ(AnswerBox(kLogInTitle, IDOK, logIn), kLogInConfirmText);
  ASSERT_TRUE(gui::WaitUntilGone(logIn));
  EXPECT_EQ(LinkTarget(L'H'), CRYPTDSK_DEVICE_NAME);
  EXPECT_TRUE(DriverHasImage());
}
