// PathBuffer for the ANSI setup (char) and the portable core (char16_t): at
// most 260 units, and a text that would not fit is refused, never shortened.
#include "path_buffer.h"

#include <gtest/gtest.h>

#include <string>

namespace {

template <typename Unit>
std::basic_string<Unit> Of(const std::string& ascii) {
  return std::basic_string<Unit>(ascii.begin(), ascii.end());
}

template <typename Unit>
class PathBufferTest : public testing::Test {};
using CodeUnits = testing::Types<char, char16_t>;
TYPED_TEST_SUITE(PathBufferTest, CodeUnits);

TYPED_TEST(PathBufferTest, HoldsExactly260Units) {
  PathBuffer<TypeParam> path;
  const auto full = Of<TypeParam>(std::string(260, 'a'));
  EXPECT_EQ(path.Assign(full.c_str()), 1);
  EXPECT_EQ(path.length(), 260u);
  EXPECT_EQ(path.c_str(), full);
}

TYPED_TEST(PathBufferTest, AppendThatWouldTruncateFailsAndChangesNothing) {
  PathBuffer<TypeParam> path;
  const auto kept = Of<TypeParam>(std::string(255, 'a'));
  ASSERT_EQ(path.Assign(kept.c_str()), 1);
  EXPECT_EQ(path.Append(Of<TypeParam>("\\bcdef").c_str()), -1);
  EXPECT_EQ(path.length(), 255u);
  EXPECT_EQ(path.c_str(), kept);
  EXPECT_EQ(path.Append(Of<TypeParam>("\\bcde").c_str()), 1);
  EXPECT_EQ(path.length(), 260u);
}

TYPED_TEST(PathBufferTest, AssignOfATooLongTextKeepsTheOldText) {
  PathBuffer<TypeParam> path;
  ASSERT_EQ(path.Assign(Of<TypeParam>("C:\\kept").c_str()), 1);
  EXPECT_EQ(path.Assign(Of<TypeParam>(std::string(261, 'x')).c_str()), -1);
  EXPECT_EQ(path.c_str(), Of<TypeParam>("C:\\kept"));
}

TYPED_TEST(PathBufferTest, SeparatorIsAddedOnlyWhenMissing) {
  PathBuffer<TypeParam> path;
  ASSERT_EQ(path.Assign(Of<TypeParam>("D:\\").c_str()), 1);
  EXPECT_EQ(path.AppendSeparatorIfMissing(), 1);
  EXPECT_EQ(path.c_str(), Of<TypeParam>("D:\\"));
  ASSERT_EQ(path.Assign(Of<TypeParam>("D:\\Apps").c_str()), 1);
  EXPECT_EQ(path.AppendSeparatorIfMissing(), 1);
  EXPECT_EQ(path.c_str(), Of<TypeParam>("D:\\Apps\\"));
}

TYPED_TEST(PathBufferTest, SeparatorThatWouldNotFitFails) {
  PathBuffer<TypeParam> path;
  ASSERT_EQ(path.Assign(Of<TypeParam>(std::string(260, 'a')).c_str()), 1);
  EXPECT_EQ(path.AppendSeparatorIfMissing(), -1);
  EXPECT_EQ(path.length(), 260u);
}

TYPED_TEST(PathBufferTest, JoinThatWouldNotFitFailsAndKeepsTheLastPath) {
  PathBuffer<TypeParam> path;
  const std::string folder = "C:\\" + std::string(250, 'f');
  EXPECT_EQ(path.AssignJoined(Of<TypeParam>(folder).c_str(), Of<TypeParam>("PRF").c_str()), 1);
  EXPECT_EQ(path.AssignJoined(Of<TypeParam>(folder).c_str(), Of<TypeParam>("CryptDsks").c_str()),
            -1);
  EXPECT_EQ(path.c_str(), Of<TypeParam>(folder + "\\PRF"));
}

}  // namespace
