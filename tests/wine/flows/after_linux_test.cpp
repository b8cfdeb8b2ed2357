// The Windows half of the round trip: the container that a journey created
// and the Linux side then wrote a file into through nbdkit and ntfs-3g
// still logs in with the real client and driver, and the drive shows that
// file's bytes.
// clang-format off
#include <windows.h>
#include <shlobj.h>
// clang-format on
#include <stdlib.h>

#include <string>
#include <vector>

#include "client_texts.h"
#include "cryptdsk_protocol.h"
#include "flows_fixture.h"

namespace {

constexpr char kLinuxText[] = "written on Linux through ntfs-3g, for the Windows log-in";

// The whole drive, read through the driver with each request's offset in
// its OVERLAPPED (Wine gives a driver's handle no file pointer).
std::string ReadWholeDrive(wchar_t letter) {
  const wchar_t path[] = {L'\\', L'\\', L'.', L'\\', letter, L':', 0};
  HANDLE drive = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
  if (drive == INVALID_HANDLE_VALUE) return "";
  std::string bytes;
  std::vector<char> chunk(64 * 1024);
  for (ULONGLONG offset = 0;; offset += chunk.size()) {
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD read = 0;
    if (!ReadFile(drive, chunk.data(), static_cast<DWORD>(chunk.size()), &read, &at) || read == 0)
      break;
    bytes.append(chunk.data(), read);
  }
  CloseHandle(drive);
  return bytes;
}

std::wstring StoragePathNamedIn(const std::wstring& file) {
  HANDLE opened =
      CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (opened == INVALID_HANDLE_VALUE) return L"";
  wchar_t path[MAX_PATH + 1] = {};
  DWORD read = 0;
  ReadFile(opened, path, MAX_PATH * sizeof(wchar_t), &read, nullptr);
  CloseHandle(opened);
  return path;
}

TEST_F(FlowJourney, AContainerWrittenOnLinuxStillLogsIn) {
  const char* written = getenv("CRYPTELLE_LINUX_WRITTEN");
  const char* handover = getenv("CRYPTELLE_FLOWS_HANDOVER");
  if (written == nullptr || written[0] == 0 || handover == nullptr) {
    GTEST_SKIP() << "no container from the Linux side";
  }
  const std::wstring from = gui::FromUnixPath(written);
  if (!FileExists(from + L"\\Ann_2.cryptdsk")) {
    GTEST_SKIP() << "the Linux side made no container (no FUSE on this machine?)";
  }
  // The key file names the path the container was created at, in the
  // journeys' program folder; it must be found there again.
  const std::wstring container =
      StoragePathNamedIn(gui::FromUnixPath(handover) + L"\\Ann_2.storage-path");
  ASSERT_FALSE(container.empty());
  const std::wstring containerFolder = container.substr(0, container.rfind(L'\\'));
  SHCreateDirectoryExW(nullptr, containerFolder.c_str(), nullptr);
  ASSERT_TRUE(CopyFileW((from + L"\\Ann_2.cryptdsk").c_str(), container.c_str(), FALSE));
  ASSERT_TRUE(CopyFileW((from + L"\\Ann_2.user").c_str(), KeyFilePath(L"Ann_2").c_str(), FALSE));
  std::wstring registered = container;
  CharLowerW(&registered[0]);
  ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, CT_W(CT_REG_USERS_KEY), L"Ann_2", REG_SZ,
                            registered.c_str(),
                            static_cast<DWORD>((registered.size() + 1) * sizeof(wchar_t))),
            ERROR_SUCCESS);

  HWND logIn = StartWithStandIn(CT_W(CT_TITLE_LOG_IN));
  ASSERT_NE(logIn, nullptr);
  flow_screens::LogInThroughTheScreen(logIn, L"Ann_2", L"Secret#1");
  ASSERT_EQ(LinkTarget(L'H'), CRYPTDSK_DEVICE_NAME);

  const std::string drive = ReadWholeDrive(L'H');
  EXPECT_EQ(drive.size(), 5u * 1048576);
  ASSERT_GE(drive.size(), 11u);
  EXPECT_EQ(drive.substr(3, 8), "NTFS    ") << "the boot sector reads back through the driver";
  EXPECT_NE(drive.find(kLinuxText), std::string::npos)
      << "the file written on Linux is on the drive";

  flow_screens::ChooseLockAndExit();
  EXPECT_TRUE(client_.WaitForExit());
  EXPECT_EQ(LinkTarget(L'H'), L"<none>");
}

}  // namespace
