// The mount, format and lock sequences under Wine with the real driver, key
// file and registry. Wine has no mount manager or file system for the
// driver's drive and no fmifs.dll: the test bed's stand-ins answer those
// (see the README), loaded the way they would be into the client.
#include <gtest/gtest.h>
#include <string.h>
#include <windows.h>

#include <string>
#include <thread>
#include <vector>

#include "account_files.h"
#include "account_state.h"
#include "account_system.h"
#include "cryptdsk_protocol.h"
#include "driver_install.h"
#include "volume_operations.h"
#include "volume_state.h"
#include "volume_texts.h"
#include "win/gui_driver.h"
#include "win/system_probes.h"

// With CRYPTELLE_VOLUME_HANDOVER naming a Linux folder, each container that
// a test created, formatted and locked is moved there as <megabytes>.cryptdsk,
// beside a copy of the user's key file (ann.user), for the Linux-side check
// of what the driver stored (check-containers.sh).
namespace {

constexpr char kInfPath[] = "C:\\cryptdsk-package\\cryptdsk.inf";
constexpr wchar_t kFolder[] = L"C:\\CryptelleTest";
constexpr wchar_t kTestBedKey[] = L"Software\\CryptelleTestBed";

// The shell's side: here it only records what it was told.
struct ShellStandIn {
  bool SessionOpen = false;
  bool TrayMenuEnabled = false;
  HWND MainWindow = nullptr;
  std::vector<std::wstring> tooltips;
} g_shell;

void RecordSession(bool open) {
  g_shell.SessionOpen = open;
  g_shell.TrayMenuEnabled = open;
}

int RecordTray(bool, const wchar_t* tooltip) {
  g_shell.tooltips.push_back(tooltip);
  return 1;
}

int CountingBytes(uint8_t* destination, size_t length) {
  static uint8_t next = 1;
  for (size_t i = 0; i < length; ++i) destination[i] = next++;
  return 1;
}

std::wstring ProgramFolder() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder = path;
  return folder.substr(0, folder.rfind(L'\\'));
}

void SetText(WCHAR* destination, const std::wstring& text) {
  memcpy(destination, text.c_str(), (text.size() + 1) * sizeof(WCHAR));
}

// Answers the message boxes with these titles, in order, on its own thread
// while the sequence under test blocks in them; keeps their texts.
class BoxAnswers {
 public:
  explicit BoxAnswers(std::vector<std::pair<std::wstring, int>> boxes)
      : boxes_(std::move(boxes)), thread_([this] {
          for (const auto& box : boxes_)
            texts_.push_back(gui::AnswerMessageBox(box.first.c_str(), box.second));
        }) {}
  // The texts shown, in order; waits until every box was answered.
  const std::vector<std::wstring>& Texts() {
    if (thread_.joinable()) thread_.join();
    return texts_;
  }
  ~BoxAnswers() { Texts(); }

 private:
  std::vector<std::pair<std::wstring, int>> boxes_;
  std::vector<std::wstring> texts_;
  std::thread thread_;
};

// The Linux folder named by CRYPTELLE_VOLUME_HANDOVER as a Wine path (Z: is
// the Linux root); empty when it is not set.
std::wstring HandoverFolder() {
  wchar_t path[MAX_PATH] = {};
  const DWORD length = GetEnvironmentVariableW(L"CRYPTELLE_VOLUME_HANDOVER", path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH || path[0] != L'/') return L"";
  std::wstring folder = std::wstring(L"Z:") + path;
  for (wchar_t& c : folder) {
    if (c == L'/') c = L'\\';
  }
  return folder;
}

// Empties the hand-over folder of what an earlier run left there.
void ClearHandover() {
  const std::wstring folder = HandoverFolder();
  if (folder.empty()) return;
  CreateDirectoryW(folder.c_str(), nullptr);
  for (const wchar_t* name : {L"\\5.cryptdsk", L"\\999.cryptdsk", L"\\ann.user"}) {
    DeleteFileW((folder + name).c_str());
  }
}

// Moves the locked container to the hand-over folder, if there is one.
void HandOverContainer(const wchar_t* megabytes) {
  const std::wstring folder = HandoverFolder();
  if (folder.empty()) return;
  const std::wstring target = folder + L"\\" + megabytes + L".cryptdsk";
  DeleteFileW(target.c_str());
  ASSERT_TRUE(MoveFileExW(StorageFilePath, target.c_str(), MOVEFILE_COPY_ALLOWED))
      << GetLastError();
  ASSERT_TRUE(CopyFileW(UserKeyFilePath, (folder + L"\\ann.user").c_str(), FALSE))
      << GetLastError();
}

std::string FirstSector(const wchar_t* volumePath) {
  HANDLE volume = CreateFileW(volumePath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  if (volume == INVALID_HANDLE_VALUE) return "<no volume>";
  char sector[512] = {};
  DWORD read = 0;
  const BOOL done = ReadFile(volume, sector, 512, &read, nullptr);
  CloseHandle(volume);
  return done && read == 512 ? std::string(sector, 512) : "<no read>";
}

void MarkFileOpenOnVolume(DWORD open) {
  RegSetKeyValueW(HKEY_CURRENT_USER, kTestBedKey, L"FileOpenOnVolume", REG_DWORD, &open,
                  sizeof(open));
}

// The driver, installed once for every test of the program: a second
// install in the same Wine session would collide with the first.
class DriverInstalled : public ::testing::Environment {
 public:
  void SetUp() override {
    ASSERT_TRUE(cryptelle_setup::InstallDriver(kInfPath, nullptr, nullptr)) << GetLastError();
  }
};

::testing::Environment* const g_driver = ::testing::AddGlobalTestEnvironment(new DriverInstalled);

class VolumeSequences : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // The test bed's mount manager, as it is loaded into the client.
    ASSERT_NE(LoadLibraryW((ProgramFolder() + L"\\volume_system_standin.dll").c_str()), nullptr);
    // Wine's desktop belongs to its explorer.exe, which the format-prompt
    // hook would refuse: make it exist first.
    g_shell.MainWindow = CreateWindowExW(0, L"STATIC", L"main", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                                         nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(g_shell.MainWindow, nullptr);
    owner_ = CreateWindowExW(0, L"STATIC", L"storage", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                             nullptr, nullptr, nullptr);
    CreateWindowExW(0, L"EDIT", L"5", WS_CHILD, 0, 0, 50, 20, owner_, reinterpret_cast<HMENU>(401),
                    nullptr, nullptr);
    VolumeHost host;
    host.SessionChanged = RecordSession;
    host.ShowDriveState = RecordTray;
    SetVolumeHost(host);

    AccountSystemCalls().randomBytes = CountingBytes;
    CreateDirectoryW(kFolder, nullptr);
    for (const wchar_t* sub : {L"\\Key", L"\\PRF", L"\\CryptDsks"}) {
      CreateDirectoryW((std::wstring(kFolder) + sub).c_str(), nullptr);
    }
    SetText(InstallFolder, kFolder);
    SetText(UserName, L"ann");
    // The Linux-side check (CMakeLists.txt) opens the key file with it too.
    SetText(Password.get(), L"Secret#1");
    SetText(StorageFilePath, L"c:\\cryptelletest\\cryptdsks\\ann.cryptdsk");
    ASSERT_EQ(WriteUserKeyFile(nullptr), 1);
    ClearHandover();
  }

  void SetUp() override {
    SetEnvironmentVariableW(L"CRYPTELLE_FMIFS_RESULT", nullptr);
    SetDlgItemTextW(owner_, 401, L"5");
    MarkFileOpenOnVolume(0);
    g_shell.tooltips.clear();
  }

  // A new container of the owner's size, created and formatted.
  static void CreateStorage() {
    DeleteFileW(StorageFilePath);
    BoxAnswers boxes({{kUserCreationTitle, IDOK}, {kCreateForUserTitle, IDOK}});
    ASSERT_EQ(MountUserStorage(owner_, 1), 1);
    EXPECT_EQ(boxes.Texts()[0], kUserCreationConfirmText);
    EXPECT_EQ(boxes.Texts()[1], kShortcutFailedText);
  }

  static HWND owner_;
};

HWND VolumeSequences::owner_ = nullptr;

TEST_F(VolumeSequences, NewStorageIsAttachedFormattedLabelledAndThenLockedClean) {
  CreateStorage();
  ASSERT_EQ(Volume().CurrentDriveLetter, 'H');
  EXPECT_TRUE(g_shell.SessionOpen);
  EXPECT_TRUE(g_shell.TrayMenuEnabled);
  EXPECT_EQ(LinkTarget(L'H'), CRYPTDSK_DEVICE_NAME);
  EXPECT_EQ(
      RegistryText(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Cryptelle\\CryptDskStatus", L"CryptDskIsOpen"),
      L"H:");
  EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Cryptelle\\DefCryptDsks", L"ann"),
            StorageFilePath);
  EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE,
                         L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\DriveIcons\\H"
                         L"\\DefaultIcon",
                         nullptr),
            std::wstring(kFolder) + L"\\CryptelleOpen.ico");
  EXPECT_EQ(RegistryText(HKEY_CURRENT_USER, L"Software\\CryptelleTestBed\\Labels", L"H"),
            kVolumeLabel);
  ASSERT_EQ(g_shell.tooltips.size(), 1u);
  const std::wstring firstSectors = CT_W(CT_PROTECTION_FIRST_SECTORS);
  EXPECT_EQ(g_shell.tooltips[0],
            L"Cryptelle (H:) - Open\n\nRight-Click for options.\n" + firstSectors);
  WIN32_FILE_ATTRIBUTE_DATA container = {};
  ASSERT_TRUE(GetFileAttributesExW(StorageFilePath, GetFileExInfoStandard, &container));
  EXPECT_EQ(container.nFileSizeLow, 5u * 1048576u);

  // The file system as the driver serves it: an NTFS boot sector.
  EXPECT_EQ(FirstSector(L"\\\\.\\H:").substr(3, 8), "NTFS    ");

  ASSERT_EQ(LockAndExit(g_shell.MainWindow), 1);
  EXPECT_EQ(Volume().CurrentDriveLetter, 0);
  EXPECT_EQ(LinkTarget(L'H'), L"<none>");
  EXPECT_EQ(
      RegistryText(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Cryptelle\\CryptDskStatus", L"CryptDskIsOpen"),
      L"<none>");
  EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE,
                         L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\DriveIcons\\H"
                         L"\\DefaultIcon",
                         nullptr),
            L"");
  EXPECT_EQ(g_shell.tooltips.back(), kLockedTooltip);
  EXPECT_EQ(IsDriverIdle(nullptr), 1);
  HandOverContainer(L"5");
}

TEST_F(VolumeSequences, NewStorageOf999MegabytesIsAttachedFormattedAndLocked) {
  SetDlgItemTextW(owner_, 401, L"999");
  CreateStorage();
  ASSERT_EQ(Volume().CurrentDriveLetter, 'H');
  WIN32_FILE_ATTRIBUTE_DATA container = {};
  ASSERT_TRUE(GetFileAttributesExW(StorageFilePath, GetFileExInfoStandard, &container));
  EXPECT_EQ((static_cast<uint64_t>(container.nFileSizeHigh) << 32) | container.nFileSizeLow,
            999ull * 1048576ull);
  const std::string boot = FirstSector(L"\\\\.\\H:");
  EXPECT_EQ(boot.substr(3, 8), "NTFS    ");
  // Bytes per sector 512 and 8 sectors per cluster: 4096-byte clusters.
  EXPECT_EQ(boot.substr(11, 3), std::string("\x00\x02\x08", 3));
  ASSERT_EQ(LockAndExit(g_shell.MainWindow), 1);
  EXPECT_EQ(LinkTarget(L'H'), L"<none>");
  EXPECT_EQ(IsDriverIdle(nullptr), 1);
  HandOverContainer(L"999");
}

TEST_F(VolumeSequences, LogInReattachesAndALockWithAFileOpenIsRefusedUntilItCloses) {
  CreateStorage();
  ASSERT_EQ(LockAndExit(g_shell.MainWindow), 1);
  {
    BoxAnswers boxes({{kLogInTitle, IDOK}, {kCreateForUserTitle, IDOK}});
    ASSERT_EQ(MountUserStorage(owner_, 0), 1);
    EXPECT_EQ(boxes.Texts()[0], kLogInConfirmText);
  }
  ASSERT_EQ(Volume().CurrentDriveLetter, 'H');
  MarkFileOpenOnVolume(1);
  {
    BoxAnswers boxes({{kPrivacyAlertBoxTitle, IDCANCEL}});
    EXPECT_EQ(LockAndExit(g_shell.MainWindow), 0);
    const std::wstring text = boxes.Texts()[0];
    EXPECT_EQ(text.find(L"\nYour Cryptelle is opened as ( H: ) drive.\n"), 0u) << text;
  }
  EXPECT_TRUE(g_shell.SessionOpen);
  EXPECT_TRUE(g_shell.TrayMenuEnabled);
  EXPECT_EQ(Volume().CurrentDriveLetter, 'H');
  EXPECT_EQ(LinkTarget(L'H'), CRYPTDSK_DEVICE_NAME);
  EXPECT_EQ(IsDriverIdle(nullptr), 0);
  MarkFileOpenOnVolume(0);
  EXPECT_EQ(LockAndExit(g_shell.MainWindow), 1);
  EXPECT_EQ(IsDriverIdle(nullptr), 1);
}

TEST_F(VolumeSequences, CancelledConfirmationChangesNothing) {
  BoxAnswers boxes({{kLogInTitle, IDCANCEL}});
  EXPECT_EQ(MountUserStorage(owner_, 0), 0);
  boxes.Texts();
  EXPECT_EQ(Volume().CurrentDriveLetter, 0);
  EXPECT_EQ(LinkTarget(L'H'), L"<none>");
  EXPECT_EQ(IsDriverIdle(nullptr), 1);
}

TEST_F(VolumeSequences, FailedFormatIsLockedQuietlyAndLeavesNothingBehind) {
  SetEnvironmentVariableW(L"CRYPTELLE_FMIFS_RESULT", L"fail");
  DeleteFileW(StorageFilePath);
  BoxAnswers boxes({{kUserCreationTitle, IDOK}});
  EXPECT_EQ(MountUserStorage(owner_, 1), -1);
  boxes.Texts();
  EXPECT_EQ(Volume().CurrentDriveLetter, 0);
  EXPECT_EQ(LinkTarget(L'H'), L"<none>");
  EXPECT_EQ(IsDriverIdle(nullptr), 1);
  EXPECT_EQ(
      RegistryText(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Cryptelle\\CryptDskStatus", L"CryptDskIsOpen"),
      L"<none>");
  EXPECT_EQ(g_shell.tooltips.back(), kLockedTooltip);
}

TEST_F(VolumeSequences, LockWithNoLetterKnownAsksTheDriverForIt) {
  CreateStorage();
  ASSERT_EQ(Volume().CurrentDriveLetter, 'H');
  EXPECT_EQ(LockCryptDsk(0, nullptr, 1), 1);
  EXPECT_EQ(LinkTarget(L'H'), L"<none>");
  EXPECT_EQ(IsDriverIdle(nullptr), 1);
}

}  // namespace
