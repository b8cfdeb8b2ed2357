// Changing a password and recovering a forgotten one through the screens,
// with the real key and recovery files. Each scenario starts at Log In with
// Cy created (password "Secret#1", a recovery file) and locked.
#include <string>

#include "account_texts.h"
#include "client_texts.h"
#include "cryptdsk_protocol.h"
#include "flows_fixture.h"
#include "resource_ids.h"
#include "volume_texts.h"

namespace {

const std::wstring kChangeTitle = CT_W(CT_TITLE_CHANGE_YOUR_PASSWORD);

void FillChange(HWND change, const wchar_t* name, const wchar_t* current, const wchar_t* fresh,
                const wchar_t* again) {
  if (name != nullptr) gui::SetControlText(change, IDC_CHANGE_USER, name);
  if (current != nullptr) gui::SetControlText(change, IDC_CHANGE_OLD, current);
  gui::SetControlText(change, IDC_CHANGE_NEW, fresh);
  gui::SetControlText(change, IDC_CHANGE_NEW_AGAIN, again);
}

class PasswordJourney : public LockedUserJourney {
 protected:
  PasswordJourney() : LockedUserJourney(L"Cy") {}

  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(LockedUserJourney::SetUp());
    ASSERT_NO_FATAL_FAILURE(StartAtLogIn());
  }

  // Change Password from Log In.
  HWND OpenChange() {
    gui::Click(logIn_, IDC_LOGIN_CHANGE);
    return gui::WaitForDialog(CT_W(CT_TITLE_CHANGE_PASSWORD));
  }

  // Recover Password from Log In, for Cy.
  HWND OpenRecover() {
    gui::Click(logIn_, IDC_LOGIN_FORGOT);
    HWND recover = gui::WaitForDialog(CT_W(CT_TITLE_RECOVER_PASSWORD));
    if (recover != nullptr) gui::SetControlText(recover, IDC_RECOVER_USER, L"Cy");
    return recover;
  }

  // Gives the answers and says what the box that follows says.
  std::wstring Recover(HWND recover, const RecoveryAnswers& answers, const wchar_t* boxTitle) {
    FillAnswers(recover, IDC_RECOVER_MAIDEN, answers);
    gui::Click(recover, IDOK);
    return AnswerBox(boxTitle, IDOK, recover);
  }

  // Confirms the change with new recovery answers; back at Log In.
  void ConfirmChangeWithRecovery(HWND change) {
    gui::Click(change, IDOK);
    HWND recoverySetup = gui::WaitForDialog(CT_W(CT_TITLE_RECOVERY_SETUP));
    ASSERT_NE(recoverySetup, nullptr);
    FillAnswers(recoverySetup, IDC_ANSWER_MAIDEN, kRecoveryAnswers);
    gui::Click(recoverySetup, IDOK);
    logIn_ = gui::WaitForDialog(CT_W(CT_TITLE_LOG_IN));
    ASSERT_NE(logIn_, nullptr);
    EXPECT_TRUE(FileExists(RecoveryFilePath(L"Cy")));
  }
};

TEST_F(PasswordJourney, ChangeRefusesAWrongCurrentPasswordAndDifferingNewOnes) {
  HWND change = OpenChange();
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
}

TEST_F(PasswordJourney, AChangeWithoutRecoveryRemovesTheOldRecoveryFileAndTheOldPassword) {
  // Changed: the old recovery file is gone even when no new one is made.
  HWND change = OpenChange();
  ASSERT_NE(change, nullptr);
  FillChange(change, L"Cy", L"Secret#1", L"Newer#2", L"Newer#2");
  gui::Click(change, IDOK);
  HWND recoverySetup = gui::WaitForDialog(CT_W(CT_TITLE_RECOVERY_SETUP));
  ASSERT_NE(recoverySetup, nullptr);
  EXPECT_FALSE(FileExists(RecoveryFilePath(L"Cy")));
  gui::Click(recoverySetup, IDCANCEL);
  logIn_ = gui::WaitForDialog(CT_W(CT_TITLE_LOG_IN));
  ASSERT_NE(logIn_, nullptr);

  // The old password fails now and the new one is taken.
  gui::SetControlText(logIn_, IDC_LOGIN_USER, L"Cy");
  gui::SetControlText(logIn_, IDC_LOGIN_PASSWORD, L"Secret#1");
  gui::Click(logIn_, IDOK);
  EXPECT_EQ(AnswerBox(kCreateUserTitle), kPasswordMismatchText);
  ASSERT_TRUE(gui::WaitUntilEnabled(logIn_, IDOK));
  gui::SetControlText(logIn_, IDC_LOGIN_PASSWORD, L"Newer#2");
  gui::Click(logIn_, IDOK);
  EXPECT_EQ(AnswerBox(kLogInTitle, IDCANCEL, logIn_), kLogInConfirmText);
  ASSERT_TRUE(gui::WaitUntilEnabled(logIn_, IDOK));

  // Without a recovery file there is nothing to recover from.
  HWND recover = OpenRecover();
  ASSERT_NE(recover, nullptr);
  EXPECT_EQ(Recover(recover, kRecoveryAnswers, CT_W(CT_TITLE_RECOVER_PASSWORD)),
            CT_W(CT_MSG_RECOVERY_FILE_MISSING));
  ASSERT_TRUE(gui::WaitUntilEnabled(recover, IDOK));
  gui::Click(recover, IDCANCEL);
  ASSERT_TRUE(client_.WaitForExit());
}

TEST_F(PasswordJourney, AChangeWithRecoveryMakesARecoveryFileThatGivesTheNewPassword) {
  HWND change = OpenChange();
  ASSERT_NE(change, nullptr);
  FillChange(change, L"Cy", L"Secret#1", L"Third#3", L"Third#3");
  ASSERT_NO_FATAL_FAILURE(ConfirmChangeWithRecovery(change));

  // Forgotten: answers that differ only in case fail; the right ones show
  // the password and lead to Change Password with the name locked.
  HWND recover = OpenRecover();
  ASSERT_NE(recover, nullptr);
  EXPECT_EQ(Recover(recover, {L"smith", L"Chess", L"Soup"}, CT_W(CT_TITLE_RECOVER_PASSWORD)),
            CT_W(CT_MSG_ANSWERS_INCORRECT));
  ASSERT_TRUE(gui::WaitUntilEnabled(recover, IDOK));
  EXPECT_EQ(Recover(recover, kRecoveryAnswers, CT_W(CT_TITLE_PASSWORD_RECOVERED)),
            L"Your Password:\n\nThird#3\n\nNext is Change Password screen.");
  change = gui::WaitForDialog(CT_W(CT_TITLE_CHANGE_PASSWORD));
  ASSERT_NE(change, nullptr);
  EXPECT_EQ(gui::ControlText(change, IDC_CHANGE_USER), L"Cy");
  EXPECT_EQ(gui::ControlText(change, IDC_CHANGE_OLD), CT_W(CT_PASSWORD_MASK));
  EXPECT_FALSE(gui::ControlEnabled(change, IDC_CHANGE_USER));
  EXPECT_FALSE(gui::ControlEnabled(change, IDC_CHANGE_OLD));
}

TEST_F(PasswordJourney, ARecoveredPasswordIsChangedAndTheNewOneOpensTheDrive) {
  HWND recover = OpenRecover();
  ASSERT_NE(recover, nullptr);
  EXPECT_EQ(Recover(recover, kRecoveryAnswers, CT_W(CT_TITLE_PASSWORD_RECOVERED)),
            L"Your Password:\n\nSecret#1\n\nNext is Change Password screen.");
  HWND change = gui::WaitForDialog(CT_W(CT_TITLE_CHANGE_PASSWORD));
  ASSERT_NE(change, nullptr);
  FillChange(change, nullptr, nullptr, L"Fourth#4", L"Fourth#4");
  ASSERT_NO_FATAL_FAILURE(ConfirmChangeWithRecovery(change));

  gui::SetControlText(logIn_, IDC_LOGIN_USER, L"Cy");
  gui::SetControlText(logIn_, IDC_LOGIN_PASSWORD, L"Fourth#4");
  gui::Click(logIn_, IDOK);
  EXPECT_EQ(AnswerBox(kLogInTitle, IDOK, logIn_), kLogInConfirmText);
  ASSERT_TRUE(gui::WaitUntilGone(logIn_));
  EXPECT_EQ(LinkTarget(L'H'), CRYPTDSK_DEVICE_NAME);
  EXPECT_TRUE(DriverHasImage());
}

}  // namespace
