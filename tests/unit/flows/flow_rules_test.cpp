#include "flow_rules.h"

#include <gtest/gtest.h>

#include <string>

#include "client_texts.h"

namespace {

TEST(FieldLength, EmptyFitsCutAndTooLongAreTold) {
  EXPECT_EQ(ClassifyFieldLength(0), FieldLength::kEmpty);
  EXPECT_EQ(ClassifyFieldLength(1), FieldLength::kFits);
  EXPECT_EQ(ClassifyFieldLength(259), FieldLength::kFits);
  EXPECT_EQ(ClassifyFieldLength(260), FieldLength::kMaybeCut);
  EXPECT_EQ(ClassifyFieldLength(261), FieldLength::kTooLong);
}

TEST(PlainName, LettersDigitsAndUnderscoresAreAccepted) {
  EXPECT_TRUE(IsPlainName(u"Ann_2"));
  EXPECT_TRUE(IsPlainName(u"_"));
  EXPECT_TRUE(IsPlainName(u"ABCxyz0189"));
  EXPECT_TRUE(IsPlainName(u""));
}

TEST(PlainName, HyphenBlankDotAndSeparatorsAreRefused) {
  for (const char16_t* name : {u"Ann-2", u"Ann 2", u"Ann.2", u"a\\b", u"a/b", u"a:b", u"a*"}) {
    EXPECT_FALSE(IsPlainName(name)) << std::u16string(name).size();
  }
}

TEST(SameText, ComparesCaseSensitivelyAndWholly) {
  EXPECT_TRUE(SameText(u"Secret#1", u"Secret#1"));
  EXPECT_TRUE(SameText(u"", u""));
  EXPECT_FALSE(SameText(u"Secret#1", u"secret#1"));
  EXPECT_FALSE(SameText(u"Secret", u"Secret#1"));
  EXPECT_FALSE(SameText(u"Secret#1", u"Secret"));
}

TEST(StorageSize, FourIsBelowTheMinimumAndFiveAndNineThousandAreAccepted) {
  unsigned megabytes = 0;
  EXPECT_EQ(CheckStorageSize(u"", &megabytes), StorageSize::kEmpty);
  EXPECT_EQ(CheckStorageSize(u"0", &megabytes), StorageSize::kBelowMinimum);
  EXPECT_EQ(CheckStorageSize(u"4", &megabytes), StorageSize::kBelowMinimum);
  EXPECT_EQ(CheckStorageSize(u"0004", &megabytes), StorageSize::kBelowMinimum);
  EXPECT_EQ(CheckStorageSize(u"5", &megabytes), StorageSize::kAccepted);
  EXPECT_EQ(megabytes, 5u);
  EXPECT_EQ(CheckStorageSize(u"9999", &megabytes), StorageSize::kAccepted);
  EXPECT_EQ(megabytes, 9999u);
  EXPECT_EQ(CheckStorageSize(u"0999", &megabytes), StorageSize::kAccepted);
  EXPECT_EQ(megabytes, 999u);
}

TEST(StorageSize, AFifthDigitIsAboveTheMaximum) {
  unsigned megabytes = 7;
  EXPECT_EQ(CheckStorageSize(u"10000", &megabytes), StorageSize::kAboveMaximum);
  EXPECT_EQ(megabytes, 7u);
}

TEST(StoragePath, FolderNameAndExtensionAreJoinedAndLowerCased) {
  PathBuffer<char16_t> path;
  ASSERT_EQ(
      BuildStorageFilePath(u"C:\\Program Files\\Cryptelle\\CryptDsks", u"Cryptelle_Ann", &path), 1);
  EXPECT_EQ(std::u16string(path.c_str()),
            u"c:\\program files\\cryptelle\\cryptdsks\\cryptelle_ann.cryptdsk");
}

TEST(StoragePath, AFolderEndingInABackslashGetsNoSecond) {
  PathBuffer<char16_t> path;
  ASSERT_EQ(BuildStorageFilePath(u"D:\\", u"Box", &path), 1);
  EXPECT_EQ(std::u16string(path.c_str()), u"d:\\box.cryptdsk");
}

TEST(StoragePath, OnlyAsciiCapitalsAreLowered) {
  PathBuffer<char16_t> path;
  ASSERT_EQ(BuildStorageFilePath(u"C:\\\u00C4RGER", u"\u00C9t\u00E9", &path), 1);
  EXPECT_EQ(std::u16string(path.c_str()), u"c:\\\u00C4rger\\\u00C9t\u00E9.cryptdsk");
}

TEST(StoragePath, FolderOf240WithAThirteenUnitNameIsRefusedForLength) {
  const std::u16string folder = u"C:\\" + std::u16string(237, u'f');
  ASSERT_EQ(folder.size(), 240u);
  PathBuffer<char16_t> path;
  EXPECT_EQ(BuildStorageFilePath(folder.c_str(), u"Cryptelle_Ann", &path), 0);
}

TEST(StoragePath, APathOfExactly260UnitsFits) {
  // 250 folder + backslash + 0 name + 9 extension = 260.
  const std::u16string folder = u"C:\\" + std::u16string(247, u'f');
  PathBuffer<char16_t> path;
  EXPECT_EQ(BuildStorageFilePath(folder.c_str(), u"", &path), 1);
  EXPECT_EQ(path.length(), 260u);
  EXPECT_EQ(BuildStorageFilePath(folder.c_str(), u"x", &path), 0);
}

TEST(StoragePath, AFolderOf260UnitsLeavesNoRoomForTheBackslash) {
  const std::u16string folder(260, u'f');
  PathBuffer<char16_t> path;
  EXPECT_EQ(BuildStorageFilePath(folder.c_str(), u"x", &path), -1);
}

TEST(RecoveredMessage, ThePasswordStandsBetweenTheTwoFixedParts) {
  char16_t out[kRecoveredMessageUnits];
  ASSERT_EQ(BuildRecoveredPasswordMessage(u"Secret#1", out, kRecoveredMessageUnits), 1);
  EXPECT_EQ(std::u16string(out), u"Your Password:\n\nSecret#1\n\nNext is Change Password screen.");
  EXPECT_EQ(std::u16string(out), std::u16string(CT_U(CT_MSG_RECOVERED_HEAD)) + u"Secret#1" +
                                     CT_U(CT_MSG_RECOVERED_TAIL));
}

TEST(RecoveredMessage, ALongestPasswordFitsTheBuffer) {
  const std::u16string password(260, u'p');
  char16_t out[kRecoveredMessageUnits];
  ASSERT_EQ(BuildRecoveredPasswordMessage(password.c_str(), out, kRecoveredMessageUnits), 1);
  EXPECT_EQ(std::u16string(out).size(), 16u + 260u + 33u);
}

TEST(RecoveredMessage, TooSmallABufferGivesMinusOneAndAnEmptyText) {
  char16_t out[20];
  EXPECT_EQ(BuildRecoveredPasswordMessage(u"Secret#1", out, 20), -1);
  EXPECT_EQ(out[0], 0);
}

}  // namespace

TEST(FreeSpaceFigure, InitialFigureFollowsTheThousandMegabyteEdge) {
  EXPECT_EQ(FreeSpaceFigureMb(1048576000ull, 999), 0u);
  EXPECT_EQ(FreeSpaceFigureMb(1048576001ull, 999), 1u);
}

TEST(FreeSpaceFigure, IsWhatStaysFreeAfterTheChosenSize) {
  EXPECT_EQ(FreeSpaceFigureMb(2097152000ull, 500), 1500u);
  EXPECT_EQ(FreeSpaceFigureMb(0, 5), 0u);
}

TEST(FreeSpaceFigure, CountsTheWholeDriveContainersBackupArea) {
  EXPECT_EQ(FreeSpaceFigureMb(1048576000ull + 4096, 999, 4096), 0u);
  EXPECT_EQ(FreeSpaceFigureMb(1048576001ull + 4096, 999, 4096), 1u);
  EXPECT_EQ(FreeSpaceFigureMb(2097152000ull, 500, 4096), 1499u);
}
