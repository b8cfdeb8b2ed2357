#include "account_files.h"

#include <string.h>

#include "account_file_store.h"
#include "account_records.h"
#include "account_system.h"
#include "account_texts.h"
#include "disk_key.h"
#include "path_rules.h"
#include "program_folder.h"
#include "win/private_folder_security.h"
#include "win/unique_handles.h"

namespace {

// Closes through the seam, like every other call on the account files.
void CloseAccountFile(HANDLE handle) {
  AccountSystemCalls().closeHandle(handle);
}
using AccountFile = UniqueWinHandle<ClosedBy<HANDLE, &CloseAccountFile, true>>;

HANDLE OpenForReading(const WCHAR* path) {
  return AccountSystemCalls().createFile(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                         FILE_ATTRIBUTE_NORMAL, nullptr);
}

// The account files' store on the real file calls, through the seam. Every
// file it creates gets the private descriptor, whatever its folder passes on.
class AccountFiles final : public AccountFileStore<WCHAR> {
 public:
  StoreWrite CreateNewAndWrite(const WCHAR* path, const uint8_t* bytes, size_t length) override {
    AccountSystem& calls = AccountSystemCalls();
    PrivateSecurity security;
    if (security.get() == nullptr) return StoreWrite::kNotCreated;
    AccountFile file(calls.createFile(path, GENERIC_READ | GENERIC_WRITE, 0, security.get(),
                                      CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid())
      return GetLastError() == ERROR_FILE_EXISTS ? StoreWrite::kExists : StoreWrite::kNotCreated;
    DWORD written = 0;
    const bool whole =
        calls.writeFile(file.get(), bytes, static_cast<DWORD>(length), &written, nullptr) &&
        written == length && calls.flushFileBuffers(file.get());
    return calls.closeHandle(file.release()) && whole ? StoreWrite::kWritten
                                                      : StoreWrite::kCreatedNotWhole;
  }
  bool Replace(const WCHAR* from, const WCHAR* to) override {
    return AccountSystemCalls().moveFileEx(from, to,
                                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
  }
  void Remove(const WCHAR* path) override { AccountSystemCalls().deleteFile(path); }
};

// -1 when path, or the folder that holds it, is a junction or symbolic link:
// the account files are never reached through one. Otherwise 1.
int RefuseLinks(const WCHAR* path) {
  WideText folder;
  if (CopyWideText(path, folder) != 1) return -1;
  WCHAR* name = wcsrchr(folder, L'\\');
  if (name != nullptr) *name = 0;
  AccountSystem& calls = AccountSystemCalls();
  return IsReparsePoint(calls.getFileAttributes(folder)) ||
                 IsReparsePoint(calls.getFileAttributes(path))
             ? -1
             : 1;
}

// The first 804 bytes of path: 1; 0 the file exists but cannot be opened;
// -1 it is absent, shorter or unreadable.
int ReadKeyFileBytes(const WCHAR* path, uint8_t bytes[kUserKeyFileSize]) {
  AccountSystem& calls = AccountSystemCalls();
  if (calls.getFileAttributes(path) == INVALID_FILE_ATTRIBUTES) return -1;
  AccountFile file(OpenForReading(path));
  if (!file.valid()) return 0;
  DWORD read = 0;
  if (!calls.readFile(file.get(), bytes, kUserKeyFileSize, &read, nullptr)) return -1;
  return read == kUserKeyFileSize ? 1 : -1;
}

// What a key file says about Password.
enum class KeyFileCheck {
  kMatches,     // Password opens it and its path is StorageFilePath
  kDiffers,     // it opens to another path: a wrong password or changed data
  kCannotOpen,  // it exists but cannot be opened
  kUnusable,    // absent, shorter than 804 bytes or unreadable
};

KeyFileCheck CheckKeyFile(const WCHAR* path) {
  Wiped<uint8_t[kUserKeyFileSize]> file;
  const int read = ReadKeyFileBytes(path, file.get());
  if (read != 1) return read == 0 ? KeyFileCheck::kCannotOpen : KeyFileCheck::kUnusable;
  Wiped<uint8_t[kUserKeyMaterialSize]> keyMaterial;
  if (OpenUserKeyFile({file.get(), kUserKeyFileSize}, AsUtf16(Password.get()),
                      DeriveAccountKeyRemembered, keyMaterial.get()) != 1)
    return KeyFileCheck::kUnusable;
  Wiped<char16_t[kPathBufferUnits]> storedPath;
  DecryptStoredPath(file.get(), keyMaterial.get(), storedPath.get());
  const char16_t* expected = AsUtf16(StorageFilePath);
  size_t i = 0;
  while (storedPath.get()[i] != 0 && storedPath.get()[i] == expected[i]) ++i;
  return storedPath.get()[i] == expected[i] ? KeyFileCheck::kMatches : KeyFileCheck::kDiffers;
}

// The key file's successor during a password change.
int BuildTemporaryKeyFilePath(const WCHAR* keyFile, PathBuffer<char16_t>* path) {
  return path->Assign(AsUtf16(keyFile)) == 1 && path->Append(kTemporaryKeyFileSuffix) == 1 ? 1
                                                                                           : -1;
}

// A successor left by a change that did not finish: it goes when the key
// file opens with Password, and takes the key file's place when the key file
// does not and it does; *keyFile then tells about the file that stays the
// user's. 1, or -1 when it is a link or cannot be moved.
int ResolveLeftover(KeyFileCheck* keyFile) {
  PathBuffer<char16_t> name;
  if (BuildTemporaryKeyFilePath(UserKeyFilePath, &name) != 1) return 1;  // never made
  const WCHAR* temporary = AsWide(name.c_str());
  const DWORD attributes = AccountSystemCalls().getFileAttributes(temporary);
  if (attributes == INVALID_FILE_ATTRIBUTES || *keyFile == KeyFileCheck::kCannotOpen) return 1;
  if (IsReparsePoint(attributes)) return -1;
  AccountFiles files;
  if (*keyFile == KeyFileCheck::kMatches) {
    files.Remove(temporary);
    return 1;
  }
  const KeyFileCheck leftover = CheckKeyFile(temporary);
  if (leftover == KeyFileCheck::kMatches && !files.Replace(temporary, UserKeyFilePath)) return -1;
  if (leftover == KeyFileCheck::kMatches || *keyFile == KeyFileCheck::kUnusable) *keyFile = leftover;
  return 1;
}

}  // namespace

int ReadUserKeyFile(uint8_t* saltOut, uint8_t* keyOut) {
  Wiped<uint8_t[kUserKeyFileSize]> file;
  if (RefuseLinks(UserKeyFilePath) != 1 || ReadKeyFileBytes(UserKeyFilePath, file.get()) != 1) {
    ForgetRememberedAccountKey();
    return -1;
  }
  if (saltOut != nullptr) memcpy(saltOut, file.get(), kAccountSaltSize);
  const WCHAR* password = ChangingPassword ? OldPassword.get() : Password.get();
  Wiped<uint8_t[kUserKeyMaterialSize]> keyMaterial;
  // The mount's read right after the password check reuses its derivation.
  const int opened = OpenUserKeyFile({file.get(), kUserKeyFileSize}, AsUtf16(password),
                                     DeriveAccountKeyRemembered, keyMaterial.get());
  ForgetRememberedAccountKey();
  if (opened != 1) return -1;
  if (ChangingPassword)
    memcpy(keyOut, keyMaterial.get(), kUserKeyMaterialSize);
  else
    DiskKeyFromKeyMaterial(keyMaterial.get(), keyOut);
  return 1;
}

int VerifyUserPassword(HWND owner) {
  ForgetRememberedAccountKey();
  if (RefuseLinks(UserKeyFilePath) != 1) return -1;
  KeyFileCheck checked = CheckKeyFile(UserKeyFilePath);
  if (ResolveLeftover(&checked) != 1) return -1;
  switch (checked) {
    case KeyFileCheck::kMatches:
      return 1;
    case KeyFileCheck::kDiffers:
      ForgetRememberedAccountKey();
      ShowAccountMessage(owner, kPasswordMismatchText, kCreateUserTitle, MB_ICONINFORMATION);
      return 0;
    case KeyFileCheck::kCannotOpen:
      ShowAccountMessage(owner, kUserDoesNotExistText, kCreateUserTitle, MB_ICONINFORMATION);
      return -1;
    case KeyFileCheck::kUnusable:
      break;
  }
  return -1;
}

int WriteUserKeyFile(HWND owner) {
  ForgetRememberedAccountKey();
  AccountSystem& calls = AccountSystemCalls();
  Wiped<uint8_t[kAccountSaltSize]> salt;
  Wiped<uint8_t[kUserKeyMaterialSize]> keyMaterial;
  if (!ChangingPassword) {
    if (calls.getFileAttributes(UserKeyFilePath) != INVALID_FILE_ATTRIBUTES)
      calls.deleteFile(UserKeyFilePath);
    if (calls.randomBytes(salt.get(), kAccountSaltSize) != 1) return -1;
    if (calls.randomBytes(keyMaterial.get(), kUserKeyMaterialSize) != 1) return -1;
  } else if (ReadUserKeyFile(salt.get(), keyMaterial.get()) != 1) {
    return -1;
  }

  Wiped<uint8_t[kUserKeyFileSize]> record;
  const int built = BuildUserKeyFile(salt.get(), keyMaterial.get(), AsUtf16(StorageFilePath),
                                     AsUtf16(Password.get()), DeriveAccountKey, record.get());
  if (built == 0) {
    ShowAccountMessage(
        owner, ChangingPassword ? kKeyFilePathUnencodableChangeText : kKeyFilePathUnencodableText,
        kProductTitle, MB_ICONERROR);
    MustCloseProgram = true;
    return -1;
  }
  if (built != 1) return -1;

  PathBuffer<char16_t> keyFile;
  PathBuffer<char16_t> temporary;
  if (BuildUserKeyFilePath(AsUtf16(InstallFolder), AsUtf16(UserName), &keyFile) != 1 ||
      RefuseLinks(AsWide(keyFile.c_str())) != 1 ||
      (ChangingPassword && BuildTemporaryKeyFilePath(AsWide(keyFile.c_str()), &temporary) != 1))
    return -1;
  AccountFiles files;
  const WCHAR* path = AsWide(keyFile.c_str());
  const AccountFileWrite written =
      ChangingPassword ? ReplaceKeyFileSafely(files, path, AsWide(temporary.c_str()), record.get(),
                                              kUserKeyFileSize)
                       : WriteNewFileWhole(files, path, record.get(), kUserKeyFileSize);
  if (written != AccountFileWrite::kDone) return -1;
  return CopyWideText(path, UserKeyFilePath);
}

int WriteRecoveryFile(HWND owner, AnswerTexts& answers) {
  AccountSystem& calls = AccountSystemCalls();
  const int located = ChangingPassword ? LocateRecoveryFile(UserName, true) : 0;
  if (located == -1 || RefuseLinks(RecoveryFilePath) != 1) return -1;
  // The earlier file holds the earlier password: it goes in every case.
  if (located == 1 && !calls.deleteFile(RecoveryFilePath)) return -1;
  Wiped<uint8_t[kAccountSaltSize]> salt;
  if (calls.randomBytes(salt.get(), kAccountSaltSize) != 1) return -1;
  const char16_t* const answerTexts[kRecoveryAnswerCount] = {
      AsUtf16(answers[0]), AsUtf16(answers[1]), AsUtf16(answers[2])};
  Wiped<uint8_t[kRecoveryFileSize]> record;
  const int built = BuildRecoveryFile(salt.get(), AsUtf16(Password.get()), answerTexts,
                                      DeriveAccountKey, record.get());
  if (built == 0) {
    ShowAccountMessage(owner,
                       ChangingPassword ? kRecoveryPasswordUnencodableChangeText
                                        : kRecoveryPasswordUnencodableText,
                       kProductTitle, MB_ICONERROR);
    MustCloseProgram = true;
    return ChangingPassword ? 0 : -1;
  }
  if (built != 1) return -1;
  AccountFiles files;
  if (WriteNewFileWhole(files, RecoveryFilePath, record.get(), kRecoveryFileSize) !=
      AccountFileWrite::kDone)
    return -1;
  SecureWipe(answers, sizeof(AnswerTexts));
  return 1;
}

int ReadRecoveryFile(HWND owner, const AnswerTexts& answers) {
  AccountSystem& calls = AccountSystemCalls();
  Wiped<uint8_t[kRecoveryFileSize]> file;
  if (RefuseLinks(RecoveryFilePath) != 1) return -1;
  {
    AccountFile handle(OpenForReading(RecoveryFilePath));
    if (!handle.valid()) return -1;
    LARGE_INTEGER size;
    if (!calls.getFileSizeEx(handle.get(), &size)) return -1;
    if (size.QuadPart != static_cast<LONGLONG>(kRecoveryFileSize)) {
      ShowAccountMessage(owner, kRecoveryFileSizeText, kRecoverPasswordTitle, MB_ICONINFORMATION);
      return -1;
    }
    DWORD read = 0;
    if (!calls.readFile(handle.get(), file.get(), kRecoveryFileSize, &read, nullptr) ||
        read != kRecoveryFileSize)
      return -1;
  }
  for (const WideText& answer : answers) {
    if (Utf16Length(AsUtf16(answer)) > kMaxPathUnits) return -1;
  }
  const char16_t* const answerTexts[kRecoveryAnswerCount] = {
      AsUtf16(answers[0]), AsUtf16(answers[1]), AsUtf16(answers[2])};
  Wiped<char16_t[kPathBufferUnits]> recovered;
  const int opened = OpenRecoveryFile(file.get(), answerTexts, DeriveAccountKey, recovered.get());
  if (opened != 1) return opened;
  memcpy(Password.get(), recovered.get(), sizeof(WideText));
  if (&answers != &RecoveryAnswers.get())
    memcpy(RecoveryAnswers.get(), answers, sizeof(AnswerTexts));
  return 1;
}
