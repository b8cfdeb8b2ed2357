// Journeys through the real program under Wine: start-up checks, the first
// screens, the tray window's requests, and a screenshot of every screen.
#include <string>

#include "client_fixture.h"
#include "client_texts.h"
#include "resource_ids.h"

namespace {

const std::wstring kProduct = CT_W(CT_PRODUCT);

HWND WaitForBox(const std::wstring& title, const wchar_t* text) {
  HWND box = gui::WaitForDialog(title);
  if (box != nullptr) {
    EXPECT_EQ(gui::MessageBoxText(box), text);
  }
  return box;
}

}  // namespace

TEST_F(ClientJourney, FirstStartWithoutUsersLeadsFromWelcomeToCreateUser) {
  HWND welcome = StartAndWaitFor(CT_W(CT_TITLE_WELCOME));
  ASSERT_NE(welcome, nullptr);
  EXPECT_EQ(gui::ControlText(welcome, IDOK), CT_W(CT_BUTTON_NEXT));
  EXPECT_EQ(gui::ControlText(welcome, IDCANCEL), CT_W(CT_BUTTON_CANCEL));
  Screenshot(welcome, "802-welcome");
  gui::Click(welcome, IDOK);

  HWND intro = gui::WaitForDialog(CT_W(CT_TITLE_NEW_USER_INTRO));
  ASSERT_NE(intro, nullptr);
  EXPECT_EQ(gui::ControlText(intro, IDOK), CT_W(CT_BUTTON_NEXT_TIGHT));
  Screenshot(intro, "804-new-user");
  gui::Click(intro, IDOK);

  HWND createUser = gui::WaitForDialog(CT_W(CT_TITLE_CREATE_USER));
  ASSERT_NE(createUser, nullptr);
  EXPECT_EQ(gui::CountDialogsOf(client_.id()), 1);
  Screenshot(createUser, "805-create-user");
  gui::Click(createUser, IDCANCEL);
  DWORD exitCode = 1;
  ASSERT_TRUE(client_.WaitForExit(&exitCode));
  EXPECT_EQ(exitCode, 0u);
}

TEST_F(ClientJourney, EscapeOnWelcomeEndsTheProgram) {
  HWND welcome = StartAndWaitFor(CT_W(CT_TITLE_WELCOME));
  ASSERT_NE(welcome, nullptr);
  gui::PressEscape(welcome);
  EXPECT_TRUE(client_.WaitForExit());
}

TEST_F(ClientJourney, CancelOnTheIntroductionEndsTheProgram) {
  HWND welcome = StartAndWaitFor(CT_W(CT_TITLE_WELCOME));
  ASSERT_NE(welcome, nullptr);
  gui::Click(welcome, IDOK);
  HWND intro = gui::WaitForDialog(CT_W(CT_TITLE_NEW_USER_INTRO));
  ASSERT_NE(intro, nullptr);
  gui::Click(intro, IDCANCEL);
  EXPECT_TRUE(client_.WaitForExit());
}

TEST_F(ClientJourney, SecondStartShowsAlreadyRunningAndLeavesTheFirstAlone) {
  HWND welcome = StartAndWaitFor(CT_W(CT_TITLE_WELCOME));
  ASSERT_NE(welcome, nullptr);
  gui::ClientProcess second;
  ASSERT_TRUE(second.Start(ExePath()));
  HWND box = WaitForBox(kProduct, CT_W(CT_MSG_ALREADY_RUNNING));
  ASSERT_NE(box, nullptr);
  gui::Click(box, IDOK);
  EXPECT_TRUE(second.WaitForExit());
  EXPECT_TRUE(client_.Running());
  EXPECT_TRUE(IsWindow(welcome));
  EXPECT_EQ(gui::CountDialogsOf(client_.id()), 1);
  gui::Click(welcome, IDCANCEL);
  EXPECT_TRUE(client_.WaitForExit());
}

TEST_F(ClientJourney, StartWithoutTheDriverEndsTheProgramWithoutMessage) {
  ASSERT_TRUE(client_.Start(ExePath()));
  // A message box would keep the process alive: ending on its own is the proof.
  DWORD exitCode = 1;
  ASSERT_TRUE(client_.WaitForExit(&exitCode));
  EXPECT_EQ(exitCode, 0u);
}

TEST_F(ClientJourney, OpenFlagWithNothingAttachedShowsImproperShutdownOnce) {
  SetOpenFlag(L"H:");
  ASSERT_TRUE(client_.Start(ExePath()));
  HWND box = WaitForBox(kProduct, CT_W(CT_MSG_IMPROPER_SHUTDOWN));
  ASSERT_NE(box, nullptr);
  gui::Click(box, IDOK);
  HWND welcome = gui::WaitForDialog(CT_W(CT_TITLE_WELCOME));
  ASSERT_NE(welcome, nullptr);
  EXPECT_FALSE(OpenFlagExists());
  gui::Click(welcome, IDCANCEL);
  ASSERT_TRUE(client_.WaitForExit());

  gui::ClientProcess again;
  ASSERT_TRUE(again.Start(ExePath()));
  welcome = gui::WaitForDialog(CT_W(CT_TITLE_WELCOME));
  ASSERT_NE(welcome, nullptr);
  EXPECT_EQ(gui::FindDialog(kProduct), nullptr);
  gui::Click(welcome, IDCANCEL);
  EXPECT_TRUE(again.WaitForExit());
}

TEST_F(ClientJourney, RegisteredUserWithoutKeyFileStartsAtWelcome) {
  RegisterUser(L"ann");
  HWND welcome = StartAndWaitFor(CT_W(CT_TITLE_WELCOME));
  ASSERT_NE(welcome, nullptr);
  gui::Click(welcome, IDCANCEL);
  EXPECT_TRUE(client_.WaitForExit());
}

TEST_F(ClientJourney, KeyFileWithoutRegisteredUserStartsAtWelcome) {
  AddKeyFile(L"ann");
  HWND welcome = StartAndWaitFor(CT_W(CT_TITLE_WELCOME));
  ASSERT_NE(welcome, nullptr);
  gui::Click(welcome, IDCANCEL);
  EXPECT_TRUE(client_.WaitForExit());
}

TEST_F(ClientJourney, AboutFromTheTrayMenuReturnsWithoutAnotherScreen) {
  HWND welcome = StartAndWaitFor(CT_W(CT_TITLE_WELCOME));
  ASSERT_NE(welcome, nullptr);
  HWND mainWindow = gui::WaitForMainWindow();
  ASSERT_NE(mainWindow, nullptr);
  PostMessageW(mainWindow, WM_COMMAND, IDM_ABOUT, 0);
  HWND about = gui::WaitForDialog(CT_W(CT_TITLE_ABOUT));
  ASSERT_NE(about, nullptr);
  EXPECT_EQ(gui::ControlText(about, IDOK), CT_W(CT_BUTTON_OK));
  Screenshot(about, "816-about");
  gui::Click(about, IDOK);
  ASSERT_TRUE(gui::WaitUntilGone(about));
  EXPECT_EQ(gui::CountDialogsOf(client_.id()), 1);
  EXPECT_TRUE(IsWindow(welcome));
  gui::Click(welcome, IDCANCEL);
  EXPECT_TRUE(client_.WaitForExit());
}

TEST_F(ClientJourney, TrayClicksAndOpenRequestsBeforeLogInDoNothing) {
  HWND welcome = StartAndWaitFor(CT_W(CT_TITLE_WELCOME));
  ASSERT_NE(welcome, nullptr);
  HWND mainWindow = gui::WaitForMainWindow();
  ASSERT_NE(mainWindow, nullptr);
  // A menu or a message box would keep these sends from returning.
  EXPECT_TRUE(gui::SendAndReturn(mainWindow, 1034, 8081, WM_RBUTTONUP));
  EXPECT_TRUE(gui::SendAndReturn(mainWindow, 1034, 8081, WM_LBUTTONDBLCLK));
  static const wchar_t kRequest[] = CT_W(CT_OPEN_AND_EXPLORER);
  // Four requests: none is counted, so the "thrice" message never comes.
  for (int i = 0; i < 4; ++i)
    EXPECT_TRUE(gui::SendCopyData(mainWindow, kRequest, sizeof(kRequest)));
  static const wchar_t kOther[] = L"OpenAndExplorez";
  EXPECT_TRUE(gui::SendCopyData(mainWindow, kOther, sizeof(kOther)));
  EXPECT_TRUE(gui::SendCopyData(mainWindow, kRequest, sizeof(kRequest) - 2));
  EXPECT_EQ(gui::CountDialogsOf(client_.id()), 1);
  gui::Click(welcome, IDCANCEL);
  EXPECT_TRUE(client_.WaitForExit());
}
