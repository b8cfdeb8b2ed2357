#include "batch_file.h"

#include <gtest/gtest.h>

namespace {

std::wstring BatchPath(const wchar_t* programFolder) {
  PathBuffer<wchar_t> path;
  return UninstallBatchPath(programFolder, &path) == 1 ? path.c_str() : L"";
}

TEST(UninstallBatch, LiesInTheRootOfTheProgramFoldersDrive) {
  EXPECT_EQ(BatchPath(L"C:\\Program Files\\Cryptelle"), L"C:\\CTuninst.bat");
  EXPECT_EQ(BatchPath(L"D:\\x"), L"D:\\CTuninst.bat");
  EXPECT_EQ(BatchPath(L"\\\\server\\share\\Cryptelle"), L"") << "no drive letter";
  EXPECT_EQ(BatchPath(L""), L"");
}

TEST(UninstallBatch, FiveCrlfLinesThatRetryThenRemoveFolderAndItself) {
  const std::string text =
      UninstallBatchText("C:\\Program Files\\Cryptelle\\CryptelleUninstaller.exe",
                         "C:\\Program Files\\Cryptelle", "C:\\CTuninst.bat");
  EXPECT_EQ(text,
            ":Repeat\r\n"
            "del \"C:\\Program Files\\Cryptelle\\CryptelleUninstaller.exe\"\r\n"
            "if exist \"C:\\Program Files\\Cryptelle\\CryptelleUninstaller.exe\" goto Repeat\r\n"
            "rmdir \"C:\\Program Files\\Cryptelle\"\r\n"
            "del \"C:\\CTuninst.bat\"\r\n");
}

}  // namespace
