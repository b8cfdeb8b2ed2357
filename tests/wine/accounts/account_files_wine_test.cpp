// The account files, the program-folder operations and the registry state
// against real files and Wine's registry. Messages are caught at the message
// box call and compared with the program's own texts.
#include <gtest/gtest.h>
#include <string.h>
#include <windows.h>

#include <string>
#include <vector>

#include "account_files.h"
#include "account_files_fixture.h"
#include "account_records.h"
#include "account_system.h"
#include "account_texts.h"
#include "disk_key.h"
#include "golden_inputs.h"
#include "program_folder.h"
#include "win/system_probes.h"

namespace {

using namespace account_files_test;

TEST_F(AccountFiles, WriteUserKeyFileWritesTheCommittedBytesThatTheToolReads) {
  CreateUser();
  EXPECT_EQ(ReadAll(KeyPath()), ReadAll(GoldenPath(kGoldenKeyFileName)));
  EXPECT_EQ(ReadAll(GoldenPath(kGoldenKeyFileName)).size(), kUserKeyFileSize);
}

TEST_F(AccountFiles, WriteRecoveryFileWritesTheCommittedBytes) {
  CreateUser();
  ASSERT_EQ(LocateRecoveryFile(UserName, true), 0);
  AnswerTexts answers;
  SetAnswers(answers);
  ASSERT_EQ(WriteRecoveryFile(nullptr, answers), 1);
  EXPECT_EQ(ReadAll(RecoveryPath()), ReadAll(GoldenPath(kGoldenRecoveryFileName)));
  for (const WideText& answer : answers) EXPECT_EQ(answer[0], 0);
}

TEST_F(AccountFiles, FilesWrittenByTheToolOpenInTheClient) {
  ASSERT_TRUE(CopyFileW(GoldenPath(kGoldenChangedKeyFileName).c_str(), KeyPath().c_str(), TRUE));
  SetText(UserKeyFilePath, KeyPath());
  SetText(Password.get(), Wide(kGoldenNewPassword));
  EXPECT_EQ(VerifyUserPassword(nullptr), 1);
  uint8_t diskKey[kDiskKeySize];
  ASSERT_EQ(ReadHeadOnlyDiskKey(diskKey), 1);
  uint8_t material[kKeyMaterialSize];
  GoldenRandomStream stream;
  uint8_t salt[kAccountSaltSize];
  stream.Fill(salt, sizeof(salt));
  stream.Fill(material, sizeof(material));
  uint8_t expected[kDiskKeySize];
  DiskKeyFromKeyMaterial(material, expected);
  EXPECT_EQ(0, memcmp(diskKey, expected, sizeof(diskKey)));

  ASSERT_TRUE(CopyFileW(GoldenPath(kGoldenRecoveryFileName).c_str(), RecoveryPath().c_str(), TRUE));
  ASSERT_EQ(LocateRecoveryFile(UserName, true), 1);
  AnswerTexts answers;
  SetAnswers(answers);
  Password.get()[0] = 0;
  ASSERT_EQ(ReadRecoveryFile(nullptr, answers), 1);
  EXPECT_EQ(std::wstring(Password.get()), Wide(kGoldenPassword));
  EXPECT_EQ(std::wstring(RecoveryAnswers.get()[1]), Wide(kGoldenAnswer2));
}

TEST_F(AccountFiles, WrongPasswordOrPathShowsTheMismatchMessage) {
  CreateUser();
  SetText(Password.get(), L"pa55-w\u00f6rd");
  EXPECT_EQ(VerifyUserPassword(nullptr), 0);
  SetText(Password.get(), Wide(kGoldenPassword));
  SetText(StorageFilePath, L"c:\\users\\dej\u00e0\\cryptelle_ann.cryptdsk");
  EXPECT_EQ(VerifyUserPassword(nullptr), 0);
  ASSERT_EQ(g_messages.size(), 2u);
  for (const ShownMessage& shown : g_messages) {
    EXPECT_EQ(shown.text, kPasswordMismatchText);
    EXPECT_EQ(shown.title, kCreateUserTitle);
    EXPECT_EQ(shown.style, static_cast<UINT>(MB_OK | MB_SYSTEMMODAL | MB_ICONINFORMATION));
  }
}

TEST_F(AccountFiles, MissingShortOrLockedKeyFiles) {
  SetText(UserKeyFilePath, KeyPath());
  uint8_t key[kDiskKeySize];
  EXPECT_EQ(VerifyUserPassword(nullptr), -1);
  EXPECT_EQ(ReadHeadOnlyDiskKey(key), -1);
  EXPECT_TRUE(g_messages.empty());

  CreateUser();
  Bytes file = ReadAll(KeyPath());
  WriteAll(KeyPath(), Bytes(file.begin(), file.end() - 1));
  EXPECT_EQ(VerifyUserPassword(nullptr), -1);
  EXPECT_EQ(ReadHeadOnlyDiskKey(key), -1);
  EXPECT_TRUE(g_messages.empty());

  file.resize(1000, 0x42);
  WriteAll(KeyPath(), file);
  EXPECT_EQ(VerifyUserPassword(nullptr), 1);

  HANDLE held = CreateFileW(KeyPath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_EQ(VerifyUserPassword(nullptr), -1);
  EXPECT_EQ(ReadHeadOnlyDiskKey(key), -1);
  CloseHandle(held);
  ASSERT_EQ(g_messages.size(), 1u);
  EXPECT_EQ(g_messages[0].text, kUserDoesNotExistText);
  EXPECT_EQ(g_messages[0].title, kCreateUserTitle);
}

TEST_F(AccountFiles, UnencodablePathIsRefusedAndNothingIsLeft) {
  SetText(UserKeyFilePath, KeyPath());
  WriteAll(KeyPath(), Bytes{9});  // a file left at UserKeyFilePath goes first
  SetText(StorageFilePath, L"c:\\\u4e2d\\x.cryptdsk");
  EXPECT_EQ(WriteUserKeyFile(nullptr), -1);
  EXPECT_TRUE(MustCloseProgram);
  EXPECT_FALSE(FileExists(KeyPath()));
  ASSERT_EQ(g_messages.size(), 1u);
  EXPECT_EQ(g_messages[0].text, kKeyFilePathUnencodableText);
  EXPECT_EQ(g_messages[0].title, kProductTitle);
  EXPECT_EQ(g_messages[0].style, static_cast<UINT>(MB_OK | MB_SYSTEMMODAL | MB_ICONERROR));
}

TEST_F(AccountFiles, PathOf260UnitsAndE9RoundTrip) {
  const std::wstring path = L"c:\\d\u00e9\\" + std::wstring(254, L'p');
  SetText(StorageFilePath, path);
  CreateUser();
  EXPECT_EQ(VerifyUserPassword(nullptr), 1);
}

TEST_F(AccountFiles, PasswordChangeKeepsSaltPathAndDiskKey) {
  CreateUser();
  uint8_t keyBefore[kDiskKeySize];
  ASSERT_EQ(ReadHeadOnlyDiskKey(keyBefore), 1);
  const Bytes before = ReadAll(KeyPath());
  ASSERT_EQ(ChangePassword(), 1);
  const Bytes after = ReadAll(KeyPath());
  EXPECT_EQ(after, ReadAll(GoldenPath(kGoldenChangedKeyFileName)));
  EXPECT_TRUE(std::equal(before.begin(), before.begin() + kUserKeyMaterialOffset, after.begin()));
  EXPECT_FALSE(FileExists(TemporaryPath()));
  uint8_t keyAfter[kDiskKeySize];
  ASSERT_EQ(ReadHeadOnlyDiskKey(keyAfter), 1);
  EXPECT_EQ(0, memcmp(keyBefore, keyAfter, sizeof(keyAfter)));
  EXPECT_EQ(VerifyUserPassword(nullptr), 1);
}

TEST_F(AccountFiles, UnencodablePathDuringAChangeKeepsTheEarlierFile) {
  CreateUser();
  const Bytes before = ReadAll(KeyPath());
  SetText(StorageFilePath, L"c:\\\u20ac");
  EXPECT_EQ(ChangePassword(), -1);
  EXPECT_EQ(ReadAll(KeyPath()), before);
  ASSERT_EQ(g_messages.size(), 1u);
  EXPECT_EQ(g_messages[0].text, kKeyFilePathUnencodableChangeText);
}

TEST_F(AccountFiles, LeftoverTemporaryFileFailsTheChange) {
  CreateUser();
  const Bytes before = ReadAll(KeyPath());
  WriteAll(TemporaryPath(), Bytes{1, 2, 3});
  EXPECT_EQ(ChangePassword(), -1);
  EXPECT_EQ(ReadAll(KeyPath()), before);
  EXPECT_EQ(ReadAll(TemporaryPath()), (Bytes{1, 2, 3}));
}

TEST_F(AccountFiles, EarlierKeyFileSurvivesEveryFaultDuringAChange) {
  CreateUser();
  const Bytes before = ReadAll(KeyPath());
  struct Case {
    const char* name;
    Faults faults;
    bool temporaryStays;
  };
  Faults failWrite, fullDisk, failFlush, readOnly, crash;
  failWrite.failWrite = true;
  fullDisk.shortWrite = 100;
  failFlush.failFlush = true;
  readOnly.failCreate = true;
  crash.failMove = true;
  const Case cases[] = {{"failed write", failWrite, false},
                        {"full disk", fullDisk, false},
                        {"failed flush", failFlush, false},
                        {"read-only folder", readOnly, false},
                        {"crash before the replace", crash, true}};
  for (const Case& c : cases) {
    g_faults = c.faults;
    EXPECT_EQ(ChangePassword(), -1) << c.name;
    EXPECT_EQ(ReadAll(KeyPath()), before) << c.name;
    EXPECT_EQ(FileExists(TemporaryPath()), c.temporaryStays) << c.name;
    if (c.temporaryStays) {
      EXPECT_EQ(ReadAll(TemporaryPath()).size(), kUserKeyFileSize);
      DeleteFileW(TemporaryPath().c_str());
    }
  }
  g_faults = Faults{};
  SetText(Password.get(), Wide(kGoldenPassword));
  EXPECT_EQ(VerifyUserPassword(nullptr), 1);
}

TEST_F(AccountFiles, FailedWriteOfANewUserLeavesNoKeyFile) {
  g_faults.shortWrite = 10;
  EXPECT_EQ(WriteUserKeyFile(nullptr), -1);
  EXPECT_FALSE(FileExists(KeyPath()));
}

TEST_F(AccountFiles, RecoveryWithAnAnswerDifferingInCaseChangesNothing) {
  ASSERT_EQ(LocateRecoveryFile(UserName, true), 0);
  AnswerTexts answers;
  SetAnswers(answers);
  ASSERT_EQ(WriteRecoveryFile(nullptr, answers), 1);
  SetAnswers(answers);
  SetText(answers[2], L"pasta");
  SetText(Password.get(), L"unchanged");
  EXPECT_EQ(ReadRecoveryFile(nullptr, answers), 0);
  EXPECT_EQ(std::wstring(Password.get()), L"unchanged");
  EXPECT_TRUE(g_messages.empty());
}

TEST_F(AccountFiles, RecoveryFileOfWrongSizeShowsTheSizeMessage) {
  ASSERT_EQ(LocateRecoveryFile(UserName, true), 0);
  AnswerTexts answers;
  SetAnswers(answers);
  for (size_t size : {kRecoveryFileSize - 1, kRecoveryFileSize + 1}) {
    WriteAll(RecoveryPath(), Bytes(size, 0));
    EXPECT_EQ(ReadRecoveryFile(nullptr, answers), -1);
  }
  ASSERT_EQ(g_messages.size(), 2u);
  EXPECT_EQ(g_messages[1].text, kRecoveryFileSizeText);
  EXPECT_EQ(g_messages[1].title, kRecoverPasswordTitle);
}

TEST_F(AccountFiles, RecoveryPasswordWithEuroIsRefusedInEitherMode) {
  ASSERT_EQ(LocateRecoveryFile(UserName, true), 0);
  AnswerTexts answers;
  SetAnswers(answers);
  SetText(Password.get(), L"5\u20ac");
  EXPECT_EQ(WriteRecoveryFile(nullptr, answers), -1);
  EXPECT_FALSE(FileExists(RecoveryPath()));

  WriteAll(RecoveryPath(), Bytes(kRecoveryFileSize, 1));
  ChangingPassword = true;
  EXPECT_EQ(WriteRecoveryFile(nullptr, answers), 0);
  ChangingPassword = false;
  EXPECT_FALSE(FileExists(RecoveryPath()));
  ASSERT_EQ(g_messages.size(), 2u);
  EXPECT_EQ(g_messages[0].text, kRecoveryPasswordUnencodableText);
  EXPECT_EQ(g_messages[1].text, kRecoveryPasswordUnencodableChangeText);
  EXPECT_EQ(g_messages[1].style, static_cast<UINT>(MB_OK | MB_SYSTEMMODAL | MB_ICONERROR));
}

TEST_F(AccountFiles, FailedRecoveryWriteLeavesNoFile) {
  ASSERT_EQ(LocateRecoveryFile(UserName, true), 0);
  AnswerTexts answers;
  SetAnswers(answers);
  g_faults.shortWrite = 500;
  EXPECT_EQ(WriteRecoveryFile(nullptr, answers), -1);
  EXPECT_FALSE(FileExists(RecoveryPath()));
}

TEST_F(AccountFiles, FolderAndLocateOperations) {
  EXPECT_EQ(KeyFolderExists(), 1);
  EXPECT_EQ(StorageFolderExists(), 1);
  EXPECT_EQ(LocateUserKeyFile(L"Ann", false), 0);
  CreateUser();
  EXPECT_EQ(LocateUserKeyFile(L"ANN", false), 1);  // the file system ignores case
  EXPECT_EQ(DefaultStorageFileExists(L"Ann"), 0);
  WriteAll(folder_ + L"\\CryptDsks\\Cryptelle_Ann.cryptdsk", Bytes{0});
  EXPECT_EQ(DefaultStorageFileExists(L"Ann"), 1);
  EXPECT_EQ(LocateUserKeyFile(std::wstring(260, L'n').c_str(), true), -1);
  EXPECT_EQ(std::wstring(UserKeyFilePath), KeyPath());  // untouched by the failure
  ASSERT_TRUE(RemoveDirectoryW((folder_ + L"\\CryptDsks").c_str()) ||
              (DeleteFileW((folder_ + L"\\CryptDsks\\Cryptelle_Ann.cryptdsk").c_str()) &&
               RemoveDirectoryW((folder_ + L"\\CryptDsks").c_str())));
  WriteAll(folder_ + L"\\CryptDsks", Bytes{0});
  EXPECT_EQ(StorageFolderExists(), 0);  // a plain file is not the folder
}

TEST_F(AccountFiles, EveryKeyTemporaryAndRecoveryFileIsCreatedPrivate) {
  CreateUser();
  ASSERT_EQ(ChangePassword(), 1);
  ASSERT_EQ(LocateRecoveryFile(UserName, true), 0);
  AnswerTexts answers;
  SetAnswers(answers);
  ASSERT_EQ(WriteRecoveryFile(nullptr, answers), 1);
  const std::wstring privateSddl = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
  const std::vector<std::pair<std::wstring, std::wstring>> expected = {
      {KeyPath(), privateSddl}, {TemporaryPath(), privateSddl}, {RecoveryPath(), privateSddl}};
  EXPECT_EQ(g_created, expected);
}

// Under Wine a symbolic link to a folder reads as a reparse point, so the
// Key folder can really be one; for the files the seam says so.
bool MakeUnixLink(const std::wstring& target, const std::wstring& link) {
  using UnixName = char*(CDECL*)(LPCWSTR);
  const auto unixName = reinterpret_cast<UnixName>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")));
  if (unixName == nullptr) return false;
  char* from = unixName(target.c_str());
  char* to = unixName(link.c_str());
  std::wstring command = L"Z:\\bin\\ln -s \"" + Widen(from) + L"\" \"" + Widen(to) + L"\"";
  HeapFree(GetProcessHeap(), 0, from);
  HeapFree(GetProcessHeap(), 0, to);
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process;
  if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process))
    return false;
  WaitForSingleObject(process.hProcess, 10000);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return (GetFileAttributesW(link.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

TEST_F(AccountFiles, NoAccountFileIsReachedThroughAJunctionOrLink) {
  uint8_t key[kDiskKeySize];
  AnswerTexts answers;
  SetAnswers(answers);
  CreateUser();
  g_faults.reparsePoint = KeyPath();
  EXPECT_EQ(VerifyUserPassword(nullptr), -1);
  EXPECT_EQ(ReadHeadOnlyDiskKey(key), -1);
  EXPECT_EQ(ChangePassword(), -1);
  ASSERT_EQ(LocateRecoveryFile(UserName, true), 0);
  g_faults.reparsePoint = folder_ + L"\\PRF";
  EXPECT_EQ(WriteRecoveryFile(nullptr, answers), -1);
  EXPECT_FALSE(FileExists(RecoveryPath()));
  ASSERT_TRUE(CopyFileW(GoldenPath(kGoldenRecoveryFileName).c_str(), RecoveryPath().c_str(), TRUE));
  EXPECT_EQ(ReadRecoveryFile(nullptr, answers), -1);
  g_faults.reparsePoint = RecoveryPath();
  EXPECT_EQ(ReadRecoveryFile(nullptr, answers), -1);
  g_faults.reparsePoint.clear();

  // A Key folder that is really a link.
  const std::wstring elsewhere = folder_ + L"\\elsewhere";
  ASSERT_TRUE(CreateDirectoryW(elsewhere.c_str(), nullptr));
  ASSERT_TRUE(MoveFileW(KeyPath().c_str(), (elsewhere + L"\\Ann.user").c_str()));
  ASSERT_TRUE(RemoveDirectoryW((folder_ + L"\\Key").c_str()));
  ASSERT_TRUE(MakeUnixLink(elsewhere, folder_ + L"\\Key"));
  EXPECT_EQ(VerifyUserPassword(nullptr), -1);
  EXPECT_EQ(ReadHeadOnlyDiskKey(key), -1);
  ASSERT_TRUE(DeleteFileW((elsewhere + L"\\Ann.user").c_str()));
  EXPECT_EQ(WriteUserKeyFile(nullptr), -1);
  EXPECT_FALSE(FileExists(elsewhere + L"\\Ann.user"));
  EXPECT_TRUE(g_messages.empty());
}

// A change whose replace did not happen leaves the key file under the old
// password and its successor under the new one. Whatever became of the key
// file since, the next check with either password settles it.
TEST_F(AccountFiles, SuccessorOfAnUnfinishedChangeIsSettledByTheNextCheck) {
  CreateUser();
  const Bytes oldFile = ReadAll(KeyPath());
  g_faults.failMove = true;
  ASSERT_EQ(ChangePassword(), -1);
  g_faults.failMove = false;
  const Bytes newFile = ReadAll(TemporaryPath());
  ASSERT_EQ(newFile.size(), kUserKeyFileSize);
  EXPECT_EQ(LocateUserKeyFile(L"Ann", false), 1);

  enum KeyFile { kWhole, kMissing, kShort, kOverwritten };
  struct Case {
    const char* name;
    KeyFile keyFile;
    const char16_t* password;
    int expected;
    const Bytes* keyAfter;  // null: no key file
    bool successorStays;
  };
  const Bytes overwritten(kUserKeyFileSize, 0x5C);
  const Case cases[] = {
      {"key file opens: successor goes", kWhole, kGoldenPassword, 1, &oldFile, false},
      {"successor opens: it replaces the old", kWhole, kGoldenNewPassword, 1, &newFile, false},
      {"key file missing", kMissing, kGoldenNewPassword, 1, &newFile, false},
      {"key file cut short", kShort, kGoldenNewPassword, 1, &newFile, false},
      {"key file overwritten", kOverwritten, kGoldenNewPassword, 1, &newFile, false},
      {"neither opens", kWhole, u"wrong", 0, &oldFile, true},
      {"only the successor, which does not open", kMissing, u"wrong", 0, nullptr, true},
  };
  for (const Case& c : cases) {
    DeleteFileW(KeyPath().c_str());
    if (c.keyFile == kWhole) WriteAll(KeyPath(), oldFile);
    if (c.keyFile == kShort) WriteAll(KeyPath(), Bytes(oldFile.begin(), oldFile.begin() + 500));
    if (c.keyFile == kOverwritten) WriteAll(KeyPath(), overwritten);
    WriteAll(TemporaryPath(), newFile);
    g_messages.clear();
    SetText(UserKeyFilePath, KeyPath());
    SetText(Password.get(), Wide(c.password));
    EXPECT_EQ(VerifyUserPassword(nullptr), c.expected) << c.name;
    EXPECT_EQ(g_messages.size(), c.expected == 0 ? 1u : 0u) << c.name;
    EXPECT_EQ(ReadAll(KeyPath()), c.keyAfter != nullptr ? *c.keyAfter : Bytes{}) << c.name;
    EXPECT_EQ(FileExists(TemporaryPath()), c.successorStays) << c.name;
  }

  // Once settled, the next change goes through.
  WriteAll(KeyPath(), oldFile);
  WriteAll(TemporaryPath(), newFile);
  SetText(Password.get(), Wide(kGoldenPassword));
  ASSERT_EQ(VerifyUserPassword(nullptr), 1);
  EXPECT_EQ(ChangePassword(), 1);
  EXPECT_EQ(ReadAll(KeyPath()), newFile);
}

// The check's key stays only while the operation that asked for it runs:
// a log-in whose mount never reads (cancelled, driver busy, no letter), a
// check without any read to follow (Change Password) or a read that took it.
TEST_F(AccountFiles, PasswordCheckKeepsNoKeyBeyondItsOperation) {
  CreateUser();
  SetText(UserKeyFilePath, KeyPath());
  uint8_t key[kDiskKeySize];
  ASSERT_EQ(VerifyUserPassword(nullptr), 1);
  EXPECT_FALSE(AccountKeyRemembered());
  {
    RememberedAccountKeyScope logIn;
    ASSERT_EQ(VerifyUserPassword(nullptr), 1);
    EXPECT_TRUE(AccountKeyRemembered());
  }
  EXPECT_FALSE(AccountKeyRemembered());
  {
    RememberedAccountKeyScope logIn;
    ASSERT_EQ(VerifyUserPassword(nullptr), 1);
    ASSERT_EQ(ReadHeadOnlyDiskKey(key), 1);
    EXPECT_FALSE(AccountKeyRemembered());
  }
  {
    RememberedAccountKeyScope logIn;
    SetText(Password.get(), L"wrong");
    ASSERT_EQ(VerifyUserPassword(nullptr), 0);
    EXPECT_FALSE(AccountKeyRemembered());
  }
}

}  // namespace
