#include "account_files.h"

#include <string.h>

#include "account_file_store.h"
#include "account_records.h"
#include "account_system.h"
#include "account_texts.h"
#include "disk_key.h"
#include "path_rules.h"
#include "program_folder.h"
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

// The account files' store on the real file calls, through the seam.
class AccountFiles final : public AccountFileStore<WCHAR> {
 public:
  StoreWrite CreateNewAndWrite(const WCHAR* path, const uint8_t* bytes, size_t length) override {
    AccountSystem& calls = AccountSystemCalls();
    AccountFile file(calls.createFile(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
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

// Reads the first 804 bytes of UserKeyFilePath. With owner reporting on, a
// file that exists but cannot be opened shows "This user does not exist.".
int ReadKeyFileBytes(uint8_t bytes[kUserKeyFileSize], bool report, HWND owner) {
  AccountSystem& calls = AccountSystemCalls();
  if (calls.getFileAttributes(UserKeyFilePath) == INVALID_FILE_ATTRIBUTES) return -1;
  AccountFile file(OpenForReading(UserKeyFilePath));
  if (!file.valid()) {
    if (report)
      ShowAccountMessage(owner, kUserDoesNotExistText, kCreateUserTitle, MB_ICONINFORMATION);
    return -1;
  }
  DWORD read = 0;
  if (!calls.readFile(file.get(), bytes, kUserKeyFileSize, &read, nullptr)) return -1;
  return read == kUserKeyFileSize ? 1 : -1;
}

int BuildTemporaryKeyFilePath(PathBuffer<char16_t>* path) {
  return BuildProgramFolderPath(AsUtf16(InstallFolder), kKeyFolderName,
                                {AsUtf16(UserName), u"2", kUserKeyExtension}, path);
}

}  // namespace

int ReadUserKeyFile(uint8_t* saltOut, uint8_t* keyOut) {
  Wiped<uint8_t[kUserKeyFileSize]> file;
  if (ReadKeyFileBytes(file.get(), false, nullptr) != 1) {
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
  Wiped<uint8_t[kUserKeyFileSize]> file;
  if (ReadKeyFileBytes(file.get(), true, owner) != 1) return -1;
  Wiped<uint8_t[kUserKeyMaterialSize]> keyMaterial;
  if (OpenUserKeyFile({file.get(), kUserKeyFileSize}, AsUtf16(Password.get()),
                      DeriveAccountKeyRemembered, keyMaterial.get()) != 1)
    return -1;
  Wiped<char16_t[kPathBufferUnits]> storedPath;
  DecryptStoredPath(file.get(), keyMaterial.get(), storedPath.get());
  const char16_t* expected = AsUtf16(StorageFilePath);
  size_t i = 0;
  while (storedPath.get()[i] != 0 && storedPath.get()[i] == expected[i]) ++i;
  if (storedPath.get()[i] == expected[i]) return 1;
  ForgetRememberedAccountKey();
  ShowAccountMessage(owner, kPasswordMismatchText, kCreateUserTitle, MB_ICONINFORMATION);
  return 0;
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
      (ChangingPassword && BuildTemporaryKeyFilePath(&temporary) != 1))
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
  if (ChangingPassword) {
    const int located = LocateRecoveryFile(UserName, true);
    if (located == -1) return -1;
    // The earlier file holds the earlier password: it goes in every case.
    if (located == 1 && !calls.deleteFile(RecoveryFilePath)) return -1;
  }
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
