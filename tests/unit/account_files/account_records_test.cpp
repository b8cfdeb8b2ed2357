#include "account_records.h"

#include <gtest/gtest.h>
#include <string.h>

#include <array>
#include <string>
#include <vector>

#include "blowfish.h"
#include "key_derivation.h"

namespace {

using std::u16string;
using KeyFile = std::array<uint8_t, kUserKeyFileSize>;
using RecoveryFile = std::array<uint8_t, kRecoveryFileSize>;

std::array<uint8_t, kAccountSaltSize> Salt(uint8_t seed) {
  std::array<uint8_t, kAccountSaltSize> salt;
  for (size_t i = 0; i < salt.size(); ++i) salt[i] = static_cast<uint8_t>(seed + 13 * i);
  return salt;
}

std::array<uint8_t, kUserKeyMaterialSize> KeyMaterial(uint8_t seed) {
  std::array<uint8_t, kUserKeyMaterialSize> material;
  for (size_t i = 0; i < material.size(); ++i) material[i] = static_cast<uint8_t>(seed ^ (7 * i));
  return material;
}

// All 256 bytes of the derivation, then the first 32: the slow way.
void DeriveFullThenTruncate(const uint8_t* text, size_t length, const uint8_t salt[20],
                            uint8_t out[32]) {
  uint8_t full[kDerivedKeySize];
  DerivePasswordKey(text, length, salt, full);
  memcpy(out, full, 32);
}

KeyFile BuildKeyFile(const u16string& path, const u16string& password, uint8_t seed = 1) {
  KeyFile file;
  const auto salt = Salt(seed);
  const auto material = KeyMaterial(seed);
  EXPECT_EQ(BuildUserKeyFile(salt.data(), material.data(), path.c_str(), password.c_str(),
                             DeriveAccountKey, file.data()),
            1);
  return file;
}

u16string StoredPath(const KeyFile& file, const u16string& password) {
  uint8_t material[kUserKeyMaterialSize];
  EXPECT_EQ(UnwrapKeyMaterial(file.data(), password.c_str(), DeriveAccountKey, material), 1);
  char16_t path[kPathBufferUnits];
  DecryptStoredPath(file.data(), material, path);
  return path;
}

// The decrypted path record of a file built with KeyMaterial(1).
std::array<uint8_t, kTextRecordSize> PathRecord(const KeyFile& file) {
  const auto material = KeyMaterial(1);
  BlowfishContext context;
  BlowfishKeySetup(material.data(), &context);
  std::array<uint8_t, kTextRecordSize> record;
  memcpy(record.data(), file.data() + kUserKeyPathOffset, record.size());
  BlowfishDecryptEcb(&context, record.data(), record.size());
  return record;
}

TEST(NarrowTextRecord, StoresLatin1UnitsAsSingleBytesAndZeroFills) {
  uint8_t record[kTextRecordSize];
  memset(record, 0xAA, sizeof(record));
  ASSERT_EQ(StoreNarrowText(u"c:\\caf\u00e9", record), 1);
  EXPECT_EQ(record[6], 0xE9);
  for (size_t i = 7; i < kTextRecordSize; ++i) ASSERT_EQ(record[i], 0) << i;
  char16_t back[kPathBufferUnits];
  WidenNarrowText(record, kMaxStoredTextUnits, back);
  EXPECT_EQ(u16string(back), u"c:\\caf\u00e9");
}

TEST(NarrowTextRecord, RefusesUnitsAboveFFAndLeavesNothing) {
  uint8_t record[kTextRecordSize];
  EXPECT_EQ(StoreNarrowText(u"c:\\\u4e2d", record), 0);
  EXPECT_EQ(StoreNarrowText(u"pay \u20ac", record), 0);
  for (uint8_t byte : record) ASSERT_EQ(byte, 0);
}

TEST(NarrowTextRecord, Takes260UnitsAndRefuses261) {
  uint8_t record[kTextRecordSize];
  const u16string fits(260, u'x');
  ASSERT_EQ(StoreNarrowText(fits.c_str(), record), 1);
  for (size_t i = 0; i < 260; ++i) ASSERT_EQ(record[i], 'x');
  for (size_t i = 260; i < kTextRecordSize; ++i) ASSERT_EQ(record[i], 0);
  EXPECT_EQ(StoreNarrowText(u16string(261, u'x').c_str(), record), -1);
}

TEST(NarrowTextRecord, WideningStopsAtLimitWithoutZeroByte) {
  uint8_t record[kTextRecordSize];
  memset(record, 'q', sizeof(record));
  char16_t out[kPathBufferUnits];
  WidenNarrowText(record, kMaxStoredTextUnits, out);
  EXPECT_EQ(u16string(out), u16string(260, u'q'));
}

TEST(UserKeyFile, WriteThenReadGivesPathAndKeyMaterialBack) {
  const KeyFile file = BuildKeyFile(u"c:\\data\\cryptelle_john.cryptdsk", u"Secret1");
  EXPECT_EQ(0, memcmp(file.data(), Salt(1).data(), kAccountSaltSize));
  uint8_t material[kUserKeyMaterialSize];
  ASSERT_EQ(OpenUserKeyFile({file.data(), file.size()}, u"Secret1", DeriveAccountKey, material), 1);
  EXPECT_EQ(0, memcmp(material, KeyMaterial(1).data(), kUserKeyMaterialSize));
  EXPECT_EQ(StoredPath(file, u"Secret1"), u"c:\\data\\cryptelle_john.cryptdsk");
  EXPECT_TRUE(StoredPathLooksValid(file.data(), material));
}

TEST(UserKeyFile, WrongPasswordGivesOtherKeyMaterialAndAnInvalidPath) {
  const KeyFile file = BuildKeyFile(u"c:\\data\\a.cryptdsk", u"Secret1");
  uint8_t material[kUserKeyMaterialSize];
  ASSERT_EQ(OpenUserKeyFile({file.data(), file.size()}, u"secret1", DeriveAccountKey, material), 1);
  EXPECT_NE(0, memcmp(material, KeyMaterial(1).data(), kUserKeyMaterialSize));
  EXPECT_FALSE(StoredPathLooksValid(file.data(), material));
}

TEST(UserKeyFile, PathWithE9IsStoredAsOneByteAndReadsBack) {
  const u16string path = u"c:\\d\u00e9j\u00e0\\x.cryptdsk";
  const KeyFile file = BuildKeyFile(path, u"pw");
  EXPECT_EQ(StoredPath(file, u"pw"), path);
  EXPECT_EQ(PathRecord(file)[4], 0xE9);
}

TEST(UserKeyFile, PathWithCjkOrEuroIsRefusedAndNothingIsBuilt) {
  KeyFile file;
  const auto salt = Salt(1);
  const auto material = KeyMaterial(1);
  for (const char16_t* path : {u"c:\\\u4e2d\\x.cryptdsk", u"c:\\\u20ac.cryptdsk"}) {
    memset(file.data(), 0x55, file.size());
    EXPECT_EQ(
        BuildUserKeyFile(salt.data(), material.data(), path, u"pw", DeriveAccountKey, file.data()),
        0);
    for (uint8_t byte : file) ASSERT_EQ(byte, 0);
  }
}

TEST(UserKeyFile, Path260UnitsFillsRecordAndRoundTrips) {
  const u16string path = u"c:\\" + u16string(257, u'p');
  const KeyFile file = BuildKeyFile(path, u"pw");
  EXPECT_EQ(StoredPath(file, u"pw"), path);
  const auto record = PathRecord(file);
  EXPECT_EQ(record[259], 'p');
  for (size_t i = 260; i < kTextRecordSize; ++i) ASSERT_EQ(record[i], 0) << i;
  uint8_t material[kUserKeyMaterialSize];
  ASSERT_EQ(UnwrapKeyMaterial(file.data(), u"pw", DeriveAccountKey, material), 1);
  EXPECT_TRUE(StoredPathLooksValid(file.data(), material));
}

TEST(UserKeyFile, Password260UnitsWorksAnd261IsAnError) {
  const u16string longest(260, u'\u4e2d');  // passwords only feed the derivation
  const KeyFile file = BuildKeyFile(u"c:\\x", longest);
  EXPECT_EQ(StoredPath(file, longest), u"c:\\x");
  uint8_t material[kUserKeyMaterialSize];
  EXPECT_EQ(
      UnwrapKeyMaterial(file.data(), u16string(261, u'a').c_str(), DeriveAccountKey, material), -1);
}

TEST(UserKeyFile, ShortFileIsAnErrorAndAppendedBytesAreIgnored) {
  const KeyFile file = BuildKeyFile(u"c:\\x", u"pw");
  uint8_t material[kUserKeyMaterialSize];
  EXPECT_EQ(OpenUserKeyFile({file.data(), 803}, u"pw", DeriveAccountKey, material), -1);
  std::vector<uint8_t> longer(file.begin(), file.end());
  longer.resize(900, 0x77);
  ASSERT_EQ(OpenUserKeyFile({longer.data(), longer.size()}, u"pw", DeriveAccountKey, material), 1);
  EXPECT_EQ(0, memcmp(material, KeyMaterial(1).data(), kUserKeyMaterialSize));
}

TEST(UserKeyFile, PasswordChangeKeepsSaltAndPathBytesAndTheKeyMaterial) {
  const KeyFile before = BuildKeyFile(u"c:\\data\\x.cryptdsk", u"Old-1");
  uint8_t material[kUserKeyMaterialSize];
  ASSERT_EQ(UnwrapKeyMaterial(before.data(), u"Old-1", DeriveAccountKey, material), 1);
  KeyFile after;
  ASSERT_EQ(RewrapUserKeyFile(before.data(), material, u"New-2", DeriveAccountKey, after.data()),
            1);
  EXPECT_EQ(0, memcmp(before.data(), after.data(), kUserKeyMaterialOffset));
  EXPECT_NE(0, memcmp(before.data() + kUserKeyMaterialOffset, after.data() + kUserKeyMaterialOffset,
                      kUserKeyMaterialSize));
  // Same bytes as writing the file anew with the new password.
  EXPECT_EQ(after, BuildKeyFile(u"c:\\data\\x.cryptdsk", u"New-2"));
  uint8_t again[kUserKeyMaterialSize];
  ASSERT_EQ(UnwrapKeyMaterial(after.data(), u"New-2", DeriveAccountKey, again), 1);
  EXPECT_EQ(0, memcmp(material, again, sizeof(again)));
}

TEST(UserKeyFile, UsedBlockDerivationGivesTheSameFileAsTheFullDerivation) {
  KeyFile quick;
  KeyFile full;
  const auto salt = Salt(9);
  const auto material = KeyMaterial(9);
  ASSERT_EQ(BuildUserKeyFile(salt.data(), material.data(), u"c:\\p", u"pw", DeriveAccountKey,
                             quick.data()),
            1);
  ASSERT_EQ(BuildUserKeyFile(salt.data(), material.data(), u"c:\\p", u"pw", DeriveFullThenTruncate,
                             full.data()),
            1);
  EXPECT_EQ(quick, full);
}

RecoveryFile BuildRecovery(const u16string& password, const char16_t* const answers[3],
                           uint8_t seed = 3) {
  RecoveryFile file;
  const auto salt = Salt(seed);
  EXPECT_EQ(
      BuildRecoveryFile(salt.data(), password.c_str(), answers, DeriveAccountKey, file.data()), 1);
  return file;
}

const char16_t* const kAnswers[3] = {u"Smith", u"chess", u"pasta"};

TEST(RecoveryFile, SameAnswersGiveThePasswordBack) {
  const RecoveryFile file = BuildRecovery(u"Pass-1", kAnswers);
  char16_t password[kPathBufferUnits] = u"";
  ASSERT_EQ(OpenRecoveryFile(file.data(), kAnswers, DeriveAccountKey, password), 1);
  EXPECT_EQ(u16string(password), u"Pass-1");
}

TEST(RecoveryFile, AnswerDifferingOnlyInCaseDisagreesAndLeavesPasswordAlone) {
  const RecoveryFile file = BuildRecovery(u"Pass-1", kAnswers);
  const char16_t* const wrong[3] = {u"Smith", u"Chess", u"pasta"};
  char16_t password[kPathBufferUnits] = u"unchanged";
  EXPECT_EQ(OpenRecoveryFile(file.data(), wrong, DeriveAccountKey, password), 0);
  EXPECT_EQ(u16string(password), u"unchanged");
}

TEST(RecoveryFile, Password260UnitsAndE9ComeBackWhole) {
  for (const u16string& text : {u16string(260, u'z'), u16string(u"caf\u00e9")}) {
    const RecoveryFile file = BuildRecovery(text, kAnswers);
    char16_t password[kPathBufferUnits];
    ASSERT_EQ(OpenRecoveryFile(file.data(), kAnswers, DeriveAccountKey, password), 1);
    EXPECT_EQ(u16string(password), text);
  }
}

TEST(RecoveryFile, PasswordWithEuroIsRefusedAndNothingIsBuilt) {
  RecoveryFile file;
  memset(file.data(), 0x55, file.size());
  const auto salt = Salt(3);
  EXPECT_EQ(BuildRecoveryFile(salt.data(), u"5\u20ac", kAnswers, DeriveAccountKey, file.data()), 0);
  for (uint8_t byte : file) ASSERT_EQ(byte, 0);
}

TEST(RecoveryFile, OtherSaltGivesOtherBytesForTheSameInputs) {
  EXPECT_NE(BuildRecovery(u"pw", kAnswers, 3), BuildRecovery(u"pw", kAnswers, 4));
}

TEST(RecoveryFile, OverlongAnswerIsAnError) {
  const u16string longAnswer(261, u'a');
  const char16_t* const answers[3] = {u"a", longAnswer.c_str(), u"c"};
  RecoveryFile file;
  const auto salt = Salt(3);
  EXPECT_EQ(BuildRecoveryFile(salt.data(), u"pw", answers, DeriveAccountKey, file.data()), -1);
  char16_t password[kPathBufferUnits];
  EXPECT_EQ(
      OpenRecoveryFile(BuildRecovery(u"pw", kAnswers).data(), answers, DeriveAccountKey, password),
      -1);
}

}  // namespace

namespace {

TEST(RememberedAccountKey, GivesTheSameKeysAsDerivingEachTime) {
  const auto salt = Salt(5);
  const auto other = Salt(6);
  const uint8_t text[] = {'p', 0, 'w', 0};
  const uint8_t otherText[] = {'p', 0, 'x', 0};
  uint8_t expected[32];
  uint8_t got[32];
  RememberedAccountKeyScope remembering;
  for (int round = 0; round < 2; ++round) {  // derive, then remembered
    DeriveAccountKey(text, sizeof(text), salt.data(), expected);
    DeriveAccountKeyRemembered(text, sizeof(text), salt.data(), got);
    EXPECT_EQ(0, memcmp(expected, got, 32));
  }
  DeriveAccountKey(otherText, sizeof(otherText), salt.data(), expected);
  DeriveAccountKeyRemembered(otherText, sizeof(otherText), salt.data(), got);
  EXPECT_EQ(0, memcmp(expected, got, 32));
  DeriveAccountKey(otherText, sizeof(otherText), other.data(), expected);
  DeriveAccountKeyRemembered(otherText, sizeof(otherText), other.data(), got);
  EXPECT_EQ(0, memcmp(expected, got, 32));
  ForgetRememberedAccountKey();
  DeriveAccountKeyRemembered(otherText, sizeof(otherText), other.data(), got);
  EXPECT_EQ(0, memcmp(expected, got, 32));
  ForgetRememberedAccountKey();
}

// A check whose read never comes (a cancelled mount, a refused step, an
// early return) still leaves no key behind once its operation ends.
TEST(RememberedAccountKey, LivesOnlyWhileTheOperationThatFilledItRuns) {
  const auto salt = Salt(7);
  const uint8_t text[] = {'p', 0, 'w', 0};
  uint8_t key[32];
  DeriveAccountKeyRemembered(text, sizeof(text), salt.data(), key);
  EXPECT_FALSE(AccountKeyRemembered());  // no operation holds a scope
  const auto checkThenStop = [&](bool read) {
    RememberedAccountKeyScope remembering;
    DeriveAccountKeyRemembered(text, sizeof(text), salt.data(), key);
    EXPECT_TRUE(AccountKeyRemembered());
    if (!read) return;
    DeriveAccountKeyRemembered(text, sizeof(text), salt.data(), key);
    ForgetRememberedAccountKey();  // as the read does
    EXPECT_FALSE(AccountKeyRemembered());
  };
  checkThenStop(false);
  EXPECT_FALSE(AccountKeyRemembered());
  checkThenStop(true);
  EXPECT_FALSE(AccountKeyRemembered());
}

}  // namespace
