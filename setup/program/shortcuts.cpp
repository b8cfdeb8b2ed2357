#include "shortcuts.h"

#include <shlobj.h>

#include <string>

#include "install_plan.h"
#include "setup_texts.h"
#include "shell_link.h"

namespace setup {
namespace {

// The folder's path, or empty when the system has none.
std::string SpecialFolder(int csidl) {
  char path[kPathBufferUnits] = {};
  if (SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path) != S_OK) return {};
  return path;
}

bool WriteRecord(HANDLE log, const std::string& path) {
  std::string record;
  AppendLogRecord(path.c_str(), &record);
  DWORD written = 0;
  return WriteFile(log, record.data(), static_cast<DWORD>(record.size()), &written, nullptr) &&
         written == record.size();
}

void RunStep(HWND dialog, const ShortcutStep& step, const char* installFolder) {
  if (step.kind == ShortcutStep::kCreateFolder) {
    CreateDirectoryA(step.path.c_str(), nullptr);  // it may exist already
    return;
  }
  if (step.deleteExisting && GetFileAttributesA(step.path.c_str()) != INVALID_FILE_ATTRIBUTES) {
    SetFileAttributesA(step.path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(step.path.c_str());
  }
  CreateShellLink(step.path.c_str(), step.target.c_str(),
                  step.icon.empty() ? nullptr : step.icon.c_str(), step.description.c_str(),
                  installFolder, dialog);
}

}  // namespace

UniqueFile CreateUninstallLog(const char* installFolder) {
  PathBuffer<char> path;
  if (path.AssignJoined(installFolder, CRYPTELLE_UNINSTALL_LOG) != 1) return UniqueFile();
  return UniqueFile(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
}

int CreateShortcuts(HWND dialog, const char* installFolder, HANDLE log) {
  ShortcutFolders folders;
  folders.programs = SpecialFolder(CSIDL_PROGRAMS);
  folders.startMenu = SpecialFolder(CSIDL_COMMON_STARTMENU);
  folders.desktop = SpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY);
  std::vector<ShortcutStep> steps;
  if (PlanShortcuts(folders, installFolder, &steps) != 1) return -1;
  for (const ShortcutStep& step : steps) {
    RunStep(dialog, step, installFolder);
    if (!WriteRecord(log, step.path)) return -1;
  }
  return 1;
}

}  // namespace setup
