// Pure rules for the per-user file names under the program folder.
#pragma once

#include <initializer_list>

#include "client_texts.h"
#include "path_buffer.h"

// Folders under the program folder.
inline constexpr char16_t kKeyFolderName[] = CT_U(CRYPTELLE_KEY_FOLDER);
inline constexpr char16_t kStorageFolderName[] = CT_U(CRYPTELLE_STORAGE_FOLDER);
inline constexpr char16_t kRecoveryFolderName[] = CT_U(CRYPTELLE_RECOVERY_FOLDER);

inline constexpr char16_t kUserKeyExtension[] = u".user";
// A password change writes the key file's successor beside it under the key
// file's name followed by this. Such a name never ends in ".user", so it can
// never be a key file's name and never counts as a user.
#define CT_TEMPORARY_KEY_FILE_SUFFIX ".new"
inline constexpr char16_t kTemporaryKeyFileSuffix[] = CT_U(CT_TEMPORARY_KEY_FILE_SUFFIX);
inline constexpr char16_t kRecoveryExtension[] = u".prf";
inline constexpr char16_t kStorageExtension[] = u".cryptdsk";
inline constexpr char16_t kStorageFilePrefix[] = u"Cryptelle_";

// installFolder + "\" + folder + "\" + the parts in order; a backslash is
// only added where the text does not already end in one. 1 on success, -1
// when the path would not fit (out is then unspecified).
int BuildProgramFolderPath(const char16_t* installFolder, const char16_t* folder,
                           std::initializer_list<const char16_t*> fileNameParts, PathBuffer<char16_t>* out);

// The three per-user paths; results as BuildProgramFolderPath.
int BuildUserKeyFilePath(const char16_t* installFolder, const char16_t* userName, PathBuffer<char16_t>* out);
int BuildRecoveryFilePath(const char16_t* installFolder, const char16_t* userName, PathBuffer<char16_t>* out);
int BuildDefaultStorageFilePath(const char16_t* installFolder, const char16_t* userName,
                                PathBuffer<char16_t>* out);

// Lower-casing changes only the ASCII capitals A to Z.
inline char16_t LowerAscii(char16_t unit) {
  return (unit >= u'A' && unit <= u'Z') ? static_cast<char16_t>(unit + (u'a' - u'A')) : unit;
}

void ToLowerInPlace(char16_t* text);

// Writes the lower-cased units of source to destination, without a terminator.
void CopyLowerCase(const char16_t* source, char16_t* destination);

// 1 if path ends in ".user" regardless of ASCII case, otherwise 0.
int IsUserKeyFileName(const char16_t* path);
