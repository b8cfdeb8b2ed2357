// The uninstaller against the real cryptdsk.sys installed in the prefix:
// it refuses while a container is attached and removes the device otherwise.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "../../../uninstaller/messages.h"
#include "../driver/driver_harness.h"
#include "win/gui_driver.h"

namespace {

using namespace uninstaller;
namespace ct = cryptdsk_test;

const wchar_t kFolder[] = L"C:\\ct-driver";

class UninstallerWithDriver : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(ct::InstallCryptDsk()); }

  void SetUp() override {
    CreateDirectoryW(kFolder, nullptr);
    ASSERT_TRUE(CopyFileW(gui::Widen(UNINSTALLER_EXE).c_str(), Uninstaller().c_str(), FALSE));
    ASSERT_TRUE(CopyFileW(L"C:\\cryptdsk-package\\cryptdsk.inf",
                          (std::wstring(kFolder) + L"\\cryptdsk.inf").c_str(), FALSE));
  }

  static std::wstring Uninstaller() {
    return std::wstring(kFolder) + L"\\CryptelleUninstaller.exe";
  }
};

TEST_F(UninstallerWithDriver, RefusesWhileAContainerIsAttached) {
  ASSERT_EQ(ct::CountCryptDskDevices(), 1);
  const ct::Container container = ct::ContainerNamed(L"attached.cryptdsk");
  ASSERT_TRUE(ct::CreateContainerFile(container, 1 << 20));
  ct::Handle device = ct::OpenDevice();
  ASSERT_TRUE(device.valid());
  ASSERT_EQ(ct::OpenImage(device.get(), container.NtPath, 0), ct::kSuccess);

  gui::Process process(L"\"" + Uninstaller() + L"\"");
  EXPECT_EQ(gui::AnswerMessageBox(kCaption), kStillOpen);
  EXPECT_EQ(process.Wait(), 0u);
  EXPECT_TRUE(ct::IsOpen(device.get())) << "the container stays attached";
  EXPECT_EQ(ct::CloseImage(device.get()), ct::kSuccess);
}

TEST_F(UninstallerWithDriver, RemovesTheDriversDevice) {
  ASSERT_EQ(ct::CountCryptDskDevices(), 1);
  gui::Process process(L"\"" + Uninstaller() + L"\"");
  const HWND dialog = gui::WaitForDialog(kDialogTitle);
  ASSERT_NE(dialog, nullptr);
  gui::Press(dialog, IDOK);

  // Wine keeps a removed driver's image loaded, so its file may refuse to
  // go: the uninstaller then says so and carries on.
  DWORD exitCode = process.Wait(3000);
  for (int i = 0; i < 5 && exitCode == ~DWORD{0}; ++i) {
    const std::wstring text = gui::AnswerMessageBox(kCaption, IDOK, 5000);
    if (text != L"<no message box>") {
      EXPECT_EQ(text, kDriverFile);
    }
    exitCode = process.Wait(3000);
  }
  EXPECT_EQ(exitCode, 0u);
  EXPECT_EQ(ct::CountCryptDskDevices(), 0);
  EXPECT_FALSE(ct::OpenDevice().valid()) << "\\\\.\\CryptDsk00 is gone with the device";
}

}  // namespace
