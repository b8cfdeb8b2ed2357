// Helpers of the setup tests: package folders made from the built files and
// stand-ins, a setup run driven through its dialog, and readers of what
// setup leaves in the system.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "resource_ids.h"

namespace setup_test {

bool Exists(const std::string& path);
void WriteText(const std::string& path, const std::string& content);
std::string ReadText(const std::string& path);
// Creates every folder on the way to `path`.
bool CreateFolders(const std::string& path);
std::string SpecialFolder(int csidl);

// The regular files of a package: the real setup program and driver, the
// stand-in client and small stand-ins for the rest.
std::vector<std::string> PackageFileNames();

// Makes C:\<name> holding the package; `leaveOut` is skipped, `extras` are
// added as further files.
std::string MakePackage(const std::string& name, const std::string& leaveOut = "",
                        const std::vector<std::string>& extras = {});

// A running CryptelleSetup.exe and its dialog.
class SetupRun {
 public:
  // Starts the package's setup program in `currentFolder` (the test's own
  // when empty).
  explicit SetupRun(const std::string& packageFolder, const std::string& currentFolder = "");
  ~SetupRun();
  SetupRun(const SetupRun&) = delete;
  SetupRun& operator=(const SetupRun&) = delete;

  bool started() const { return process_ != nullptr; }
  HWND WaitForSetupDialog();
  HWND dialog() const { return dialog_; }
  void SetInstallPath(const std::string& path);
  void Press(int id);
  void PressInstall() { Press(IDC_INSTALL); }
  void PressCancel() { Press(IDC_CANCEL); }
  std::string Item(int id) const;
  // A dialog that the setup dialog owns (the folder picker), or null.
  HWND WaitForOwnedDialog(DWORD timeoutMs = 20000) const;
  bool ButtonEnabled(int id) const;
  // The exit code, or ~0 when it did not end in time.
  DWORD Wait(DWORD timeoutMs = 30000);

 private:
  HANDLE process_ = nullptr;
  HWND dialog_ = nullptr;
};

// Text of the next message box with this caption after pressing `button`,
// or "<no message box>".
std::string Answer(const char* caption, int button = IDOK, DWORD timeoutMs = 20000);

// The first of these captions to appear as a message box (or dialog); its
// index, or -1 on time-out.
int WaitForAnyOf(const std::vector<const char*>& captions, DWORD timeoutMs);

// Waits until a child window of `window` shows exactly `text`.
bool WaitForChildText(HWND window, const std::string& text, DWORD timeoutMs = 20000);

// Reads a REG_SZ value; "<missing>" when absent.
std::string RegistryText(HKEY root, const char* key, const char* value);
bool KeyExists(HKEY root, const char* key);
void DeleteKeyTree(HKEY root, const char* key);

struct LinkFacts {
  bool loaded = false;
  std::string target;
  std::string workingDirectory;
  std::string icon;
  int iconIndex = -1;
  std::string description;
};
LinkFacts ReadLink(const std::string& path);

// Present devices whose hardware ids include "CryptDsk" (any case).
int CountCryptDskDevices();

}  // namespace setup_test
