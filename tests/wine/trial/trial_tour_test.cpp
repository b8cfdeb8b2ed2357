// The trial as a person takes it, one step per test, in the sessions that
// tools/run-cryptelle made: the system session (Cryptelle installed by its
// setup program and started, the driver, the test bed's stand-ins, the
// drive bridge) and the desktop session, whose Wine programs see the mounted
// drive as H:. Each step pictures what it shows (tour_steps.h); the run
// script runs the steps in order, each in its session.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "../../../uninstaller/messages.h"
#include "client_texts.h"
#include "cryptdsk_protocol.h"
#include "flow_screens.h"
#include "resource_ids.h"
#include "tour_steps.h"
#include "volume_texts.h"
#include "win/system_probes.h"

namespace {

constexpr wchar_t kUser[] = L"demo";
constexpr wchar_t kPassword[] = L"Demo#2026";
constexpr wchar_t kChangedPassword[] = L"Trial#2027";
constexpr wchar_t kRecoveredPassword[] = L"Again#2028";
constexpr wchar_t kSizeMb[] = L"20";
constexpr wchar_t kNote[] = L"H:\\hello.txt";
constexpr wchar_t kNoteLine[] = L"Kept on H: by cmd under Wine, every sector through cryptdsk.sys";
const RecoveryAnswers kAnswers = {L"Smith", L"Chess", L"Soup"};

std::string NoteText() {
  std::string text;
  for (const wchar_t* c = kNoteLine; *c != 0; ++c) text += static_cast<char>(*c);
  return text + "\r\n";
}

HWND ClickAndWaitFor(HWND dialog, int id, const wchar_t* title) {
  gui::Click(dialog, id);
  return gui::WaitForDialog(title);
}

// Pictures the box titled `title`, then answers it; gives its text.
std::wstring PictureAndAnswer(const wchar_t* title, const char* shot, int button = IDOK) {
  HWND box = gui::WaitForDialog(title);
  if (box == nullptr) return L"<none>";
  gui::MessageBoxText(box);
  tour::Shot(box, shot);
  return flow_screens::AnswerBox(title, button);
}

void LockAndExit(const char* shot) {
  ASSERT_NE(gui::WaitForMainWindow(), nullptr) << "no client runs";
  ASSERT_NO_FATAL_FAILURE(tour::LockAndExitFromTheTrayMenu(shot));
  for (int tenths = 0; LinkTarget(L'H') != L"<none>" && tenths < 600; ++tenths) Sleep(100);
  EXPECT_EQ(LinkTarget(L'H'), L"<none>");
  tour::ShotOfTheTray("locked");
  EXPECT_TRUE(tour::WaitForClientExit());
}

void LogIn(HWND logIn, const wchar_t* password, const char* shot) {
  gui::SetControlText(logIn, IDC_LOGIN_USER, kUser);
  gui::SetControlText(logIn, IDC_LOGIN_PASSWORD, password);
  tour::Shot(logIn, shot);
  gui::Click(logIn, IDOK);
  EXPECT_EQ(flow_screens::AnswerBox(kLogInTitle, IDOK, logIn), kLogInConfirmText);
  EXPECT_TRUE(gui::WaitUntilGone(logIn));
  EXPECT_EQ(LinkTarget(L'H'), CRYPTDSK_DEVICE_NAME);
}

// Confirms Change Password with `password` as the new one, then gives the
// answers of a new recovery file; gives the Log In screen after.
HWND ChangeTo(HWND change, const wchar_t* password, const char* shot, const char* recoveryShot) {
  gui::SetControlText(change, IDC_CHANGE_NEW, password);
  gui::SetControlText(change, IDC_CHANGE_NEW_AGAIN, password);
  tour::Shot(change, shot);
  gui::Click(change, IDOK);
  HWND recovery = gui::WaitForDialog(CT_W(CT_TITLE_RECOVERY_SETUP));
  if (recovery == nullptr) return nullptr;
  flow_screens::FillAnswers(recovery, IDC_ANSWER_MAIDEN, kAnswers);
  tour::Shot(recovery, recoveryShot);
  return ClickAndWaitFor(recovery, IDOK, CT_W(CT_TITLE_LOG_IN));
}

// System session: from the Welcome screen of the client setup started.
TEST(Trial, CreateTheUserDemo) {
  HWND welcome = tour::WaitForClientAt(CT_W(CT_TITLE_WELCOME));
  ASSERT_NE(welcome, nullptr) << "no Welcome screen, or no stand-in in the client";
  tour::Shot(welcome, "welcome");
  HWND intro = ClickAndWaitFor(welcome, IDOK, CT_W(CT_TITLE_NEW_USER_INTRO));
  ASSERT_NE(intro, nullptr);
  tour::Shot(intro, "new-user");
  HWND createUser = ClickAndWaitFor(intro, IDOK, CT_W(CT_TITLE_CREATE_USER));
  ASSERT_NE(createUser, nullptr);
  flow_screens::FillUser(createUser, kUser, kPassword, kPassword);
  gui::Click(createUser, IDC_RECOVERY_YES);
  tour::Shot(createUser, "create-user");
  HWND recovery = ClickAndWaitFor(createUser, IDOK, CT_W(CT_TITLE_RECOVERY_SETUP));
  ASSERT_NE(recovery, nullptr);
  flow_screens::FillAnswers(recovery, IDC_ANSWER_MAIDEN, kAnswers);
  tour::Shot(recovery, "recovery-file");
  HWND storage = ClickAndWaitFor(recovery, IDOK, CT_W(CT_TITLE_STORAGE_SETUP));
  ASSERT_NE(storage, nullptr);
  gui::SetControlText(storage, IDC_STORAGE_SIZE, kSizeMb);
  tour::Shot(storage, "storage");
  gui::Click(storage, IDOK);
  EXPECT_EQ(PictureAndAnswer(kUserCreationTitle, "confirm-creation"), kUserCreationConfirmText);
  EXPECT_TRUE(gui::WaitUntilGone(storage));
  EXPECT_EQ(LinkTarget(L'H'), CRYPTDSK_DEVICE_NAME);
  tour::ShotOfTheTray("drive-open");
}

// Desktop session.
TEST(Trial, WriteAFileOnH) {
  ASSERT_TRUE(tour::WaitForDriveFiles(true)) << "H: shows no files";
  ASSERT_EQ(tour::Run(std::wstring(L"cmd.exe /c echo ") + kNoteLine + L"> " + kNote), 0u);
  EXPECT_EQ(tour::ReadFileText(kNote), NoteText());
  tour::ShowProgram(std::wstring(L"notepad.exe ") + kNote, L"Notepad", "notepad-on-h");
  tour::ShowProgram(L"explorer.exe H:\\", L"ExplorerWClass", "explorer-on-h");
}

// System session.
TEST(Trial, LockAndExit) {
  LockAndExit("tray-menu");
}

// System session.
TEST(Trial, LogInAgain) {
  HWND logIn = tour::StartClientAt(CT_W(CT_TITLE_LOG_IN));
  ASSERT_NE(logIn, nullptr) << "no Log In screen, or no stand-in in the client";
  LogIn(logIn, kPassword, "log-in");
}

// Desktop session.
TEST(Trial, ReadTheFileBack) {
  ASSERT_TRUE(tour::WaitForDriveFiles(true)) << "H: shows no files";
  EXPECT_EQ(tour::ReadFileText(kNote), NoteText());
  tour::ShowProgram(std::wstring(L"notepad.exe ") + kNote, L"Notepad", "read-back");
}

// System session: from the open drive to the drive locked again.
TEST(Trial, ChangeAndRecoverThePassword) {
  ASSERT_NO_FATAL_FAILURE(LockAndExit("tray-menu-again"));
  HWND logIn = tour::StartClientAt(CT_W(CT_TITLE_LOG_IN));
  ASSERT_NE(logIn, nullptr);
  HWND change = ClickAndWaitFor(logIn, IDC_LOGIN_CHANGE, CT_W(CT_TITLE_CHANGE_PASSWORD));
  ASSERT_NE(change, nullptr);
  gui::SetControlText(change, IDC_CHANGE_USER, kUser);
  gui::SetControlText(change, IDC_CHANGE_OLD, kPassword);
  logIn = ChangeTo(change, kChangedPassword, "change-password", "new-recovery-file");
  ASSERT_NE(logIn, nullptr);

  // Forgotten: the recovery file gives it back.
  HWND recover = ClickAndWaitFor(logIn, IDC_LOGIN_FORGOT, CT_W(CT_TITLE_RECOVER_PASSWORD));
  ASSERT_NE(recover, nullptr);
  gui::SetControlText(recover, IDC_RECOVER_USER, kUser);
  flow_screens::FillAnswers(recover, IDC_RECOVER_MAIDEN, kAnswers);
  tour::Shot(recover, "recover-password");
  gui::Click(recover, IDOK);
  EXPECT_EQ(PictureAndAnswer(CT_W(CT_TITLE_PASSWORD_RECOVERED), "password-recovered"),
            std::wstring(L"Your Password:\n\n") + kChangedPassword +
                L"\n\nNext is Change Password screen.");
  change = gui::WaitForDialog(CT_W(CT_TITLE_CHANGE_PASSWORD));
  ASSERT_NE(change, nullptr);
  logIn = ChangeTo(change, kRecoveredPassword, "new-password", "recovery-file-again");
  ASSERT_NE(logIn, nullptr);

  LogIn(logIn, kRecoveredPassword, "log-in-new-password");
  LockAndExit("lock");
}

// System session, after a restart.
TEST(Trial, Uninstall) {
  const std::wstring folder =
      RegistryText(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Cryptelle", L"InstallPath");
  ASSERT_NE(folder, L"<none>");
  const UniqueHandle uninstaller = tour::Start(L"\"" + folder + L"\\CryptelleUninstaller.exe\"");
  ASSERT_TRUE(uninstaller.valid());
  HWND dialog = gui::WaitForDialog(uninstaller::kDialogTitle);
  ASSERT_NE(dialog, nullptr);
  tour::Shot(dialog, "uninstaller");
  gui::Click(dialog, IDOK);
  EXPECT_EQ(PictureAndAnswer(uninstaller::kCaption, "uninstall-storage"),
            uninstaller::kStoragePrompt);
  EXPECT_EQ(PictureAndAnswer(uninstaller::kCaption, "uninstall-key"), uninstaller::kKeyPrompt);
  EXPECT_EQ(PictureAndAnswer(uninstaller::kCaption, "uninstall-recovery-file"),
            uninstaller::kRecoveryPrompt);
  // The uninstaller's batch file removes the program folder once it ended.
  for (int waited = 0; FileExists(folder) && waited < 300; ++waited) Sleep(200);
  EXPECT_FALSE(FileExists(folder)) << "the program folder stays";
}

}  // namespace
