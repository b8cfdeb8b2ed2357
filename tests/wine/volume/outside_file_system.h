// Where the drive's file system lives outside Wine. In the trial that
// tools/run-cryptelle sets up, Linux makes and mounts the NTFS of the drive
// (mkntfs, ntfs-3g over the driver's disk), and the trial's bridge answers
// the stand-ins on this pipe. In the test bed nobody listens, and the
// stand-ins do what they always do.
#pragma once

#include <windows.h>

#include <string.h>

constexpr wchar_t kOutsideFileSystemPipe[] = L"\\\\.\\pipe\\CryptelleOutsideFileSystem";
// The requests and their one-byte answers.
constexpr char kMakeNtfsImageRequest[] = "ntfs";  // + " <bytes>": that size's image is ready
constexpr char kMountRequest[] = "mount";         // + " <letter>": the volume shows as the drive
constexpr char kReleaseRequest[] = "release";     // unmounted, or refused: files are open
constexpr char kForceReleaseRequest[] = "force";  // unmounted, open files or not
constexpr char kDoneAnswer = '1';
constexpr char kRefusedAnswer = '0';
// Patience for one request: an unmount flushes the file system first.
constexpr DWORD kOutsideRequestMs = 120000;

// 1 when the outside file system did it, 0 when it refused, -1 when there is
// no outside file system (or no answer).
inline int AskOutsideFileSystem(const char* request) {
  char answer = 0;
  DWORD read = 0;
  if (!CallNamedPipeW(kOutsideFileSystemPipe, const_cast<char*>(request),
                      static_cast<DWORD>(strlen(request)), &answer, 1, &read, kOutsideRequestMs) ||
      read != 1) {
    return -1;
  }
  return answer == kDoneAnswer ? 1 : 0;
}
