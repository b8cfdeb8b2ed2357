#include "prompt_guard_rules.h"

#include <gtest/gtest.h>

namespace {

using prompt_guard::IsFormatText;
using prompt_guard::IsShellExecutable;

TEST(PromptGuardRules, ShellIsRecognisedByItsFileNameInAnyCase) {
  EXPECT_TRUE(IsShellExecutable(L"C:\\Windows\\explorer.exe"));
  EXPECT_TRUE(IsShellExecutable(L"C:\\WINDOWS\\Explorer.EXE"));
  EXPECT_TRUE(IsShellExecutable(L"explorer.exe"));
}

TEST(PromptGuardRules, ShellNameOnlyCountsInTheLastComponent) {
  EXPECT_FALSE(IsShellExecutable(L"C:\\explorer.exe\\notepad.exe"));
  EXPECT_FALSE(IsShellExecutable(L"C:\\Windows\\iexplore.exe"));
  EXPECT_TRUE(IsShellExecutable(L"C:\\tools\\myexplorer.exe.bak"));
}

TEST(PromptGuardRules, FormatTextsMatchInAnyCase) {
  EXPECT_TRUE(IsFormatText(L"Format disk"));
  EXPECT_TRUE(IsFormatText(L"You need to FORMAT the disk"));
  EXPECT_FALSE(IsFormatText(L"Cancel"));
  EXPECT_FALSE(IsFormatText(L""));
}

TEST(PromptGuardRules, OnlyTheFirst31UnitsOfAWindowTextCount) {
  // "format" at units 25..30 is inside, at 26..31 it is cut.
  EXPECT_TRUE(IsFormatText(L"0123456789012345678901234format"));
  EXPECT_FALSE(IsFormatText(L"01234567890123456789012345format"));
}

}  // namespace
