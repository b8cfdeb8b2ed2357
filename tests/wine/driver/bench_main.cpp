// Reads and writes 64 MiB through "\\.\CryptDsk00" (a container of each
// generation) and through the container file itself, in the same run, and
// prints the rates. Under Wine the request path dominates; the figures are
// reported, not judged.
#include <windows.h>

#include <cstdio>

#include "driver_harness.h"

using namespace cryptdsk_test;

namespace {

constexpr int64_t kTotal = 64LL << 20;
constexpr uint32_t kChunk = 1 << 20;

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// MiB/s of writing then reading kTotal bytes in kChunk requests.
bool Measure(HANDLE handle, const char* what) {
  Bytes buffer = Pattern(kChunk, 1);
  LARGE_INTEGER start, middle, end;
  QueryPerformanceCounter(&start);
  for (int64_t at = 0; at < kTotal; at += kChunk) {
    if (WriteAt(handle, at, buffer.data(), kChunk).Status != 0) return false;
  }
  QueryPerformanceCounter(&middle);
  for (int64_t at = 0; at < kTotal; at += kChunk) {
    if (ReadAt(handle, at, buffer.data(), kChunk).Status != 0) return false;
  }
  QueryPerformanceCounter(&end);
  std::printf("%-28s write %8.1f MiB/s   read %8.1f MiB/s\n", what, 64.0 / Seconds(start, middle),
              64.0 / Seconds(middle, end));
  return true;
}

}  // namespace

int main() {
  if (!InstallCryptDsk()) {
    std::printf("install failed: %lu\n", GetLastError());
    return 1;
  }
  const Container container = ContainerNamed(L"bench.cryptdsk");
  // Room for the second generation's backup area after the disk.
  if (!CreateContainerFile(container, kTotal + cryptdsk::kWholeDiskBackupAreaBytes)) return 1;
  {
    Handle file(CreateFileW(container.DosPath.c_str(), GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                            nullptr));
    if (!file.valid() || !Measure(file.get(), "container file")) return 1;
  }
  Handle device = OpenDevice();
  if (!device.valid() || OpenImage(device.get(), container.NtPath, 0) != 0) return 1;
  bool ok = Measure(device.get(), "\\\\.\\CryptDsk00 head-only");
  CloseImage(device.get());
  if (!ok || OpenWholeDiskImage(device.get(), container.NtPath, 0) != 0) return 1;
  ok = Measure(device.get(), "\\\\.\\CryptDsk00 whole-disk");
  CloseImage(device.get());
  return ok ? 0 : 1;
}
