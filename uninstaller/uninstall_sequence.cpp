#include "uninstall_sequence.h"

#include <setupapi.h>
#include <shellapi.h>
#include <shlobj.h>

#include <string>

#include "batch_file.h"
#include "driver_traces.h"
#include "messages.h"
#include "product_names.h"
#include "resource_ids.h"
#include "startup_checks.h"
#include "win/unique_handles.h"

namespace uninstaller {

namespace {

using Path = PathBuffer<wchar_t>;

struct DataFolder {
  const wchar_t* name;
  const wchar_t* extension;
  const wchar_t* prompt;
};

const DataFolder kDataFolders[] = {
    {CRYPTELLE_WIDE(CRYPTELLE_STORAGE_FOLDER), L".cryptdsk", kStoragePrompt},
    {CRYPTELLE_WIDE(CRYPTELLE_KEY_FOLDER), L".user", kKeyPrompt},
    {CRYPTELLE_WIDE(CRYPTELLE_RECOVERY_FOLDER), L".prf", kRecoveryPrompt},
};

const wchar_t* const kProgramFiles[] = {CRYPTELLE_PROGRAM_FOLDER_FILES(CRYPTELLE_WIDE)};

// Children before parents.
const wchar_t* const kRegistryKeys[] = {
    L"SOFTWARE\\Classes\\Cryptelle\\DefaultIcon",
    L"SOFTWARE\\Classes\\Cryptelle\\shell\\open\\command",
    L"SOFTWARE\\Classes\\Cryptelle\\shell\\open",
    L"SOFTWARE\\Classes\\Cryptelle\\shell",
    L"SOFTWARE\\Classes\\Cryptelle",
    L"SOFTWARE\\Classes\\.cryptdsk",
    CRYPTELLE_WIDE(CRYPTELLE_USERS_KEY),
    CRYPTELLE_WIDE(CRYPTELLE_STATUS_KEY),
    CRYPTELLE_WIDE(CRYPTELLE_PRODUCT_KEY),
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Cryptelle",
};

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
bool ForEachProductFile(const wchar_t* folder, const wchar_t* extension, Visit visit) {
  Path pattern;
  if (pattern.AssignJoined(folder, L"*.*") != 1) return false;
  WIN32_FIND_DATAW entry;
  UniqueFind find(FindFirstFileW(pattern.c_str(), &entry));
  if (!find.valid()) return true;
  do {
    if (!IsProductFile(entry, extension)) continue;
    Path path;
    if (path.AssignJoined(folder, entry.cFileName) != 1) return false;
    if (!visit(path.c_str())) return true;
  } while (FindNextFileW(find.get(), &entry));
  return true;
}

// 1 when every prompt was confirmed, 0 on Cancel, -1 on a path too long.
int ConfirmDataDeletion(const SequenceContext& context) {
  for (const DataFolder& data : kDataFolders) {
    Path folder;
    if (folder.AssignJoined(context.programFolder, data.name) != 1) return -1;
    bool found = false;
    if (!ForEachProductFile(folder.c_str(), data.extension, [&](const wchar_t*) {
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
int RemoveDriverDevices(const SequenceContext& context, const wchar_t* inf) {
  if (GetFileAttributesW(inf) == INVALID_FILE_ATTRIBUTES) {
    ShowDialogError(context, kInfMissing);
    return 0;
  }
  GUID classGuid;
  constexpr DWORD kClassNameUnits = 32;  // the setup class name is at most 32 characters
  wchar_t className[kClassNameUnits + 1];
  DWORD required = 0;
  if (!SetupDiGetINFClassW(inf, &classGuid, className, kClassNameUnits, &required)) {
    ShowDialogError(context, kInfUnreadable);
    return 0;
  }
  const UniqueDeviceInfoList devices(
      SetupDiGetClassDevsW(&classGuid, nullptr, context.dialog, DIGCF_PRESENT));
  if (!devices.valid()) return -1;
  SP_DEVINFO_DATA device = {};
  device.cbSize = sizeof(device);
  for (DWORD index = 0; SetupDiEnumDeviceInfo(devices.get(), index, &device); ++index) {
    if (!SetupDiCallClassInstaller(DIF_REMOVE, devices.get(), &device)) return -1;
  }
  if (GetLastError() != ERROR_NO_MORE_ITEMS) {
    ShowDialogError(context, kDriverNotRemovable);
    return 0;
  }
  return 1;
}

bool DeleteWithNormalAttributes(const wchar_t* path) {
  SetFileAttributesW(path, FILE_ATTRIBUTE_NORMAL);
  return DeleteFileW(path) != FALSE;
}

void DeleteDriverFile(const SequenceContext& context) {
  Path path;
  if (!MakeDriverFileDeletable(&path) || !DeleteFileW(path.c_str())) {
    ShowDialogError(context, kDriverFile);
  }
}

bool DeleteUserData(const SequenceContext& context) {
  const auto deleteEach = [](const wchar_t* path) {
    DeleteWithNormalAttributes(path);
    return true;
  };
  for (const DataFolder& data : kDataFolders) {
    Path folder;
    if (folder.AssignJoined(context.programFolder, data.name) != 1) return false;
    if (!ForEachProductFile(folder.c_str(), data.extension, deleteEach)) return false;
    // A password change that did not finish leaves "<name>.user.new"; it
    // holds the same key material as the key file confirmed above.
    if (data.prompt == kKeyPrompt &&
        !ForEachProductFile(folder.c_str(), L".user.new", deleteEach)) {
      return false;
    }
    RemoveDirectoryW(folder.c_str());  // only succeeds once the folder is empty
  }
  return true;
}

bool DeleteProgramFiles(const SequenceContext& context) {
  for (const wchar_t* name : kProgramFiles) {
    Path path;
    if (path.AssignJoined(context.programFolder, name) != 1) return false;
    DeleteWithNormalAttributes(path.c_str());
  }
  return true;
}

bool KeyExists(const wchar_t* key) {
  UniqueRegKey opened;
  return RegOpenKeyW(HKEY_LOCAL_MACHINE, key, opened.put()) == ERROR_SUCCESS;
}

void DeleteRegistryKeys(const SequenceContext& context) {
  bool allDeleted = true;
  for (const wchar_t* key : kRegistryKeys) {
    if (KeyExists(key) && RegDeleteKeyW(HKEY_LOCAL_MACHINE, key) != ERROR_SUCCESS) {
      allDeleted = false;
    }
  }
  if (!allDeleted) ShowDialogError(context, kRegistry);
  // The automatic-lock choices of the user who uninstalls (other users'
  // stay in their own profiles); the key holds values only.
  RegDeleteKeyW(HKEY_CURRENT_USER, CRYPTELLE_WIDE(CRYPTELLE_PRODUCT_KEY));
}

bool FolderPath(int csidl, Path* path) {
  wchar_t folder[MAX_PATH] = {};
  return SUCCEEDED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, folder)) &&
         path->Assign(folder) == 1;
}

// Deletes a shortcut that exists; a failed deletion is reported. false when
// the path would not fit.
bool DeleteShortcut(const SequenceContext& context, const Path& folder, const wchar_t* name,
                    const wchar_t* failure) {
  Path path;
  if (path.AssignJoined(folder.c_str(), name) != 1) return false;
  if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) return true;
  if (!DeleteWithNormalAttributes(path.c_str())) ShowDialogError(context, failure);
  return true;
}

bool DeleteShortcuts(const SequenceContext& context) {
  Path folder;
  if (FolderPath(CSIDL_PROGRAMS, &folder)) {
    Path menu;
    if (menu.AssignJoined(folder.c_str(), L"Cryptelle") != 1) return false;
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

// In the OEM code page, which cmd reads batch files in.
std::string ToOem(const wchar_t* text) {
  const int size = WideCharToMultiByte(CP_OEMCP, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return std::string();
  std::string oem(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_OEMCP, 0, text, -1, oem.data(), size, nullptr, nullptr);
  oem.resize(static_cast<size_t>(size - 1));
  return oem;
}

int StartSelfDeletingBatch(const SequenceContext& context) {
  Path root;
  Path batchPath;
  if (UninstallBatchFolder(context.programFolder, &root) != 1 ||
      UninstallBatchPath(context.programFolder, &batchPath) != 1) {
    return -1;
  }
  const wchar_t* const batch = batchPath.c_str();
  UniqueFile file(CreateFileW(batch, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_FLAG_SEQUENTIAL_SCAN | FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return -1;
  const std::string text = UninstallBatchText(ToOem(context.uninstallerPath),
                                              ToOem(context.programFolder), ToOem(batch));
  DWORD written = 0;
  const bool complete =
      WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
      written == text.size();
  file.reset();
  if (!SetFileAttributesW(batch, FILE_ATTRIBUTE_NORMAL)) return -1;
  if (complete) {
    const HINSTANCE started =
        ShellExecuteW(nullptr, L"open", batch, nullptr, root.c_str(), SW_HIDE);
    if (reinterpret_cast<INT_PTR>(started) > 32) return 1;
  }
  DeleteFileW(batch);
  return -1;
}

void MarkCompleted(const SequenceContext& context, int statusLabel) {
  SetDlgItemTextW(context.dialog, statusLabel, kCompleted);
}

}  // namespace

int RunUninstallSequence(const SequenceContext& context) {
  const int confirmed = ConfirmDataDeletion(context);
  if (confirmed != 1) return confirmed;

  Path inf;
  if (inf.AssignJoined(context.programFolder, CRYPTELLE_WIDE(CRYPTELLE_DRIVER_INF)) != 1) return -1;
  const int removed = RemoveDriverDevices(context, inf.c_str());
  if (removed == -1) return -1;
  if (removed == 0) {
    MessageBoxW(nullptr, kNotUninstalled, kCaption, MB_SYSTEMMODAL | MB_ICONQUESTION);
    return 0;
  }
  StopAndDeleteDriverService();
  RemoveSystemInfCopies(inf.c_str());
  RemoveEmptySetupClass(inf.c_str());
  DeleteDriverFile(context);
  MarkCompleted(context, IDC_STATUS_DRIVERS);

  if (!DeleteUserData(context)) return -1;
  MarkCompleted(context, IDC_STATUS_SUB_FOLDERS);
  if (!DeleteProgramFiles(context)) return -1;
  MarkCompleted(context, IDC_STATUS_PROGRAM_FILES);
  DeleteRegistryKeys(context);
  RemoveDriveIcons(context.programFolder);
  MarkCompleted(context, IDC_STATUS_REGISTRY);
  if (!DeleteShortcuts(context)) return -1;
  MarkCompleted(context, IDC_STATUS_SHORTCUTS);

  return StartSelfDeletingBatch(context);
}

}  // namespace uninstaller
