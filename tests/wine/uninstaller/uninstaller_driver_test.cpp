// The uninstaller against the real cryptdsk.sys installed in the prefix:
// it refuses while a container is attached and removes the device otherwise.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "../../../uninstaller/messages.h"
#include "../driver/driver_harness.h"
#include "win/gui_driver.h"
#include "win/system_probes.h"

namespace {

using namespace uninstaller;
namespace ct = cryptdsk_test;

const wchar_t kFolder[] = L"C:\\ct-driver";

bool ServiceExists(const wchar_t* name) {
  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
  SC_HANDLE service = manager ? OpenServiceW(manager, name, SERVICE_QUERY_STATUS) : nullptr;
  if (service != nullptr) CloseServiceHandle(service);
  if (manager != nullptr) CloseServiceHandle(manager);
  return service != nullptr;
}

// INF files in the system's INF folder that mention `text`.
int InfFilesNaming(const wchar_t* text) {
  int count = 0;
  WIN32_FIND_DATAW entry;
  HANDLE search = FindFirstFileW(L"C:\\windows\\inf\\*.inf", &entry);
  if (search == INVALID_HANDLE_VALUE) return 0;
  do {
    const std::wstring path = std::wstring(L"C:\\windows\\inf\\") + entry.cFileName;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE) continue;
    std::string bytes(GetFileSize(file, nullptr), '\0');
    DWORD read = 0;
    ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    CloseHandle(file);
    const std::string narrow(text, text + wcslen(text));
    if (bytes.find(narrow) != std::string::npos) ++count;
  } while (FindNextFileW(search, &entry));
  FindClose(search);
  return count;
}

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

  // The driver's service is stopped before its file is deleted, so the
  // file goes without a message.
  EXPECT_EQ(process.Wait(), 0u);
  EXPECT_EQ(gui::AnswerMessageBox(kCaption, IDOK, 0), L"<no message box>");
  EXPECT_EQ(ct::CountCryptDskDevices(), 0);
  EXPECT_FALSE(ct::OpenDevice().valid()) << "\\\\.\\CryptDsk00 is gone with the device";
  EXPECT_FALSE(FileExists(L"C:\\windows\\system32\\drivers\\cryptdsk.sys"));
  EXPECT_FALSE(ServiceExists(L"cryptdsk"));
  EXPECT_EQ(InfFilesNaming(L"cryptdsk.sys"), 0) << "the system's copy of the INF stays";
  HKEY classKey = nullptr;
  EXPECT_NE(RegOpenKeyW(HKEY_LOCAL_MACHINE,
                        L"SYSTEM\\CurrentControlSet\\Control\\Class\\"
                        L"{9D7616D1-8C3D-4CAF-9E1D-E5A88A03E09B}",
                        &classKey),
            ERROR_SUCCESS);
}

}  // namespace
