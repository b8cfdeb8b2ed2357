#include "client_fixture.h"

#include <stdlib.h>

#include "client_texts.h"
#include "driver_harness.h"

namespace {

void DeleteTree(const std::wstring& folder) {
  WIN32_FIND_DATAW entry;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &entry);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = entry.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring path = folder + L"\\" + name;
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        DeleteTree(path);
      } else {
        DeleteFileW(path.c_str());
      }
    } while (FindNextFileW(search, &entry));
    FindClose(search);
  }
  RemoveDirectoryW(folder.c_str());
}

// Xvfb runs no window manager: Wine then draws the title bars itself, so
// that screenshots show each dialog's title.
void DrawOwnCaptions() {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Wine\\X11 Driver", 0, nullptr, 0,
                      KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return;
  }
  static const wchar_t kNo[] = L"N";
  RegSetValueExW(key, L"Decorated", 0, REG_SZ, reinterpret_cast<const BYTE*>(kNo), sizeof(kNo));
  // Nor does Wine wait for a window manager to map or withdraw each window.
  RegSetValueExW(key, L"Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>(kNo), sizeof(kNo));
  RegCloseKey(key);
}

}  // namespace

void ClientJourney::SetUp() {
  // PromptGuard.dll stays loaded in other processes of the session for a
  // while after a mount stops its hook, which keeps the earlier folder from
  // being removed; a journey then gets a fresh folder beside it.
  const std::wstring base = L"C:\\Program Files\\Cryptelle";
  folder_ = base;
  for (int attempt = 2; DeleteTree(folder_), !CreateDirectoryW(folder_.c_str(), nullptr);
       ++attempt) {
    ASSERT_LT(attempt, 50);
    folder_ = base + L" " + std::to_wstring(attempt);
  }
  CreateDirectoryW((folder_ + L"\\Key").c_str(), nullptr);
  CreateDirectoryW((folder_ + L"\\CryptDsks").c_str(), nullptr);
  CreateDirectoryW((folder_ + L"\\PRF").c_str(), nullptr);
  ASSERT_TRUE(
      CopyFileW(gui::FromUnixPath(CRYPTELLE_CLIENT_PATH).c_str(), ExePath().c_str(), FALSE));
  ASSERT_TRUE(CopyFileW(gui::FromUnixPath(CRYPTELLE_PROMPT_GUARD_PATH).c_str(),
                        (folder_ + L"\\PromptGuard.dll").c_str(), FALSE));
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Cryptelle");
  DrawOwnCaptions();
}

void ClientJourney::TearDown() {
  if (client_.Running()) client_.Kill();
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Cryptelle");
}

void ClientJourney::AttachContainer() {
  using namespace cryptdsk_test;
  const Container container = ContainerNamed(L"left-attached.cryptdsk");
  ASSERT_TRUE(CreateContainerFile(container, 1 << 20));
  Handle device = OpenDevice();
  ASSERT_TRUE(device.valid());
  ASSERT_EQ(OpenImage(device.get(), container.NtPath, 1 << 20), kSuccess);
  // The worker attaches in its own time; the driver says when it has.
  for (DWORD waited = 0; !IsOpen(device.get()) && waited < gui::kPatienceMs; waited += 50) {
    Sleep(50);
  }
  ASSERT_TRUE(IsOpen(device.get()));
}

void ClientJourney::DetachContainer() {
  using namespace cryptdsk_test;
  Handle device = OpenDevice();
  ASSERT_TRUE(device.valid());
  if (IsOpen(device.get())) {
    EXPECT_EQ(CloseImage(device.get()), kSuccess);
  }
  for (DWORD waited = 0; IsOpen(device.get()) && waited < gui::kPatienceMs; waited += 50) {
    Sleep(50);
  }
  EXPECT_FALSE(IsOpen(device.get()));
}

void ClientJourney::AddKeyFile(const wchar_t* userName) {
  const std::wstring path = folder_ + L"\\Key\\" + userName + L".user";
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  CloseHandle(file);
}

void ClientJourney::RegisterUser(const wchar_t* userName) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, CT_W(CT_REG_USERS_KEY), 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  const std::wstring path = L"c:\\data\\" + std::wstring(userName) + L".cryptdsk";
  RegSetValueExW(key, userName, 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                 static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
}

void ClientJourney::SetOpenFlag(const wchar_t* value) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, CT_W(CT_REG_STATUS_KEY), 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExW(key, CT_W(CT_REG_OPEN_VALUE), 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                 static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
}

bool ClientJourney::OpenFlagExists() {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, CT_W(CT_REG_STATUS_KEY), 0, KEY_READ, &key) !=
      ERROR_SUCCESS) {
    return false;
  }
  const bool exists = RegQueryValueExW(key, CT_W(CT_REG_OPEN_VALUE), nullptr, nullptr, nullptr,
                                       nullptr) == ERROR_SUCCESS;
  RegCloseKey(key);
  return exists;
}

void ClientJourney::Screenshot(HWND window, const char* name) {
  const char* folder = getenv("CRYPTELLE_SCREENSHOT_DIR");
  if (folder == nullptr || folder[0] == 0) return;
  // Let the dialog finish painting its bitmap and controls.
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  Sleep(500);
  const std::wstring path =
      gui::FromUnixPath(folder) + L"\\" + std::wstring(name, name + strlen(name)) + L".bmp";
  EXPECT_TRUE(gui::SaveScreenshot(window, path));
}

HWND ClientJourney::StartAndWaitFor(const std::wstring& title) {
  EXPECT_TRUE(client_.Start(ExePath()));
  return gui::WaitForDialog(title);
}
