// A fresh program folder with the real Cryptelle.exe and PromptGuard.dll, and
// the registry and files a start-up looks at, for each journey. The driver is
// installed once per run (journey_main.cpp).
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "gui_harness.h"

class ClientJourney : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Attaches a small container through the driver directly, as an earlier
  // run that was killed would have left it; DetachContainer undoes it.
  void AttachContainer();
  void DetachContainer();
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
