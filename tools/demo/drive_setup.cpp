// Installs Cryptelle the way a person would: starts CryptelleSetup.exe from
// the package folder, presses Install, and answers Yes to running the
// program. Exits 0 once the client shows its first screen.
//   cryptelle-drive-setup PACKAGE_FOLDER
#include <windows.h>

#include <cstdio>
#include <string>

#include "../../setup/program/resource_ids.h"
#include "../../setup/program/setup_texts.h"
#include "win/gui_driver.h"

namespace {

std::wstring Widen(const char* text) { return gui::Widen(text); }

HWND WaitForAnyClientScreen(DWORD timeoutMs) {
  const wchar_t* const titles[] = {L"Cryptelle - Welcome", L"Cryptelle - Log In"};
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < timeoutMs) {
    for (const wchar_t* title : titles) {
      const HWND window = FindWindowW(L"#32770", title);
      if (window != nullptr) return window;
    }
    Sleep(200);
  }
  return nullptr;
}

int Fail(const char* what) {
  std::fprintf(stderr, "cryptelle-drive-setup: %s\n", what);
  return 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return Fail("usage: cryptelle-drive-setup PACKAGE_FOLDER");
  const std::wstring folder = argv[1];
  SetCurrentDirectoryW(folder.c_str());
  gui::Process setup(L"\"" + folder + L"\\CryptelleSetup.exe\"");
  if (!setup.started()) return Fail("CryptelleSetup.exe does not start");

  const HWND dialog = gui::WaitForDialog(Widen(setup::kDialogTitle).c_str(), 60000);
  if (dialog == nullptr) return Fail("the setup dialog did not appear");
  std::printf("setup: installing into %ls\\Cryptelle\n",
              gui::ItemText(dialog, IDC_INSTALL_PATH).c_str());
  std::fflush(stdout);
  gui::Press(dialog, IDC_INSTALL);

  const HWND question =
      gui::WaitForDialog(Widen(setup::kInstalledCaption).c_str(), 180000);
  if (question == nullptr) return Fail("setup did not finish (see its message on the screen)");
  gui::Press(question, IDYES);
  if (setup.Wait(60000) != 0) return Fail("setup did not end");
  std::printf("setup: done; starting Cryptelle\n");
  std::fflush(stdout);

  if (WaitForAnyClientScreen(60000) == nullptr) return Fail("Cryptelle did not show a screen");
  std::printf("Cryptelle is running\n");
  return 0;
}
