// OpenCryptDsk: attaches the user's container and makes it a usable drive.
#include <windows.h>

#include <shlobj.h>
#include <string.h>

#include "account_files.h"
#include "account_state.h"
#include "cryptdsk_protocol.h"
#include "drive_links.h"
#include "message_box.h"
#include "prompt_guard.h"
#include "registry_state.h"
#include "secure_wipe.h"
#include "shortcut.h"
#include "volume_operations.h"
#include "volume_rules.h"
#include "volume_state.h"
#include "volume_system.h"
#include "volume_texts.h"
#include "win/platform_checks.h"

namespace {

constexpr int kAttachRounds = 15;
constexpr DWORD kAttachPollMs = 2000;
constexpr int kSizeControl = 401;

void ShowMountInfo(HWND owner, const wchar_t* text) {
  MessageBoxW(owner, text, kCreateForUserTitle, MB_SYSTEMMODAL | MB_ICONINFORMATION);
}

bool Confirmed(HWND owner, int isNewUser) {
  const wchar_t* title = isNewUser ? kUserCreationTitle : kLogInTitle;
  const wchar_t* text = isNewUser ? kUserCreationConfirmText : kLogInConfirmText;
  return MessageBoxW(owner, text, title, MB_OKCANCEL) == IDOK;
}

// 1 with *chosen; -1 error, or after the letters-in-use message, which
// announces that the program closes (MustCloseProgram).
int ChooseDriveLetter(HWND owner, wchar_t* chosen) {
  const DWORD used = GetLogicalDrives();
  if (used == 0) return -1;
  wchar_t name[kPathBufferUnits];
  for (wchar_t letter = L'H'; letter <= L'Z'; ++letter) {
    if (used & (1u << (letter - L'A'))) continue;
    VolumeNameOf(letter, name);
    if (name[0] != 0) continue;
    *chosen = letter;
    SecureWipeObject(name);
    return 1;
  }
  SecureWipeObject(name);
  ShowMountInfo(owner, kLettersInUseText);
  MustCloseProgram = true;
  return -1;
}

// The container file's size: for a new user the disk chosen on the storage
// screen and, for the whole-disk generation, its backup area; otherwise the
// existing file's size, backup area included.
int ReadImageSize(HWND owner, int isNewUser, uint32_t generation, uint64_t* size) {
  if (isNewUser) {
    wchar_t text[5] = {};
    if (GetDlgItemTextW(owner, kSizeControl, text, 5) == 0) return -1;
    int64_t bytes = 0;
    if (ParseMegabytes(AsUtf16(text), &bytes) != 1) return -1;
    *size = ContainerFileBytes(static_cast<uint64_t>(bytes), generation);
    return 1;
  }
  UniqueFile file(CreateFileW(StorageFilePath, FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER bytes = {};
  if (!file.valid() || !GetFileSizeEx(file.get(), &bytes)) return -1;
  *size = static_cast<uint64_t>(bytes.QuadPart);
  return 1;
}

// The open request of the user's generation: the first generation's
// record exactly as earlier builds sent it (Generation 0, 576 bytes), or the
// whole-disk request with both keys (608 bytes). *bytes is what to send.
int FillRecord(HWND owner, int isNewUser, wchar_t letter, OPEN_IMAGE_WHOLE_DISK_REQUEST* request,
               DWORD* bytes) {
  OPEN_IMAGE_RECORD* record = &request->Record;
  Wiped<UserDiskKey> key;
  if (ReadUserDiskKey(&key.get()) != 1) return -1;
  const uint32_t generation = key.get().Generation;
  if (generation == cryptdsk::kGenerationWholeDisk) {
    memcpy(record->Key, key.get().Key, kOpenImageKeySize);
    memcpy(request->TweakKey, key.get().Key + kOpenImageKeySize, cryptdsk::kOpenImageTweakKeySize);
    record->Generation = cryptdsk::kGenerationWholeDisk;
    *bytes = sizeof(*request);
  } else if (generation == cryptdsk::kGenerationHeadOnly) {
    memcpy(record->Key, key.get().Key, kOpenImageKeySize);
    *bytes = sizeof(*record);
  } else {
    return -1;
  }
  Volume().Generation = generation;
  record->DriveLetter = static_cast<uint16_t>(letter);
  record->ValidFlag = 1;
  uint16_t length = 0;
  if (BuildKernelFileName(AsUtf16(StorageFilePath), record->FileName, kOpenImageNameUnits,
                          &length) != 1) {
    return -1;
  }
  record->FileNameLength = length;
  uint64_t size = 0;
  if (ReadImageSize(owner, isNewUser, generation, &size) != 1) return -1;
  record->FileSize = size;
  return 1;
}

void ClearStaleLinks(wchar_t chosen) {
  wchar_t volume[kPathBufferUnits];
  for (wchar_t letter = L'A'; letter <= L'Z'; ++letter) {
    if (!LinksToCryptDsk(letter)) continue;
    VolumeNameOf(letter, volume);
    if (volume[0] == 0) {
      RemoveDeviceName(letter);
      continue;
    }
    RemoveCryptDskDriveLetters(volume, chosen, false);
    RemoveCryptDskDriveLetters(volume, chosen, true);
    NotifyDriveChange(SHCNE_ASSOCCHANGED);
  }
}

int StartFormatHookIfNeeded() {
  WindowsVersion version;
  DWORD error = 0;
  if (!ReadWindowsVersion(&version, &error)) {
    ShowSystemError(error);
    return -1;
  }
  if (!IsWindows7OrLater(version.major, version.minor)) return 1;
  VolumeState& volume = Volume();
  volume.FormatHookLibrary = LoadLibraryW(PROMPT_GUARD_LIBRARY);
  if (volume.FormatHookLibrary == nullptr) return -1;
  const auto start = reinterpret_cast<StartPromptGuardHookFunction>(
      reinterpret_cast<void*>(GetProcAddress(volume.FormatHookLibrary, PROMPT_GUARD_START_EXPORT)));
  if (start == nullptr) return -1;
  start();  // a hook that cannot be installed only lets the shell's prompt through
  return 1;
}

// Links the letter, opens it and sends the open request (`bytes` of it).
int LinkAndAttach(HWND owner, wchar_t letter, OPEN_IMAGE_WHOLE_DISK_REQUEST* request, DWORD bytes) {
  const DriveNames names = MakeDriveNames(static_cast<char16_t>(letter));
  if (OpenVolumePath(AsWide(names.Volume)).valid()) {
    ShowMountInfo(owner, kInUseOrInaccessibleText);
    return -1;
  }
  if (!LinkToCryptDsk(letter)) return -1;
  UniqueFile volume = OpenVolumePath(AsWide(names.Volume));
  if (!volume.valid()) {
    ShowMountInfo(owner, kInUseOrInaccessibleText);
    RemoveDeviceName(letter);
    return -1;
  }
  if (StartFormatHookIfNeeded() != 1) return -1;
  DWORD returned = 0;
  const BOOL sent = DeviceIoControl(volume.get(), IOCTL_CRYPTDSK_OPEN_IMAGE, request, bytes,
                                    nullptr, 0, &returned, nullptr);
  const DWORD error = GetLastError();
  volume.reset();
  if (!sent) {
    RemoveDeviceName(letter);
    if (error == cryptdsk::kOpenImageHostSectorError) {
      ShowMountInfo(owner, kHostSectorSizeText);
      MustCloseProgram = true;  // the text says what to do; nothing more to add
    }
    return -1;
  }
  return 1;
}

int WaitForAttach(HWND owner) {
  for (int round = 0; round < kAttachRounds; ++round) {
    if (IsDriverIdle(owner) != 1) return 1;
    Sleep(kAttachPollMs);
  }
  return IsDriverIdle(owner) != 1 ? 1 : -1;
}

int SetOpenFlag(wchar_t letter) {
  const DriveNames names = MakeDriveNames(static_cast<char16_t>(letter));
  return SetCryptDskOpenFlag(AsWide(names.Device), true) == 1 ? 1 : -1;
}

// Follows the letter that the system gave the volume.
int AdoptSystemLetter(HWND owner, OPEN_IMAGE_RECORD* record, wchar_t* volume) {
  int& current = Volume().CurrentDriveLetter;
  volume[0] = 0;
  for (wchar_t letter = L'A'; letter <= L'Z'; ++letter) {
    if (!LinksToCryptDsk(letter)) continue;
    record->DriveLetter = static_cast<uint16_t>(letter);
    current = letter;
    VolumeNameOf(letter, volume);
    if (volume[0] == 0) return -1;
  }
  if (volume[0] == 0) return -1;
  wchar_t paths[kPathBufferUnits] = {};
  DWORD needed = 0;
  if (!QueryVolumePathNames(volume, paths, kPathBufferUnits, &needed) &&
      GetLastError() != ERROR_MORE_DATA) {
    return -1;
  }
  const wchar_t systemLetter = FirstListedDriveLetter(AsUtf16(paths));
  if (systemLetter == 0 || systemLetter == current) return 1;
  RemoveDeviceName(static_cast<wchar_t>(current));
  record->DriveLetter = static_cast<uint16_t>(systemLetter);
  current = systemLetter;
  if (!LinkToCryptDsk(systemLetter)) return -1;
  const DriveNames names = MakeDriveNames(static_cast<char16_t>(systemLetter));
  UniqueFile device = OpenVolumePath(AsWide(names.Volume));
  const uint16_t letterCode = static_cast<uint16_t>(systemLetter);
  DWORD returned = 0;
  if (!device.valid() || !DeviceIoControl(device.get(), IOCTL_CRYPTDSK_SET_DRIVE_LETTER,
                                          const_cast<uint16_t*>(&letterCode), sizeof(letterCode),
                                          nullptr, 0, &returned, nullptr)) {
    device.reset();
    ShowMountInfo(owner, kInUseOrInaccessibleText);
    RemoveDeviceName(systemLetter);
    return -1;
  }
  return 1;
}

void CreateShortcutOrTell(HWND owner, wchar_t letter) {
  VolumeState& state = Volume();
  state.ShortcutCreated = false;
  if (!StorageShortcutApplies(state) || !state.SharedDocumentsFolderKnown) {
    ShowMountInfo(owner, kShortcutFailedText);
    return;
  }
  const DriveNames names = MakeDriveNames(static_cast<char16_t>(letter));
  const HRESULT com = CoInitialize(nullptr);
  SHFILEINFOW info = {};
  PathBuffer<char16_t> icon;
  bool created = false;
  if (QueryRootFileInfo(AsWide(names.Root), &info) != 0 &&
      icon.AssignJoined(AsUtf16(InstallFolder), CT_U(CT_OPEN_ICON_FILE)) == 1) {
    created = CreateStorageShortcut(AsWide(icon.c_str()), AsWide(names.Device),
                                    state.StorageShortcutPath) == 1;
  }
  if (SUCCEEDED(com)) CoUninitialize();
  state.ShortcutCreated = created;
  if (!created) ShowMountInfo(owner, kShortcutFailedText);
}

// Makes the attached volume on the adopted letter a finished drive: open
// flag, label, icon, stale letters gone, shortcut, tray. `volume` is its name.
int FinishMount(HWND owner, const wchar_t* volume) {
  const wchar_t letter = static_cast<wchar_t>(Volume().CurrentDriveLetter);
  const DriveNames names = MakeDriveNames(static_cast<char16_t>(letter));
  if (SetOpenFlag(letter) != 1) return -1;
  if (!SetLabel(AsWide(names.Root), kVolumeLabel)) {
    DefineDosDeviceW(DDD_RAW_TARGET_PATH | DDD_REMOVE_DEFINITION, AsWide(names.Device),
                     CRYPTDSK_DEVICE_NAME);
    return -1;
  }
  if (SetDriveIcon(letter, true) != 1) return -1;
  RemoveCryptDskDriveLetters(volume, letter, false);
  NotifyDriveChange(SHCNE_ALLEVENTS);
  CreateShortcutOrTell(owner, letter);
  char16_t tooltip[kTooltipUnits];
  if (BuildOpenTooltip(static_cast<char16_t>(letter), Volume().Generation, tooltip,
                       kTooltipUnits) != 1) {
    return -1;
  }
  return Volume().host.ShowDriveState(true, AsWide(tooltip)) != 0 ? 1 : -1;
}

int RunMount(HWND owner, int isNewUser, OPEN_IMAGE_WHOLE_DISK_REQUEST* request) {
  OPEN_IMAGE_RECORD* record = &request->Record;
  if (!Confirmed(owner, isNewUser)) return 0;
  if (IsDriverIdle(owner) != 1) {
    ShowMountInfo(owner, kAlreadyOpenText);
    MustCloseProgram = true;  // the text announces it
    return -1;
  }
  wchar_t letter = 0;
  const int chosen = ChooseDriveLetter(owner, &letter);
  if (chosen != 1) return chosen;
  DWORD bytes = 0;
  if (FillRecord(owner, isNewUser, letter, request, &bytes) != 1) return -1;
  ClearStaleLinks(letter);
  if (LinkAndAttach(owner, letter, request, bytes) != 1) return -1;
  // From here on a failure is locked quietly through this letter, even when
  // the driver attaches only after the wait gave up: the close request
  // queues behind the open.
  Volume().CurrentDriveLetter = letter;
  if (WaitForAttach(owner) != 1) return -1;
  if (SetOpenFlag(letter) != 1) return -1;
  if (isNewUser && (FormatCryptDsk(owner, letter) != 1 || WriteDefaultCryptDsk() != 1)) return -1;
  wchar_t volume[kPathBufferUnits];
  if (AdoptSystemLetter(owner, record, volume) != 1) return -1;
  return FinishMount(owner, volume);
}

}  // namespace

int OpenCryptDsk(HWND owner, int isNewUser) {
  Volume().CurrentDriveLetter = 0;
  Volume().Generation = 0;
  // The request holds the disk keys: it is wiped on every path out.
  Wiped<OPEN_IMAGE_WHOLE_DISK_REQUEST> request;
  return RunMount(owner, isNewUser, &request.get());
}

void StopFormatHook() {
  VolumeState& volume = Volume();
  if (volume.FormatHookLibrary == nullptr) return;
  const auto stop = reinterpret_cast<StopPromptGuardHookFunction>(
      reinterpret_cast<void*>(GetProcAddress(volume.FormatHookLibrary, PROMPT_GUARD_STOP_EXPORT)));
  if (stop != nullptr) stop();
  FreeLibrary(volume.FormatHookLibrary);
  volume.FormatHookLibrary = nullptr;
}

int MountUserStorage(HWND owner, int isNewUser) {
  const int result = OpenCryptDsk(owner, isNewUser);
  StopFormatHook();
  const VolumeState& state = Volume();
  if (result == 1) {
    state.host.SessionChanged(true);
    return 1;
  }
  if (state.CurrentDriveLetter == 0) return result;
  LockCryptDsk(state.CurrentDriveLetter, owner, 1);
  return -1;
}
