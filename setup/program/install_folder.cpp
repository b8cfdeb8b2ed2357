#include "install_folder.h"

#include "install_plan.h"
#include "messages.h"
#include "setup_texts.h"
#include "win/private_folder_security.h"

namespace setup {
namespace {

bool Exists(const char* path) {
  return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

// A path too long to test is reported and then treated as existing.
bool SubFolderExists(HWND dialog, const char* installFolder, const char* name) {
  PathBuffer<char> path;
  if (path.AssignJoined(installFolder, name) != 1) {
    ShowError(dialog, kPathTooLong);
    return true;
  }
  return Exists(path.c_str());
}

int RefuseWithAdministratorMessage(HWND dialog, SetupState* state) {
  state->adminMessageShown = true;
  ShowAdministratorRequired(dialog);
  return -1;
}

}  // namespace

int CreateInstallFolder(HWND dialog, SetupState* state, const char* selectedPath,
                        PathBuffer<char>* folder) {
  if (BuildInstallFolder(selectedPath, folder) != 1) {
    ShowError(dialog, kPathTooLong);
    return 0;
  }
  for (const char* name : kSubFolders) {
    if (SubFolderExists(dialog, folder->c_str(), name)) {
      ShowError(dialog, kProgramFoldersExist);
      return 0;
    }
  }
  RemoveDirectoryA(folder->c_str());  // only an empty one goes
  if (Exists(folder->c_str())) {
    ShowError(dialog, kFolderExists);
    return 0;
  }
  if (!CreateDirectoryA(folder->c_str(), nullptr)) {
    return RefuseWithAdministratorMessage(dialog, state);
  }
  return 1;
}

int CreateSubFolders(HWND dialog, SetupState* state, const char* installFolder) {
  for (const char* name : kSubFolders) {
    PathBuffer<char> path;
    if (path.AssignJoined(installFolder, name) != 1) {
      ShowError(dialog, kPathTooLong);
      return 0;
    }
    PrivateSecurity security;
    if (security.get() == nullptr || !CreateDirectoryA(path.c_str(), security.get())) {
      return RefuseWithAdministratorMessage(dialog, state);
    }
  }
  return 1;
}

}  // namespace setup
