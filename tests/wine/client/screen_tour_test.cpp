// The remaining screens of the chain, reached the way a user reaches them.
#include "client_fixture.h"
#include "client_texts.h"
#include "resource_ids.h"

namespace {

HWND ClickAndWaitFor(HWND dialog, int id, const wchar_t* title) {
  gui::Click(dialog, id);
  return gui::WaitForDialog(title);
}

}  // namespace

TEST_F(ClientJourney, CreateUserWithRecoveryFileLeadsToRecoveryThenStorage) {
  HWND welcome = StartAndWaitFor(CT_W(CT_TITLE_WELCOME));
  ASSERT_NE(welcome, nullptr);
  HWND intro = ClickAndWaitFor(welcome, IDOK, CT_W(CT_TITLE_NEW_USER_INTRO));
  ASSERT_NE(intro, nullptr);
  HWND createUser = ClickAndWaitFor(intro, IDOK, CT_W(CT_TITLE_CREATE_USER));
  ASSERT_NE(createUser, nullptr);
  EXPECT_EQ(IsDlgButtonChecked(createUser, IDC_RECOVERY_NO), BST_CHECKED);
  gui::SetControlText(createUser, IDC_NEW_USER_NAME, L"Ann_2");
  gui::SetControlText(createUser, IDC_NEW_PASSWORD, L"Secret#1");
  gui::SetControlText(createUser, IDC_NEW_PASSWORD_AGAIN, L"Secret#1");
  gui::Click(createUser, IDC_RECOVERY_YES);
  HWND recovery = ClickAndWaitFor(createUser, IDOK, CT_W(CT_TITLE_RECOVERY_SETUP));
  ASSERT_NE(recovery, nullptr);
  Screenshot(recovery, "806-recovery-file");
  gui::SetControlText(recovery, IDC_ANSWER_MAIDEN, L"Smith");
  gui::SetControlText(recovery, IDC_ANSWER_HOBBY, L"Chess");
  gui::SetControlText(recovery, IDC_ANSWER_FOOD, L"Soup");
  HWND storage = ClickAndWaitFor(recovery, IDOK, CT_W(CT_TITLE_STORAGE_SETUP));
  ASSERT_NE(storage, nullptr);
  EXPECT_EQ(gui::ControlText(storage, IDC_STORAGE_NAME), L"Cryptelle_Ann_2");
  EXPECT_EQ(gui::ControlText(storage, IDC_STORAGE_SIZE), L"999");
  EXPECT_EQ(gui::ControlText(storage, IDC_STORAGE_FOLDER), folder_ + L"\\CryptDsks");
  // A new user is offered the whole drive encrypted, already chosen.
  EXPECT_TRUE(gui::Checked(storage, IDC_STORAGE_WHOLE_DRIVE));
  EXPECT_EQ(gui::ControlText(storage, IDC_STORAGE_WHOLE_DRIVE), CT_W(CT_CHECK_WHOLE_DRIVE));
  Screenshot(storage, "808-storage");
  const std::wstring recoveryFile = folder_ + L"\\PRF\\Ann_2.prf";
  // Written only once the storage screen's choice gives its generation.
  EXPECT_EQ(GetFileAttributesW(recoveryFile.c_str()), INVALID_FILE_ATTRIBUTES);
  // Cancel here ends the program and takes back what the flow wrote.
  gui::Click(storage, IDCANCEL);
  EXPECT_TRUE(client_.WaitForExit());
  EXPECT_EQ(GetFileAttributesW(recoveryFile.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(ClientJourney, CreateUserWithoutRecoveryFileGoesStraightToStorage) {
  HWND welcome = StartAndWaitFor(CT_W(CT_TITLE_WELCOME));
  ASSERT_NE(welcome, nullptr);
  HWND intro = ClickAndWaitFor(welcome, IDOK, CT_W(CT_TITLE_NEW_USER_INTRO));
  ASSERT_NE(intro, nullptr);
  HWND createUser = ClickAndWaitFor(intro, IDOK, CT_W(CT_TITLE_CREATE_USER));
  ASSERT_NE(createUser, nullptr);
  gui::Click(createUser, IDC_RECOVERY_WHAT);
  HWND explanation = gui::WaitForDialog(CT_W(CT_TITLE_RECOVERY_OPTION));
  ASSERT_NE(explanation, nullptr);
  EXPECT_EQ(gui::MessageBoxText(explanation), CT_W(CT_MSG_RECOVERY_OPTION));
  gui::Click(explanation, IDOK);
  ASSERT_TRUE(gui::WaitUntilGone(explanation));
  gui::SetControlText(createUser, IDC_NEW_USER_NAME, L"ann");
  gui::SetControlText(createUser, IDC_NEW_PASSWORD, L"Secret#1");
  gui::SetControlText(createUser, IDC_NEW_PASSWORD_AGAIN, L"Secret#1");
  HWND storage = ClickAndWaitFor(createUser, IDOK, CT_W(CT_TITLE_STORAGE_SETUP));
  ASSERT_NE(storage, nullptr);
  EXPECT_EQ(gui::FindDialog(CT_W(CT_TITLE_RECOVERY_SETUP)), nullptr);
  gui::Click(storage, IDCANCEL);
  EXPECT_TRUE(client_.WaitForExit());
}

TEST_F(ClientJourney, LogInLeadsToRecoverPasswordWhoseCancelEndsTheProgram) {
  RegisterUser(L"ann");
  AddKeyFile(L"ann");
  HWND logIn = StartAndWaitFor(CT_W(CT_TITLE_LOG_IN));
  ASSERT_NE(logIn, nullptr);
  EXPECT_EQ(gui::ControlText(logIn, IDC_LOGIN_NEW_USER), CT_W(CT_BUTTON_NEW_USER));
  Screenshot(logIn, "814-log-in");
  HWND recover = ClickAndWaitFor(logIn, IDC_LOGIN_FORGOT, CT_W(CT_TITLE_RECOVER_PASSWORD));
  ASSERT_NE(recover, nullptr);
  Screenshot(recover, "807-recover-password");
  gui::Click(recover, IDCANCEL);
  EXPECT_TRUE(client_.WaitForExit());
}

TEST_F(ClientJourney, ChangePasswordCancelReturnsToLogInAndNewUserToTheIntroduction) {
  RegisterUser(L"ann");
  AddKeyFile(L"ann");
  HWND logIn = StartAndWaitFor(CT_W(CT_TITLE_LOG_IN));
  ASSERT_NE(logIn, nullptr);
  HWND change = ClickAndWaitFor(logIn, IDC_LOGIN_CHANGE, CT_W(CT_TITLE_CHANGE_PASSWORD));
  ASSERT_NE(change, nullptr);
  EXPECT_TRUE(gui::ControlEnabled(change, IDC_CHANGE_USER));
  Screenshot(change, "810-change-password");
  logIn = ClickAndWaitFor(change, IDCANCEL, CT_W(CT_TITLE_LOG_IN));
  ASSERT_NE(logIn, nullptr);
  HWND intro = ClickAndWaitFor(logIn, IDC_LOGIN_NEW_USER, CT_W(CT_TITLE_NEW_USER_INTRO));
  ASSERT_NE(intro, nullptr);
  gui::Click(intro, IDCANCEL);
  EXPECT_TRUE(client_.WaitForExit());
}

TEST_F(ClientJourney, LogInWithTheStorageFileMissingKeepsTheDialogUsable) {
  RegisterUser(L"ann");
  AddKeyFile(L"ann");
  HWND logIn = StartAndWaitFor(CT_W(CT_TITLE_LOG_IN));
  ASSERT_NE(logIn, nullptr);
  gui::SetControlText(logIn, IDC_LOGIN_USER, L"ann");
  gui::Click(logIn, IDOK);
  // The refusal carries the dialog's own title.
  HWND refusal = gui::WaitForDialog(CT_W(CT_TITLE_LOG_IN), logIn);
  ASSERT_NE(refusal, nullptr);
  EXPECT_EQ(gui::MessageBoxText(refusal), CT_W(CT_MSG_STORAGE_FILE_MISSING));
  gui::Click(refusal, IDOK);
  ASSERT_TRUE(gui::WaitUntilGone(refusal));
  EXPECT_TRUE(gui::WaitUntilEnabled(logIn, IDOK));
  EXPECT_EQ(gui::ControlText(logIn, IDC_LOGIN_USER), L"ann");
  gui::Click(logIn, IDCANCEL);
  EXPECT_TRUE(client_.WaitForExit());
}

TEST_F(ClientJourney, ContainerLeftAttachedOffersThePrivacyAlert) {
  AttachContainer();
  SetOpenFlag(L"H:");
  HWND alert = StartAndWaitFor(CT_W(CT_TITLE_PRIVACY_ALERT_DIALOG));
  ASSERT_NE(alert, nullptr);
  Screenshot(alert, "801-privacy-alert");
  gui::Click(alert, IDCANCEL);
  EXPECT_TRUE(client_.WaitForExit());
  DetachContainer();
}

TEST_F(ClientJourney, ContainerLeftAttachedWithMalformedFlagEndsWithRegistryMessage) {
  AttachContainer();
  SetOpenFlag(L"H:\\");
  ASSERT_TRUE(client_.Start(ExePath()));
  HWND box = gui::WaitForDialog(CT_W(CT_PRODUCT));
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(gui::MessageBoxText(box), CT_W(CT_MSG_REGISTRY_CHANGED));
  gui::Click(box, IDOK);
  EXPECT_TRUE(client_.WaitForExit());
  DetachContainer();
}
