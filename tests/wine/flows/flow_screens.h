// The account screens as a person goes through them, for any journey with a
// running client: answering boxes, creating a user, logging in, locking.
#pragma once

#include <windows.h>

#include <string>

struct RecoveryAnswers {
  const wchar_t* maiden;
  const wchar_t* hobby;
  const wchar_t* food;
};

namespace flow_screens {

// The storage screen's "Encrypt the whole drive" box as a journey leaves it:
// checked, as a new user finds it (the second generation), or cleared (the
// first generation, whose bytes and quicker key file most journeys rely on).
enum class DriveEncryption { kWholeDrive, kFirstSectorsOnly };
void ChooseDriveEncryption(HWND storage, DriveEncryption encryption);

// Waits for a message box titled `title` (not `except`), presses `button`
// and gives its text; "<none>" when no box came.
std::wstring AnswerBox(const wchar_t* title, int button = IDOK, HWND except = nullptr);
// Welcome, the introduction, then Create User.
HWND OpenCreateUserFromWelcome();
// Log In's Create New User, the introduction, then Create User.
HWND OpenCreateUserFromLogIn(HWND logIn);
void FillUser(HWND createUser, const wchar_t* name, const wchar_t* password, const wchar_t* again);
void FillAnswers(HWND dialog, int firstId, const RecoveryAnswers& answers);
// The whole creation from Welcome, confirmed, with or without a recovery
// file; the drive is left open.
void CreateUserThroughTheScreens(const wchar_t* name, const wchar_t* password,
                                 const RecoveryAnswers* answers, const wchar_t* sizeMb,
                                 DriveEncryption encryption);
// The same from the Create User screen on.
void CreateUserFrom(HWND createUser, const wchar_t* name, const wchar_t* password,
                    const RecoveryAnswers* answers, const wchar_t* sizeMb,
                    DriveEncryption encryption);
// Logs in from the Log In screen and confirms; the drive is left open.
void LogInThroughTheScreen(HWND logIn, const wchar_t* name, const wchar_t* password);
// "Lock & Exit" from the tray menu of the running client.
void ChooseLockAndExit();

}  // namespace flow_screens
