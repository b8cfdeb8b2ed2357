// The registry state against Wine's registry, in a fresh prefix.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "account_state.h"
#include "account_system.h"
#include "registry_state.h"
#include "registry_texts.h"

namespace {

std::vector<std::wstring> g_texts;
int WINAPI RecordMessage(HWND, LPCWSTR text, LPCWSTR title, UINT style) {
  g_texts.push_back(text);
  EXPECT_EQ(std::wstring(title), kRegistryMessageTitle);
  EXPECT_EQ(style, static_cast<UINT>(MB_OK | MB_SYSTEMMODAL | MB_ICONERROR));
  return IDOK;
}

void SetRaw(const WCHAR* name, DWORD type, const void* data, DWORD bytes) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kStatusKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &key, nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), bytes),
            ERROR_SUCCESS);
  RegCloseKey(key);
}

std::wstring ReadDefault(const std::wstring& keyPath, bool* exists) {
  HKEY key;
  *exists = RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS;
  if (!*exists) return L"";
  WCHAR value[300] = {};
  DWORD bytes = sizeof(value) - sizeof(WCHAR);
  RegQueryValueExW(key, nullptr, nullptr, nullptr, reinterpret_cast<LPBYTE>(value), &bytes);
  RegCloseKey(key);
  return value;
}

class RegistryState : public ::testing::Test {
 protected:
  void SetUp() override {
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Cryptelle");
    AccountSystemCalls().messageBox = RecordMessage;
    g_texts.clear();
  }
  void TearDown() override { AccountSystemCalls() = DefaultAccountSystem(); }
};

TEST_F(RegistryState, OpenFlagIsWrittenReadAndCleared) {
  WCHAR letter = 0;
  EXPECT_EQ(ReadOpenFlagDriveLetter(&letter), 0);
  ASSERT_EQ(SetCryptDskOpenFlag(L"H:", true), 1);
  EXPECT_EQ(ReadOpenFlagDriveLetter(&letter), 1);
  EXPECT_EQ(letter, L'H');
  ASSERT_EQ(SetCryptDskOpenFlag(L"H:", false), 1);
  EXPECT_EQ(ReadOpenFlagDriveLetter(&letter), 0);
}

TEST_F(RegistryState, MalformedOpenFlagsCountAsChangedOutside) {
  WCHAR letter = 0;
  const std::wstring forms[] = {L"H", L"H:\\", L"", L"HH", L"@:", L"[:", L"h:", L"1:"};
  for (const std::wstring& form : forms) {
    SetRaw(kOpenFlagValue, REG_SZ, form.c_str(), static_cast<DWORD>((form.size() + 1) * 2));
    EXPECT_EQ(ReadOpenFlagDriveLetter(&letter), 0) << std::string(form.begin(), form.end());
  }
  const WCHAR noTerminator[] = {L'H', L':'};
  SetRaw(kOpenFlagValue, REG_SZ, noTerminator, sizeof(noTerminator));
  EXPECT_EQ(ReadOpenFlagDriveLetter(&letter), 1);
  const std::wstring tooLong(20, L'x');
  SetRaw(kOpenFlagValue, REG_SZ, tooLong.c_str(), static_cast<DWORD>((tooLong.size() + 1) * 2));
  EXPECT_EQ(ReadOpenFlagDriveLetter(&letter), 0);
  const DWORD number = 0x3A0048;  // "H:" as a number is still not text
  SetRaw(kOpenFlagValue, REG_DWORD, &number, sizeof(number));
  EXPECT_EQ(ReadOpenFlagDriveLetter(&letter), 1);
}

TEST_F(RegistryState, StaleOpenFlagIsRemovedWithOneMessage) {
  ClearStaleOpenFlag();
  EXPECT_TRUE(g_texts.empty());
  ASSERT_EQ(SetCryptDskOpenFlag(L"K:", true), 1);
  ClearStaleOpenFlag();
  ClearStaleOpenFlag();
  ASSERT_EQ(g_texts.size(), 1u);
  EXPECT_EQ(g_texts[0], kImproperShutdownText);
  WCHAR letter = 0;
  EXPECT_EQ(ReadOpenFlagDriveLetter(&letter), 0);
}

TEST_F(RegistryState, UserTableIsReadBackLowerCased) {
  EXPECT_EQ(AnyUserRegistered(), 0);
  wcscpy(UserName, L"john");
  wcscpy(StorageFilePath, L"C:\\Data\\Cryptelle_john.cryptdsk");
  ASSERT_EQ(WriteDefaultCryptDsk(), 1);
  EXPECT_EQ(AnyUserRegistered(), 1);
  EXPECT_EQ(DefaultCryptDskExists(L"john"), 1);
  EXPECT_EQ(DefaultCryptDskExists(L"ann"), 0);
  StorageFilePath[0] = 0;
  ASSERT_EQ(ReadDefaultCryptDsk(), 1);
  EXPECT_EQ(std::wstring(StorageFilePath), L"c:\\data\\cryptelle_john.cryptdsk");
  ASSERT_EQ(DeleteDefaultCryptDsk(), 1);
  EXPECT_EQ(AnyUserRegistered(), 0);
  // A failed read still lower-cases what was there.
  wcscpy(StorageFilePath, L"D:\\X");
  EXPECT_EQ(ReadDefaultCryptDsk(), 0);
  EXPECT_EQ(std::wstring(StorageFilePath), L"d:\\x");
}

TEST_F(RegistryState, OverlongUserTableValueCannotBeRead) {
  wcscpy(UserName, L"long");
  const std::wstring path = L"c:\\" + std::wstring(300, L'p');
  HKEY key;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kUserTableKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExW(key, L"long", 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                 static_cast<DWORD>((path.size() + 1) * 2));
  RegCloseKey(key);
  StorageFilePath[0] = 0;
  EXPECT_EQ(ReadDefaultCryptDsk(), 0);
  EXPECT_EQ(StorageFilePath[0], 0);
}

TEST_F(RegistryState, DriveIconIsSetEmptiedAndNeverCreatedByClear) {
  const std::wstring keyPath = std::wstring(kDriveIconsKey) + L"Q" + kDefaultIconSubkey;
  bool exists = true;
  ASSERT_EQ(SetDriveIcon(L'Q', false), 1);
  ReadDefault(keyPath, &exists);
  EXPECT_FALSE(exists);
  wcscpy(InstallFolder, L"C:\\Program Files\\Cryptelle");
  ASSERT_EQ(SetDriveIcon(L'Q', true), 1);
  EXPECT_EQ(ReadDefault(keyPath, &exists), L"C:\\Program Files\\Cryptelle\\CryptelleOpen.ico");
  ASSERT_EQ(SetDriveIcon(L'Q', false), 1);
  EXPECT_EQ(ReadDefault(keyPath, &exists), L"");
  EXPECT_TRUE(exists);
}

}  // namespace
