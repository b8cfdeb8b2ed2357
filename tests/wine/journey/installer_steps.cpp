#include "installer_steps.h"

#include "../../../setup/program/resource_ids.h"
#include "../../../setup/program/setup_texts.h"
#include "../../../uninstaller/messages.h"
#include "win/gui_driver.h"

namespace journey {

std::wstring InstallWithSetup(const std::wstring& packageFolder, std::wstring* failure) {
  SetCurrentDirectoryW(packageFolder.c_str());
  gui::Process setup(L"\"" + packageFolder + L"\\CryptelleSetup.exe\"");
  const HWND dialog = gui::WaitForDialog(gui::Widen(setup::kDialogTitle).c_str(), 60000);
  if (dialog == nullptr) return *failure = L"the setup dialog did not appear", L"";
  const std::wstring folder = gui::ItemText(dialog, IDC_INSTALL_PATH) + L"\\Cryptelle";
  gui::Press(dialog, IDC_INSTALL);
  const std::wstring question =
      gui::AnswerMessageBox(gui::Widen(setup::kInstalledCaption).c_str(), IDYES, 120000);
  if (question == L"<no message box>") return *failure = L"setup did not finish", L"";
  if (setup.Wait(60000) != 0) return *failure = L"setup did not end with 0", L"";
  return folder;
}

std::vector<std::wstring> UninstallAnsweringOk(const std::wstring& installFolder, DWORD* exitCode) {
  std::vector<std::wstring> texts;
  gui::Process uninstaller(L"\"" + installFolder + L"\\CryptelleUninstaller.exe\"");
  const HWND dialog = gui::WaitForDialog(uninstaller::kDialogTitle, 30000);
  if (dialog == nullptr) {
    *exitCode = uninstaller.Wait(0);
    return texts;
  }
  gui::Press(dialog, IDOK);
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < 120000) {
    *exitCode = uninstaller.Wait(500);
    if (*exitCode != ~DWORD{0}) break;
    const HWND box = FindWindowW(L"#32770", uninstaller::kCaption);
    if (box == nullptr || !IsWindowVisible(box)) continue;
    texts.push_back(gui::AnswerMessageBox(uninstaller::kCaption, IDOK, 1000));
    if (texts.size() > 10) break;  // something keeps asking: give up
  }
  return texts;
}

}  // namespace journey
