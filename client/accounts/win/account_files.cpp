#include "account_files.h"

#include <string.h>

#include "account_file_store.h"
#include "account_records.h"
#include "account_system.h"
#include "account_texts.h"
#include "cryptdsk_protocol.h"
#include "disk_key.h"
#include "key_file_v2.h"
#include "path_rules.h"
#include "program_folder.h"
#include "recovery_file_v2.h"
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

// A key file as read: the first 804 bytes of a first-generation file (a
// longer one is read as before), or the whole of a second-generation one.
struct KeyFileBytes {
  uint8_t bytes[kUserKeyFileSize];
  size_t size;  // kUserKeyFileSize or kKeyFileV2Size
};
static_assert(kKeyFileV2Size < kUserKeyFileSize, "one buffer holds either generation");

// 1 read; 0 the file exists but cannot be opened; -1 it is absent,
// unreadable, or neither 804 bytes or more nor a 736-byte second-generation
// file.
int ReadKeyFileBytes(const WCHAR* path, KeyFileBytes* file) {
  AccountSystem& calls = AccountSystemCalls();
  if (calls.getFileAttributes(path) == INVALID_FILE_ATTRIBUTES) return -1;
  AccountFile handle(OpenForReading(path));
  if (!handle.valid()) return 0;
  DWORD read = 0;
  if (!calls.readFile(handle.get(), file->bytes, kUserKeyFileSize, &read, nullptr)) return -1;
  // A read that stops short of 804 bytes has met the end of the file.
  if (read != kUserKeyFileSize && !IsKeyFileV2(file->bytes, read)) return -1;
  file->size = read;
  return 1;
}

KdfMemory AccountKdfMemory() {
  const AccountSystem& calls = AccountSystemCalls();
  return KdfMemory{calls.allocateKdfMemory, calls.releaseKdfMemory};
}

// A key file opened with a password.
struct OpenedKeyFile {
  bool wholeDisk;                             // second generation
  uint8_t keyMaterial[kUserKeyMaterialSize];  // first generation
  uint8_t keys[kKeyFileV2KeysSize];           // second generation
  char16_t path[kPathBufferUnits];
};

// 1 opened (a first-generation file always opens; only its path shows a
// wrong password); 0 a second-generation file the password does not open,
// or an altered one (a header it refuses included); -1 a password too long,
// or no memory for Argon2id. Inside a RememberedAccountKeyScope a second
// opening derives nothing.
int OpenKeyFile(const KeyFileBytes& file, const WCHAR* password, OpenedKeyFile* opened) {
  opened->wholeDisk = file.size == kKeyFileV2Size;
  if (opened->wholeDisk && !KeyFileV2HeaderAccepted(file.bytes, file.size)) return 0;
  if (opened->wholeDisk)
    return OpenKeyFileV2Remembered(file.bytes, file.size, AsUtf16(password), AccountKdfMemory(),
                                   opened->keys, opened->path);
  if (OpenUserKeyFile({file.bytes, kUserKeyFileSize}, AsUtf16(password),
                      DeriveAccountKeyRemembered, opened->keyMaterial) != 1)
    return -1;
  DecryptStoredPath(file.bytes, opened->keyMaterial, opened->path);
  return 1;
}

// What a key file says about Password.
enum class KeyFileCheck {
  kMatches,     // Password opens it and its path is StorageFilePath
  kDiffers,     // a wrong password or changed data
  kCannotOpen,  // it exists but cannot be opened
  kUnusable,    // absent, of neither generation's size, or unreadable
};

struct KeyFileState {
  KeyFileCheck check;
  bool wholeDisk;  // a second-generation file: its message says so
};

KeyFileState CheckKeyFile(const WCHAR* path) {
  Wiped<KeyFileBytes> file;
  const int read = ReadKeyFileBytes(path, &file.get());
  if (read != 1) return {read == 0 ? KeyFileCheck::kCannotOpen : KeyFileCheck::kUnusable, false};
  Wiped<OpenedKeyFile> opened;
  const int result = OpenKeyFile(file.get(), Password.get(), &opened.get());
  if (result != 1)
    return {result == 0 ? KeyFileCheck::kDiffers : KeyFileCheck::kUnusable, opened->wholeDisk};
  const char16_t* stored = opened->path;
  const char16_t* expected = AsUtf16(StorageFilePath);
  size_t i = 0;
  while (stored[i] != 0 && stored[i] == expected[i]) ++i;
  return {stored[i] == expected[i] ? KeyFileCheck::kMatches : KeyFileCheck::kDiffers,
          opened->wholeDisk};
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
int ResolveLeftover(KeyFileState* keyFile) {
  PathBuffer<char16_t> name;
  if (BuildTemporaryKeyFilePath(UserKeyFilePath, &name) != 1) return 1;  // never made
  const WCHAR* temporary = AsWide(name.c_str());
  const DWORD attributes = AccountSystemCalls().getFileAttributes(temporary);
  if (attributes == INVALID_FILE_ATTRIBUTES || keyFile->check == KeyFileCheck::kCannotOpen)
    return 1;
  if (IsReparsePoint(attributes)) return -1;
  AccountFiles files;
  if (keyFile->check == KeyFileCheck::kMatches) {
    files.Remove(temporary);
    return 1;
  }
  const KeyFileState leftover = CheckKeyFile(temporary);
  const bool matches = leftover.check == KeyFileCheck::kMatches;
  if (matches && !files.Replace(temporary, UserKeyFilePath)) return -1;
  if (matches || keyFile->check == KeyFileCheck::kUnusable) *keyFile = leftover;
  return 1;
}

// Reads the user's key file and opens it with password: 1, 0 or -1 as
// OpenKeyFile; -1 also for a link or a file of neither generation.
int ReadAndOpenKeyFile(const WCHAR* password, KeyFileBytes* file, OpenedKeyFile* opened) {
  if (RefuseLinks(UserKeyFilePath) != 1 || ReadKeyFileBytes(UserKeyFilePath, file) != 1) return -1;
  return OpenKeyFile(*file, password, opened);
}

// What WriteUserKeyFile writes and, for the second generation, what the
// file holds, so that the read-back can take it without deriving again.
struct KeyFileRecord {
  KeyFileBytes file;
  OpenedKeyFile opened;
};

// The second generation for Password: the record's keys and path under a
// fresh salt, at the given cost. 1 or -1.
int BuildWholeDiskKeyFile(const Argon2idParameters& parameters, KeyFileRecord* record) {
  AccountSystem& calls = AccountSystemCalls();
  Wiped<uint8_t[kKeyFileV2SaltSize]> salt;
  if (calls.randomBytes(salt.get(), kKeyFileV2SaltSize) != 1) return -1;
  record->file.size = kKeyFileV2Size;
  return BuildKeyFileV2(parameters, salt.get(), record->opened.keys, record->opened.path,
                        AsUtf16(Password.get()), AccountKdfMemory(), record->file.bytes) == 1
             ? 1
             : -1;
}

// The first generation for Password and StorageFilePath. 1 built; 0 the
// path has a unit above 0x00FF; -1.
int BuildHeadOnlyKeyFile(const uint8_t salt[kAccountSaltSize],
                         const uint8_t keyMaterial[kUserKeyMaterialSize], KeyFileRecord* record) {
  record->file.size = kUserKeyFileSize;
  return BuildUserKeyFile(salt, keyMaterial, AsUtf16(StorageFilePath), AsUtf16(Password.get()),
                          DeriveAccountKey, record->file.bytes);
}

// A new user's file: the second generation when the whole drive is to be
// encrypted, the first otherwise.
int BuildNewKeyFile(KeyFileRecord* record) {
  AccountSystem& calls = AccountSystemCalls();
  if (WantWholeDriveEncryption) {
    record->opened.wholeDisk = true;
    if (calls.randomBytes(record->opened.keys, kKeyFileV2KeysSize) != 1 ||
        CopyWideText(StorageFilePath, AsWide(record->opened.path)) != 1)
      return -1;
    return BuildWholeDiskKeyFile(calls.fileV2Parameters, record);
  }
  Wiped<uint8_t[kAccountSaltSize]> salt;
  Wiped<uint8_t[kUserKeyMaterialSize]> keyMaterial;
  if (calls.randomBytes(salt.get(), kAccountSaltSize) != 1) return -1;
  if (calls.randomBytes(keyMaterial.get(), kUserKeyMaterialSize) != 1) return -1;
  return BuildHeadOnlyKeyFile(salt.get(), keyMaterial.get(), record);
}

// The user's file under the new password, of the generation it has: the
// same keys; the first generation keeps its salt, the second gets a new one
// and keeps its cost.
int BuildChangedKeyFile(KeyFileRecord* record) {
  Wiped<KeyFileBytes> earlier;
  const int opened = ReadAndOpenKeyFile(OldPassword.get(), &earlier.get(), &record->opened);
  ForgetRememberedAccountKey();
  if (opened != 1) return -1;
  if (record->opened.wholeDisk)
    return BuildWholeDiskKeyFile(KeyFileV2Parameters(earlier->bytes), record);
  return BuildHeadOnlyKeyFile(earlier->bytes, record->opened.keyMaterial, record);
}

}  // namespace

int ReadUserDiskKey(UserDiskKey* key) {
  SecureWipeObject(*key);
  Wiped<KeyFileBytes> file;
  Wiped<OpenedKeyFile> opened;
  // The mount's read right after the password check reuses its derivation.
  const int result = ReadAndOpenKeyFile(Password.get(), &file.get(), &opened.get());
  ForgetRememberedAccountKey();
  if (result != 1) return -1;
  if (opened->wholeDisk) {
    key->Generation = cryptdsk::kGenerationWholeDisk;
    memcpy(key->Key, opened->keys, kKeyFileV2KeysSize);
  } else {
    key->Generation = cryptdsk::kGenerationHeadOnly;
    DiskKeyFromKeyMaterial(opened->keyMaterial, key->Key);
  }
  return 1;
}

int VerifyUserPassword(HWND owner) {
  // A memo from this scope's write serves: it hits only for the same bytes.
  if (RefuseLinks(UserKeyFilePath) != 1) return -1;
  KeyFileState checked = CheckKeyFile(UserKeyFilePath);
  if (ResolveLeftover(&checked) != 1) return -1;
  switch (checked.check) {
    case KeyFileCheck::kMatches:
      return 1;
    case KeyFileCheck::kDiffers:
      ForgetRememberedAccountKey();
      ShowAccountMessage(owner,
                         checked.wholeDisk ? kPasswordMismatchWholeDiskText : kPasswordMismatchText,
                         kCreateUserTitle, MB_ICONINFORMATION);
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
  // Nothing is forgotten first: inside a scope a change reads the file its
  // check has just opened without deriving again.
  AccountSystem& calls = AccountSystemCalls();
  if (!ChangingPassword && calls.getFileAttributes(UserKeyFilePath) != INVALID_FILE_ATTRIBUTES)
    calls.deleteFile(UserKeyFilePath);
  Wiped<KeyFileRecord> record;
  const int built =
      ChangingPassword ? BuildChangedKeyFile(&record.get()) : BuildNewKeyFile(&record.get());
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
  const KeyFileBytes& bytes = record->file;
  const AccountFileWrite written =
      ChangingPassword
          ? ReplaceKeyFileSafely(files, path, AsWide(temporary.c_str()), bytes.bytes, bytes.size)
          : WriteNewFileWhole(files, path, bytes.bytes, bytes.size);
  if (written != AccountFileWrite::kDone) return -1;
  // Inside a log-in's scope the read-back and the mount derive nothing more.
  if (record->opened.wholeDisk)
    RememberKeyFileV2(bytes.bytes, AsUtf16(Password.get()), record->opened.keys,
                      record->opened.path);
  return CopyWideText(path, UserKeyFilePath);
}

namespace {

// Which generation of recovery file the user gets: a new user's follows the
// whole-drive choice, a changing user's follows the key file, whose cost it
// takes. 1 second generation (parameters set); 0 first, also when there is
// no key file of either generation, as before; -1 the key file is a link,
// cannot be opened or is an altered second-generation one.
int RecoveryFileV2Wanted(Argon2idParameters* parameters) {
  *parameters = AccountSystemCalls().fileV2Parameters;
  if (!ChangingPassword) return WantWholeDriveEncryption ? 1 : 0;
  Wiped<KeyFileBytes> keyFile;
  if (RefuseLinks(UserKeyFilePath) != 1) return -1;
  const int read = ReadKeyFileBytes(UserKeyFilePath, &keyFile.get());
  if (read != 1) return read == 0 ? -1 : 0;
  if (keyFile->size != kKeyFileV2Size) return 0;
  if (!KeyFileV2HeaderAccepted(keyFile->bytes, keyFile->size)) return -1;
  *parameters = KeyFileV2Parameters(keyFile->bytes);
  return 1;
}

// The recovery file's bytes, of either generation.
struct RecoveryFileBytes {
  uint8_t bytes[kRecoveryFileSize];
  size_t size;  // kRecoveryFileSize or kRecoveryFileV2Size
};
static_assert(kRecoveryFileV2Size < kRecoveryFileSize, "one buffer holds either generation");

// 1 built; 0 a first-generation password with a unit above 0x00FF; -1.
int BuildRecoveryRecord(const char16_t* const answers[kRecoveryAnswerCount],
                        RecoveryFileBytes* record) {
  AccountSystem& calls = AccountSystemCalls();
  Argon2idParameters parameters;
  const int wholeDisk = RecoveryFileV2Wanted(&parameters);
  if (wholeDisk == -1) return -1;
  if (wholeDisk == 1) {
    Wiped<uint8_t[kKeyFileV2SaltSize]> salt;
    if (calls.randomBytes(salt.get(), kKeyFileV2SaltSize) != 1) return -1;
    record->size = kRecoveryFileV2Size;
    return BuildRecoveryFileV2(parameters, salt.get(), AsUtf16(Password.get()), answers,
                               AccountKdfMemory(), record->bytes) == 1
               ? 1
               : -1;
  }
  Wiped<uint8_t[kAccountSaltSize]> salt;
  if (calls.randomBytes(salt.get(), kAccountSaltSize) != 1) return -1;
  record->size = kRecoveryFileSize;
  return BuildRecoveryFile(salt.get(), AsUtf16(Password.get()), answers, DeriveAccountKey,
                           record->bytes);
}

// The recovery file's bytes: 1 read; 0 of neither generation's size and
// magic; -1 it cannot be opened or read.
int ReadRecoveryBytes(RecoveryFileBytes* file) {
  AccountSystem& calls = AccountSystemCalls();
  AccountFile handle(OpenForReading(RecoveryFilePath));
  if (!handle.valid()) return -1;
  LARGE_INTEGER size;
  if (!calls.getFileSizeEx(handle.get(), &size)) return -1;
  if (size.QuadPart != static_cast<LONGLONG>(kRecoveryFileSize) &&
      size.QuadPart != static_cast<LONGLONG>(kRecoveryFileV2Size))
    return 0;
  file->size = static_cast<size_t>(size.QuadPart);
  DWORD read = 0;
  if (!calls.readFile(handle.get(), file->bytes, static_cast<DWORD>(file->size), &read, nullptr) ||
      read != file->size)
    return -1;
  return file->size == kRecoveryFileSize || IsRecoveryFileV2(file->bytes, file->size) ? 1 : 0;
}

}  // namespace

int WriteRecoveryFile(HWND owner, AnswerTexts& answers) {
  AccountSystem& calls = AccountSystemCalls();
  const int located = ChangingPassword ? LocateRecoveryFile(UserName, true) : 0;
  if (located == -1 || RefuseLinks(RecoveryFilePath) != 1) return -1;
  // The earlier file holds the earlier password: it goes in every case.
  if (located == 1 && !calls.deleteFile(RecoveryFilePath)) return -1;
  const char16_t* const answerTexts[kRecoveryAnswerCount] = {
      AsUtf16(answers[0]), AsUtf16(answers[1]), AsUtf16(answers[2])};
  Wiped<RecoveryFileBytes> record;
  const int built = BuildRecoveryRecord(answerTexts, &record.get());
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
  if (WriteNewFileWhole(files, RecoveryFilePath, record->bytes, record->size) !=
      AccountFileWrite::kDone)
    return -1;
  SecureWipe(answers, sizeof(AnswerTexts));
  return 1;
}

int ReadRecoveryFile(HWND owner, const AnswerTexts& answers) {
  Wiped<RecoveryFileBytes> file;
  if (RefuseLinks(RecoveryFilePath) != 1) return -1;
  const int read = ReadRecoveryBytes(&file.get());
  if (read == 0) {
    ShowAccountMessage(owner, kRecoveryFileSizeText, kRecoverPasswordTitle, MB_ICONINFORMATION);
    return -1;
  }
  if (read != 1) return -1;
  for (const WideText& answer : answers) {
    if (Utf16Length(AsUtf16(answer)) > kMaxPathUnits) return -1;
  }
  const char16_t* const answerTexts[kRecoveryAnswerCount] = {
      AsUtf16(answers[0]), AsUtf16(answers[1]), AsUtf16(answers[2])};
  Wiped<char16_t[kPathBufferUnits]> recovered;
  // A second-generation file refuses wrong answers as a whole: no copies
  // to compare, the MAC says it, and that reads as answers that disagree.
  const int opened =
      file->size == kRecoveryFileV2Size
          ? OpenRecoveryFileV2(file->bytes, file->size, answerTexts, AccountKdfMemory(),
                               recovered.get())
          : OpenRecoveryFile(file->bytes, answerTexts, DeriveAccountKey, recovered.get());
  if (opened != 1) return opened;
  memcpy(Password.get(), recovered.get(), sizeof(WideText));
  if (&answers != &RecoveryAnswers.get())
    memcpy(RecoveryAnswers.get(), answers, sizeof(AnswerTexts));
  return 1;
}
