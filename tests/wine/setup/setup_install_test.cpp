// CryptelleSetup.exe run for real under Wine from package folders, driven
// through its dialog. The tests run in this order in one prefix: refusals
// first, then one installation, then the refusals that need it.
#include <gtest/gtest.h>
#include <shlobj.h>
#include <windows.h>

#include "cryptdsk_protocol.h"
#include "setup_harness.h"
#include "setup_texts.h"
#include "win/gui_driver.h"

namespace setup_test {
namespace {

using namespace setup;

constexpr char kReadMe[] = CRYPTELLE_README_FILE;

// Runs setup from `package`, installs into `path` and returns the text of the
// refusal; checks that the dialog stays usable and leaves by Cancel.
std::string RefusalFor(const std::string& package, const std::string& path) {
  SetupRun run(package);
  EXPECT_TRUE(run.started());
  if (run.WaitForSetupDialog() == nullptr) return "<no dialog>";
  run.SetInstallPath(path);
  run.PressInstall();
  const std::string text = Answer(kCaption);
  for (int id : {IDC_READ, IDC_BROWSE, IDC_INSTALL, IDC_CANCEL}) {
    for (int i = 0; i < 100 && !run.ButtonEnabled(id); ++i) Sleep(50);
    EXPECT_TRUE(run.ButtonEnabled(id)) << "button " << id;
  }
  run.PressCancel();
  EXPECT_EQ(run.Wait(), 0u);
  return text;
}

TEST(SetupRefuses, APackageOfElevenFilesBeforeCreatingAnything) {
  const std::string package = MakePackage("pkg-eleven", kReadMe);
  CreateDirectoryA("C:\\target-eleven", nullptr);
  EXPECT_EQ(RefusalFor(package, "C:\\target-eleven"), kFilesMissing);
  EXPECT_FALSE(Exists("C:\\target-eleven\\Cryptelle"));
}

TEST(SetupRefuses, APackageOfThirteenFilesWhileSubFoldersDoNotCount) {
  const std::string package = MakePackage("pkg-thirteen", "", {"spare.txt"});
  CreateDirectoryA((package + "\\docs").c_str(), nullptr);
  CreateDirectoryA("C:\\target-thirteen", nullptr);
  EXPECT_EQ(RefusalFor(package, "C:\\target-thirteen"), kFilesMissing);
  EXPECT_FALSE(Exists("C:\\target-thirteen\\Cryptelle"));
}

TEST(SetupRefuses, TwelveFilesThatLackOneTheProductNeeds) {
  const std::string package = MakePackage("pkg-no-hook", CRYPTELLE_HOOK_DLL, {"spare.txt"});
  CreateDirectoryA("C:\\target-no-hook", nullptr);
  EXPECT_EQ(RefusalFor(package, "C:\\target-no-hook"), kFilesMissing);
  EXPECT_FALSE(Exists("C:\\target-no-hook\\Cryptelle"));
}

// One setup run answers the path refusals in turn: after each the dialog
// stays for another attempt.
class SetupRefusesPath : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    run_ = new SetupRun(MakePackage("pkg-paths"));
    run_->WaitForSetupDialog();
  }
  static void TearDownTestSuite() {
    run_->PressCancel();
    EXPECT_EQ(run_->Wait(), 0u);
    delete run_;
    run_ = nullptr;
  }

  static std::string RefusalFor(const std::string& path) {
    if (run_->dialog() == nullptr) return "<no dialog>";
    run_->SetInstallPath(path);
    run_->PressInstall();
    const std::string text = Answer(kCaption);
    for (int id : {IDC_READ, IDC_BROWSE, IDC_INSTALL, IDC_CANCEL}) {
      for (int i = 0; i < 100 && !run_->ButtonEnabled(id); ++i) Sleep(50);
      EXPECT_TRUE(run_->ButtonEnabled(id)) << "button " << id;
    }
    return text;
  }

  static SetupRun* run_;
};

SetupRun* SetupRefusesPath::run_ = nullptr;

TEST_F(SetupRefusesPath, ThatDoesNotExist) {
  EXPECT_EQ(RefusalFor("C:\\no-such-folder"), kPathNotAccessible);
  EXPECT_EQ(run_->Item(IDC_STATUS), "");
}

TEST_F(SetupRefusesPath, Of252CharactersAsTooLong) {
  std::string path = "C:";
  for (int i = 0; i < 4; ++i) path += "\\" + std::string(50, static_cast<char>('a' + i));
  path += "\\" + std::string(45, 'e');
  ASSERT_EQ(path.size(), 252u);
  ASSERT_TRUE(CreateFolders(path));
  EXPECT_EQ(RefusalFor(path), kPathTooLong);
  EXPECT_FALSE(Exists(path + "\\Cryptelle"));
  // This step's refusals leave its status text.
  EXPECT_EQ(run_->Item(IDC_STATUS), kStatusCreatingFolder);
}

TEST_F(SetupRefusesPath, WithANonEmptyCryptelleFolder) {
  CreateFolders("C:\\target-used\\Cryptelle");
  WriteText("C:\\target-used\\Cryptelle\\notes.txt", "mine");
  EXPECT_EQ(RefusalFor("C:\\target-used"), kFolderExists);
  EXPECT_EQ(ReadText("C:\\target-used\\Cryptelle\\notes.txt"), "mine");
  EXPECT_FALSE(Exists("C:\\target-used\\Cryptelle\\PRF"));
}

TEST_F(SetupRefusesPath, WithTheProgramSubFoldersInItsCryptelleFolder) {
  CreateFolders("C:\\target-old\\Cryptelle\\Key");
  EXPECT_EQ(RefusalFor("C:\\target-old\\"), kProgramFoldersExist);
  EXPECT_FALSE(Exists("C:\\target-old\\Cryptelle\\PRF"));
}

TEST(SetupRefuses, ASecondCopyFromTheSameFolder) {
  const std::string package = MakePackage("pkg-refusals");
  SetupRun first(package);
  ASSERT_NE(first.WaitForSetupDialog(), nullptr);
  SetupRun second(package);
  EXPECT_EQ(Answer(kCaption), kNotStarted);
  EXPECT_EQ(second.Wait(), 0u);
  first.PressCancel();
  EXPECT_EQ(first.Wait(), 0u);
}

TEST(SetupDialog, ShowsTheDefaultPathAndTheInitialTexts) {
  const std::string package = MakePackage("pkg-refusals");
  SetupRun run(package);
  ASSERT_NE(run.WaitForSetupDialog(), nullptr);
  EXPECT_EQ(run.Item(IDC_INSTALL_PATH), SpecialFolder(CSIDL_PROGRAM_FILES));
  EXPECT_EQ(run.Item(IDC_FOLDER_NAME), "Cryptelle");
  EXPECT_EQ(run.Item(IDC_SHORTCUT_NAME), "Cryptelle");
  EXPECT_EQ(run.Item(IDC_STATUS), kStatusReady);
  EXPECT_EQ(run.Item(IDC_READ), "&READ");
  run.Press(IDC_READ);
  EXPECT_EQ(Answer(kReadCaption), kChangingPathAdvice);
  // The close box leaves without installing anything.
  PostMessageW(run.dialog(), WM_CLOSE, 0, 0);
  EXPECT_EQ(run.Wait(), 0u);
  EXPECT_FALSE(Exists(SpecialFolder(CSIDL_PROGRAM_FILES) + "\\Cryptelle"));
}

TEST(SetupBrowse, OffersTheCurrentFolderAndTakesTheChosenOne) {
  const std::string package = MakePackage("pkg-refusals");
  ASSERT_TRUE(CreateFolders("C:\\picked\\here"));
  SetupRun run(package, "C:\\picked\\here");
  ASSERT_NE(run.WaitForSetupDialog(), nullptr);
  run.Press(IDC_BROWSE);
  const HWND picker = run.WaitForOwnedDialog();
  ASSERT_NE(picker, nullptr);
  EXPECT_FALSE(run.ButtonEnabled(IDC_INSTALL));  // while the picker is open
  // The picker starts on the current folder and shows its path as status text.
  EXPECT_TRUE(WaitForChildText(picker, "C:\\picked\\here"));
  gui::Press(picker, IDOK);
  for (int i = 0; i < 100 && !run.ButtonEnabled(IDC_INSTALL); ++i) Sleep(50);
  EXPECT_TRUE(run.ButtonEnabled(IDC_INSTALL));
  EXPECT_EQ(run.Item(IDC_INSTALL_PATH), "C:\\picked\\here");
  run.PressCancel();
  EXPECT_EQ(run.Wait(), 0u);
}

TEST(SetupEnds, WithTheGeneralErrorWhenNoPathIsSelected) {
  const std::string package = MakePackage("pkg-refusals");
  SetupRun run(package);
  ASSERT_NE(run.WaitForSetupDialog(), nullptr);
  run.SetInstallPath("");
  run.PressInstall();
  EXPECT_EQ(Answer(kCaption), kGeneralError);
  EXPECT_EQ(run.Wait(), 0u);
}

void ExpectLink(const std::string& path, const std::string& target, const std::string& icon,
                const std::string& description, const std::string& folder) {
  const LinkFacts link = ReadLink(path);
  ASSERT_TRUE(link.loaded) << path;
  EXPECT_EQ(link.target, target) << path;
  EXPECT_EQ(link.workingDirectory, folder) << path;
  EXPECT_EQ(link.icon, icon) << path;
  if (!icon.empty()) {
    EXPECT_EQ(link.iconIndex, 0) << path;
  }
  EXPECT_EQ(link.description, description) << path;
}

TEST(SetupInstalls, IntoTheDefaultPathReplacingAnEmptyFolder) {
  const std::string package = MakePackage("pkg-main");
  CreateFolders(package + "\\extras");
  WriteText(package + "\\extras\\not-copied.txt", "x");
  const std::string folder = SpecialFolder(CSIDL_PROGRAM_FILES) + "\\Cryptelle";
  ASSERT_TRUE(CreateFolders(folder));  // empty: removed and made again

  SetupRun run(package);
  ASSERT_NE(run.WaitForSetupDialog(), nullptr);
  run.PressInstall();
  ASSERT_EQ(WaitForAnyOf({kInstalledCaption, kCaption, kAdminCaption}, 120000), 0)
      << Answer(kCaption) << Answer(kAdminCaption, IDOK, 100);
  EXPECT_EQ(run.Item(IDC_STATUS), "");
  EXPECT_EQ(Answer(kInstalledCaption, IDNO), kCompleted);
  EXPECT_EQ(run.Wait(), 0u);

  for (const char* sub : kSubFolders) EXPECT_TRUE(Exists(folder + "\\" + sub)) << sub;
  for (const std::string& file : PackageFileNames()) {
    EXPECT_EQ(ReadText(folder + "\\" + file), ReadText(package + "\\" + file)) << file;
  }
  EXPECT_FALSE(Exists(folder + "\\extras"));
  EXPECT_FALSE(Exists(folder + "\\client-started.txt"));  // "No" starts nothing
  EXPECT_EQ(ReadText(SpecialFolder(CSIDL_SYSTEM) + "\\Drivers\\cryptdsk.sys"),
            ReadText(package + "\\cryptdsk.sys"));

  EXPECT_EQ(RegistryText(HKEY_CLASSES_ROOT, ".cryptdsk", nullptr), "Cryptelle");
  EXPECT_EQ(RegistryText(HKEY_CLASSES_ROOT, "Cryptelle", nullptr), "Cryptelle");
  EXPECT_EQ(RegistryText(HKEY_CLASSES_ROOT, "Cryptelle\\DefaultIcon", nullptr),
            folder + "\\CryptelleIcon.ico");
  EXPECT_EQ(RegistryText(HKEY_CLASSES_ROOT, "Cryptelle\\shell\\open\\command", nullptr),
            "\"" + folder + "\\ShellHelperCT.exe\"");
  EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayName"), "Cryptelle");
  EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString"),
            "\"" + folder + "\\CryptelleUninstaller.exe\"");
  EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayVersion"), "1.0.1.0");
  EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, kUninstallKey, "InstallLocation"), folder);
  HKEY uninstall = nullptr;
  DWORD noRepair = 0;
  DWORD size = sizeof(noRepair);
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_READ, &uninstall),
            ERROR_SUCCESS);
  EXPECT_EQ(RegQueryValueExA(uninstall, "NoRepair", nullptr, nullptr,
                             reinterpret_cast<BYTE*>(&noRepair), &size),
            ERROR_SUCCESS);
  RegCloseKey(uninstall);
  EXPECT_EQ(noRepair, 1u);
  EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, "SOFTWARE\\Cryptelle", "InstallPath"), folder);

  const std::string group = SpecialFolder(CSIDL_PROGRAMS) + "\\Cryptelle";
  const std::string startLink = SpecialFolder(CSIDL_COMMON_STARTMENU) + "\\Cryptelle.lnk";
  const std::string desktopLink = SpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY) + "\\Cryptelle.lnk";
  ExpectLink(group + "\\Cryptelle.lnk", folder + "\\Cryptelle.exe", "", "Cryptelle", folder);
  ExpectLink(group + "\\CryptelleUninstaller.lnk", folder + "\\CryptelleUninstaller.exe", "",
             "Uninstall Cryptelle", folder);
  ExpectLink(startLink, folder + "\\ShellHelperCT.exe", folder + "\\CryptelleIcon.ico", "Cryptelle",
             folder);
  ExpectLink(desktopLink, folder + "\\Cryptelle.exe", "", "Cryptelle", folder);

  EXPECT_EQ(ReadText(folder + "\\uninst.log"),
            "=" + group + "=" + group + "\\Cryptelle.lnk=" + group +
                "\\CryptelleUninstaller.lnk=" + startLink + "=" + desktopLink);

  // One root device, its driver running: the control device answers.
  EXPECT_EQ(CountCryptDskDevices(), 1);
  const HANDLE device =
      CreateFileA(CRYPTDSK_USER_PATH_NARROW, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_NE(device, INVALID_HANDLE_VALUE) << GetLastError();
  if (device != INVALID_HANDLE_VALUE) CloseHandle(device);
}

TEST(SetupRefusesAfterInstalling, ASecondSetupAsAlreadyInstalled) {
  const std::string package = MakePackage("pkg-again");
  SetupRun run(package);
  EXPECT_EQ(Answer(kCaption), kAlreadyInstalled);
  EXPECT_EQ(run.Wait(), 0u);
}

TEST(SetupRefusesAfterInstalling, WhileTheDriverIsStillLoaded) {
  // As after an uninstall without a restart: the keys are gone, the driver is not.
  DeleteKeyTree(HKEY_LOCAL_MACHINE, "SOFTWARE\\Cryptelle");
  const std::string package = MakePackage("pkg-again");
  SetupRun run(package);
  EXPECT_EQ(Answer(kCaption), kStillInMemory);
  EXPECT_EQ(run.Wait(), 0u);
  EXPECT_EQ(CountCryptDskDevices(), 1);
}

}  // namespace
}  // namespace setup_test
