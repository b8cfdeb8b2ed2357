// What setup says when the package does not fit this Windows: the 32-bit
// package on 64-bit Windows is refused before anything changes, and a driver
// that does not start is reported instead of "Congratulations".
#include <gtest/gtest.h>
#include <windows.h>

#include "setup_harness.h"
#include "setup_texts.h"

namespace setup_test {
namespace {

using namespace setup;

constexpr char kRunOnceKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

TEST(SetupRefuses, The32BitPackageOn64BitWindowsBeforeChangingAnything) {
  const std::string package = MakePackage("pkg-wow64");
  ASSERT_TRUE(CopyFileA(WOW64_SETUP_EXE, (package + "\\CryptelleSetup.exe").c_str(), FALSE));
  // Setup's first change to the system would delete this value.
  HKEY runOnce = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kRunOnceKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                            &runOnce, nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(runOnce, kRunOnceValue, 0, REG_SZ, reinterpret_cast<const BYTE*>("x"), 2);
  RegCloseKey(runOnce);

  SetupRun run(package);
  EXPECT_EQ(Answer(kCaption), kWrongArchitecture);
  EXPECT_EQ(run.Wait(), 0u);
  EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, kRunOnceKey, kRunOnceValue), "x");
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Cryptelle"));
}

TEST(SetupInstalls, ButSaysSoWhenTheDriverDoesNotStart) {
  const std::string package = MakePackage("pkg-no-driver");
  WriteText(package + "\\cryptdsk.sys", "not a driver");
  SetupRun run(package);
  ASSERT_NE(run.WaitForSetupDialog(), nullptr);
  run.SetInstallPath("C:\\");
  run.PressInstall();
  ASSERT_EQ(WaitForAnyOf({kCaption, kInstalledCaption, kAdminCaption}, 120000), 0)
      << Answer(kInstalledCaption);
  const std::string text = Answer(kCaption);
  EXPECT_EQ(text.rfind(kDriverNotStarted, 0), 0u) << text;
  EXPECT_NE(text.find(kTestModeAdvice), std::string::npos) << text;
  EXPECT_EQ(run.Wait(), 0u);
  // Installed all the same: the uninstaller and a later start find it.
  EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, "SOFTWARE\\Cryptelle", "InstallPath"),
            "C:\\Cryptelle");
}

}  // namespace
}  // namespace setup_test
