// Journeys through the account flows with the real client and driver. The
// mount-manager stand-in is loaded into each started client; the fmifs.dll
// stand-in and the NTFS images come from the volume test bed's set-up.
#pragma once

#include <windows.h>

#include <string>

#include "client_fixture.h"
#include "flow_screens.h"
#include "win/system_probes.h"

class FlowJourney : public ClientJourney {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Starts the client, waits for the screen titled `title` and loads the
  // mount-manager stand-in into the program.
  HWND StartWithStandIn(const wchar_t* title);
  // Waits for a message box titled `title` (not `except`), presses `button`
  // and gives its text; "<none>" when no box came.
  std::wstring AnswerBox(const wchar_t* title, int button = IDOK, HWND except = nullptr);
  // Welcome, the introduction, then Create User.
  HWND OpenCreateUserFromWelcome();
  void FillUser(HWND createUser, const wchar_t* name, const wchar_t* password,
                const wchar_t* again);
  void FillAnswers(HWND dialog, int firstId, const RecoveryAnswers& answers);
  // The whole creation from Welcome, confirmed, with or without a recovery
  // file; the drive is left open.
  // The first generation unless asked.
  void CreateUserThroughTheScreens(
      const wchar_t* name, const wchar_t* password, const RecoveryAnswers* answers,
      const wchar_t* sizeMb,
      flow_screens::DriveEncryption encryption = flow_screens::DriveEncryption::kFirstSectorsOnly);
  // The same from a first start of the client, then CrashAndDetach: the next
  // start comes to Log In.
  void CreateLockedUser(
      const wchar_t* name, const wchar_t* password, const RecoveryAnswers* answers,
      const wchar_t* sizeMb,
      flow_screens::DriveEncryption encryption = flow_screens::DriveEncryption::kFirstSectorsOnly);
  // Ends the client like a crash and detaches its container behind its back,
  // so that the next start finds the driver idle and no flag.
  void CrashAndDetach();

  std::wstring StoragePath(const std::wstring& storageName) const;
  std::wstring KeyFilePath(const std::wstring& name) const;
  std::wstring RecoveryFilePath(const std::wstring& name) const;
  // Copies a container and its key file to the Linux-side check's folder,
  // with the container's path as the key file names it ("<user>.storage-path",
  // UTF-16).
  void HandOver(const std::wstring& storageName, const std::wstring& userName);
};

// A journey with `user_` made through the screens (password "Secret#1",
// 5 MB, a recovery file with kRecoveryAnswers) and locked.
class LockedUserJourney : public FlowJourney {
 protected:
  explicit LockedUserJourney(const wchar_t* user) : user_(user) {}
  void SetUp() override;
  // Starts the client, which comes to Log In (logIn_).
  void StartAtLogIn();

  const wchar_t* const user_;
  HWND logIn_ = nullptr;
};

extern const RecoveryAnswers kRecoveryAnswers;

void MarkFileOpenOnVolume(DWORD open);
bool DriverHasImage();
