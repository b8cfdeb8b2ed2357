#include "narrow_path.h"

#include <gtest/gtest.h>

#include <string>

namespace setup {
namespace {

TEST(NarrowPath, HoldsExactly260Characters) {
  NarrowPath path;
  const std::string full(260, 'a');
  EXPECT_EQ(path.Assign(full.c_str()), 1);
  EXPECT_EQ(path.length(), 260u);
  EXPECT_EQ(std::string(path.c_str()), full);
}

TEST(NarrowPath, AppendThatWouldTruncateFailsAndChangesNothing) {
  NarrowPath path;
  ASSERT_EQ(path.Assign(std::string(255, 'a').c_str()), 1);
  EXPECT_EQ(path.Append("\\bcdef"), -1);
  EXPECT_EQ(path.length(), 255u);
  EXPECT_EQ(std::string(path.c_str()), std::string(255, 'a'));
  EXPECT_EQ(path.Append("\\bcde"), 1);
  EXPECT_EQ(path.length(), 260u);
}

TEST(NarrowPath, AssignOfATooLongTextKeepsTheOldText) {
  NarrowPath path;
  ASSERT_EQ(path.Assign("C:\\kept"), 1);
  EXPECT_EQ(path.Assign(std::string(261, 'x').c_str()), -1);
  EXPECT_STREQ(path.c_str(), "C:\\kept");
}

TEST(NarrowPath, SeparatorIsAddedOnlyWhenMissing) {
  NarrowPath path;
  ASSERT_EQ(path.Assign("D:\\"), 1);
  EXPECT_EQ(path.AppendSeparatorIfMissing(), 1);
  EXPECT_STREQ(path.c_str(), "D:\\");
  ASSERT_EQ(path.Assign("D:\\Apps"), 1);
  EXPECT_EQ(path.AppendSeparatorIfMissing(), 1);
  EXPECT_STREQ(path.c_str(), "D:\\Apps\\");
}

TEST(NarrowPath, SeparatorThatWouldNotFitFails) {
  NarrowPath path;
  ASSERT_EQ(path.Assign(std::string(260, 'a').c_str()), 1);
  EXPECT_EQ(path.AppendSeparatorIfMissing(), -1);
  EXPECT_EQ(path.length(), 260u);
}

}  // namespace
}  // namespace setup
