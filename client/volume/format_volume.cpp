// FormatCryptDsk: an NTFS file system on the new volume, made by the
// system's format library, which is bound at run time.
#include <windows.h>

#include "volume_operations.h"
#include "volume_state.h"
#include "volume_texts.h"

namespace {

constexpr DWORD kFixedMedia = 12;
constexpr DWORD kClusterBytes = 4096;
constexpr DWORD kCommandDone = 11;

// Runs on the thread that called FormatEx; touches only the flag.
BOOLEAN WINAPI FormatProgress(DWORD command, DWORD, PVOID data) {
  if (command == kCommandDone && data != nullptr && *static_cast<BOOLEAN*>(data) == 0) {
    Volume().FormatFailed = true;
  }
  return 1;
}

}  // namespace

int FormatCryptDsk(HWND owner, wchar_t letter) {
  VolumeState& volume = Volume();
  LoadLibraryW(L"fmifs.dll");  // kept for the life of the process
  if (volume.FormatEx == nullptr) {
    const HMODULE library = GetModuleHandleW(L"fmifs.dll");
    if (library != nullptr) {
      volume.FormatEx = reinterpret_cast<FormatExFunction>(
          reinterpret_cast<void*>(GetProcAddress(library, "FormatEx")));
    }
  }
  if (volume.FormatEx == nullptr) {
    MessageBoxW(owner, kFormatLibraryMissingText, kErrorMessageTitle,
                MB_SYSTEMMODAL | MB_ICONERROR);
    return 0;
  }
  volume.FormatRootPath[0] = letter;
  // A failure of an earlier format must not decide this one.
  volume.FormatFailed = false;
  wchar_t fileSystem[] = L"NTFS";
  wchar_t label[] = L"Cryptelle";
  volume.FormatEx(volume.FormatRootPath, kFixedMedia, fileSystem, label, TRUE, kClusterBytes,
                  FormatProgress);
  return volume.FormatFailed ? 0 : 1;
}
