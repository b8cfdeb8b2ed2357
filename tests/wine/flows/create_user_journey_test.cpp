// Creating a user through the screens: the refusals that matter, then a
// container created by the driver, formatted and opened as H:, and Lock &
// Exit leaving nothing behind.
#include <string>

#include "account_texts.h"
#include "client_texts.h"
#include "cryptdsk_protocol.h"
#include "flows_fixture.h"
#include "resource_ids.h"
#include "volume_texts.h"

namespace {

const std::wstring kCreateUser = CT_W(CT_TITLE_CREATE_USER);
const std::wstring kCreateForUser = CT_W(CT_TITLE_CREATE_FOR_USER);
constexpr wchar_t kDriveIconKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\DriveIcons\\H\\DefaultIcon";

void WriteFileWith(const std::wstring& path, const char* content) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(file, content, static_cast<DWORD>(strlen(content)), &written, nullptr);
  CloseHandle(file);
}

std::string ReadWholeFile(const std::wstring& path) {
  HANDLE file =
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "<none>";
  char content[256] = {};
  DWORD read = 0;
  ReadFile(file, content, sizeof(content) - 1, &read, nullptr);
  CloseHandle(file);
  return std::string(content, read);
}

ULONGLONG FileSize(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

class CreateUserJourney : public FlowJourney {
 protected:
  // Create User from the first start's Welcome.
  HWND OpenCreateUser() {
    StartWithStandIn(CT_W(CT_TITLE_WELCOME));
    return OpenCreateUserFromWelcome();
  }

  // Ann_2 with "Secret#1" taken on Create User: Storage Setup, with the size
  // and the name that the creation uses, and the first generation, whose
  // container the Linux-side checks read.
  HWND OpenStorageSetup() {
    HWND createUser = OpenCreateUser();
    if (createUser == nullptr) return nullptr;
    FillUser(createUser, L"Ann_2", L"Secret#1", L"Secret#1");
    gui::Click(createUser, IDOK);
    HWND storage = gui::WaitForDialog(CT_W(CT_TITLE_STORAGE_SETUP));
    if (storage == nullptr) return nullptr;
    gui::SetControlText(storage, IDC_STORAGE_SIZE, L"5");
    gui::SetControlText(storage, IDC_STORAGE_NAME, L"Cryptelle_Ann_2");
    flow_screens::ChooseDriveEncryption(storage, flow_screens::DriveEncryption::kFirstSectorsOnly);
    return storage;
  }

  // Presses OK on `dialog`, expects the box titled `title` to say `text`,
  // and the dialog usable again with `focus` (when not 0) focused.
  void RefusedWith(HWND dialog, const std::wstring& title, const wchar_t* text, int focus) {
    gui::Click(dialog, IDOK);
    EXPECT_EQ(AnswerBox(title.c_str(), IDOK, dialog), text);
    ASSERT_TRUE(gui::WaitUntilEnabled(dialog, IDOK));
    if (focus != 0) {
      EXPECT_EQ(gui::FocusedControlId(dialog), focus) << text;
    }
  }
};

TEST_F(CreateUserJourney, RefusesNamesThatAreNotPlain) {
  HWND createUser = OpenCreateUser();
  ASSERT_NE(createUser, nullptr);
  for (const wchar_t* name : {L"Ann-2", L"Ann 2", L"Ann.2"}) {
    FillUser(createUser, name, L"Secret#1", L"Secret#1");
    RefusedWith(createUser, kCreateUser, CT_W(CT_MSG_USERNAME_NOT_PLAIN), IDC_NEW_USER_NAME);
  }
}

TEST_F(CreateUserJourney, RefusesANameThatALeftOverRecoveryFileTakes) {
  // A recovery file is all that is left of an earlier "Bob".
  WriteFileWith(RecoveryFilePath(L"Bob"), "left over");
  HWND createUser = OpenCreateUser();
  ASSERT_NE(createUser, nullptr);
  FillUser(createUser, L"Bob", L"Secret#1", L"Secret#1");
  RefusedWith(createUser, kCreateUser, CT_W(CT_MSG_USERNAME_EXISTS), 0);
}

TEST_F(CreateUserJourney, RefusesDifferingPasswordsAndClearsBoth) {
  HWND createUser = OpenCreateUser();
  ASSERT_NE(createUser, nullptr);
  FillUser(createUser, L"Ann_2", L"Secret#1", L"Secret#2");
  RefusedWith(createUser, kCreateUser, CT_W(CT_MSG_PASSWORDS_DIFFER), IDC_NEW_PASSWORD);
  EXPECT_EQ(gui::ControlText(createUser, IDC_NEW_PASSWORD), L"");
  EXPECT_EQ(gui::ControlText(createUser, IDC_NEW_PASSWORD_AGAIN), L"");
  EXPECT_EQ(gui::ControlText(createUser, IDC_NEW_USER_NAME), L"Ann_2");
}

TEST_F(CreateUserJourney, WritesNothingBeforeTheStorageScreen) {
  HWND storage = OpenStorageSetup();
  ASSERT_NE(storage, nullptr);
  EXPECT_FALSE(FileExists(KeyFilePath(L"Ann_2")));
  gui::Click(storage, IDCANCEL);
  EXPECT_TRUE(client_.WaitForExit());
}

TEST_F(CreateUserJourney, StorageScreenRefusesSmallSizesNamesNotPlainLongPathsAndTakenFiles) {
  HWND storage = OpenStorageSetup();
  ASSERT_NE(storage, nullptr);
  // The size field takes four digits at most: 10000 cannot be typed.
  EXPECT_EQ(SendMessageW(GetDlgItem(storage, IDC_STORAGE_SIZE), EM_GETLIMITTEXT, 0, 0), 4);

  gui::SetControlText(storage, IDC_STORAGE_SIZE, L"4");
  RefusedWith(storage, kCreateUser, CT_W(CT_MSG_STORAGE_SIZE_MINIMUM), IDC_STORAGE_SIZE);
  // A pasted size that is not a number is refused here, not by the mount.
  gui::SetControlText(storage, IDC_STORAGE_SIZE, L"12a");
  RefusedWith(storage, kCreateUser, CT_W(CT_MSG_ENTER_STORAGE_SIZE), IDC_STORAGE_SIZE);
  gui::SetControlText(storage, IDC_STORAGE_SIZE, L"5");
  gui::SetControlText(storage, IDC_STORAGE_NAME, L"My.Box");
  RefusedWith(storage, kCreateUser, CT_W(CT_MSG_STORAGE_NAME_NOT_PLAIN), IDC_STORAGE_NAME);
  gui::SetControlText(storage, IDC_STORAGE_NAME, L"Cryptelle_Ann_2");

  const std::wstring folder = gui::ControlText(storage, IDC_STORAGE_FOLDER);
  gui::SetControlText(storage, IDC_STORAGE_FOLDER, L"C:\\" + std::wstring(237, L'f'));
  RefusedWith(storage, kCreateForUser, CT_W(CT_MSG_STORAGE_FILE_NAME_LONG), 0);
  gui::SetControlText(storage, IDC_STORAGE_FOLDER, folder);

  // Someone else's container at the chosen path is refused and left as it is.
  const std::wstring existing = StoragePath(L"Cryptelle_Ann_2");
  WriteFileWith(existing, "another user's data");
  RefusedWith(storage, kCreateForUser, CT_W(CT_MSG_STORAGE_FILE_EXISTS), IDC_STORAGE_NAME);
  EXPECT_EQ(ReadWholeFile(existing), "another user's data");
  EXPECT_FALSE(FileExists(KeyFilePath(L"Ann_2")));
  // Nor is it held open.
  EXPECT_TRUE(DeleteFileW(existing.c_str()));
}

TEST_F(CreateUserJourney, CancellingTheCreationConfirmationLeavesNothingBehind) {
  HWND storage = OpenStorageSetup();
  ASSERT_NE(storage, nullptr);
  // Cancelling the confirmation returns to the screen, usable, with nothing
  // left on disk or in the driver.
  gui::Click(storage, IDOK);
  EXPECT_EQ(AnswerBox(kUserCreationTitle, IDCANCEL), kUserCreationConfirmText);
  ASSERT_TRUE(gui::WaitUntilEnabled(storage, IDOK));
  for (int id : {IDC_STORAGE_NAME, IDC_STORAGE_SIZE, IDC_STORAGE_BROWSE, IDCANCEL}) {
    EXPECT_TRUE(gui::ControlEnabled(storage, id)) << id;
  }
  EXPECT_FALSE(FileExists(KeyFilePath(L"Ann_2")));
  EXPECT_FALSE(FileExists(StoragePath(L"Cryptelle_Ann_2")));
  EXPECT_FALSE(DriverHasImage());
}

TEST_F(CreateUserJourney, AFiveMegabyteUserIsCreatedOpenedAndLockedClean) {
  HWND storage = OpenStorageSetup();
  ASSERT_NE(storage, nullptr);
  gui::Click(storage, IDOK);
  EXPECT_EQ(AnswerBox(kUserCreationTitle), kUserCreationConfirmText);
  ASSERT_TRUE(gui::WaitUntilGone(storage));

  std::wstring stored = StoragePath(L"Cryptelle_Ann_2");
  for (wchar_t& unit : stored) unit = static_cast<wchar_t>(towlower(unit));
  EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, CT_W(CT_REG_USERS_KEY), L"Ann_2"), stored);
  EXPECT_EQ(FileSize(stored), 5ull * 1048576);
  EXPECT_TRUE(FileExists(KeyFilePath(L"Ann_2")));
  EXPECT_EQ(LinkTarget(L'H'), CRYPTDSK_DEVICE_NAME);
  EXPECT_TRUE(DriverHasImage());
  EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, CT_W(CT_REG_STATUS_KEY), CT_W(CT_REG_OPEN_VALUE)),
            L"H:");
  EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, kDriveIconKey, nullptr),
            folder_ + L"\\" + CT_W(CT_OPEN_ICON_FILE));
  EXPECT_EQ(RegistryText(HKEY_CURRENT_USER, L"Software\\CryptelleTestBed\\Labels", L"H"),
            kVolumeLabel);
  const std::wstring shortcut = L"C:\\users\\Public\\Documents\\" CT_W(CT_SHORTCUT_FILE);
  EXPECT_TRUE(FileExists(shortcut));

  // Lock & Exit from the tray menu: the Locked balloon stays up for its 20
  // seconds, then the program ends with everything put back.
  HWND mainWindow = gui::WaitForMainWindow();
  ASSERT_NE(mainWindow, nullptr);
  PostMessageW(mainWindow, WM_COMMAND, IDM_LOCK_EXIT, 0);
  ASSERT_TRUE(client_.WaitForExit());
  EXPECT_FALSE(DriverHasImage());
  EXPECT_EQ(LinkTarget(L'H'), L"<none>");
  EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, CT_W(CT_REG_STATUS_KEY), CT_W(CT_REG_OPEN_VALUE)),
            L"<none>");
  EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, kDriveIconKey, nullptr), L"");
  EXPECT_FALSE(FileExists(shortcut));
  HandOver(L"Cryptelle_Ann_2", L"Ann_2");
}

TEST_F(FlowJourney, FailedFormatRemovesWhatTheCreationMadeAndNothingElse) {
  // Another user's container in the same folder must survive the clean-up.
  const std::wstring neighbour = StoragePath(L"Cryptelle_Other");
  WriteFileWith(neighbour, "another user's data");
  SetEnvironmentVariableW(L"CRYPTELLE_FMIFS_RESULT", L"fail");
  StartWithStandIn(CT_W(CT_TITLE_WELCOME));
  SetEnvironmentVariableW(L"CRYPTELLE_FMIFS_RESULT", nullptr);
  HWND createUser = OpenCreateUserFromWelcome();
  ASSERT_NE(createUser, nullptr);
  FillUser(createUser, L"Dee", L"Secret#1", L"Secret#1");
  gui::Click(createUser, IDC_RECOVERY_YES);
  gui::Click(createUser, IDOK);
  HWND recovery = gui::WaitForDialog(CT_W(CT_TITLE_RECOVERY_SETUP));
  ASSERT_NE(recovery, nullptr);
  FillAnswers(recovery, IDC_ANSWER_MAIDEN, kRecoveryAnswers);
  gui::Click(recovery, IDOK);
  HWND storage = gui::WaitForDialog(CT_W(CT_TITLE_STORAGE_SETUP));
  ASSERT_NE(storage, nullptr);
  gui::SetControlText(storage, IDC_STORAGE_SIZE, L"5");
  flow_screens::ChooseDriveEncryption(storage, flow_screens::DriveEncryption::kFirstSectorsOnly);
  gui::Click(storage, IDOK);
  EXPECT_EQ(AnswerBox(kUserCreationTitle), kUserCreationConfirmText);
  // The half-made drive is locked quietly (with its Locked balloon) first.
  EXPECT_EQ(AnswerBox(kCreateForUser.c_str()), CT_W(CT_MSG_USER_NOT_CREATED));
  EXPECT_EQ(AnswerBox(CT_W(CT_PRODUCT)), CT_W(CT_MSG_GENERAL_ERROR));
  ASSERT_TRUE(client_.WaitForExit());

  EXPECT_FALSE(FileExists(KeyFilePath(L"Dee")));
  EXPECT_FALSE(FileExists(RecoveryFilePath(L"Dee")));
  EXPECT_FALSE(FileExists(StoragePath(L"Cryptelle_Dee")));
  EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, CT_W(CT_REG_USERS_KEY), L"Dee"), L"<none>");
  EXPECT_FALSE(DriverHasImage());
  EXPECT_EQ(LinkTarget(L'H'), L"<none>");
  EXPECT_EQ(ReadWholeFile(neighbour), "another user's data");
}

}  // namespace
