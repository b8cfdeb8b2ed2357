// The private descriptor of the account folders and files, and setup's
// program sub-folders made with it.
#include <gtest/gtest.h>
#include <windows.h>
// windows.h first: the security headers build on it.
#include <aclapi.h>
#include <sddl.h>

#include <string>

#include "install_folder.h"
#include "win/private_folder_security.h"

namespace {

std::wstring Sddl(PSECURITY_DESCRIPTOR descriptor) {
  LPWSTR text = nullptr;
  if (!ConvertSecurityDescriptorToStringSecurityDescriptorW(
          descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text, nullptr))
    return L"<none>";
  const std::wstring sddl(text);
  LocalFree(text);
  return sddl;
}

// The access list Wine reads back for a path.
std::wstring ReadBack(const std::string& path) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetNamedSecurityInfoA(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                            nullptr, nullptr, nullptr, &descriptor) != ERROR_SUCCESS)
    return L"<none>";
  const std::wstring sddl = Sddl(descriptor);
  LocalFree(descriptor);
  return sddl;
}

TEST(PrivateFolders, DescriptorIsSystemAndAdministratorsOnlyAndInheritsNothing) {
  PrivateSecurity security;
  ASSERT_NE(security.get(), nullptr);
  EXPECT_EQ(security.get()->nLength, sizeof(SECURITY_ATTRIBUTES));
  EXPECT_FALSE(security.get()->bInheritHandle);
  EXPECT_EQ(Sddl(security.get()->lpSecurityDescriptor), L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)");
}

// Wine keeps no access lists, but it turns the list a folder is created with
// into the folder's Unix mode and reads that back: nothing for Everyone
// (WD) after the private descriptor, read access for Everyone without one.
TEST(PrivateFolders, SetupMakesEachProgramSubFolderWithTheDescriptor) {
  char temp[MAX_PATH];
  ASSERT_GT(GetTempPathA(MAX_PATH, temp), 0u);
  const std::string folder = std::string(temp) + "ctfolders" + std::to_string(GetCurrentProcessId());
  ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
  setup::SetupState state;
  ASSERT_EQ(setup::CreateSubFolders(nullptr, &state, folder.c_str()), 1);
  EXPECT_NE(ReadBack(folder).find(L";;;WD)"), std::wstring::npos);
  for (const char* sub : {"PRF", "Key", "CryptDsks"}) {
    const std::wstring sddl = ReadBack(folder + "\\" + sub);
    EXPECT_NE(sddl, L"<none>") << sub;
    EXPECT_EQ(sddl.find(L";;;WD)"), std::wstring::npos) << sub;
    RemoveDirectoryA((folder + "\\" + sub).c_str());
  }
  RemoveDirectoryA(folder.c_str());
}

}  // namespace
