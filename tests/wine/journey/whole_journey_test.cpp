// The whole product once, as a person uses it: setup from the package,
// a user created, Lock & Exit, a log-in from the desktop shortcut, Lock &
// Exit, the uninstaller — and afterwards nothing of Cryptelle in the prefix
// but the copy of their files the person saved elsewhere.
// clang-format off
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
// clang-format on
#include <gtest/gtest.h>
#include <stdio.h>

#include <string>
#include <vector>

#include "../../../uninstaller/messages.h"
#include "client_texts.h"
#include "cryptdsk_protocol.h"
#include "flow_screens.h"
#include "gui_harness.h"
#include "installer_steps.h"
#include "prefix_inventory.h"
#include "win/system_probes.h"

namespace {

constexpr wchar_t kPackageFolder[] = L"C:\\CryptellePackage";
constexpr wchar_t kUser[] = L"Cara";
constexpr wchar_t kPassword[] = L"Secret#1";
// In the test bed's own folder (set up before the first inventory): what
// waits for the restart.
constexpr wchar_t kInventoryFile[] = L"C:\\cryptelle-testbed\\before-setup.txt";
constexpr wchar_t kInstallFolderFile[] = L"C:\\cryptelle-testbed\\install-folder.txt";

// Entries that are not the product's: the test bed's own, and those Wine
// adds to a prefix as its sessions run — its console defaults (written when
// the batch file's console starts), the display devices and modes of its
// video driver, its temporary system parameters, and the volume device
// interface class, which Windows always has and Wine makes with the first
// volume.
const wchar_t* const kNotTheProducts[] = {
    L"C:\\cryptelle-testbed",
    L"HKCU\\Software\\CryptelleTestBed",
    L"HKCU\\Console",
    L"HKCU\\Software\\Wine\\Temporary System Parameters",
    L"HKLM\\Hardware\\DEVICEMAP\\VIDEO",
    L"HKLM\\System\\CurrentControlSet\\Control\\Video",
    L"HKLM\\System\\CurrentControlSet\\Hardware Profiles\\Current\\System",
    L"HKLM\\System\\CurrentControlSet\\Control\\DeviceClasses\\{1CA05180-A699-450A-9A0C-"
    L"DE4FBE3DDD89}",
    L"HKLM\\System\\CurrentControlSet\\Control\\DeviceClasses\\{5B45201D-F2F2-4F3B-85BB-"
    L"30FF1F953599}",
    L"HKLM\\System\\CurrentControlSet\\Control\\DeviceClasses\\{E6F07B5F-EE97-4A90-B076-"
    L"33F57BF4EAA7}",
    L"HKLM\\System\\CurrentControlSet\\Control\\DeviceClasses\\{53F5630D-B6BF-11D0-94F2-"
    L"00A0C91EFB8B}",
};

bool StartsWith(const std::wstring& text, const std::wstring& start) {
  return text.compare(0, start.size(), start) == 0;
}

// Each step is announced, so that a journey stopped by its time-out shows
// how far it got.
void Step(const char* what) {
  printf("-- %s\n", what);
  fflush(stdout);
}

bool OpenFlagSet() {
  return RegGetValueW(HKEY_LOCAL_MACHINE, CT_W(CT_REG_STATUS_KEY), CT_W(CT_REG_OPEN_VALUE),
                      RRF_RT_REG_SZ, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

std::wstring SpecialFolder(int csidl) {
  wchar_t path[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path))) return L"";
  return path;
}

bool WaitUntilGone(const std::wstring& path, DWORD timeoutMs) {
  for (DWORD waited = 0; FileExists(path); waited += 200) {
    if (waited > timeoutMs) return false;
    Sleep(200);
  }
  return true;
}

std::wstring KeptFolder() {
  return SpecialFolder(CSIDL_PERSONAL) + L"\\Cryptelle backup";
}

bool WriteText(const std::wstring& path, const std::wstring& text) {
  journey::Inventory single = {text};
  return journey::SaveInventory(single, path);
}

std::wstring ReadText(const std::wstring& path) {
  const journey::Inventory single = journey::LoadInventory(path);
  return single.empty() ? L"" : *single.begin();
}

// Takes on the client whose screen `title` shows and loads the volume test
// bed's mount-manager stand-in into it.
HWND TakeOnClientAt(const wchar_t* title, gui::ClientProcess* client) {
  HWND screen = gui::WaitForDialog(title);
  if (screen == nullptr) return nullptr;
  DWORD processId = 0;
  GetWindowThreadProcessId(screen, &processId);
  EXPECT_TRUE(client->Attach(processId));
  EXPECT_TRUE(client->LoadLibraryInto(gui::FromUnixPath(CRYPTELLE_VOLUME_STANDIN_PATH)));
  return screen;
}

void ExpectOpenAsH() {
  EXPECT_EQ(LinkTarget(L'H'), CRYPTDSK_DEVICE_NAME);
  EXPECT_TRUE(OpenFlagSet());
}

void LockAndExit(gui::ClientProcess* client) {
  Step("lock and exit");
  flow_screens::ChooseLockAndExit();
  // The Locked balloon stays up for its 20 seconds before the program ends.
  EXPECT_TRUE(client->WaitForExit());
  EXPECT_EQ(LinkTarget(L'H'), L"<none>");
  EXPECT_FALSE(OpenFlagSet());
}

// Day one: installed from the package, a user created and locked; the next
// start logs in from the desktop shortcut and locks again. Then the user
// saves a copy of their files outside Cryptelle, as the uninstaller advises.
TEST(WholeJourney, InstallCreateAUserLockLogInLock) {
  Step("inventory of the prefix");
  const journey::Inventory before = journey::TakeInventory();
  printf("   %zu entries\n", before.size());
  ASSERT_TRUE(journey::SaveInventory(before, kInventoryFile));

  Step("setup");
  std::wstring failure;
  const std::wstring installFolder = journey::InstallWithSetup(kPackageFolder, &failure);
  ASSERT_FALSE(installFolder.empty()) << failure;
  ASSERT_TRUE(WriteText(kInstallFolderFile, installFolder));

  // Setup started the client: a first user, 5 MB, the whole drive encrypted as
  // the storage screen offers, formatted and opened.
  {
    Step("create a user");
    gui::ClientProcess client;
    ASSERT_NE(TakeOnClientAt(CT_W(CT_TITLE_WELCOME), &client), nullptr);
    flow_screens::CreateUserThroughTheScreens(kUser, kPassword, nullptr, L"5",
                                              flow_screens::DriveEncryption::kWholeDrive);
    ExpectOpenAsH();
    LockAndExit(&client);
  }

  const std::wstring desktopLink =
      SpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY) + L"\\Cryptelle.lnk";
  ASSERT_TRUE(FileExists(desktopLink));
  {
    Step("log in from the desktop shortcut");
    gui::ClientProcess client;
    ASSERT_GT(reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", desktopLink.c_str(),
                                                      nullptr, nullptr, SW_SHOWNORMAL)),
              32);
    HWND logIn = TakeOnClientAt(CT_W(CT_TITLE_LOG_IN), &client);
    ASSERT_NE(logIn, nullptr);
    flow_screens::LogInThroughTheScreen(logIn, kUser, kPassword);
    ExpectOpenAsH();
    LockAndExit(&client);
  }

  Step("save a copy outside Cryptelle");
  const std::wstring kept = KeptFolder();
  ASSERT_TRUE(CreateDirectoryW(kept.c_str(), nullptr));
  ASSERT_TRUE(CopyFileW((installFolder + L"\\CryptDsks\\Cryptelle_Cara.cryptdsk").c_str(),
                        (kept + L"\\Cryptelle_Cara.cryptdsk").c_str(), TRUE));
  ASSERT_TRUE(CopyFileW((installFolder + L"\\Key\\Cara.user").c_str(),
                        (kept + L"\\Cara.user").c_str(), TRUE));
}

// Day two, after a restart (Wine never unloads a hook's library from the
// processes it reached, so only a new session lets PromptGuard.dll go, as
// Windows does once the hook is removed): the uninstaller, answered OK
// throughout, and an inventory against the one taken before setup.
TEST(WholeJourney, UninstallLeavesNothingButTheUsersCopy) {
  const journey::Inventory before = journey::LoadInventory(kInventoryFile);
  const std::wstring installFolder = ReadText(kInstallFolderFile);
  ASSERT_FALSE(before.empty()) << "run after the first day";
  ASSERT_FALSE(installFolder.empty());

  Step("uninstall");
  DWORD exitCode = 0;
  const std::vector<std::wstring> boxes = journey::UninstallAnsweringOk(installFolder, &exitCode);
  EXPECT_NE(exitCode, ~DWORD{0}) << "the uninstaller did not end";
  ASSERT_GE(boxes.size(), 2u);
  EXPECT_EQ(boxes[0], uninstaller::kStoragePrompt);
  EXPECT_EQ(boxes[1], uninstaller::kKeyPrompt);
  for (size_t k = 2; k < boxes.size(); ++k) ADD_FAILURE() << "also said: " << boxes[k].c_str();
  // The batch file removes the uninstaller, the folder and itself once the
  // uninstaller has ended.
  EXPECT_TRUE(WaitUntilGone(installFolder, 60000)) << "the program folder stays";
  EXPECT_TRUE(WaitUntilGone(L"C:\\CTuninst.bat", 60000));

  Step("inventory again");
  const journey::Inventory after = journey::TakeInventory();
  const std::wstring kept = KeptFolder();
  for (const std::wstring& added : journey::AddedSince(before, after)) {
    bool expected = StartsWith(added, kept);
    for (const wchar_t* other : kNotTheProducts) expected = expected || StartsWith(added, other);
    if (!expected) ADD_FAILURE() << "left: " << added.c_str();
  }
  EXPECT_TRUE(after.count(kept + L"\\Cryptelle_Cara.cryptdsk"));
  EXPECT_TRUE(after.count(kept + L"\\Cara.user"));
}

}  // namespace
