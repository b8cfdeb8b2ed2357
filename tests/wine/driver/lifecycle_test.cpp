#include <gtest/gtest.h>

#include "driver_harness.h"
#include "driver_install.h"

namespace cryptdsk_test {
namespace {

bool NamesExist() {
  wchar_t target[256];
  const bool link = QueryDosDeviceW(L"CryptDsk00", target, 256) != 0;
  Handle device = OpenDevice(kDevicePath, 0);
  return link || device.valid();
}

// One journey: these steps depend on each other's device state.
TEST(Lifecycle, InstallRemoveAndReinstallKeepOneDeviceAndLeaveNothingBehind) {
  ASSERT_EQ(CountCryptDskDevices(), 1);
  EXPECT_TRUE(NamesExist());

  // Installing over the existing device updates it; no second one.
  ASSERT_TRUE(InstallCryptDsk()) << GetLastError();
  EXPECT_EQ(CountCryptDskDevices(), 1);
  EXPECT_TRUE(cryptelle_setup::FindExistingDevice(nullptr, nullptr));

  // Removal without a container: both names are gone.
  EXPECT_EQ(cryptelle_setup::RemoveDriverDevices(), 1);
  EXPECT_FALSE(NamesExist());
  EXPECT_EQ(CountCryptDskDevices(), 0);
  EXPECT_FALSE(cryptelle_setup::FindExistingDevice(nullptr, nullptr));

  // A fresh install creates the device again.
  ASSERT_TRUE(InstallCryptDsk()) << GetLastError();
  EXPECT_EQ(CountCryptDskDevices(), 1);
  const Container container = ContainerNamed(L"removal.cryptdsk");
  ASSERT_TRUE(CreateContainerFile(container, 1 << 20));
  {
    Handle device = OpenDevice();
    ASSERT_TRUE(device.valid());
    ASSERT_EQ(OpenImage(device.get(), container.NtPath, 0), kSuccess);
    const Bytes plain = Pattern(4096, 9);
    ASSERT_EQ(WriteAt(device.get(), 0, plain.data(), 4096).Status, kSuccess);
  }

  // Removal with a container attached detaches it: names gone, file closed.
  EXPECT_EQ(cryptelle_setup::RemoveDriverDevices(), 1);
  EXPECT_FALSE(NamesExist());
  Handle exclusive(CreateFileW(container.DosPath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                               OPEN_EXISTING, 0, nullptr));
  EXPECT_TRUE(exclusive.valid()) << "the container is still held: " << GetLastError();
  exclusive.Close();
  EXPECT_EQ(StoredBytes(container, 0, 4096), StoredForm(Pattern(4096, 9), 0));

  ASSERT_TRUE(InstallCryptDsk()) << GetLastError();
  Handle device = OpenDevice();
  ASSERT_TRUE(device.valid());
  EXPECT_FALSE(IsOpen(device.get()));
}

TEST(Lifecycle, InfWhoseClassCannotBeReadCreatesNoDevice) {
  EXPECT_EQ(cryptelle_setup::RemoveDriverDevices(), 1);
  EXPECT_FALSE(
      cryptelle_setup::InstallDriver("C:\\cryptdsk-package\\missing.inf", nullptr, nullptr));
  EXPECT_NE(GetLastError(), 0u);
  EXPECT_EQ(CountCryptDskDevices(), 0);
  ASSERT_TRUE(InstallCryptDsk());
}

}  // namespace
}  // namespace cryptdsk_test
