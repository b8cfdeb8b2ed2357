// A whole installation into a chosen path, answering Yes to the final
// question: the client starts from the installation folder.
#include <gtest/gtest.h>
#include <windows.h>

#include "setup_harness.h"
#include "setup_texts.h"

namespace setup_test {
namespace {

using namespace setup;

TEST(SetupInstalls, AndStartsTheClientWhenAskedTo) {
  const std::string package = MakePackage("pkg-launch");
  ASSERT_TRUE(CreateFolders("C:\\Apps"));
  SetupRun run(package);
  ASSERT_NE(run.WaitForSetupDialog(), nullptr);
  run.SetInstallPath("C:\\Apps");
  run.PressInstall();
  ASSERT_EQ(WaitForAnyOf({kInstalledCaption, kCaption, kAdminCaption}, 120000), 0)
      << Answer(kCaption);
  EXPECT_EQ(Answer(kInstalledCaption, IDYES), kCompleted);
  EXPECT_EQ(run.Wait(), 0u);

  const std::string marker = "C:\\Apps\\Cryptelle\\client-started.txt";
  for (int i = 0; i < 200 && !Exists(marker); ++i) Sleep(50);
  // The client runs with the installation folder as its current folder.
  EXPECT_EQ(ReadText(marker), "C:\\Apps\\Cryptelle");
  EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, "SOFTWARE\\Cryptelle", "InstallPath"),
            "C:\\Apps\\Cryptelle");
  EXPECT_EQ(CountCryptDskDevices(), 1);
}

}  // namespace
}  // namespace setup_test
