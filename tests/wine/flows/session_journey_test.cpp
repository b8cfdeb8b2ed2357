// The drive and the Windows session: Lock anyway with a file open, the end
// of the session, Explorer's restart, the automatic locks, and a program
// that keeps answering while the Locked balloon is up. Each scenario starts
// with Dan created, locked and logged in again (drive H:).
#include <string>

#include "client_texts.h"
#include "cryptdsk_protocol.h"
#include "flows_fixture.h"
#include "resource_ids.h"
#include "volume_texts.h"
// After windows.h, which the fixture brings.
#include <shellapi.h>

namespace {

constexpr wchar_t kSessionWindowClass[] = L"CryptelleSessionWindow";
constexpr UINT kTrayIconId = 8081;

class SessionJourney : public LockedUserJourney {
 protected:
  SessionJourney() : LockedUserJourney(L"Dan") {}

  void SetUp() override {
    LockedUserJourney::SetUp();
    RegDeleteTreeW(HKEY_CURRENT_USER, CT_W(CRYPTELLE_PRODUCT_KEY));
    ASSERT_NO_FATAL_FAILURE(StartAtLogIn());
    flow_screens::LogInThroughTheScreen(logIn_, L"Dan", L"Secret#1");
    ASSERT_TRUE(DriverHasImage());
    mainWindow_ = gui::WaitForMainWindow();
    ASSERT_NE(mainWindow_, nullptr);
    session_ = FindWindowW(kSessionWindowClass, nullptr);
    ASSERT_NE(session_, nullptr);
  }

  void TearDown() override {
    RegDeleteTreeW(HKEY_CURRENT_USER, CT_W(CRYPTELLE_PRODUCT_KEY));
    LockedUserJourney::TearDown();
  }

  void Choose(const wchar_t* value) {
    const DWORD on = 1;
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, CT_W(CRYPTELLE_PRODUCT_KEY), value, REG_DWORD,
                              &on, sizeof(on)),
              ERROR_SUCCESS);
  }

  // The drive locked and nothing of it left: no image, no letter, no flag.
  // A lock the test did not wait for is given ten seconds to finish.
  void ExpectLocked() {
    const auto openFlag = [] {
      return RegistryText(HKEY_LOCAL_MACHINE, CT_W(CT_REG_STATUS_KEY), CT_W(CT_REG_OPEN_VALUE));
    };
    for (int i = 0; i < 100 && (DriverHasImage() || openFlag() != L"<none>"); ++i) Sleep(100);
    EXPECT_FALSE(DriverHasImage());
    EXPECT_EQ(LinkTarget(L'H'), L"<none>");
    EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, CT_W(CT_REG_STATUS_KEY), CT_W(CT_REG_OPEN_VALUE)),
              L"<none>");
  }

  // True when the tray holds the client's icon: only an icon that exists
  // can be modified.
  bool TrayIconPresent() const {
    NOTIFYICONDATAW record = {};
    record.cbSize = sizeof(record);
    record.hWnd = mainWindow_;
    record.uID = kTrayIconId;
    return Shell_NotifyIconW(NIM_MODIFY, &record) != FALSE;
  }

  HWND mainWindow_ = nullptr;
  HWND session_ = nullptr;
};

TEST_F(SessionJourney, LockAnywayClosesTheOpenFilesLocksAndKeepsAnswering) {
  MarkFileOpenOnVolume(1);
  PostMessageW(mainWindow_, WM_COMMAND, IDM_LOCK_EXIT, 0);
  const std::wstring text = flow_screens::AnswerBox(kPrivacyAlertBoxTitle, IDOK);
  EXPECT_NE(text.find(kLockAnywayWarning), std::wstring::npos) << text;
  // Locked, the file closed by the dismount that came first.
  ExpectLocked();
  EXPECT_EQ(RegistryNumber(HKEY_CURRENT_USER, L"Software\\CryptelleTestBed", L"FileOpenOnVolume"), 0);
  // The Locked balloon's time does not stop the program answering.
  EXPECT_TRUE(client_.Running());
  DWORD_PTR answer = 0;
  EXPECT_NE(SendMessageTimeoutW(mainWindow_, WM_NULL, 0, 0, SMTO_NORMAL, 1000, &answer), 0);
  EXPECT_TRUE(client_.WaitForExit());
}

TEST_F(SessionJourney, TheEndOfTheWindowsSessionLocksQuietly) {
  DWORD_PTR answer = 0;
  ASSERT_NE(SendMessageTimeoutW(session_, WM_QUERYENDSESSION, 0, 0, SMTO_NORMAL, 20000, &answer),
            0);
  EXPECT_EQ(answer, static_cast<DWORD_PTR>(TRUE));
  SendMessageTimeoutW(session_, WM_ENDSESSION, TRUE, 0, SMTO_NORMAL, 20000, &answer);
  ExpectLocked();
  EXPECT_EQ(FindWindowW(L"#32770", CT_W(CT_PRODUCT)), nullptr);  // no box
  EXPECT_TRUE(client_.WaitForExit());
}

TEST_F(SessionJourney, ExplorersRestartGetsTheIconBack) {
  ASSERT_TRUE(TrayIconPresent());
  NOTIFYICONDATAW record = {};
  record.cbSize = sizeof(record);
  record.hWnd = mainWindow_;
  record.uID = kTrayIconId;
  ASSERT_TRUE(Shell_NotifyIconW(NIM_DELETE, &record));  // what a new taskbar is
  ASSERT_FALSE(TrayIconPresent());
  DWORD_PTR answer = 0;
  SendMessageTimeoutW(session_, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0, SMTO_NORMAL,
                      5000, &answer);
  EXPECT_TRUE(TrayIconPresent());
  EXPECT_TRUE(DriverHasImage());
}

TEST_F(SessionJourney, SleepLocksOnlyWhenChosen) {
  DWORD_PTR answer = 0;
  const WPARAM suspending = 0x4;
  SendMessageTimeoutW(session_, WM_POWERBROADCAST, suspending, 0, SMTO_NORMAL, 20000, &answer);
  EXPECT_TRUE(DriverHasImage());
  EXPECT_TRUE(client_.Running());
  Choose(L"AutoLockOnSuspend");
  SendMessageTimeoutW(session_, WM_POWERBROADCAST, suspending, 0, SMTO_NORMAL, 20000, &answer);
  ExpectLocked();
  EXPECT_TRUE(client_.WaitForExit());
}

TEST_F(SessionJourney, AWorkstationLockLeavesADriveInUseOpen) {
  Choose(L"AutoLockOnWorkstationLock");
  MarkFileOpenOnVolume(1);
  DWORD_PTR answer = 0;
  const UINT sessionChange = 0x02B1;
  const WPARAM locked = 0x7;
  SendMessageTimeoutW(session_, sessionChange, locked, 0, SMTO_NORMAL, 20000, &answer);
  EXPECT_TRUE(DriverHasImage());
  EXPECT_TRUE(client_.Running());
  MarkFileOpenOnVolume(0);
  SendMessageTimeoutW(session_, sessionChange, locked, 0, SMTO_NORMAL, 20000, &answer);
  ExpectLocked();
  EXPECT_TRUE(client_.WaitForExit());
}

TEST_F(SessionJourney, TheTrayMenuChoiceIsStoredPerUser) {
  DWORD_PTR answer = 0;
  SendMessageTimeoutW(mainWindow_, WM_COMMAND, IDM_AUTO_LOCK_IDLE, 0, SMTO_NORMAL, 5000, &answer);
  const wchar_t* key = CT_W(CRYPTELLE_PRODUCT_KEY);
  EXPECT_EQ(RegistryNumber(HKEY_CURRENT_USER, key, L"AutoLockWhenIdle"), 1);
  EXPECT_EQ(RegistryNumber(HKEY_CURRENT_USER, key, L"AutoLockIdleMinutes"), 15);
  EXPECT_EQ(RegistryNumber(HKEY_CURRENT_USER, key, L"AutoLockOnSuspend"), 0);
}

TEST_F(SessionJourney, AMinuteWithoutInputLocksWhenChosen) {
  Choose(L"AutoLockWhenIdle");
  const DWORD oneMinute = 1;
  ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, CT_W(CRYPTELLE_PRODUCT_KEY), L"AutoLockIdleMinutes",
                            REG_DWORD, &oneMinute, sizeof(oneMinute)),
            ERROR_SUCCESS);
  // Nobody touches mouse or keyboard here; the check runs every 30 seconds.
  for (int i = 0; i < 1000 && DriverHasImage(); ++i) Sleep(100);
  ExpectLocked();
  EXPECT_TRUE(client_.WaitForExit());
}

}  // namespace
