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

TEST(UninstallBatch, RunsInTheRootOfTheProgramFoldersDrive) {
  PathBuffer<wchar_t> root;
  ASSERT_EQ(UninstallBatchFolder(L"C:\\Program Files\\Cryptelle", &root), 1);
  EXPECT_EQ(std::wstring(root.c_str()), L"C:\\");
  EXPECT_EQ(UninstallBatchFolder(L"\\\\server\\share", &root), -1);
}

TEST(UninstallBatch, RetriesABoundedNumberOfTimesThenRemovesFolderAndItself) {
  const std::string text =
      UninstallBatchText("C:\\Program Files\\Cryptelle\\CryptelleUninstaller.exe",
                         "C:\\Program Files\\Cryptelle", "C:\\CTuninst.bat");
  EXPECT_EQ(
      text,
      "@echo off\r\n"
      "set tries=0\r\n"
      ":Repeat\r\n"
      "attrib -r \"C:\\Program Files\\Cryptelle\\CryptelleUninstaller.exe\"\r\n"
      "del \"C:\\Program Files\\Cryptelle\\CryptelleUninstaller.exe\"\r\n"
      "if not exist \"C:\\Program Files\\Cryptelle\\CryptelleUninstaller.exe\" goto Removed\r\n"
      "set /a tries+=1\r\n"
      "if %tries% geq 60 goto Removed\r\n"
      "ping -n 2 127.0.0.1 >nul\r\n"
      "goto Repeat\r\n"
      ":Removed\r\n"
      "attrib -r \"C:\\Program Files\\Cryptelle\"\r\n"
      "rmdir \"C:\\Program Files\\Cryptelle\"\r\n"
      "del \"C:\\CTuninst.bat\"\r\n");
}

TEST(UninstallBatch, APercentSignInAPathStaysOne) {
  const std::string text =
      UninstallBatchText("D:\\100%\\CryptelleUninstaller.exe", "D:\\100%", "D:\\CTuninst.bat");
  EXPECT_NE(text.find("rmdir \"D:\\100%%\"\r\n"), std::string::npos) << text;
  EXPECT_EQ(text.find("100%\\"), std::string::npos) << text;
}

}  // namespace
