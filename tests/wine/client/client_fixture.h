// A fresh program folder with the test twin of Cryptelle.exe, and the
// registry and files a start-up looks at, for each journey.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "gui_harness.h"

class ClientJourney : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // What the stand-in driver answers: "idle", "attached", or "" for none.
  void SetDriverAnswer(const char* answer);
  void AddKeyFile(const wchar_t* userName);
  void RegisterUser(const wchar_t* userName);
  void SetOpenFlag(const wchar_t* value);
  bool OpenFlagExists();
  std::wstring ExePath() const { return folder_ + L"\\Cryptelle.exe"; }

  // Saves the window into the screenshot folder, when one is named.
  void Screenshot(HWND window, const char* name);

  // Starts the client and waits for the dialog with `title`.
  HWND StartAndWaitFor(const std::wstring& title);

  gui::ClientProcess client_;
  std::wstring folder_;
};
