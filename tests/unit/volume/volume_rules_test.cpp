#include "volume_rules.h"

#include <gtest/gtest.h>

#include <string>

#include "cryptdsk_protocol.h"
#include "volume_texts.h"

namespace {

std::u16string KernelName(const char16_t* path, size_t units = 263, int* result = nullptr) {
  char16_t out[300] = {};
  uint16_t length = 0;
  const int r = BuildKernelFileName(path, out, units, &length);
  if (result != nullptr) *result = r;
  return r == 1 ? std::u16string(out, length) : u"<refused>";
}

TEST(VolumeRules, DrivePathGetsTheDosDevicesPrefix) {
  EXPECT_EQ(KernelName(u"D:\\u.cryptdsk"), u"\\??\\D:\\u.cryptdsk");
  EXPECT_EQ(KernelName(u"D:\\u.cryptdsk").size(), 17u);
}

TEST(VolumeRules, UncPathBecomesTheUncDevicePath) {
  EXPECT_EQ(KernelName(u"\\\\srv\\share\\u.cryptdsk"), u"\\??\\UNC\\srv\\share\\u.cryptdsk");
  EXPECT_EQ(KernelName(u"\\\\srv\\share\\u.cryptdsk").size(), 28u);
}

TEST(VolumeRules, PathWithOneBackslashIsKept) {
  EXPECT_EQ(KernelName(u"\\Device\\X\\u.cryptdsk"), u"\\Device\\X\\u.cryptdsk");
}

TEST(VolumeRules, KernelNameLongerThanTheRecordFieldIsRefused) {
  std::u16string path = u"C:\\";
  path.append(256, u'a');  // 4 + 259 units: one more than the field holds
  int result = 0;
  KernelName(path.c_str(), 263, &result);
  EXPECT_EQ(result, -1);
  path.pop_back();
  KernelName(path.c_str(), 263, &result);
  EXPECT_EQ(result, 1);
}

TEST(VolumeRules, SizeTextIsMegabytes) {
  int64_t bytes = 0;
  ASSERT_EQ(ParseMegabytes(u"5", &bytes), 1);
  EXPECT_EQ(bytes, 5242880);
  ASSERT_EQ(ParseMegabytes(u"9999", &bytes), 1);
  EXPECT_EQ(bytes, 9999ll * 1048576);
}

TEST(VolumeRules, EmptyZeroNegativeAndNonNumericSizesAreRefused) {
  int64_t bytes = 0;
  for (const char16_t* text : {u"", u"0", u"-5", u"5a", u"+", u"99999999999999999"}) {
    EXPECT_EQ(ParseMegabytes(text, &bytes), -1);
  }
}

TEST(VolumeRules, DriveNamesCarryTheLetter) {
  const DriveNames names = MakeDriveNames(u'K');
  EXPECT_EQ(std::u16string(names.Device), u"K:");
  EXPECT_EQ(std::u16string(names.Root), u"K:\\");
  EXPECT_EQ(std::u16string(names.Volume), u"\\\\.\\K:");
}

TEST(VolumeRules, LetterMessageNamesTheDriveInParentheses) {
  char16_t out[kLetterMessageUnits];
  ASSERT_EQ(BuildLetterMessage(u'H', kLockAndExitReasons, out, kLetterMessageUnits), 1);
  EXPECT_EQ(std::u16string(out),
            std::u16string(kLetterMessageHead) + u"( H: )" + kLockAndExitReasons);
}

TEST(VolumeRules, LetterMessageThatDoesNotFitIsEmpty) {
  char16_t out[40];
  EXPECT_EQ(BuildLetterMessage(u'H', kPrivacyAlertReasons, out, 40), 0);
  EXPECT_EQ(out[0], 0);
}

TEST(VolumeRules, OpenTooltipCarriesTheLetter) {
  char16_t out[kTooltipUnits];
  ASSERT_EQ(BuildOpenTooltip(u'K', 0, out, kTooltipUnits), 1);
  EXPECT_EQ(std::u16string(out), u"Cryptelle (K:) - Open\n\nRight-Click for options.");
}

TEST(VolumeRules, OpenTooltipNamesEachGenerationsProtectionOnItsLastLine) {
  char16_t out[kTooltipUnits];
  ASSERT_EQ(BuildOpenTooltip(u'H', cryptdsk::kGenerationWholeDisk, out, kTooltipUnits), 1);
  EXPECT_EQ(
      std::u16string(out),
      u"Cryptelle (H:) - Open\n\nRight-Click for options.\nProtection: whole drive encrypted");
  ASSERT_EQ(BuildOpenTooltip(u'H', cryptdsk::kGenerationHeadOnly, out, kTooltipUnits), 1);
  EXPECT_EQ(std::u16string(out),
            u"Cryptelle (H:) - Open\n\nRight-Click for options.\n"
            u"Protection: only the first sectors encrypted");
}

TEST(VolumeRules, OpenTooltipThatDoesNotFitIsEmpty) {
  char16_t out[60];
  EXPECT_EQ(BuildOpenTooltip(u'H', cryptdsk::kGenerationWholeDisk, out, 60), 0);
  EXPECT_EQ(out[0], 0);
}

TEST(VolumeRules, OnlyAWholeDiskContainerFileIsLargerThanItsDisk) {
  EXPECT_EQ(ContainerFileBytes(5242880, cryptdsk::kGenerationHeadOnly), 5242880u);
  EXPECT_EQ(ContainerFileBytes(5242880, cryptdsk::kGenerationWholeDisk), 5242880u + 4096);
}

TEST(VolumeRules, FirstListedDriveLetterComesFromADriveRootOnly) {
  EXPECT_EQ(FirstListedDriveLetter(u"E:\\\0F:\\\0"), u'E');
  EXPECT_EQ(FirstListedDriveLetter(u"e:\\\0"), u'E');
  EXPECT_EQ(FirstListedDriveLetter(u"C:\\mnt\\x\\\0"), 0);
  EXPECT_EQ(FirstListedDriveLetter(u"\0"), 0);
}

TEST(VolumeRules, OnlyAToZAreDriveLetters) {
  EXPECT_TRUE(IsDriveLetter('A'));
  EXPECT_TRUE(IsDriveLetter('Z'));
  EXPECT_FALSE(IsDriveLetter(0));
  EXPECT_FALSE(IsDriveLetter('a'));
}

}  // namespace

TEST(VolumeRules, FormatPromptHookRunsFromWindows7On) {
  EXPECT_FALSE(IsWindows7OrLater(5, 1));
  EXPECT_FALSE(IsWindows7OrLater(6, 0));
  EXPECT_TRUE(IsWindows7OrLater(6, 1));
  EXPECT_TRUE(IsWindows7OrLater(10, 0));
}
