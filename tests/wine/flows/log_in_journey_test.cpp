// Logging in through the screens with the real key file and registry, a lock
// refused while a file is open on the drive, and after a crash the Privacy
// Alert of the next start locking the drive that was left open. Each
// scenario but the first starts with Bea created and locked.
#include <string>

#include "account_texts.h"
#include "client_texts.h"
#include "cryptdsk_protocol.h"
#include "flows_fixture.h"
#include "resource_ids.h"
#include "volume_texts.h"

namespace {

void RegisterStorage(const wchar_t* name, const std::wstring& path) {
  ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, CT_W(CT_REG_USERS_KEY), name, REG_SZ, path.c_str(),
                            static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t))),
            ERROR_SUCCESS);
}

class LogInJourney : public LockedUserJourney {
 protected:
  LogInJourney() : LockedUserJourney(L"Bea") {}

  // Logs in with `name` and `password`, answers the box titled `title` with
  // `button` and gives its text; the dialog stays usable with what was typed.
  std::wstring Refusal(const wchar_t* name, const wchar_t* password, const wchar_t* title,
                       int button = IDOK) {
    gui::SetControlText(logIn_, IDC_LOGIN_USER, name);
    gui::SetControlText(logIn_, IDC_LOGIN_PASSWORD, password);
    gui::Click(logIn_, IDOK);
    const std::wstring text = AnswerBox(title, button, logIn_);
    EXPECT_TRUE(gui::WaitUntilEnabled(logIn_, IDOK));
    for (int id :
         {IDCANCEL, IDC_LOGIN_FORGOT, IDC_LOGIN_CHANGE, IDC_LOGIN_NEW_USER, IDC_LOGIN_HELP}) {
      EXPECT_TRUE(gui::ControlEnabled(logIn_, id)) << id;
    }
    EXPECT_EQ(gui::ControlText(logIn_, IDC_LOGIN_USER), name);
    EXPECT_EQ(gui::ControlText(logIn_, IDC_LOGIN_PASSWORD), password);
    return text;
  }

  // Bea logs in from a new start; the drive opens as H:.
  void LogIn() {
    ASSERT_NO_FATAL_FAILURE(StartAtLogIn());
    flow_screens::LogInThroughTheScreen(logIn_, L"Bea", L"Secret#1");
    ASSERT_EQ(LinkTarget(L'H'), CRYPTDSK_DEVICE_NAME);
  }
};

TEST_F(FlowJourney, ANineHundredNinetyNineMegabyteUserGetsItsContainerAndRecoveryFile) {
  ASSERT_NO_FATAL_FAILURE(CreateLockedUser(L"Bea", L"Secret#1", &kRecoveryAnswers, L"999"));
  const std::wstring container = StoragePath(L"Cryptelle_Bea");
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  ASSERT_TRUE(GetFileAttributesExW(container.c_str(), GetFileExInfoStandard, &data));
  EXPECT_EQ((static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow,
            999ull * 1048576);
  EXPECT_TRUE(FileExists(RecoveryFilePath(L"Bea")));
  HandOver(L"Cryptelle_Bea", L"Bea");
}

TEST_F(LogInJourney, RefusesEmptyFieldsUnknownUsersWrongPasswordsAndMissingContainers) {
  // Zed has a key file but no registered storage; Yan's registered storage
  // file is gone. Both get the same message.
  ASSERT_TRUE(CopyFileW(KeyFilePath(L"Bea").c_str(), KeyFilePath(L"Zed").c_str(), FALSE));
  ASSERT_TRUE(CopyFileW(KeyFilePath(L"Bea").c_str(), KeyFilePath(L"Yan").c_str(), FALSE));
  RegisterStorage(L"Yan", StoragePath(L"gone"));
  ASSERT_NO_FATAL_FAILURE(StartAtLogIn());

  EXPECT_EQ(Refusal(L"", L"", CT_W(CT_TITLE_LOG_IN)), CT_W(CT_MSG_ENTER_USERNAME));
  EXPECT_EQ(gui::FocusedControlId(logIn_), IDC_LOGIN_USER);
  EXPECT_EQ(Refusal(L"Nobody", L"x", CT_W(CT_TITLE_LOG_IN)), kUserDoesNotExistText);
  EXPECT_EQ(Refusal(L"Bea", L"", CT_W(CT_TITLE_LOG_IN)), CT_W(CT_MSG_ENTER_PASSWORD));
  EXPECT_EQ(gui::FocusedControlId(logIn_), IDC_LOGIN_PASSWORD);
  EXPECT_EQ(Refusal(L"Bea", L"Secret#2", kCreateUserTitle), kPasswordMismatchText);
  EXPECT_EQ(Refusal(L"Zed", L"Secret#1", CT_W(CT_TITLE_LOG_IN)), CT_W(CT_MSG_STORAGE_FILE_MISSING));
  EXPECT_EQ(Refusal(L"Yan", L"Secret#1", CT_W(CT_TITLE_LOG_IN)), CT_W(CT_MSG_STORAGE_FILE_MISSING));
}

TEST_F(LogInJourney, CancellingTheConfirmationGivesNoDriveAndConfirmingOpensH) {
  ASSERT_NO_FATAL_FAILURE(StartAtLogIn());
  // The confirmation's Cancel: the dialog stays usable and no letter is given.
  EXPECT_EQ(Refusal(L"Bea", L"Secret#1", kLogInTitle, IDCANCEL), kLogInConfirmText);
  EXPECT_EQ(LinkTarget(L'H'), L"<none>");
  EXPECT_FALSE(DriverHasImage());

  gui::Click(logIn_, IDOK);
  EXPECT_EQ(AnswerBox(kLogInTitle, IDOK, logIn_), kLogInConfirmText);
  ASSERT_TRUE(gui::WaitUntilGone(logIn_));
  EXPECT_EQ(LinkTarget(L'H'), CRYPTDSK_DEVICE_NAME);
  EXPECT_TRUE(DriverHasImage());
}

TEST_F(LogInJourney, LockAndExitIsRefusedWhileAFileIsOpenOnTheDrive) {
  ASSERT_NO_FATAL_FAILURE(LogIn());
  // A file open on the drive: Lock & Exit is refused with the letter
  // message, and the drive and the tray menu stay in use.
  MarkFileOpenOnVolume(1);
  HWND mainWindow = gui::WaitForMainWindow();
  ASSERT_NE(mainWindow, nullptr);
  PostMessageW(mainWindow, WM_COMMAND, IDM_LOCK_EXIT, 0);
  const std::wstring letterMessage = AnswerBox(kPrivacyAlertBoxTitle, IDCANCEL);
  EXPECT_EQ(letterMessage.find(L"\nYour Cryptelle is opened as ( H: ) drive.\n"), 0u)
      << letterMessage;
  EXPECT_TRUE(client_.Running());
  EXPECT_TRUE(DriverHasImage());
  EXPECT_EQ(LinkTarget(L'H'), CRYPTDSK_DEVICE_NAME);
  PostMessageW(mainWindow, WM_COMMAND, IDM_ABOUT, 0);
  HWND about = gui::WaitForDialog(CT_W(CT_TITLE_ABOUT));
  ASSERT_NE(about, nullptr);
  gui::Click(about, IDOK);
  ASSERT_TRUE(gui::WaitUntilGone(about));
}

TEST_F(LogInJourney, AfterACrashThePrivacyAlertOfTheNextStartLocksTheDrive) {
  ASSERT_NO_FATAL_FAILURE(LogIn());
  // The client dies with the drive open; the next start offers to lock it.
  client_.Kill();
  EXPECT_TRUE(DriverHasImage());
  HWND alert = StartWithStandIn(CT_W(CT_TITLE_PRIVACY_ALERT_DIALOG));
  ASSERT_NE(alert, nullptr);
  gui::Click(alert, IDOK);
  logIn_ = gui::WaitForDialog(CT_W(CT_TITLE_LOG_IN));
  ASSERT_NE(logIn_, nullptr);
  EXPECT_FALSE(DriverHasImage());
  EXPECT_EQ(LinkTarget(L'H'), L"<none>");
  EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, CT_W(CT_REG_STATUS_KEY), CT_W(CT_REG_OPEN_VALUE)),
            L"<none>");
  gui::Click(logIn_, IDCANCEL);
  EXPECT_TRUE(client_.WaitForExit());
}

TEST_F(LogInJourney, AContainerAttachedMeanwhileEndsTheProgramAsItsMessageSays) {
  ASSERT_NO_FATAL_FAILURE(StartAtLogIn());
  AttachContainer();
  gui::SetControlText(logIn_, IDC_LOGIN_USER, L"Bea");
  gui::SetControlText(logIn_, IDC_LOGIN_PASSWORD, L"Secret#1");
  gui::Click(logIn_, IDOK);
  EXPECT_EQ(AnswerBox(kLogInTitle, IDOK, logIn_), kLogInConfirmText);
  EXPECT_EQ(AnswerBox(kCreateForUserTitle), kAlreadyOpenText);
  // No general error after it: the program closes, as the message said.
  EXPECT_TRUE(client_.WaitForExit());
  DetachContainer();
}

TEST_F(LogInJourney, AKeyFolderEntryTooLongForAPathIsNotAUser) {
  // The only entry is one whose full path exceeds a path's length: the start
  // goes on to Welcome instead of ending without a word.
  ASSERT_TRUE(DeleteFileW(KeyFilePath(L"Bea").c_str()));
  const std::wstring path = L"\\\\?\\" + folder_ + L"\\Key\\" + std::wstring(240, L'k') + L".user";
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  CloseHandle(file);
  EXPECT_NE(StartWithStandIn(CT_W(CT_TITLE_WELCOME)), nullptr);
  DeleteFileW(path.c_str());
}

}  // namespace
