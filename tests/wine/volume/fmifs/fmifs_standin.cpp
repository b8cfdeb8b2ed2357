// The test bed's fmifs.dll, for Wine, which has none. FormatEx does for the
// client what the system's does: it writes an NTFS file system through the
// volume path "\\.\X:" with WriteFile. The file system comes from an image
// that mkntfs made on Linux for the volume's exact size
// (C:\cryptelle-testbed\ntfs\<bytes>.img); only its blocks that are not all
// zero are written, since a new container reads as zeros.
//
// In the trial (tools/run-cryptelle), an image the volume's size has none
// of yet is made by mkntfs on Linux when asked (outside_file_system.h).
//
// CRYPTELLE_FMIFS_RESULT=fail makes it report progress and then failure
// without writing anything.
#include <windows.h>

#include <winioctl.h>

#include <string>
#include <vector>

#include "../outside_file_system.h"

namespace {

typedef BOOLEAN(WINAPI* FormatCallback)(DWORD command, DWORD subAction, PVOID data);

constexpr DWORD kCommandProgress = 0;
constexpr DWORD kCommandDone = 11;
constexpr DWORD kBlock = 4096;
constexpr DWORD kChunk = 1 << 20;

bool FailureSelected() {
  wchar_t value[16] = {};
  return GetEnvironmentVariableW(L"CRYPTELLE_FMIFS_RESULT", value, 16) > 0 &&
         lstrcmpW(value, L"fail") == 0;
}

bool IsZero(const BYTE* data, DWORD length) {
  for (DWORD i = 0; i < length; ++i) {
    if (data[i] != 0) return false;
  }
  return true;
}

bool WriteImage(HANDLE volume, HANDLE image, ULONGLONG size, FormatCallback callback) {
  std::vector<BYTE> chunk(kChunk);
  DWORD lastPercent = 0;
  for (ULONGLONG offset = 0; offset < size; offset += kChunk) {
    DWORD read = 0;
    if (!ReadFile(image, chunk.data(), kChunk, &read, nullptr)) return false;
    if (read == 0) break;
    for (DWORD at = 0; at < read; at += kBlock) {
      const DWORD length = read - at < kBlock ? read - at : kBlock;
      if (IsZero(chunk.data() + at, length)) continue;
      // The position goes with each write: Wine cannot move the file
      // pointer of a handle that a driver serves (SetFilePointerEx fails
      // with ERROR_BAD_DEV_TYPE there), but passes a write's own offset on.
      const ULONGLONG position = offset + at;
      OVERLAPPED where = {};
      where.Offset = static_cast<DWORD>(position);
      where.OffsetHigh = static_cast<DWORD>(position >> 32);
      DWORD written = 0;
      if (!WriteFile(volume, chunk.data() + at, length, &written, &where) || written != length) {
        return false;
      }
    }
    DWORD percent = static_cast<DWORD>((offset + read) * 100 / size);
    if (percent != lastPercent) {
      lastPercent = percent;
      callback(kCommandProgress, 0, &percent);
    }
  }
  return true;
}

HANDLE OpenImage(const std::wstring& path) {
  return CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                     FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
}

bool Format(const wchar_t* rootPath, FormatCallback callback) {
  const std::wstring volumePath = std::wstring(L"\\\\.\\") + rootPath[0] + L":";
  const HANDLE volume =
      CreateFileW(volumePath.c_str(), GENERIC_READ | GENERIC_WRITE,
                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (volume == INVALID_HANDLE_VALUE) return false;
  GET_LENGTH_INFORMATION length = {};
  DWORD returned = 0;
  bool done = false;
  if (DeviceIoControl(volume, IOCTL_DISK_GET_LENGTH_INFO, nullptr, 0, &length, sizeof(length),
                      &returned, nullptr)) {
    const std::wstring imagePath =
        L"C:\\cryptelle-testbed\\ntfs\\" + std::to_wstring(length.Length.QuadPart) + L".img";
    HANDLE image = OpenImage(imagePath);
    const std::string request =
        std::string(kMakeNtfsImageRequest) + " " + std::to_string(length.Length.QuadPart);
    if (image == INVALID_HANDLE_VALUE && AskOutsideFileSystem(request.c_str()) == 1) {
      image = OpenImage(imagePath);
    }
    if (image != INVALID_HANDLE_VALUE) {
      done = WriteImage(volume, image, static_cast<ULONGLONG>(length.Length.QuadPart), callback);
      CloseHandle(image);
    }
  }
  CloseHandle(volume);
  return done;
}

}  // namespace

extern "C" __declspec(dllexport) VOID WINAPI
    FormatEx(PWCHAR rootPath, DWORD, PWCHAR, PWCHAR, BOOL, DWORD, FormatCallback callback) {
  BOOLEAN success = FALSE;
  if (FailureSelected()) {
    DWORD percent = 50;
    callback(kCommandProgress, 0, &percent);
  } else {
    success = Format(rootPath, callback) ? TRUE : FALSE;
  }
  callback(kCommandDone, 0, &success);
}
