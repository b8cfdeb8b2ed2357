// The second generation through the account files: a whole-drive user's key
// file, its log-in, password change and recovery file, against real files
// under Wine. The files use cheap Argon2id parameters unless a test says so.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include <string>
#include <vector>

#include "account_files.h"
#include "account_files_fixture.h"
#include "account_records.h"
#include "account_system.h"
#include "account_texts.h"
#include "cryptdsk_protocol.h"
#include "disk_key.h"
#include "golden_inputs.h"
#include "key_file_v2.h"
#include "program_folder.h"
#include "recovery_file_v2.h"
#include "win/system_probes.h"

namespace {

using namespace account_files_test;

uint32_t StoredWord(const Bytes& file, size_t offset) {
  return file[offset] | file[offset + 1] << 8 | file[offset + 2] << 16 |
         static_cast<uint32_t>(file[offset + 3]) << 24;
}

const KdfMemory kHeap = {malloc, [](void* memory, size_t) { free(memory); }};

struct OpenedFile {
  int result;
  std::vector<uint8_t> keys;
  std::wstring path;
};

OpenedFile OpenWithPassword(const Bytes& file, const char16_t* password) {
  OpenedFile opened{0, std::vector<uint8_t>(kKeyFileV2KeysSize), L""};
  char16_t path[kPathBufferUnits] = {};
  opened.result =
      OpenKeyFileV2(file.data(), file.size(), password, kHeap, opened.keys.data(), path);
  opened.path = AsWide(path);
  return opened;
}

class AccountFilesV2 : public AccountFiles {
 protected:
  void SetUp() override {
    AccountFiles::SetUp();
    WantWholeDriveEncryption = true;
  }
  void TearDown() override {
    WantWholeDriveEncryption = false;
    AccountFiles::TearDown();
  }

  // The golden stream's first 64 bytes: a new user's keys are its first draw.
  static std::vector<uint8_t> FirstDrawnKeys() {
    GoldenRandomStream stream;
    std::vector<uint8_t> keys(kKeyFileV2KeysSize);
    stream.Fill(keys.data(), keys.size());
    return keys;
  }
};

TEST_F(AccountFilesV2, NewUserGetsASecondGenerationKeyFileWithFreshKeysAndThePath) {
  CreateUser();
  const Bytes file = ReadAll(KeyPath());
  ASSERT_EQ(file.size(), kKeyFileV2Size);
  const OpenedFile opened = OpenWithPassword(file, kGoldenPassword);
  ASSERT_EQ(opened.result, 1);
  EXPECT_EQ(opened.keys, FirstDrawnKeys());
  EXPECT_EQ(opened.path, std::wstring(StorageFilePath));

  UserDiskKey key = {};
  ASSERT_EQ(ReadUserDiskKey(&key), 1);
  EXPECT_EQ(key.Generation, cryptdsk::kGenerationWholeDisk);
  EXPECT_EQ(std::vector<uint8_t>(key.Key, key.Key + kKeyFileV2KeysSize), FirstDrawnKeys());
}

TEST_F(AccountFilesV2, PathOutsideLatin1IsKeptWhole) {
  const std::wstring path = L"c:\\\u4e2d\\\u20ac" + std::wstring(254, L'p');
  SetText(StorageFilePath, path);
  CreateUser();
  EXPECT_FALSE(MustCloseProgram);
  EXPECT_EQ(VerifyUserPassword(nullptr), 1);
  EXPECT_EQ(OpenWithPassword(ReadAll(KeyPath()), kGoldenPassword).path, path);
  EXPECT_TRUE(g_messages.empty());
}

TEST_F(AccountFilesV2, NewUserFileCarriesTheDefaultCost) {
  AccountSystemCalls().fileV2Parameters = DefaultAccountSystem().fileV2Parameters;
  CreateUser();
  const Bytes file = ReadAll(KeyPath());
  ASSERT_EQ(file.size(), kKeyFileV2Size);
  EXPECT_EQ(StoredWord(file, 16), 2u);
  EXPECT_EQ(StoredWord(file, 20), 262144u);
  EXPECT_EQ(StoredWord(file, 24), 1u);
}

TEST_F(AccountFilesV2, LogInChecksAndReadsWithOneDerivation) {
  CreateUser();
  g_kdfAllocations = 0;
  {
    RememberedAccountKeyScope logIn;
    ASSERT_EQ(VerifyUserPassword(nullptr), 1);
    UserDiskKey key = {};
    ASSERT_EQ(ReadUserDiskKey(&key), 1);
    EXPECT_EQ(key.Generation, cryptdsk::kGenerationWholeDisk);
    EXPECT_FALSE(AccountKeyRemembered());
  }
  EXPECT_EQ(g_kdfAllocations, 1);
}

TEST_F(AccountFilesV2, NewUserInsideAScopeDerivesOnceForWriteCheckAndRead) {
  {
    RememberedAccountKeyScope creating;
    CreateUser();
    ASSERT_EQ(VerifyUserPassword(nullptr), 1);
    UserDiskKey key = {};
    ASSERT_EQ(ReadUserDiskKey(&key), 1);
  }
  EXPECT_EQ(g_kdfAllocations, 1);
  EXPECT_FALSE(AccountKeyRemembered());
}

TEST_F(AccountFilesV2, NothingIsRememberedWithoutAScope) {
  CreateUser();
  ASSERT_EQ(VerifyUserPassword(nullptr), 1);
  EXPECT_FALSE(AccountKeyRemembered());
  UserDiskKey key = {};
  ASSERT_EQ(ReadUserDiskKey(&key), 1);
  EXPECT_EQ(g_kdfAllocations, 3);  // the write, the check and the read
}

TEST_F(AccountFilesV2, PasswordChangeKeepsKeysAndPathUnderANewSalt) {
  CreateUser();
  const Bytes before = ReadAll(KeyPath());
  ASSERT_EQ(ChangePassword(), 1);
  const Bytes after = ReadAll(KeyPath());
  ASSERT_EQ(after.size(), kKeyFileV2Size);
  EXPECT_FALSE(std::equal(before.begin() + 32, before.begin() + 64, after.begin() + 32));
  EXPECT_FALSE(FileExists(TemporaryPath()));
  EXPECT_EQ(OpenWithPassword(after, kGoldenPassword).result, 0);
  const OpenedFile opened = OpenWithPassword(after, kGoldenNewPassword);
  ASSERT_EQ(opened.result, 1);
  EXPECT_EQ(opened.keys, FirstDrawnKeys());
  EXPECT_EQ(opened.path, std::wstring(StorageFilePath));
  EXPECT_EQ(VerifyUserPassword(nullptr), 1);
}

TEST_F(AccountFilesV2, ChangeInsideAScopeReadsTheCheckedFileWithoutDerivingAgain) {
  CreateUser();
  g_kdfAllocations = 0;
  {
    RememberedAccountKeyScope changing;
    ASSERT_EQ(VerifyUserPassword(nullptr), 1);
    ASSERT_EQ(ChangePassword(), 1);
  }
  EXPECT_EQ(g_kdfAllocations, 2);  // the check, then the new file
  EXPECT_FALSE(AccountKeyRemembered());
}

TEST_F(AccountFilesV2, SuccessorOfAnUnfinishedChangeTakesThePlaceWhenItOpens) {
  CreateUser();
  g_faults.failMove = true;
  ASSERT_EQ(ChangePassword(), -1);
  g_faults.failMove = false;
  const Bytes successor = ReadAll(TemporaryPath());
  ASSERT_EQ(successor.size(), kKeyFileV2Size);
  SetText(Password.get(), Wide(kGoldenNewPassword));
  EXPECT_EQ(VerifyUserPassword(nullptr), 1);
  EXPECT_EQ(ReadAll(KeyPath()), successor);
  EXPECT_FALSE(FileExists(TemporaryPath()));
}

TEST_F(AccountFilesV2, AlteredFileIsRefusedWithTheWholeDriveMessageAndKept) {
  CreateUser();
  Bytes file = ReadAll(KeyPath());
  file[400] ^= 0x01;
  WriteAll(KeyPath(), file);
  EXPECT_EQ(VerifyUserPassword(nullptr), 0);
  UserDiskKey key = {};
  EXPECT_EQ(ReadUserDiskKey(&key), -1);
  EXPECT_EQ(key.Generation, 0u);
  EXPECT_EQ(ReadAll(KeyPath()), file);
  ASSERT_EQ(g_messages.size(), 1u);
  EXPECT_EQ(g_messages[0].text, kPasswordMismatchWholeDiskText);
  EXPECT_EQ(g_messages[0].title, kCreateUserTitle);
}

TEST_F(AccountFilesV2, AlteredHeaderIsRefusedWithTheMessageBeforeAnyDerivation) {
  CreateUser();
  Bytes file = ReadAll(KeyPath());
  file[28] = 1;  // the reserved word
  WriteAll(KeyPath(), file);
  g_kdfAllocations = 0;
  EXPECT_EQ(VerifyUserPassword(nullptr), 0);
  EXPECT_EQ(g_kdfAllocations, 0);
  ASSERT_EQ(g_messages.size(), 1u);
  EXPECT_EQ(g_messages[0].text, kPasswordMismatchWholeDiskText);
}

TEST_F(AccountFilesV2, PasswordChangeKeepsTheUsersCost) {
  CreateUser();
  Bytes file = ReadAll(KeyPath());
  AccountSystemCalls().fileV2Parameters = {2, 128, 2};  // a later build's default
  ASSERT_EQ(ChangePassword(), 1);
  file = ReadAll(KeyPath());
  EXPECT_EQ(StoredWord(file, 16), kCheapFileV2Parameters.Passes);
  EXPECT_EQ(StoredWord(file, 20), kCheapFileV2Parameters.MemoryKiB);
  EXPECT_EQ(StoredWord(file, 24), kCheapFileV2Parameters.Lanes);
}

TEST_F(AccountFilesV2, RecoveryFileOfTheSecondGenerationGivesThePasswordBack) {
  ASSERT_EQ(LocateRecoveryFile(UserName, true), 0);
  AnswerTexts answers;
  SetAnswers(answers);
  ASSERT_EQ(WriteRecoveryFile(nullptr, answers), 1);
  const Bytes file = ReadAll(RecoveryPath());
  ASSERT_EQ(file.size(), kRecoveryFileV2Size);
  EXPECT_TRUE(IsRecoveryFileV2(file.data(), file.size()));

  SetAnswers(answers);
  SetText(answers[2], L"pasta");
  SetText(Password.get(), L"unchanged");
  EXPECT_EQ(ReadRecoveryFile(nullptr, answers), 0);
  EXPECT_EQ(std::wstring(Password.get()), L"unchanged");

  SetAnswers(answers);
  ASSERT_EQ(ReadRecoveryFile(nullptr, answers), 1);
  EXPECT_EQ(std::wstring(Password.get()), Wide(kGoldenPassword));
  EXPECT_EQ(std::wstring(RecoveryAnswers.get()[2]), Wide(kGoldenAnswer3));
  EXPECT_TRUE(g_messages.empty());
}

TEST_F(AccountFilesV2, ChangingUsersRecoveryFileFollowsTheKeyFile) {
  CreateUser();
  WantWholeDriveEncryption = false;  // the choice belongs to the creation only
  ASSERT_EQ(ChangePassword(), 1);
  AnswerTexts answers;
  SetAnswers(answers);
  ChangingPassword = true;
  EXPECT_EQ(WriteRecoveryFile(nullptr, answers), 1);
  ChangingPassword = false;
  EXPECT_EQ(ReadAll(RecoveryPath()).size(), kRecoveryFileV2Size);
  SetAnswers(answers);
  ASSERT_EQ(ReadRecoveryFile(nullptr, answers), 1);
  EXPECT_EQ(std::wstring(Password.get()), Wide(kGoldenNewPassword));
}

TEST_F(AccountFilesV2, NoMemoryForArgon2idLeavesNoKeyFile) {
  AccountSystemCalls().allocateKdfMemory = [](size_t) -> void* { return nullptr; };
  EXPECT_EQ(WriteUserKeyFile(nullptr), -1);
  EXPECT_FALSE(FileExists(KeyPath()));
  EXPECT_TRUE(g_messages.empty());
}

TEST_F(AccountFilesV2, FirstGenerationUserStillReadsItsHeadKey) {
  WantWholeDriveEncryption = false;
  CreateUser();
  EXPECT_EQ(ReadAll(KeyPath()), ReadAll(GoldenPath(kGoldenKeyFileName)));
  UserDiskKey key = {};
  ASSERT_EQ(ReadUserDiskKey(&key), 1);
  EXPECT_EQ(key.Generation, cryptdsk::kGenerationHeadOnly);
  GoldenRandomStream stream;
  uint8_t salt[kAccountSaltSize];
  uint8_t material[kKeyMaterialSize];
  stream.Fill(salt, sizeof(salt));
  stream.Fill(material, sizeof(material));
  uint8_t expected[kDiskKeySize];
  DiskKeyFromKeyMaterial(material, expected);
  EXPECT_EQ(0, memcmp(key.Key, expected, kDiskKeySize));
  EXPECT_EQ(std::vector<uint8_t>(key.Key + kDiskKeySize, key.Key + sizeof(key.Key)),
            std::vector<uint8_t>(sizeof(key.Key) - kDiskKeySize, 0));
  EXPECT_EQ(g_kdfAllocations, 0);
}

}  // namespace
