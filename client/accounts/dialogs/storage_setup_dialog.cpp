// Setup Your Cryptelle (808): storage name, size and folder of a new user,
// and whether the whole drive is encrypted (checked at first).
#include <shlobj.h>
#include <stdio.h>
#include <stdlib.h>

#include "account_state.h"
#include "client_dialogs.h"
#include "dialog_messages.h"
#include "client_texts.h"
#include "cryptdsk_protocol.h"
#include "dialog_base.h"
#include "dialog_common.h"
#include "flow_rules.h"
#include "flow_steps.h"
#include "message_box.h"
#include "path_rules.h"
#include "registry_state.h"
#include "resource_ids.h"
#include "volume_state.h"

namespace {

constexpr int kInputs[] = {
    IDC_STORAGE_NAME, IDC_STORAGE_SIZE,   IDC_STORAGE_FOLDER,     IDC_STORAGE_FREE, IDOK,
    IDCANCEL,         IDC_STORAGE_BROWSE, IDC_STORAGE_WHOLE_DRIVE};
constexpr int kBrowseButtons[] = {IDOK, IDCANCEL, IDC_STORAGE_BROWSE};

void DeleteIfNamed(const wchar_t* path) {
  if (path[0] != 0) DeleteFileW(path);
}

// Writes the free-space figure for the folder in 403 and a size in MB; a
// whole-drive container takes its backup area on top.
int WriteFreeSpace(HWND dialog, unsigned long long sizeMb) {
  wchar_t folder[kPathBufferUnits];
  ReadControlText(dialog, IDC_STORAGE_FOLDER, folder, ARRAYSIZE(folder));
  ULARGE_INTEGER available;
  if (!GetDiskFreeSpaceExW(folder, &available, nullptr, nullptr)) return -1;
  const bool wholeDrive = IsDlgButtonChecked(dialog, IDC_STORAGE_WHOLE_DRIVE) == BST_CHECKED;
  const unsigned long long extra = wholeDrive ? cryptdsk::kWholeDiskBackupAreaBytes : 0;
  wchar_t figure[24];
  swprintf(figure, ARRAYSIZE(figure), L"%llu",
           FreeSpaceFigureMb(available.QuadPart, sizeMb, extra));
  return SetDlgItemTextW(dialog, IDC_STORAGE_FREE, figure) ? 1 : -1;
}

// The figure again after the check box changed, when the size is a number;
// nothing is refused here.
void RefreshFreeSpace(HWND dialog) {
  wchar_t size[5] = {};
  ReadControlText(dialog, IDC_STORAGE_SIZE, size, ARRAYSIZE(size));
  unsigned accepted = 0;
  const StorageSize read = CheckStorageSize(AsUtf16(size), &accepted);
  if (read == StorageSize::kEmpty || read == StorageSize::kNotANumber) return;
  const unsigned long long sizeMb = wcstoul(size, nullptr, 10);
  if (sizeMb != 0) WriteFreeSpace(dialog, sizeMb);
}

// 1 written; 0 the size is not a number (refused); -1 an empty or zero size.
int ShowFreeSpace(HWND dialog) {
  wchar_t size[5] = {};
  ReadControlText(dialog, IDC_STORAGE_SIZE, size, ARRAYSIZE(size));
  unsigned accepted = 0;
  const StorageSize read = CheckStorageSize(AsUtf16(size), &accepted);
  if (read == StorageSize::kNotANumber) {
    return Refuse(dialog, CT_W(CT_TITLE_CREATE_USER), CT_W(CT_MSG_ENTER_STORAGE_SIZE),
                  IDC_STORAGE_SIZE);
  }
  // Digits only from here; a size outside the range still gets its figure.
  const unsigned long long sizeMb = wcstoul(size, nullptr, 10);
  if (read == StorageSize::kEmpty || sizeMb == 0) return -1;
  return WriteFreeSpace(dialog, sizeMb);
}

// 1 path written into 403, 0 the user cancelled, -1 error.
int BrowseStorageLocation(HWND dialog) {
  if (FAILED(CoInitialize(nullptr))) return -1;
  BROWSEINFOW browse = {};
  browse.hwndOwner = dialog;
  browse.lpszTitle = CT_W(CT_BROWSE_TITLE);
  browse.ulFlags = BIF_RETURNONLYFSDIRS;
  PIDLIST_ABSOLUTE list = SHBrowseForFolderW(&browse);
  int result = 0;
  wchar_t path[MAX_PATH] = {};
  if (list != nullptr) {
    result = SHGetPathFromIDListW(list, path) ? 1 : -1;
    CoTaskMemFree(list);
  }
  CoUninitialize();
  if (result == 1 && !SetDlgItemTextW(dialog, IDC_STORAGE_FOLDER, path)) result = -1;
  return result;
}

class StorageSetupDialog : public DialogBase {
 protected:
  void OnInit() override {
    if (CentreDialog(window()) != 1) {
      DeleteIfNamed(RecoveryFilePath);
      ShowGeneralError(window());
      return;
    }
    if (Fill() != 1) {
      DeleteIfNamed(RecoveryFilePath);
      ShowGeneralError(window());
    }
  }

  void OnCommand(int id) override {
    if (id == IDC_STORAGE_BROWSE) Browse();
    if (id == IDC_STORAGE_WHOLE_DRIVE) RefreshFreeSpace(window());
    if (id == IDCANCEL) Cancel();
    if (id == IDOK) Create();
  }

 private:
  int Fill() {
    PathBuffer<char16_t> name;
    if (name.Assign(kStorageFilePrefix) != 1 || name.Append(AsUtf16(UserName)) != 1) {
      return -1;
    }
    PathBuffer<char16_t> folder;
    if (folder.AssignJoined(AsUtf16(InstallFolder), kStorageFolderName) != 1) {
      return -1;
    }
    LimitText(IDC_STORAGE_NAME, 260);
    LimitText(IDC_STORAGE_SIZE, 4);
    if (!SetDlgItemTextW(window(), IDC_STORAGE_NAME, AsWide(name.c_str())) ||
        !SetDlgItemTextW(window(), IDC_STORAGE_SIZE, L"999") ||
        !SetDlgItemTextW(window(), IDC_STORAGE_FOLDER, AsWide(folder.c_str())) ||
        !CheckDlgButton(window(), IDC_STORAGE_WHOLE_DRIVE, BST_CHECKED)) {
      return -1;
    }
    return WriteFreeSpace(window(), 999);
  }

  void Browse() {
    EnableControls(kBrowseButtons, CountOf(kBrowseButtons), false);
    const int browsed = BrowseStorageLocation(window());
    if (browsed == -1) {
      DeleteIfNamed(RecoveryFilePath);
      DeleteIfNamed(UserKeyFilePath);
      ShowInfoBox(window(), CT_W(CT_TITLE_CREATE_FOR_USER), CT_W(CT_MSG_USER_NOT_CREATED));
      ShowGeneralError(window());
      return;
    }
    if (ShowFreeSpace(window()) == -1) {
      DeleteIfNamed(RecoveryFilePath);
      DeleteIfNamed(UserKeyFilePath);
      ShowGeneralError(window());
      return;
    }
    EnableControls(kBrowseButtons, CountOf(kBrowseButtons), true);
  }

  void Cancel() {
    Volume().CurrentDriveLetter = 0;
    DeleteIfNamed(RecoveryFilePath);
    DeleteIfNamed(UserKeyFilePath);
    EndAndPost(1, UM_EXIT);
  }

  void Create() {
    EnableControls(kInputs, CountOf(kInputs), false);
    MustCloseProgram = false;  // a fault of an earlier screen is over
    WipeText(StorageFilePath);
    Volume().CurrentDriveLetter = 0;
    // Decides the generation of the key file and container written next.
    WantWholeDriveEncryption = IsDlgButtonChecked(window(), IDC_STORAGE_WHOLE_DRIVE) == BST_CHECKED;
    WaitCursor wait;
    const int result = CreateUserStorage(window());
    if (result == 1) {
      EndAndPost(1, UM_LOGGED_IN);
    } else if (result == 0) {
      EnableControls(kInputs, CountOf(kInputs), true);
    } else {
      // StorageFilePath is set only once the path was found free, so the
      // file deleted here is one this flow created.
      Volume().CurrentDriveLetter = 0;
      DeleteIfNamed(RecoveryFilePath);
      DeleteIfNamed(UserKeyFilePath);
      DeleteIfNamed(StorageFilePath);
      DeleteDefaultCryptDsk();
      ShowInfoBox(window(), CT_W(CT_TITLE_CREATE_FOR_USER), CT_W(CT_MSG_USER_NOT_CREATED));
      if (MustCloseProgram) {
        EndAndPost(1, UM_EXIT);
      } else {
        ShowGeneralError(window());
      }
    }
  }
};

}  // namespace

INT_PTR ShowStorageSetupDialog() {
  StorageSetupDialog dialog;
  return dialog.Run(IDD_STORAGE_SETUP);
}
