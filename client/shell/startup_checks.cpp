#include "startup_checks.h"

#include <shlobj.h>

#include "account_state.h"
#include "client_texts.h"
#include "main_window.h"
#include "message_box.h"
#include "path_rules.h"
#include "resource_ids.h"
#include "shell_rules.h"
#include "shell_state.h"
#include "program_folder.h"
#include "volume_state.h"
#include "win/platform_checks.h"

int CreateSingleInstanceMutex() {
  PathBuffer<wchar_t> name;
  if (ProgramFolderMutexName(InstallFolder, &name) != 1) return -1;
  HANDLE mutex = CreateMutexW(nullptr, TRUE, name.c_str());
  const DWORD error = GetLastError();
  if (mutex == nullptr) return error == ERROR_ACCESS_DENIED ? -1 : 0;
  ClientShell().instanceMutex.reset(mutex);
  return error == ERROR_ALREADY_EXISTS ? 0 : 1;
}

int CheckOsVersion() {
  WindowsVersion version;
  DWORD error = 0;
  if (!ReadWindowsVersion(&version, &error)) {
    ShowSystemError(error);
    return 0;
  }
  if (IsSupportedWindows(version)) return 1;
  ShowErrorBox(nullptr, CT_W(CT_MSG_OLD_WINDOWS));
  return 0;
}

FileSystemKind GetSharedDocumentsKind() {
  VolumeState& volume = Volume();
  const DWORD attributes = GetFileAttributesW(InstallFolder);
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    volume.SharedDocumentsFolderKnown = false;
    return FileSystemKind::kUnrecognised;
  }
  wchar_t root[] = L" :\\";
  root[0] = volume.SharedDocumentsFolder[0];
  wchar_t volumeName[kPathBufferUnits];
  wchar_t fileSystem[kPathBufferUnits];
  if (!GetVolumeInformationW(root, volumeName, kPathBufferUnits, nullptr, nullptr, nullptr,
                             fileSystem, kPathBufferUnits)) {
    volume.SharedDocumentsFolderKnown = false;
    return FileSystemKind::kUnrecognised;
  }
  ToLowerInPlace(AsUtf16(fileSystem));
  return wcsstr(fileSystem, L"fat") != nullptr ? FileSystemKind::kFatFamily : FileSystemKind::kOther;
}

int UserKeyFilesExist() {
  PathBuffer<char16_t> folder;
  PathBuffer<char16_t> pattern;
  if (folder.AssignJoined(AsUtf16(InstallFolder), kKeyFolderName) != 1 ||
      folder.AppendSeparatorIfMissing() != 1 || pattern.Assign(folder.c_str()) != 1 ||
      pattern.Append(CT_U(CT_KEY_FOLDER_PATTERN)) != 1) {
    ShowErrorBox(nullptr, CT_W(CT_MSG_GENERAL_ERROR));
    return -1;
  }
  WIN32_FIND_DATAW entry;
  UniqueFind search(FindFirstFileW(AsWide(pattern.c_str()), &entry));
  if (!search.valid()) return 0;
  do {
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    PathBuffer<char16_t> path;
    // A name too long for a path cannot be a user's key file.
    if (path.AssignJoined(folder.c_str(), AsUtf16(entry.cFileName)) != 1) continue;
    if (IsUserKeyFileName(path.c_str()) == 1) return 1;
  } while (FindNextFileW(search.get(), &entry));
  return 0;
}

int RegisterMainWindowClass() {
  ShellState& shell = ClientShell();
  WNDCLASSEXW windowClass = {};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = &MainWindowProc;
  windowClass.hInstance = shell.instance;
  windowClass.hIcon = shell.ProgramIcon;
  windowClass.hIconSm = shell.OpenIcon;
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = CT_W(CT_WINDOW_CLASS);
  if (RegisterClassExW(&windowClass) != 0) return 1;
  ShowErrorBox(nullptr, CT_W(CT_MSG_GENERAL_ERROR));
  return 0;
}
