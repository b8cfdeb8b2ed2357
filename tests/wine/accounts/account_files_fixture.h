// The account files' test bed under Wine: a fresh program folder per test,
// the file calls behind fault switches, messages caught at the message box,
// and the random pool replaced by the golden stream.
#pragma once

#include <gtest/gtest.h>
#include <string.h>
#include <windows.h>
// windows.h first: the descriptor-text header builds on it.
#include <sddl.h>

#include <string>
#include <utility>
#include <vector>

#include "account_files.h"
#include "account_records.h"
#include "account_system.h"
#include "cryptdsk_protocol.h"
#include "disk_key.h"
#include "golden_inputs.h"

namespace account_files_test {

using Bytes = std::vector<uint8_t>;

struct ShownMessage {
  std::wstring text;
  std::wstring title;
  UINT style;
};
inline std::vector<ShownMessage> g_messages;
inline GoldenRandomStream g_stream;

inline int WINAPI RecordMessage(HWND, LPCWSTR text, LPCWSTR title, UINT style) {
  g_messages.push_back({text, title, style});
  return IDOK;
}

inline int GoldenRandom(uint8_t* destination, size_t length) {
  g_stream.Fill(destination, length);
  return 1;
}

// Fault switches for the file calls.
struct Faults {
  bool failWrite = false;
  DWORD shortWrite = 0;  // > 0: accept only this many bytes, as on a full disk
  bool failFlush = false;
  bool failCreate = false;    // as in a read-only folder
  bool failMove = false;      // as if the machine stopped before the replace
  std::wstring reparsePoint;  // reported as a junction or symbolic link
};
inline Faults g_faults;

// Each created file with the descriptor (as SDDL) its create call was given.
inline std::vector<std::pair<std::wstring, std::wstring>> g_created;

inline std::wstring Sddl(LPSECURITY_ATTRIBUTES sa) {
  LPWSTR text = nullptr;
  if (sa == nullptr ||
      !ConvertSecurityDescriptorToStringSecurityDescriptorW(
          sa->lpSecurityDescriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text, nullptr))
    return L"<none>";
  const std::wstring sddl(text);
  LocalFree(text);
  return sddl;
}

inline BOOL WINAPI FaultWrite(HANDLE file, LPCVOID data, DWORD length, LPDWORD written,
                              LPOVERLAPPED o) {
  if (g_faults.failWrite) {
    SetLastError(ERROR_WRITE_FAULT);
    *written = 0;
    return FALSE;
  }
  if (g_faults.shortWrite > 0 && g_faults.shortWrite < length) {
    WriteFile(file, data, g_faults.shortWrite, written, o);
    SetLastError(ERROR_DISK_FULL);
    return FALSE;
  }
  return WriteFile(file, data, length, written, o);
}
inline BOOL WINAPI FaultFlush(HANDLE file) {
  if (g_faults.failFlush) {
    SetLastError(ERROR_DISK_FULL);
    return FALSE;
  }
  return FlushFileBuffers(file);
}
inline HANDLE WINAPI FaultCreate(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES sa,
                                 DWORD disposition, DWORD flags, HANDLE templ) {
  if (g_faults.failCreate && disposition == CREATE_NEW) {
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  if (disposition == CREATE_NEW) g_created.emplace_back(path, Sddl(sa));
  return CreateFileW(path, access, share, sa, disposition, flags, templ);
}
inline DWORD WINAPI FaultAttributes(LPCWSTR path) {
  const DWORD attributes = GetFileAttributesW(path);
  return path == g_faults.reparsePoint ? attributes | FILE_ATTRIBUTE_REPARSE_POINT : attributes;
}
inline BOOL WINAPI FaultMove(LPCWSTR from, LPCWSTR to, DWORD flags) {
  if (g_faults.failMove) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  return MoveFileExW(from, to, flags);
}

inline std::wstring Wide(const char16_t* text) {
  return std::wstring(AsWide(text));
}

inline std::wstring Widen(const char* text) {
  std::wstring out;
  for (; *text != 0; ++text) out += static_cast<wchar_t>(static_cast<unsigned char>(*text));
  return out;
}

inline Bytes ReadAll(const std::wstring& path) {
  HANDLE file =
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  Bytes bytes;
  if (file == INVALID_HANDLE_VALUE) return bytes;
  uint8_t buffer[4096];
  DWORD read = 0;
  while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0)
    bytes.insert(bytes.end(), buffer, buffer + read);
  CloseHandle(file);
  return bytes;
}

inline void WriteAll(const std::wstring& path, const Bytes& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
}

// The committed golden files, seen through Wine's Z: drive.
inline std::wstring GoldenPath(const char* name) {
  return L"Z:" + Widen(CRYPTELLE_GOLDEN_DIR) + L"/" + Widen(name);
}

inline void RemoveTree(const std::wstring& folder) {
  WIN32_FIND_DATAW entry;
  HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &entry);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = entry.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring path = folder + L"\\" + name;
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        RemoveTree(path);
      else
        DeleteFileW(path.c_str());
    } while (FindNextFileW(find, &entry));
    FindClose(find);
  }
  RemoveDirectoryW(folder.c_str());
}

// Every Argon2id run takes its working memory once: the allocations count
// the derivations.
inline int g_kdfAllocations;
inline void* CountingKdfAllocate(size_t size) {
  ++g_kdfAllocations;
  return DefaultAccountSystem().allocateKdfMemory(size);
}

// The mount's read for a first-generation user: its 32-byte disk key. 1, or
// -1 as ReadUserDiskKey (or when the file is of the second generation).
inline int ReadHeadOnlyDiskKey(uint8_t key[kDiskKeySize]) {
  UserDiskKey read = {};
  if (ReadUserDiskKey(&read) != 1 || read.Generation != cryptdsk::kGenerationHeadOnly) return -1;
  memcpy(key, read.Key, kDiskKeySize);
  return 1;
}

// What the tests' second-generation files cost instead of the default.
constexpr Argon2idParameters kCheapFileV2Parameters = {1, 64, 1};

inline void SetText(WCHAR* destination, const std::wstring& text) {
  ASSERT_LE(text.size(), kMaxPathUnits);
  memcpy(destination, text.c_str(), (text.size() + 1) * sizeof(WCHAR));
}

class AccountFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    WCHAR temp[MAX_PATH];
    ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
    static int counter = 0;
    folder_ = std::wstring(temp) + L"ctacct" + std::to_wstring(GetCurrentProcessId()) + L"_" +
              std::to_wstring(++counter);
    ASSERT_TRUE(CreateDirectoryW(folder_.c_str(), nullptr));
    for (const wchar_t* sub : {L"\\Key", L"\\PRF", L"\\CryptDsks"})
      ASSERT_TRUE(CreateDirectoryW((folder_ + sub).c_str(), nullptr));
    SetText(InstallFolder, folder_);
    SetText(UserName, L"Ann");
    UserKeyFilePath[0] = 0;
    RecoveryFilePath[0] = 0;
    SetText(StorageFilePath, Wide(kGoldenStoredStoragePath));
    SetText(Password.get(), Wide(kGoldenPassword));
    OldPassword.get()[0] = 0;
    ChangingPassword = false;
    MustCloseProgram = false;
    WantWholeDriveEncryption = false;
    AccountSystem& calls = AccountSystemCalls();
    calls = DefaultAccountSystem();
    calls.messageBox = RecordMessage;
    calls.randomBytes = GoldenRandom;
    calls.writeFile = FaultWrite;
    calls.flushFileBuffers = FaultFlush;
    calls.createFile = FaultCreate;
    calls.moveFileEx = FaultMove;
    calls.getFileAttributes = FaultAttributes;
    calls.allocateKdfMemory = CountingKdfAllocate;
    calls.fileV2Parameters = kCheapFileV2Parameters;
    g_kdfAllocations = 0;
    g_faults = Faults{};
    g_created.clear();
    g_messages.clear();
    g_stream.Reset();
  }
  void TearDown() override {
    AccountSystemCalls() = DefaultAccountSystem();
    RemoveTree(folder_);
  }

  std::wstring KeyPath() const { return folder_ + L"\\Key\\Ann.user"; }
  std::wstring TemporaryPath() const { return folder_ + L"\\Key\\Ann.user.new"; }
  std::wstring RecoveryPath() const { return folder_ + L"\\PRF\\Ann.prf"; }

  void CreateUser() {
    ASSERT_EQ(WriteUserKeyFile(nullptr), 1);
    ASSERT_EQ(std::wstring(UserKeyFilePath), KeyPath());
  }

  // The flow's change: old password verified, then the new one written.
  int ChangePassword() {
    SetText(OldPassword.get(), Wide(kGoldenPassword));
    SetText(Password.get(), Wide(kGoldenNewPassword));
    ChangingPassword = true;
    const int result = WriteUserKeyFile(nullptr);
    ChangingPassword = false;
    return result;
  }

  void SetAnswers(AnswerTexts& answers) {
    SetText(answers[0], Wide(kGoldenAnswer1));
    SetText(answers[1], Wide(kGoldenAnswer2));
    SetText(answers[2], Wide(kGoldenAnswer3));
  }

  std::wstring folder_;
};

}  // namespace account_files_test
