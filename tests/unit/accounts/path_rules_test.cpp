#include "path_rules.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using std::u16string;

TEST(PathRules, BuildsKeyFilePathWithOneSeparatorEach) {
  PathBuffer<char16_t> path;
  ASSERT_EQ(BuildUserKeyFilePath(u"C:\\Program Files\\App", u"bob", &path), 1);
  EXPECT_EQ(u16string(path.c_str()), u"C:\\Program Files\\App\\Key\\bob.user");

  ASSERT_EQ(BuildUserKeyFilePath(u"C:\\Program Files\\App\\", u"bob", &path), 1);
  EXPECT_EQ(u16string(path.c_str()), u"C:\\Program Files\\App\\Key\\bob.user");
}

TEST(PathRules, BuildsRecoveryAndDefaultStoragePaths) {
  PathBuffer<char16_t> path;
  ASSERT_EQ(BuildRecoveryFilePath(u"D:\\Ct", u"Ann", &path), 1);
  EXPECT_EQ(u16string(path.c_str()), u"D:\\Ct\\PRF\\Ann.prf");
  ASSERT_EQ(BuildDefaultStorageFilePath(u"D:\\Ct", u"Ann", &path), 1);
  EXPECT_EQ(u16string(path.c_str()), u"D:\\Ct\\CryptDsks\\Cryptelle_Ann.cryptdsk");
}

TEST(PathRules, PathOfExactly260UnitsFitsAndOneMoreIsAnError) {
  const u16string folder = u"C:\\App";  // "C:\App\Key\" is 11 units, ".user" 5
  const u16string fits(260 - 11 - 5, u'n');
  PathBuffer<char16_t> path;
  ASSERT_EQ(BuildUserKeyFilePath(folder.c_str(), fits.c_str(), &path), 1);
  EXPECT_EQ(path.length(), 260u);

  const u16string tooLong = fits + u"n";
  EXPECT_EQ(BuildUserKeyFilePath(folder.c_str(), tooLong.c_str(), &path), -1);
}

TEST(PathBuffer, FailedAppendLeavesTextUnchanged) {
  PathBuffer<char16_t> path;
  ASSERT_EQ(path.Assign(u"C:\\a"), 1);
  const u16string huge(kMaxPathUnits, u'x');
  EXPECT_EQ(path.Append(huge.c_str()), -1);
  EXPECT_EQ(u16string(path.c_str()), u"C:\\a");
  EXPECT_EQ(path.length(), 4u);

  EXPECT_EQ(path.Assign(huge.c_str()), 1);
  EXPECT_EQ(path.AppendSeparatorIfMissing(), -1);
  EXPECT_EQ(path.length(), kMaxPathUnits);
}

TEST(PathRules, RecognisesKeyFileNamesRegardlessOfAsciiCase) {
  EXPECT_EQ(IsUserKeyFileName(u"C:\\x\\Key\\Bob.USER"), 1);
  EXPECT_EQ(IsUserKeyFileName(u"bob.user"), 1);
  EXPECT_EQ(IsUserKeyFileName(u".user"), 1);
  EXPECT_EQ(IsUserKeyFileName(u"C:\\x\\Key\\bob.users"), 0);
  EXPECT_EQ(IsUserKeyFileName(u".use"), 0);
  EXPECT_EQ(IsUserKeyFileName(u""), 0);
  EXPECT_EQ(IsUserKeyFileName(u"bob.\u0055SER"), 1);  // U+0055 is 'U'
  EXPECT_EQ(IsUserKeyFileName(u"bob.\u00DCser"), 0);  // Ü is not U
}

TEST(PathRules, LowerCasingChangesOnlyAsciiCapitals) {
  u16string text = u"C:\\\u00C4B\u0130Z@[`{";
  ToLowerInPlace(text.data());
  EXPECT_EQ(text, u"c:\\\u00C4b\u0130z@[`{");

  char16_t destination[8];
  for (auto& unit : destination) unit = u'#';
  CopyLowerCase(u"AbC", destination);
  EXPECT_EQ(u16string(destination, 4), u"abc#") << "no terminator is written";
}

}  // namespace
