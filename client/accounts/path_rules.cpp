#include "path_rules.h"

int BuildProgramFolderPath(const char16_t* installFolder, const char16_t* folder,
                           std::initializer_list<const char16_t*> fileNameParts, PathBuffer<char16_t>* out) {
  if (out->Assign(installFolder) != 1) return -1;
  if (out->AppendSeparatorIfMissing() != 1) return -1;
  if (out->Append(folder) != 1) return -1;
  if (out->AppendSeparatorIfMissing() != 1) return -1;
  for (const char16_t* part : fileNameParts) {
    if (out->Append(part) != 1) return -1;
  }
  return 1;
}

int BuildUserKeyFilePath(const char16_t* installFolder, const char16_t* userName, PathBuffer<char16_t>* out) {
  return BuildProgramFolderPath(installFolder, kKeyFolderName, {userName, kUserKeyExtension}, out);
}

int BuildRecoveryFilePath(const char16_t* installFolder, const char16_t* userName,
                          PathBuffer<char16_t>* out) {
  return BuildProgramFolderPath(installFolder, kRecoveryFolderName, {userName, kRecoveryExtension},
                                out);
}

int BuildDefaultStorageFilePath(const char16_t* installFolder, const char16_t* userName,
                                PathBuffer<char16_t>* out) {
  return BuildProgramFolderPath(installFolder, kStorageFolderName,
                                {kStorageFilePrefix, userName, kStorageExtension}, out);
}

void ToLowerInPlace(char16_t* text) {
  for (; *text != 0; ++text) *text = LowerAscii(*text);
}

void CopyLowerCase(const char16_t* source, char16_t* destination) {
  for (; *source != 0; ++source, ++destination) *destination = LowerAscii(*source);
}

int IsUserKeyFileName(const char16_t* path) {
  const size_t length = Utf16Length(path);
  const size_t suffixLength = Utf16Length(kUserKeyExtension);
  if (length < suffixLength) return 0;
  const char16_t* tail = path + length - suffixLength;
  for (size_t i = 0; i < suffixLength; ++i) {
    if (LowerAscii(tail[i]) != kUserKeyExtension[i]) return 0;
  }
  return 1;
}
