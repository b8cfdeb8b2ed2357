#include "shell_rules.h"

#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "client_texts.h"
#include "program_folder.h"

namespace {

std::u16string Text(const char16_t* text) {
  return text;
}

}  // namespace

TEST(InstanceMutexName, ReplacesEveryBackslashWithAnUnderscore) {
  PathBuffer<char16_t> name;
  ASSERT_EQ(ProgramFolderMutexName(u"C:\\Program Files\\Cryptelle", &name), 1);
  EXPECT_EQ(Text(name.c_str()), u"Global\\C:_Program Files_Cryptelle");
}

TEST(OpenAndExplorerRequest, MatchesTheTerminatedTextOfThirtyTwoBytes) {
  static const char16_t kRequest[] = u"OpenAndExplorer";
  ASSERT_EQ(sizeof(kRequest), 32u);
  EXPECT_TRUE(IsOpenAndExplorerRequest(kRequest, sizeof(kRequest)));
}

TEST(OpenAndExplorerRequest, ShorterDataNeverMatchesEvenWhenItIsAPrefix) {
  static const char16_t kRequest[] = u"OpenAndExplorer";
  EXPECT_FALSE(IsOpenAndExplorerRequest(kRequest, 30));
  EXPECT_FALSE(IsOpenAndExplorerRequest(kRequest, 0));
  EXPECT_FALSE(IsOpenAndExplorerRequest(nullptr, 32));
}

TEST(OpenAndExplorerRequest, OtherTextsAndOtherCaseAreIgnored) {
  static const char16_t kOther[] = u"OpenAndExplorez";
  static const char16_t kLower[] = u"openandexplorer";
  static const char16_t kLonger[] = u"OpenAndExplorerX";
  EXPECT_FALSE(IsOpenAndExplorerRequest(kOther, sizeof(kOther)));
  EXPECT_FALSE(IsOpenAndExplorerRequest(kLower, sizeof(kLower)));
  EXPECT_FALSE(IsOpenAndExplorerRequest(kLonger, sizeof(kLonger)));
}

TEST(CentreOrigin, CentresOnTheDesktopWithTruncatingDivision) {
  const CentredOrigin origin = CentreOrigin(0, 0, 1024, 768, 503, 409);
  EXPECT_EQ(origin.x, 260);
  EXPECT_EQ(origin.y, 179);
}

TEST(CentreOrigin, NarrowDesktopGivesNegativeX) {
  const CentredOrigin origin = CentreOrigin(0, 0, 400, 768, 503, 409);
  EXPECT_EQ(origin.x, -51);  // (400 - 503) / 2 truncates toward zero
}

TEST(OpenBalloon, HoldsTheFolderBetweenItsFixedParts) {
  char16_t text[kBalloonTextUnits];
  ASSERT_EQ(BuildOpenBalloonText(u"C:\\Users\\Public\\Documents", text), 1);
  EXPECT_EQ(Text(text), std::u16string(CT_U(CT_BALLOON_OPEN_HEAD)) +
                            u"C:\\Users\\Public\\Documents" + CT_U(CT_BALLOON_OPEN_TAIL));
}

TEST(OpenBalloon, TextLongerThanTheFieldIsRefused) {
  const size_t fixed =
      Text(CT_U(CT_BALLOON_OPEN_HEAD)).size() + Text(CT_U(CT_BALLOON_OPEN_TAIL)).size();
  std::u16string folder(kBalloonTextUnits - 1 - fixed, u'd');
  char16_t text[kBalloonTextUnits];
  EXPECT_EQ(BuildOpenBalloonText(folder.c_str(), text), 1);
  folder += u'd';
  EXPECT_EQ(BuildOpenBalloonText(folder.c_str(), text), 0);
  EXPECT_EQ(text[0], 0);
}

TEST(OpenTooltip, WritesTheLetterIntoTheBlank) {
  char16_t tip[kTooltipUnits];
  ASSERT_EQ(BuildOpenTooltip(u'K', tip), 1);
  EXPECT_EQ(Text(tip), u"Cryptelle (K:) - Open\n\nRight-Click for options.");
  EXPECT_EQ(BuildOpenTooltip(0, tip), 0);
}

TEST(StorageShortcutPath, AddsABackslashOnlyWhereMissing) {
  PathBuffer<char16_t> path;
  ASSERT_EQ(BuildStorageShortcutPath(u"C:\\Shared", &path), 1);
  EXPECT_EQ(Text(path.c_str()), u"C:\\Shared\\Cryptelle Storage.lnk");
  ASSERT_EQ(BuildStorageShortcutPath(u"C:\\", &path), 1);
  EXPECT_EQ(Text(path.c_str()), u"C:\\Cryptelle Storage.lnk");
}

TEST(StorageShortcutPath, PathThatDoesNotFitIsAnError) {
  std::u16string folder(250, u'f');
  PathBuffer<char16_t> path;
  EXPECT_EQ(BuildStorageShortcutPath(folder.c_str(), &path), -1);
}

TEST(FieldCopy, FailsWithoutTruncating) {
  char16_t field[4];
  EXPECT_EQ(CopyIntoField(u"abc", field, 4), 1);
  EXPECT_EQ(Text(field), u"abc");
  EXPECT_EQ(CopyIntoField(u"abcd", field, 4), 0);
  EXPECT_EQ(field[0], 0);
}

TEST(IdleLock, CountsAcrossTheTickCounterWrap) {
  EXPECT_FALSE(IdleLongEnough(100000, 100000 - 14 * 60000, 15));
  EXPECT_TRUE(IdleLongEnough(100000, 100000 - 15 * 60000, 15));
  EXPECT_TRUE(IdleLongEnough(1000, 0xFFFFFFFFu - 15 * 60000u + 1000, 15));
  EXPECT_FALSE(IdleLongEnough(1000, 0xFFFFFFFFu - 60000u, 15));
}

TEST(IdleLock, MinutesOutsideADayAreTheDefault) {
  EXPECT_EQ(ClampIdleMinutes(0), 15u);
  EXPECT_EQ(ClampIdleMinutes(1), 1u);
  EXPECT_EQ(ClampIdleMinutes(1440), 1440u);
  EXPECT_EQ(ClampIdleMinutes(1441), 15u);
  char16_t text[64];
  ASSERT_EQ(BuildIdleMenuText(120, text, 64), 1);
  EXPECT_EQ(Text(text), u"After 120 minutes without &input");
}
