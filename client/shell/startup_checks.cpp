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
#include "win_handles.h"

int CreateSingleInstanceMutex() {
  PathBuffer name;
  if (BuildInstanceMutexName(AsUtf16(InstallFolder), &name) != 1) return -1;
  HANDLE mutex = CreateMutexW(nullptr, TRUE, AsWide(name.c_str()));
  const DWORD error = GetLastError();
  if (mutex == nullptr) return error == ERROR_ACCESS_DENIED ? -1 : 0;
  ClientShell().instanceMutex.reset(mutex);
  return error == ERROR_ALREADY_EXISTS ? 0 : 1;
}

int CheckOsVersion() {
  OSVERSIONINFOW version = {};
  version.dwOSVersionInfoSize = sizeof(version);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  const BOOL read = GetVersionExW(&version);
#pragma GCC diagnostic pop
  if (!read) {
    ShowSystemError(GetLastError());
    return 0;
  }
  if (version.dwMajorVersion > 5 || (version.dwMajorVersion == 5 && version.dwMinorVersion >= 1)) {
    return 1;
  }
  ShowErrorBox(nullptr, CT_W(CT_MSG_OLD_WINDOWS));
  return 0;
}

int GetSharedDocumentsKind() {
  ShellState& shell = ClientShell();
  const DWORD attributes = GetFileAttributesW(InstallFolder);
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    shell.SharedDocumentsFolderKnown = false;
    return 0;
  }
  wchar_t root[] = L" :\\";
  root[0] = shell.SharedDocumentsFolder[0];
  wchar_t volumeName[kPathBufferUnits];
  wchar_t fileSystem[kPathBufferUnits];
  if (!GetVolumeInformationW(root, volumeName, kPathBufferUnits, nullptr, nullptr, nullptr,
                             fileSystem, kPathBufferUnits)) {
    shell.SharedDocumentsFolderKnown = false;
    return 0;
  }
  ToLowerInPlace(reinterpret_cast<char16_t*>(fileSystem));
  return wcsstr(fileSystem, L"fat") != nullptr ? 1 : 2;
}

int UserKeyFilesExist() {
  PathBuffer folder;
  PathBuffer pattern;
  if (BuildProgramFilePath(AsUtf16(InstallFolder), kKeyFolderName, &folder) != 1 ||
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
    PathBuffer path;
    if (path.Assign(folder.c_str()) != 1 || path.Append(AsUtf16(entry.cFileName)) != 1) {
      return -1;
    }
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
