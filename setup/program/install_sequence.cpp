#include "install_sequence.h"

#include <shellapi.h>
// windows.h first: the device-manager header builds on it.
#include <cfgmgr32.h>

#include <string>

#include "driver_install.h"
#include "install_folder.h"
#include "install_plan.h"
#include "messages.h"
#include "package_files.h"
#include "registry_writer.h"
#include "resource_ids.h"
#include "setup_texts.h"
#include "shortcuts.h"

namespace setup {
namespace {

int SetStatus(HWND dialog, const char* text) {
  return SetDlgItemTextA(dialog, IDC_STATUS, text) ? 1 : -1;
}

// A failed step empties the status line and passes its result on.
int Failed(HWND dialog, int result) {
  SetDlgItemTextA(dialog, IDC_STATUS, "");
  return result;
}

int ReadSelectedPath(HWND dialog, PathBuffer<char>* selected) {
  // A longer text would come back cut short; it is never taken as a path.
  const int length = GetWindowTextLengthA(GetDlgItem(dialog, IDC_INSTALL_PATH));
  if (length <= 0 || length > static_cast<int>(kMaxPathUnits)) return -1;
  char text[kPathBufferUnits] = {};
  if (GetDlgItemTextA(dialog, IDC_INSTALL_PATH, text, kPathBufferUnits) == 0) return -1;
  return selected->Assign(text);
}

int CopyDriverFile(const char* installFolder, const char* systemFolder) {
  PathBuffer<char> source;
  PathBuffer<char> target;
  if (source.AssignJoined(installFolder, CRYPTELLE_DRIVER_SYS) != 1 ||
      BuildDriverTarget(systemFolder, &target) != 1) {
    return -1;
  }
  return CopyFileA(source.c_str(), target.c_str(), FALSE) ? 1 : -1;
}

int InstallDeviceDriver(HWND dialog, const char* installFolder) {
  PathBuffer<char> inf;
  if (inf.AssignJoined(installFolder, CRYPTELLE_DRIVER_INF) != 1) return -1;
  if (GetFileAttributesA(inf.c_str()) == INVALID_FILE_ATTRIBUTES) {
    // The package check found it; someone removed it since. Say so.
    ShowError(dialog, kFilesMissing);
    return 0;
  }
  return cryptelle_setup::InstallDriver(inf.c_str(), dialog, ShowGeneralError) ? 1 : -1;
}

// The driver gets this long to answer on its device after its installation.
constexpr DWORD kDriverStartMs = 5000;

// What setup says when the driver did not start: why, and what to do.
std::string DriverNotStartedText(ULONG problem) {
  std::string text = problem == CM_PROB_UNSIGNED_DRIVER ? kDriverUnsigned : kDriverNotStarted;
  if (problem != 0) text += " Windows reports problem code " + std::to_string(problem) + ".";
  return text + kTestModeAdvice;
}

int OfferToStartClient(HWND dialog, const char* installFolder) {
  const int answer =
      ShowMessage(dialog, kCompleted, kInstalledCaption, MB_ICONINFORMATION | MB_YESNO);
  if (answer != IDYES) return 1;
  PathBuffer<char> client;
  if (client.AssignJoined(installFolder, CRYPTELLE_CLIENT_EXE) != 1) return -1;
  SetCurrentDirectoryA(installFolder);
  const auto started = reinterpret_cast<INT_PTR>(
      ShellExecuteA(dialog, "open", client.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
  if (started > 32) return 1;
  ShowError(dialog, kLaunchFailed);
  return -1;
}

// Installs into the selected path; the final question is asked after.
int InstallInto(HWND dialog, SetupState* state, const PathBuffer<char>& selected,
                PathBuffer<char>* folder) {
  if (SetStatus(dialog, kStatusCheckingPath) != 1) return Failed(dialog, -1);
  if (GetFileAttributesA(selected.c_str()) == INVALID_FILE_ATTRIBUTES) {
    ShowError(dialog, kPathNotAccessible);
    return Failed(dialog, 0);
  }

  if (SetStatus(dialog, kStatusCreatingFolder) != 1) return Failed(dialog, -1);
  const int created = CreateInstallFolder(dialog, state, selected.c_str(), folder);
  if (created != 1) return created;  // this step leaves its status text

  int result = 0;
  unsigned long long copied = 0;  // bytes
  if ((result = SetStatus(dialog, kStatusCreatingSubFolders)) != 1 ||
      (result = CreateSubFolders(dialog, state, folder->c_str())) != 1 ||
      (result = SetStatus(dialog, kStatusCopyingFiles)) != 1 ||
      (result = CopyPackage(state->setupFolder.c_str(), folder->c_str(), dialog, &copied)) != 1 ||
      (result = SetStatus(dialog, kStatusCopyingDriver)) != 1 ||
      (result = CopyDriverFile(folder->c_str(), state->systemFolder.c_str())) != 1) {
    return Failed(dialog, result);
  }

  std::vector<RegistryEntry> entries;
  if ((result = SetStatus(dialog, kStatusRegisteringExtension)) != 1 ||
      (result = PlanExtensionEntries(folder->c_str(), &entries)) != 1 ||
      (result = WriteRegistryEntries(entries)) != 1 ||
      (result = SetStatus(dialog, kStatusCreatingLog)) != 1) {
    return Failed(dialog, result);
  }
  {
    UniqueFile log = CreateUninstallLog(folder->c_str());
    if (!log.valid()) return Failed(dialog, -1);
    if ((result = SetStatus(dialog, kStatusCreatingShortcuts)) != 1 ||
        (result = CreateShortcuts(dialog, folder->c_str(), log.get())) != 1) {
      return Failed(dialog, result);
    }
  }  // the log is closed here in every case
  if ((result = SetStatus(dialog, kStatusRegisteringUninstaller)) != 1 ||
      (result = PlanUninstallEntries(folder->c_str(), copied, &entries)) != 1 ||
      (result = WriteRegistryEntries(entries)) != 1 ||
      (result = SetStatus(dialog, kStatusInstallingDrivers)) != 1 ||
      (result = InstallDeviceDriver(dialog, folder->c_str())) != 1 ||
      (result = SetStatus(dialog, kStatusInstallPath)) != 1) {
    return Failed(dialog, result);
  }
  const int recorded = WriteRegistryEntry(InstallPathEntry(folder->c_str()));
  const int emptied = SetStatus(dialog, "");
  if (recorded != 1) return recorded;
  return emptied;
}

}  // namespace

int RunInstallSequence(HWND dialog, SetupState* state) {
  const int package = CheckPackage(state->setupFolder.c_str(), dialog);
  if (package != 1) return package;
  PathBuffer<char> selected;
  if (ReadSelectedPath(dialog, &selected) != 1) return -1;
  PathBuffer<char> folder;
  const int installed = InstallInto(dialog, state, selected, &folder);
  if (installed != 1) return installed;
  ULONG problem = 0;
  switch (cryptelle_setup::CheckDriverStarted(kDriverStartMs, &problem)) {
    case cryptelle_setup::DriverStart::kStarted:
      return OfferToStartClient(dialog, folder.c_str());
    case cryptelle_setup::DriverStart::kNeedsRestart:
      ShowMessage(dialog, kDriverNeedsRestart, kInstalledCaption, MB_ICONINFORMATION);
      return 1;
    case cryptelle_setup::DriverStart::kNotStarted:
      ShowMessage(dialog, DriverNotStartedText(problem).c_str(), kCaption, MB_ICONWARNING);
      return 1;
  }
  return -1;
}

}  // namespace setup
