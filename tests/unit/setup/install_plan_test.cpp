#include "install_plan.h"

#include <gtest/gtest.h>

#include <string>

#include "setup_texts.h"

namespace setup {
namespace {

std::string InstallFolderOf(const std::string& selected) {
  PathBuffer<char> folder;
  if (BuildInstallFolder(selected.c_str(), &folder) != 1) return "<too long>";
  return folder.c_str();
}

TEST(InstallFolder, IsTheSelectedPathWithCryptelleAppended) {
  EXPECT_EQ(InstallFolderOf("C:\\Program Files"), "C:\\Program Files\\Cryptelle");
  EXPECT_EQ(InstallFolderOf("D:\\"), "D:\\Cryptelle");
}

TEST(InstallFolder, LongerThan260CharactersIsRefusedNotShortened) {
  // 250 + "\" + "Cryptelle" is 260: the longest folder that fits.
  const std::string fits = "C:\\" + std::string(247, 'p');
  EXPECT_EQ(InstallFolderOf(fits).size(), 260u);
  EXPECT_EQ(InstallFolderOf(fits + "q"), "<too long>");
  EXPECT_EQ(InstallFolderOf("C:\\" + std::string(249, 'p')), "<too long>");  // 252 characters
}

TEST(DriverTarget, IsTheDriversFolderOfTheSystemFolder) {
  PathBuffer<char> path;
  ASSERT_EQ(BuildDriverTarget("C:\\windows\\system32", &path), 1);
  EXPECT_STREQ(path.c_str(), "C:\\windows\\system32\\Drivers\\cryptdsk.sys");
}

TEST(PackageRule, CountsRegularFilesOnly) {
  EXPECT_TRUE(CountsAsPackageFile(false, "Cryptelle.exe"));
  EXPECT_TRUE(CountsAsPackageFile(false, "anything.txt"));
  EXPECT_FALSE(CountsAsPackageFile(true, "Drivers"));
  EXPECT_FALSE(CountsAsPackageFile(true, "."));
  EXPECT_FALSE(CountsAsPackageFile(true, ".."));
  EXPECT_FALSE(CountsAsPackageFile(false, "."));
  EXPECT_EQ(kPackageFileCount, 12);
}

TEST(PackageRule, KnowsTheFilesTheProductUsesInAnyCase) {
  for (const char* name : kRequiredPackageFiles) EXPECT_TRUE(IsRequiredPackageFile(name)) << name;
  EXPECT_TRUE(IsRequiredPackageFile("CRYPTDSK.INF"));
  EXPECT_TRUE(IsRequiredPackageFile("cryptelle.exe"));
  EXPECT_FALSE(IsRequiredPackageFile("uninst.log"));
  EXPECT_FALSE(IsRequiredPackageFile("Cryptelle.ex"));
  EXPECT_FALSE(IsRequiredPackageFile("Cryptelle.exe.bak"));
}

TEST(UninstallLog, RecordsAreEqualsSignAndPathWithNothingBetween) {
  std::string log;
  AppendLogRecord("C:\\a\\Cryptelle", &log);
  AppendLogRecord("C:\\b.lnk", &log);
  EXPECT_EQ(log, "=C:\\a\\Cryptelle=C:\\b.lnk");
}

TEST(Registry, AssociationRunsTheShellHelperWithoutArguments) {
  std::vector<RegistryEntry> entries;
  ASSERT_EQ(PlanExtensionEntries("C:\\Apps\\Cryptelle", &entries), 1);
  ASSERT_EQ(entries.size(), 4u);
  const char* keys[] = {".cryptdsk", "Cryptelle", "Cryptelle\\DefaultIcon",
                        "Cryptelle\\shell\\open\\command"};
  // The command is quoted: the path holds no spaces here, but it may.
  const char* data[] = {"Cryptelle", "Cryptelle", "C:\\Apps\\Cryptelle\\CryptelleIcon.ico",
                        "\"C:\\Apps\\Cryptelle\\ShellHelperCT.exe\""};
  for (size_t i = 0; i < entries.size(); ++i) {
    EXPECT_EQ(entries[i].root, RegistryRoot::kClassesRoot);
    EXPECT_EQ(entries[i].key, keys[i]);
    EXPECT_EQ(entries[i].value, "");
    EXPECT_EQ(entries[i].data, data[i]);
  }
}

TEST(Registry, UninstallEntryNamesTheUninstallerAfterTheDisplayName) {
  std::vector<RegistryEntry> entries;
  ASSERT_EQ(PlanUninstallEntries("D:\\Cryptelle", 2 * 1024 * 1024 + 1, &entries), 1);
  ASSERT_EQ(entries.size(), 9u);
  EXPECT_EQ(entries[0].root, RegistryRoot::kLocalMachine);
  EXPECT_EQ(entries[0].key, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Cryptelle");
  EXPECT_EQ(entries[0].value, "DisplayName");
  EXPECT_EQ(entries[0].data, "Cryptelle");
  EXPECT_EQ(entries[1].key, entries[0].key);
  EXPECT_EQ(entries[1].value, "UninstallString");
  EXPECT_EQ(entries[1].data, "\"D:\\Cryptelle\\CryptelleUninstaller.exe\"");

  // Then what Add/Remove Programs shows, and no Change or Repair buttons.
  const char* texts[][2] = {{"DisplayVersion", "1.0.1.0"},
                            {"Publisher", "Cryptelle"},
                            {"DisplayIcon", "D:\\Cryptelle\\CryptelleIcon.ico"},
                            {"InstallLocation", "D:\\Cryptelle"}};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(entries[2 + i].key, entries[0].key);
    EXPECT_EQ(entries[2 + i].value, texts[i][0]);
    EXPECT_FALSE(entries[2 + i].isNumber);
    EXPECT_EQ(entries[2 + i].data, texts[i][1]);
  }
  const char* numbers[] = {"EstimatedSize", "NoModify", "NoRepair"};
  const uint32_t values[] = {2049, 1, 1};  // kilobytes, rounded up
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(entries[6 + i].key, entries[0].key);
    EXPECT_EQ(entries[6 + i].value, numbers[i]);
    EXPECT_TRUE(entries[6 + i].isNumber);
    EXPECT_EQ(entries[6 + i].number, values[i]);
  }

  const RegistryEntry path = InstallPathEntry("D:\\Cryptelle");
  EXPECT_STRCASEEQ(path.key.c_str(), "Software\\Cryptelle");  // registry names ignore case
  EXPECT_EQ(path.value, "InstallPath");
  EXPECT_EQ(path.data, "D:\\Cryptelle");
}

TEST(Registry, PathsThatWouldBeTooLongAreErrors) {
  std::vector<RegistryEntry> entries;
  const std::string folder = "C:\\" + std::string(245, 'f');
  EXPECT_EQ(PlanExtensionEntries(folder.c_str(), &entries), -1);
  EXPECT_EQ(PlanUninstallEntries(folder.c_str(), 0, &entries), -1);
}

TEST(Shortcuts, AllFourLinksAndTheGroupInLogOrder) {
  const ShortcutFolders folders{"C:\\P", "C:\\S", "C:\\D"};
  std::vector<ShortcutStep> steps;
  ASSERT_EQ(PlanShortcuts(folders, "E:\\Cryptelle", &steps), 1);
  ASSERT_EQ(steps.size(), 5u);

  EXPECT_EQ(steps[0].kind, ShortcutStep::kCreateFolder);
  EXPECT_EQ(steps[0].path, "C:\\P\\Cryptelle");

  EXPECT_EQ(steps[1].path, "C:\\P\\Cryptelle\\Cryptelle.lnk");
  EXPECT_EQ(steps[1].target, "E:\\Cryptelle\\Cryptelle.exe");
  EXPECT_EQ(steps[1].icon, "");
  EXPECT_EQ(steps[1].description, "Cryptelle");

  EXPECT_EQ(steps[2].path, "C:\\P\\Cryptelle\\CryptelleUninstaller.lnk");
  EXPECT_EQ(steps[2].target, "E:\\Cryptelle\\CryptelleUninstaller.exe");
  EXPECT_EQ(steps[2].description, "Uninstall Cryptelle");

  // The Start Menu link starts the shell helper and shows the product icon.
  EXPECT_EQ(steps[3].path, "C:\\S\\Cryptelle.lnk");
  EXPECT_EQ(steps[3].target, "E:\\Cryptelle\\ShellHelperCT.exe");
  EXPECT_EQ(steps[3].icon, "E:\\Cryptelle\\CryptelleIcon.ico");
  EXPECT_TRUE(steps[3].deleteExisting);

  // The desktop link is overwritten by the save, not deleted first.
  EXPECT_EQ(steps[4].path, "C:\\D\\Cryptelle.lnk");
  EXPECT_EQ(steps[4].target, "E:\\Cryptelle\\Cryptelle.exe");
  EXPECT_FALSE(steps[4].deleteExisting);

  std::string log;
  for (const ShortcutStep& step : steps) AppendLogRecord(step.path.c_str(), &log);
  EXPECT_EQ(log,
            "=C:\\P\\Cryptelle=C:\\P\\Cryptelle\\Cryptelle.lnk=C:\\P\\Cryptelle\\"
            "CryptelleUninstaller.lnk=C:\\S\\Cryptelle.lnk=C:\\D\\Cryptelle.lnk");
}

TEST(Shortcuts, AnUnavailableFolderIsSkipped) {
  std::vector<ShortcutStep> steps;
  ASSERT_EQ(PlanShortcuts({"", "C:\\S", ""}, "E:\\Cryptelle", &steps), 1);
  ASSERT_EQ(steps.size(), 1u);
  EXPECT_EQ(steps[0].path, "C:\\S\\Cryptelle.lnk");
}

TEST(Shortcuts, ALinkPathThatWouldBeTooLongIsAnError) {
  std::vector<ShortcutStep> steps;
  const std::string programs = "C:\\" + std::string(240, 'p');
  EXPECT_EQ(PlanShortcuts({programs, "C:\\S", "C:\\D"}, "E:\\Cryptelle", &steps), -1);
}

}  // namespace
}  // namespace setup
