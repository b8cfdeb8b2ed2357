#include "program_folder.h"

#include "account_state.h"
#include "account_system.h"
#include "path_rules.h"

namespace {

int FolderExists(const char16_t* folder) {
  PathBuffer<char16_t> path;
  if (path.Assign(AsUtf16(InstallFolder)) != 1 || path.AppendSeparatorIfMissing() != 1 ||
      path.Append(folder) != 1)
    return -1;
  const DWORD attributes = AccountSystemCalls().getFileAttributes(AsWide(path.c_str()));
  if (attributes == INVALID_FILE_ATTRIBUTES) return 0;
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? 1 : 0;
}

int PathExists(const PathBuffer<char16_t>& path) {
  return AccountSystemCalls().getFileAttributes(AsWide(path.c_str())) != INVALID_FILE_ATTRIBUTES
             ? 1
             : 0;
}

int Locate(const PathBuffer<char16_t>& path, bool remember, WCHAR* rememberedPath) {
  if (remember && CopyWideText(AsWide(path.c_str()), rememberedPath) != 1) return -1;
  return PathExists(path);
}

}  // namespace

int KeyFolderExists() {
  return FolderExists(kKeyFolderName);
}

int StorageFolderExists() {
  return FolderExists(kStorageFolderName);
}

int LocateUserKeyFile(const WCHAR* name, bool remember) {
  PathBuffer<char16_t> path;
  if (BuildUserKeyFilePath(AsUtf16(InstallFolder), AsUtf16(name), &path) != 1) return -1;
  const int located = Locate(path, remember, UserKeyFilePath);
  // The successor an unfinished change left stands for a missing key file
  // until the password check settles it.
  if (located != 0 || path.Append(kTemporaryKeyFileSuffix) != 1) return located;
  return PathExists(path);
}

int LocateRecoveryFile(const WCHAR* name, bool remember) {
  PathBuffer<char16_t> path;
  if (BuildRecoveryFilePath(AsUtf16(InstallFolder), AsUtf16(name), &path) != 1) return -1;
  return Locate(path, remember, RecoveryFilePath);
}

int DefaultStorageFileExists(const WCHAR* name) {
  PathBuffer<char16_t> path;
  if (BuildDefaultStorageFilePath(AsUtf16(InstallFolder), AsUtf16(name), &path) != 1) return -1;
  return PathExists(path);
}
