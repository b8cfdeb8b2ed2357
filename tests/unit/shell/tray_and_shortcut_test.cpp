// The tray icon record and the storage shortcut against the real shell
// under Wine.
#include <windows.h>

#include <gtest/gtest.h>
#include <objidl.h>
#include <ole2.h>
#include <shlobj.h>

#include <string>

#include "dialog_messages.h"
#include "client_texts.h"
#include "main_window.h"
#include "shell_state.h"
#include "shortcut.h"
#include "tray_icon.h"
#include "volume_state.h"

namespace {

class TrayIcon : public ::testing::Test {
 protected:
  void SetUp() override {
    ShellState& shell = ClientShell();
    shell = ShellState{};
    shell.instance = GetModuleHandleW(nullptr);
    wcscpy(shell.windowTitle, L"Cryptelle");
    shell.LockedIcon = LoadIconW(nullptr, IDI_APPLICATION);
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = &MainWindowProc;
    windowClass.hInstance = shell.instance;
    windowClass.lpszClassName = L"CryptelleTrayTest";
    RegisterClassExW(&windowClass);
    shell.mainWindow = CreateWindowExW(0, L"CryptelleTrayTest", L"Cryptelle", WS_CAPTION, 0, 0, 0,
                                       0, HWND_MESSAGE, nullptr, shell.instance, nullptr);
    ASSERT_NE(shell.mainWindow, nullptr);
  }
  void TearDown() override {
    ShellState& shell = ClientShell();
    if (shell.TrayIconAdded) RemoveTrayIcon();
    if (IsWindow(shell.mainWindow)) DestroyWindow(shell.mainWindow);
    shell.LockedIcon = nullptr;
  }
};

}  // namespace

TEST_F(TrayIcon, UpdateBeforeAddReturnsZero) {
  EXPECT_EQ(UpdateTrayIcon(L"Cryptelle is Locked", ClientShell().LockedIcon), 0);
}

TEST_F(TrayIcon, AddFillsTheLaunchedRecord) {
  ASSERT_EQ(AddTrayIcon(), 1);
  const NOTIFYICONDATAW& record = ClientShell().trayRecord;
  EXPECT_EQ(record.uID, kTrayIconId);
  EXPECT_EQ(record.uCallbackMessage, kTrayCallbackMessage);
  EXPECT_EQ(record.uFlags, 0x17u);
  EXPECT_EQ(record.uTimeout, 30000u);
  EXPECT_EQ(std::wstring(record.szInfoTitle), CT_W(CT_BALLOON_LAUNCHED_TITLE));
  EXPECT_EQ(std::wstring(record.szTip), L"Cryptelle");
}

TEST_F(TrayIcon, LockedUpdateShowsTheLockedBalloonForTwentySeconds) {
  ASSERT_EQ(AddTrayIcon(), 1);
  EXPECT_NE(UpdateTrayIcon(CT_W(CT_TOOLTIP_LOCKED), ClientShell().LockedIcon), 0);
  const NOTIFYICONDATAW& record = ClientShell().trayRecord;
  EXPECT_EQ(std::wstring(record.szInfoTitle), CT_W(CT_BALLOON_LOCKED_TITLE));
  EXPECT_EQ(std::wstring(record.szInfo), CT_W(CT_BALLOON_LOCKED));
  EXPECT_EQ(record.uTimeout, 20000u);
}

TEST_F(TrayIcon, OpenBalloonLongerThanItsFieldReturnsZeroAndKeepsTheRecord) {
  ASSERT_EQ(AddTrayIcon(), 1);
  ShellState& shell = ClientShell();
  Volume().CurrentDriveLetter = 'H';
  std::wstring folder = L"C:\\" + std::wstring(230, L'd');
  wcscpy(Volume().SharedDocumentsFolder, folder.c_str());
  EXPECT_EQ(UpdateTrayIcon(L"Cryptelle (H:) - Open", shell.LockedIcon), 0);
  EXPECT_EQ(std::wstring(shell.trayRecord.szInfoTitle), CT_W(CT_BALLOON_LAUNCHED_TITLE));
}

TEST_F(TrayIcon, DestroyingTheMainWindowRemovesTheIcon) {
  ASSERT_EQ(AddTrayIcon(), 1);
  ShellState& shell = ClientShell();
  DestroyWindow(shell.mainWindow);
  EXPECT_FALSE(shell.TrayIconAdded);
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
  }
}

TEST(StorageShortcut, PointsAtTheDriveWithDescriptionAndIcon) {
  wchar_t folder[MAX_PATH];
  ASSERT_GT(GetTempPathW(MAX_PATH, folder), 0u);
  const std::wstring link = std::wstring(folder) + L"Cryptelle Storage.lnk";
  const std::wstring icon = L"C:\\Program Files\\Cryptelle\\CryptelleOpen.ico";
  ASSERT_EQ(CreateStorageShortcut(icon.c_str(), L"H:", link.c_str()), 1);
  ASSERT_EQ(CreateStorageShortcut(icon.c_str(), L"H:", link.c_str()), 1);  // replaces

  OleInitialize(nullptr);
  IShellLinkW* shellLink = nullptr;
  ASSERT_HRESULT_SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                            IID_IShellLinkW, reinterpret_cast<void**>(&shellLink)));
  IPersistFile* file = nullptr;
  ASSERT_HRESULT_SUCCEEDED(
      shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)));
  ASSERT_HRESULT_SUCCEEDED(file->Load(link.c_str(), STGM_READ));
  wchar_t text[MAX_PATH] = {};
  int index = -1;
  shellLink->GetDescription(text, MAX_PATH);
  EXPECT_EQ(std::wstring(text), L"Cryptelle");
  shellLink->GetIconLocation(text, MAX_PATH, &index);
  EXPECT_EQ(std::wstring(text), icon);
  EXPECT_EQ(index, 0);
  file->Release();
  shellLink->Release();
  OleUninitialize();
  DeleteFileW(link.c_str());
}
