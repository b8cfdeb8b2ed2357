#include "driver_harness.h"

#include <setupapi.h>

#include <algorithm>
#include <random>

#include "driver_install.h"
#include "sector_cipher.h"

extern "C" NTSTATUS NTAPI NtReadFile(HANDLE file, HANDLE event, PIO_APC_ROUTINE apc, PVOID context,
                                     PIO_STATUS_BLOCK io, PVOID buffer, ULONG length,
                                     PLARGE_INTEGER offset, PULONG key);
extern "C" NTSTATUS NTAPI NtWriteFile(HANDLE file, HANDLE event, PIO_APC_ROUTINE apc, PVOID context,
                                      PIO_STATUS_BLOCK io, PVOID buffer, ULONG length,
                                      PLARGE_INTEGER offset, PULONG key);
extern "C" NTSTATUS NTAPI NtFlushBuffersFile(HANDLE file, PIO_STATUS_BLOCK io);

namespace cryptdsk_test {

namespace {
const uint8_t kKey[32] = {0x60, 0x3d, 0xeb, 0x10, 0x15, 0xca, 0x71, 0xbe, 0x2b, 0x73, 0xae,
                          0xf0, 0x85, 0x7d, 0x77, 0x81, 0x1f, 0x35, 0x2c, 0x07, 0x3b, 0x61,
                          0x08, 0xd7, 0x2d, 0x98, 0x10, 0xa3, 0x09, 0x14, 0xdf, 0xf4};
// The second generation's data key (the first 32 bytes), then its tweak key.
const uint8_t kXtsKey[64] = {
    0x27, 0x18, 0x28, 0x18, 0x28, 0x45, 0x90, 0x45, 0x23, 0x53, 0x60, 0x28, 0x74, 0x71, 0x35, 0x26,
    0x62, 0x49, 0x77, 0x57, 0x24, 0x70, 0x93, 0x69, 0x99, 0x59, 0x57, 0x49, 0x66, 0x96, 0x76, 0x27,
    0x31, 0x41, 0x59, 0x26, 0x53, 0x58, 0x97, 0x93, 0x23, 0x84, 0x62, 0x64, 0x33, 0x83, 0x27, 0x95,
    0x02, 0x88, 0x41, 0x97, 0x16, 0x93, 0x99, 0x37, 0x51, 0x05, 0x82, 0x09, 0x74, 0x94, 0x45, 0x92};

Answer Finish(NTSTATUS status, HANDLE device, IO_STATUS_BLOCK& io) {
  if (status == STATUS_PENDING) {
    WaitForSingleObject(device, INFINITE);
    status = io.Status;
  }
  return Answer{status, io.Information};
}
}  // namespace

const uint8_t* TestKey() {
  return kKey;
}

const uint8_t* TestXtsKey() {
  return kXtsKey;
}

bool InstallCryptDsk() {
  return cryptelle_setup::InstallDriver(kInfPath, nullptr, nullptr);
}

int CountCryptDskDevices() {
  HDEVINFO set = SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES | DIGCF_PRESENT);
  if (set == INVALID_HANDLE_VALUE) return -1;
  int count = 0;
  SP_DEVINFO_DATA device;
  device.cbSize = sizeof(device);
  for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &device); ++i) {
    char ids[512] = {};
    if (SetupDiGetDeviceRegistryPropertyA(set, &device, SPDRP_HARDWAREID, nullptr,
                                          reinterpret_cast<BYTE*>(ids), sizeof(ids) - 2, nullptr) &&
        _stricmp(ids, "CryptDsk") == 0) {
      ++count;
    }
  }
  SetupDiDestroyDeviceInfoList(set);
  return count;
}

Handle OpenDevice(const wchar_t* path, DWORD access, DWORD flags) {
  return Handle(CreateFileW(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, flags, nullptr));
}

Answer Ioctl(HANDLE device, uint32_t code, const void* input, uint32_t inputLength, void* output,
             uint32_t outputLength) {
  IO_STATUS_BLOCK io{};
  const NTSTATUS status =
      NtDeviceIoControlFile(device, nullptr, nullptr, nullptr, &io, code, const_cast<void*>(input),
                            inputLength, output, outputLength);
  return Finish(status, device, io);
}

Answer ReadAt(HANDLE device, int64_t offset, void* buffer, uint32_t length) {
  IO_STATUS_BLOCK io{};
  LARGE_INTEGER position;
  position.QuadPart = offset;
  const NTSTATUS status =
      NtReadFile(device, nullptr, nullptr, nullptr, &io, buffer, length, &position, nullptr);
  return Finish(status, device, io);
}

Answer WriteAt(HANDLE device, int64_t offset, const void* buffer, uint32_t length) {
  IO_STATUS_BLOCK io{};
  LARGE_INTEGER position;
  position.QuadPart = offset;
  const NTSTATUS status = NtWriteFile(device, nullptr, nullptr, nullptr, &io,
                                      const_cast<void*>(buffer), length, &position, nullptr);
  return Finish(status, device, io);
}

Answer FlushBuffers(HANDLE device) {
  IO_STATUS_BLOCK io{};
  return Finish(NtFlushBuffersFile(device, &io), device, io);
}

Container ContainerNamed(const std::wstring& name) {
  CreateDirectoryW(kTestFolder, nullptr);
  Container container;
  container.DosPath = std::wstring(kTestFolder) + L"\\" + name;
  container.NtPath = L"\\??\\" + container.DosPath;
  return container;
}

bool CreateContainerFile(const Container& container, int64_t size) {
  Handle file(CreateFileW(container.DosPath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                          CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return false;
  LARGE_INTEGER end;
  end.QuadPart = size;
  return SetFilePointerEx(file.get(), end, nullptr, FILE_BEGIN) && SetEndOfFile(file.get());
}

int64_t FileSizeOf(const Container& container) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(container.DosPath.c_str(), GetFileExInfoStandard, &data)) return -1;
  return (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

Bytes StoredBytes(const Container& container, int64_t offset, size_t length) {
  Handle file(CreateFileW(container.DosPath.c_str(), GENERIC_READ,
                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
  Bytes bytes(length);
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  DWORD read = 0;
  if (!file.valid() ||
      !ReadFile(file.get(), bytes.data(), static_cast<DWORD>(length), &read, &at)) {
    bytes.clear();
  }
  bytes.resize(read);
  return bytes;
}

OPEN_IMAGE_RECORD OpenRecord(const std::wstring& ntPath, uint64_t fileSize, uint16_t letter) {
  OPEN_IMAGE_RECORD record{};
  memcpy(record.Key, kKey, sizeof(record.Key));
  record.ValidFlag = 1;
  record.FileNameLength = static_cast<uint16_t>(ntPath.size());
  record.FileSize = fileSize;
  record.DriveLetter = letter;
  memcpy(record.FileName, ntPath.data(),
         std::min(ntPath.size(), static_cast<size_t>(kOpenImageNameUnits)) * 2);
  return record;
}

NTSTATUS OpenImage(HANDLE device, const std::wstring& ntPath, uint64_t fileSize) {
  OPEN_IMAGE_RECORD record = OpenRecord(ntPath, fileSize);
  return Ioctl(device, IOCTL_CRYPTDSK_OPEN_IMAGE, &record, sizeof(record), nullptr, 0).Status;
}

NTSTATUS OpenWholeDiskImage(HANDLE device, const std::wstring& ntPath, uint64_t fileSize) {
  OPEN_IMAGE_WHOLE_DISK_REQUEST request{};
  request.Record = OpenRecord(ntPath, fileSize);
  request.Record.Generation = cryptdsk::kGenerationWholeDisk;
  memcpy(request.Record.Key, kXtsKey, sizeof(request.Record.Key));
  memcpy(request.TweakKey, kXtsKey + 32, sizeof(request.TweakKey));
  return Ioctl(device, IOCTL_CRYPTDSK_OPEN_IMAGE, &request, sizeof(request), nullptr, 0).Status;
}

NTSTATUS CloseImage(HANDLE device) {
  return Ioctl(device, IOCTL_CRYPTDSK_CLOSE_IMAGE, nullptr, 0, nullptr, 0).Status;
}

bool IsOpen(HANDLE device) {
  uint8_t byte = 0xEE;
  const Answer answer = Ioctl(device, IOCTL_CRYPTDSK_IS_OPEN, nullptr, 0, &byte, 1);
  return answer.Status == kSuccess && byte == 1;
}

Bytes StoredForm(const Bytes& plain, int64_t offset) {
  // The software engine, whichever engine the driver runs on.
  AesEngine engine{};
  AesEngineSetKey(&engine, kKey, kXtsEngineSoftware);
  Bytes stored = plain;
  for (size_t done = 0; done < plain.size(); done += 512) {
    const uint64_t sector = static_cast<uint64_t>(offset) / 512 + done / 512;
    if (sector >= 4) break;
    SectorIv iv;
    SetSectorIv(&iv, sector);
    EncryptChunk(stored.data() + done,
                 static_cast<uint32_t>(std::min<size_t>(512, plain.size() - done)), &iv, &engine);
  }
  AesEngineWipe(&engine);
  return stored;
}

Bytes Pattern(size_t length, uint32_t seed) {
  std::mt19937 random(seed);
  Bytes bytes(length);
  for (auto& b : bytes) b = static_cast<uint8_t>(random());
  return bytes;
}

}  // namespace cryptdsk_test
