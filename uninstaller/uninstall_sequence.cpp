#include "uninstall_sequence.h"

#include <setupapi.h>
#include <shellapi.h>
#include <shlobj.h>

#include "batch_file.h"
#include "driver_traces.h"
#include "messages.h"
#include "startup_checks.h"
#include "win/unique_handles.h"

namespace uninstaller {

namespace {

struct DataFolder {
  const wchar_t* name;
  const wchar_t* extension;
  const wchar_t* prompt;
};

const DataFolder kDataFolders[] = {
    {L"CryptDsks", L".cryptdsk", kStoragePrompt},
    {L"Key", L".user", kKeyPrompt},
    {L"PRF", L".prf", kRecoveryPrompt},
};

const wchar_t* const kProgramFiles[] = {
    L"cryptdsk.inf",        L"cryptdsk.sys",        L"Cryptelle.exe",       L"CryptelleIcon.ico",
    L"CryptelleLocked.ico", L"CryptelleManual.pdf", L"CryptelleOpen.ico",   L"CryptelleSetup.exe",
    L"ShellHelperCT.exe",   L"PromptGuard.dll",     L"CryptelleReadMe.txt", L"uninst.log",
};

// Children before parents.
const wchar_t* const kRegistryKeys[] = {
    L"SOFTWARE\\Classes\\Cryptelle\\DefaultIcon",
    L"SOFTWARE\\Classes\\Cryptelle\\shell\\open\\command",
    L"SOFTWARE\\Classes\\Cryptelle\\shell\\open",
    L"SOFTWARE\\Classes\\Cryptelle\\shell",
    L"SOFTWARE\\Classes\\Cryptelle",
    L"SOFTWARE\\Classes\\.cryptdsk",
    L"SOFTWARE\\Cryptelle\\DefCryptDsks",
    L"SOFTWARE\\Cryptelle\\CryptDskStatus",
    L"SOFTWARE\\Cryptelle",
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Cryptelle",
};

// folder + "\" + name, or false when it would exceed 260 characters.
bool JoinPath(const std::wstring& folder, const wchar_t* name, std::wstring* path) {
  *path = folder;
  if (path->empty() || path->back() != L'\\') *path += L'\\';
  *path += name;
  return path->size() <= MAX_PATH;
}

bool EndsWithLowerCased(const wchar_t* name, const wchar_t* extension) {
  const size_t nameLength = lstrlenW(name);
  const size_t extensionLength = lstrlenW(extension);
  if (nameLength < extensionLength) return false;
  const wchar_t* tail = name + nameLength - extensionLength;
  for (size_t i = 0; i < extensionLength; ++i) {
    wchar_t unit = tail[i];
    if (unit >= L'A' && unit <= L'Z') unit = static_cast<wchar_t>(unit - L'A' + L'a');
    if (unit != extension[i]) return false;
  }
  return true;
}

bool IsProductFile(const WIN32_FIND_DATAW& entry, const wchar_t* extension) {
  if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return false;
  return EndsWithLowerCased(entry.cFileName, extension);
}

// Calls visit(full path) for every product file of the folder; false when
// a path would not fit. A folder that cannot be searched has no files.
template <typename Visit>
bool ForEachProductFile(const std::wstring& folder, const wchar_t* extension, Visit visit) {
  std::wstring pattern;
  if (!JoinPath(folder, L"*.*", &pattern)) return false;
  WIN32_FIND_DATAW entry;
  UniqueFind find(FindFirstFileW(pattern.c_str(), &entry));
  if (!find.valid()) return true;
  do {
    if (!IsProductFile(entry, extension)) continue;
    std::wstring path;
    if (!JoinPath(folder, entry.cFileName, &path)) return false;
    if (!visit(path)) return true;
  } while (FindNextFileW(find.get(), &entry));
  return true;
}

// 1 when every prompt was confirmed, 0 on Cancel, -1 on a path too long.
int ConfirmDataDeletion(const SequenceContext& context) {
  for (const DataFolder& data : kDataFolders) {
    std::wstring folder;
    if (!JoinPath(context.programFolder, data.name, &folder)) return -1;
    bool found = false;
    if (!ForEachProductFile(folder, data.extension, [&](const std::wstring&) {
          found = true;
          return false;
        })) {
      return -1;
    }
    if (!found) continue;
    if (MessageBoxW(nullptr, data.prompt, kCaption,
                    MB_SYSTEMMODAL | MB_ICONQUESTION | MB_OKCANCEL) != IDOK) {
      return 0;
    }
  }
  return 1;
}

void ShowDialogError(const SequenceContext& context, const wchar_t* text) {
  MessageBoxW(context.dialog, text, kCaption, MB_SYSTEMMODAL | MB_ICONERROR);
}

// 1 when every device of the INF's class is gone, 0 when reported, -1 internal.
int RemoveDriverDevices(const SequenceContext& context) {
  std::wstring inf;
  if (!JoinPath(context.programFolder, L"cryptdsk.inf", &inf)) return -1;
  if (GetFileAttributesW(inf.c_str()) == INVALID_FILE_ATTRIBUTES) {
    ShowDialogError(context, kInfMissing);
    return 0;
  }
  GUID classGuid;
  constexpr DWORD kClassNameUnits = 32;  // the setup class name is at most 32 characters
  wchar_t className[kClassNameUnits + 1];
  DWORD required = 0;
  if (!SetupDiGetINFClassW(inf.c_str(), &classGuid, className, kClassNameUnits, &required)) {
    ShowDialogError(context, kInfUnreadable);
    return 0;
  }
  const HDEVINFO devices = SetupDiGetClassDevsW(&classGuid, nullptr, context.dialog, DIGCF_PRESENT);
  if (devices == INVALID_HANDLE_VALUE) return -1;

  int result = 1;
  SP_DEVINFO_DATA device = {};
  device.cbSize = sizeof(device);
  DWORD index = 0;
  for (; SetupDiEnumDeviceInfo(devices, index, &device); ++index) {
    if (!SetupDiCallClassInstaller(DIF_REMOVE, devices, &device)) {
      result = -1;
      break;
    }
    SP_DEVINSTALL_PARAMS_W params = {};
    params.cbSize = sizeof(params);
    SetupDiGetDeviceInstallParamsW(devices, &device, &params);
  }
  const DWORD enumerationError = GetLastError();
  SetupDiDestroyDeviceInfoList(devices);
  if (result == -1) return -1;
  if (enumerationError != ERROR_NO_MORE_ITEMS) {
    ShowDialogError(context, kDriverNotRemovable);
    return 0;
  }
  return 1;
}

bool DeleteWithNormalAttributes(const std::wstring& path) {
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  return DeleteFileW(path.c_str()) != FALSE;
}

void DeleteDriverFile(const SequenceContext& context) {
  const std::wstring path = DriverFilePath();
  const bool deleted =
      !path.empty() && GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES &&
      SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL) && DeleteFileW(path.c_str());
  if (!deleted) ShowDialogError(context, kDriverFile);
}

bool DeleteUserData(const SequenceContext& context) {
  for (const DataFolder& data : kDataFolders) {
    std::wstring folder;
    if (!JoinPath(context.programFolder, data.name, &folder)) return false;
    if (!ForEachProductFile(folder, data.extension, [](const std::wstring& path) {
          DeleteWithNormalAttributes(path);
          return true;
        })) {
      return false;
    }
    RemoveDirectoryW(folder.c_str());  // only succeeds once the folder is empty
  }
  return true;
}

bool DeleteProgramFiles(const SequenceContext& context) {
  for (const wchar_t* name : kProgramFiles) {
    std::wstring path;
    if (!JoinPath(context.programFolder, name, &path)) return false;
    DeleteWithNormalAttributes(path);
  }
  return true;
}

void DeleteRegistryKeys(const SequenceContext& context) {
  bool allDeleted = true;
  for (const wchar_t* key : kRegistryKeys) {
    HKEY opened = nullptr;
    if (RegOpenKeyW(HKEY_LOCAL_MACHINE, key, &opened) != ERROR_SUCCESS) continue;
    RegCloseKey(opened);
    if (RegDeleteKeyW(HKEY_LOCAL_MACHINE, key) != ERROR_SUCCESS) allDeleted = false;
  }
  if (!allDeleted) ShowDialogError(context, kRegistry);
}

bool FolderPath(int csidl, std::wstring* path) {
  wchar_t folder[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, folder))) return false;
  *path = folder;
  return true;
}

// Deletes a shortcut that exists; a failed deletion is reported. false when
// the path would not fit.
bool DeleteShortcut(const SequenceContext& context, const std::wstring& folder, const wchar_t* name,
                    const wchar_t* failure) {
  std::wstring path;
  if (!JoinPath(folder, name, &path)) return false;
  if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) return true;
  if (!DeleteWithNormalAttributes(path)) ShowDialogError(context, failure);
  return true;
}

bool DeleteShortcuts(const SequenceContext& context) {
  std::wstring folder;
  if (FolderPath(CSIDL_PROGRAMS, &folder)) {
    std::wstring menu;
    if (!JoinPath(folder, L"Cryptelle", &menu)) return false;
    if (GetFileAttributesW(menu.c_str()) != INVALID_FILE_ATTRIBUTES) {
      if (!DeleteShortcut(context, menu, L"Cryptelle.lnk", kProgramShortcut)) return false;
      if (!DeleteShortcut(context, menu, L"CryptelleUninstaller.lnk", kUninstallerShortcut)) {
        return false;
      }
      RemoveDirectoryW(menu.c_str());
    }
  }
  if (FolderPath(CSIDL_COMMON_STARTMENU, &folder) &&
      !DeleteShortcut(context, folder, L"Cryptelle.lnk", kStartMenuShortcut)) {
    return false;
  }
  if (FolderPath(CSIDL_COMMON_DESKTOPDIRECTORY, &folder) &&
      !DeleteShortcut(context, folder, L"Cryptelle.lnk", kDesktopShortcut)) {
    return false;
  }
  return true;
}

std::string ToAnsi(const std::wstring& text) {
  const int size = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return std::string();
  std::string ansi(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, ansi.data(), size, nullptr, nullptr);
  ansi.resize(static_cast<size_t>(size - 1));
  return ansi;
}

int StartSelfDeletingBatch(const SequenceContext& context) {
  const std::wstring batchPath = UninstallBatchPath(context.programFolder);
  if (batchPath.empty()) return -1;
  UniqueFile file(CreateFileW(batchPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_FLAG_SEQUENTIAL_SCAN | FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return -1;
  const std::string text = UninstallBatchText(ToAnsi(context.uninstallerPath),
                                              ToAnsi(context.programFolder), ToAnsi(batchPath));
  DWORD written = 0;
  const bool complete =
      WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
      written == text.size();
  file.reset();
  if (!SetFileAttributesW(batchPath.c_str(), FILE_ATTRIBUTE_NORMAL)) return -1;
  if (complete) {
    const HINSTANCE started =
        ShellExecuteW(nullptr, L"open", batchPath.c_str(), nullptr, nullptr, SW_HIDE);
    if (reinterpret_cast<INT_PTR>(started) > 32) return 1;
  }
  DeleteFileW(batchPath.c_str());
  return -1;
}

void MarkCompleted(const SequenceContext& context, StatusLabel label) {
  SetDlgItemTextW(context.dialog, label, kCompleted);
}

}  // namespace

int RunUninstallSequence(const SequenceContext& context) {
  const int confirmed = ConfirmDataDeletion(context);
  if (confirmed != 1) return confirmed;

  const int removed = RemoveDriverDevices(context);
  if (removed == -1) return -1;
  if (removed == 0) {
    MessageBoxW(nullptr, kNotUninstalled, kCaption, MB_SYSTEMMODAL | MB_ICONQUESTION);
    return 0;
  }
  StopAndDeleteDriverService();
  std::wstring inf;
  if (JoinPath(context.programFolder, L"cryptdsk.inf", &inf)) {
    RemoveSystemInfCopies(inf);
    RemoveEmptySetupClass(inf);
  }
  DeleteDriverFile(context);
  MarkCompleted(context, kLabelDrivers);

  if (!DeleteUserData(context)) return -1;
  MarkCompleted(context, kLabelSubFolders);
  if (!DeleteProgramFiles(context)) return -1;
  MarkCompleted(context, kLabelProgramFiles);
  DeleteRegistryKeys(context);
  RemoveDriveIcons(context.programFolder);
  MarkCompleted(context, kLabelRegistry);
  if (!DeleteShortcuts(context)) return -1;
  MarkCompleted(context, kLabelShortcuts);

  return StartSelfDeletingBatch(context);
}

}  // namespace uninstaller
