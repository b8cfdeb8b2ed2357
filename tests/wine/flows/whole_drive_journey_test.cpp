// The whole-drive choice of the storage screen end to end: a new user who
// leaves it checked gets the second generation's key file and container,
// whose drive keeps what was written across a lock and a log-in; and users
// of both generations share one program folder, each with their own drive
// and their own protection named in the tray tooltip and the About box.
//
// Without a file system on the drive here, "a file" is a block written
// through the drive at a cluster that the new NTFS leaves free.
// clang-format off
#include <windows.h>
#include <winioctl.h>
// clang-format on
#include <stdlib.h>

#include <string>

#include "client_texts.h"
#include "cryptdsk_protocol.h"
#include "flows_fixture.h"
#include "resource_ids.h"
#include "volume_texts.h"

namespace {

using flow_screens::DriveEncryption;

// Cluster 1200 of the 5 MB NTFS that mkntfs makes is free.
constexpr ULONGLONG kFreeClusterOffset = 1200ull * 4096;
constexpr DWORD kBlockBytes = 4096;
constexpr ULONGLONG kDiskBytes = 5ull * 1048576;
const std::wstring kOpenTooltip = L"Cryptelle (H:) - Open\n\nRight-Click for options.\n";

HANDLE OpenDrive(DWORD access) {
  return CreateFileW(L"\\\\.\\H:", access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                     OPEN_EXISTING, 0, nullptr);
}

// One block of the drive at `offset`, in its OVERLAPPED (Wine gives a
// driver's handle no file pointer); empty when it cannot be read.
std::string ReadBlock(ULONGLONG offset) {
  HANDLE drive = OpenDrive(GENERIC_READ);
  if (drive == INVALID_HANDLE_VALUE) return "";
  std::string block(kBlockBytes, '\0');
  OVERLAPPED at = {};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  DWORD read = 0;
  if (!ReadFile(drive, block.data(), kBlockBytes, &read, &at)) read = 0;
  CloseHandle(drive);
  block.resize(read);
  return block;
}

// A block holding `text`, zero-padded, written at the free cluster.
std::string WriteMarker(const std::string& text) {
  std::string block(kBlockBytes, '\0');
  block.replace(0, text.size(), text);
  HANDLE drive = OpenDrive(GENERIC_READ | GENERIC_WRITE);
  if (drive == INVALID_HANDLE_VALUE) return "<no drive>";
  OVERLAPPED at = {};
  at.Offset = static_cast<DWORD>(kFreeClusterOffset);
  at.OffsetHigh = static_cast<DWORD>(kFreeClusterOffset >> 32);
  DWORD written = 0;
  const BOOL ok = WriteFile(drive, block.data(), kBlockBytes, &written, &at);
  CloseHandle(drive);
  return ok && written == kBlockBytes ? block : "<not written>";
}

ULONGLONG DriveBytes() {
  HANDLE drive = OpenDrive(GENERIC_READ);
  if (drive == INVALID_HANDLE_VALUE) return 0;
  GET_LENGTH_INFORMATION length = {};
  DWORD returned = 0;
  const BOOL ok = DeviceIoControl(drive, IOCTL_DISK_GET_LENGTH_INFO, nullptr, 0, &length,
                                  sizeof(length), &returned, nullptr);
  CloseHandle(drive);
  return ok ? static_cast<ULONGLONG>(length.Length.QuadPart) : 0;
}

std::string FileBytes(const std::wstring& path) {
  HANDLE file =
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "<none>";
  std::string bytes(GetFileSize(file, nullptr), '\0');
  DWORD read = 0;
  ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
  CloseHandle(file);
  bytes.resize(read);
  return bytes;
}

ULONGLONG FileSize(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::wstring TrayTooltip() {
  return RegistryText(HKEY_CURRENT_USER, L"Software\\CryptelleTestBed", L"TrayTip");
}

class WholeDriveJourney : public FlowJourney {
 protected:
  // From Log In, as `name`; the drive opens as H:.
  void LogInAs(const wchar_t* name) {
    HWND logIn = StartWithStandIn(CT_W(CT_TITLE_LOG_IN));
    ASSERT_NE(logIn, nullptr);
    flow_screens::LogInThroughTheScreen(logIn, name, L"Secret#1");
    ASSERT_EQ(LinkTarget(L'H'), CRYPTDSK_DEVICE_NAME);
  }

  // The About box from the tray menu: its protection line (and a picture of
  // it, when a screenshot folder is named).
  std::wstring AboutProtection(const char* picture) {
    HWND mainWindow = gui::WaitForMainWindow();
    if (mainWindow == nullptr) return L"<no main window>";
    PostMessageW(mainWindow, WM_COMMAND, IDM_ABOUT, 0);
    HWND about = gui::WaitForDialog(CT_W(CT_TITLE_ABOUT));
    if (about == nullptr) return L"<no About box>";
    const std::wstring text = gui::ControlText(about, IDC_ABOUT_PROTECTION);
    Screenshot(about, picture);
    gui::Click(about, IDOK);
    gui::WaitUntilGone(about);
    return text;
  }
};

// An earlier run's copies must not pass the Linux-side check for this one.
void ForgetEarlierHandOver(const wchar_t* user) {
  const char* folder = getenv("CRYPTELLE_FLOWS_HANDOVER");
  if (folder == nullptr || folder[0] == 0) return;
  const std::wstring copies = gui::FromUnixPath(folder) + L"\\" + user;
  DeleteFileW((copies + L".cryptdsk").c_str());
  DeleteFileW((copies + L".user").c_str());
}

TEST_F(WholeDriveJourney, ANewUserWhoLeavesTheBoxCheckedGetsAWholeDriveThatKeepsItsData) {
  ForgetEarlierHandOver(L"Vic");
  StartWithStandIn(CT_W(CT_TITLE_WELCOME));
  ASSERT_NO_FATAL_FAILURE(flow_screens::CreateUserThroughTheScreens(
      L"Vic", L"Secret#1", &kRecoveryAnswers, L"5", DriveEncryption::kWholeDrive));
  ASSERT_EQ(LinkTarget(L'H'), CRYPTDSK_DEVICE_NAME);
  // The answers, given before the choice, seal the password as strongly.
  const std::string recoveryFile = FileBytes(RecoveryFilePath(L"Vic"));
  EXPECT_EQ(recoveryFile.size(), 672u);
  EXPECT_EQ(recoveryFile.substr(0, 8), "CRYPTRF2");

  const std::string keyFile = FileBytes(KeyFilePath(L"Vic"));
  EXPECT_EQ(keyFile.size(), 736u);
  EXPECT_EQ(keyFile.substr(0, 8), "CRYPTKF2");
  const std::wstring container = StoragePath(L"Cryptelle_Vic");
  EXPECT_EQ(FileSize(container), kDiskBytes + cryptdsk::kWholeDiskBackupAreaBytes);
  EXPECT_EQ(DriveBytes(), kDiskBytes);
  EXPECT_EQ(ReadBlock(0).substr(3, 8), "NTFS    ") << "the new NTFS reads back through the driver";
  EXPECT_EQ(TrayTooltip(), kOpenTooltip + CT_W(CT_PROTECTION_WHOLE_DRIVE));

  const std::string marker = WriteMarker("Vic's block on a whole-drive container");
  flow_screens::ChooseLockAndExit();
  ASSERT_TRUE(client_.WaitForExit());
  ASSERT_FALSE(DriverHasImage());
  HandOver(L"Cryptelle_Vic", L"Vic");

  ASSERT_NO_FATAL_FAILURE(LogInAs(L"Vic"));
  EXPECT_EQ(ReadBlock(kFreeClusterOffset), marker);
}

TEST_F(WholeDriveJourney, UsersOfBothGenerationsInOneFolderEachSeeTheirOwnDrive) {
  StartWithStandIn(CT_W(CT_TITLE_WELCOME));
  ASSERT_NO_FATAL_FAILURE(flow_screens::CreateUserThroughTheScreens(
      L"Ann", L"Secret#1", nullptr, L"5", DriveEncryption::kFirstSectorsOnly));
  const std::string annMarker = WriteMarker("Ann's block on a first-generation container");
  CrashAndDetach();

  HWND logIn = StartWithStandIn(CT_W(CT_TITLE_LOG_IN));
  ASSERT_NE(logIn, nullptr);
  HWND createUser = flow_screens::OpenCreateUserFromLogIn(logIn);
  ASSERT_NE(createUser, nullptr);
  ASSERT_NO_FATAL_FAILURE(flow_screens::CreateUserFrom(createUser, L"Vic", L"Secret#1", nullptr,
                                                       L"5", DriveEncryption::kWholeDrive));
  const std::string vicMarker = WriteMarker("Vic's block on a whole-drive container");
  CrashAndDetach();
  EXPECT_EQ(FileBytes(KeyFilePath(L"Ann")).size(), 804u);
  EXPECT_EQ(FileBytes(KeyFilePath(L"Vic")).size(), 736u);

  ASSERT_NO_FATAL_FAILURE(LogInAs(L"Ann"));
  EXPECT_EQ(ReadBlock(kFreeClusterOffset), annMarker);
  EXPECT_EQ(TrayTooltip(), kOpenTooltip + CT_W(CT_PROTECTION_FIRST_SECTORS));
  EXPECT_EQ(AboutProtection("816-about-first-sectors"), CT_W(CT_ABOUT_PROTECTION_FIRST_SECTORS));
  CrashAndDetach();

  ASSERT_NO_FATAL_FAILURE(LogInAs(L"Vic"));
  EXPECT_EQ(ReadBlock(kFreeClusterOffset), vicMarker);
  EXPECT_EQ(TrayTooltip(), kOpenTooltip + CT_W(CT_PROTECTION_WHOLE_DRIVE));
  EXPECT_EQ(AboutProtection("816-about-whole-drive"), CT_W(CT_ABOUT_PROTECTION_WHOLE_DRIVE));
}

}  // namespace
