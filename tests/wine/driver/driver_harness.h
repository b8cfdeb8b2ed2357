// The Wine test bed's view of cryptdsk.sys: installing it with the setup
// library, and talking to it only through the user-mode API.
#pragma once

#include <windows.h>
#include <winternl.h>

#include <cstdint>
#include <string>
#include <vector>

#include "cryptdsk_protocol.h"

namespace cryptdsk_test {

using Bytes = std::vector<uint8_t>;

constexpr char kInfPath[] = "C:\\cryptdsk-package\\cryptdsk.inf";
constexpr wchar_t kDevicePath[] = L"\\\\.\\CryptDsk00";
constexpr wchar_t kTestFolder[] = L"C:\\cryptdsk-tests";

constexpr NTSTATUS kSuccess = 0;
constexpr NTSTATUS kBufferOverflow = static_cast<NTSTATUS>(0x80000005u);
constexpr NTSTATUS kUnsuccessful = static_cast<NTSTATUS>(0xC0000001u);
constexpr NTSTATUS kInvalidParameter = static_cast<NTSTATUS>(0xC000000Du);
constexpr NTSTATUS kNoSuchFile = static_cast<NTSTATUS>(0xC000000Fu);
constexpr NTSTATUS kInvalidDeviceRequest = static_cast<NTSTATUS>(0xC0000010u);
constexpr NTSTATUS kNoMedia = static_cast<NTSTATUS>(0xC0000013u);
constexpr NTSTATUS kBufferTooSmall = static_cast<NTSTATUS>(0xC0000023u);
constexpr NTSTATUS kUnrecognizedMedia = static_cast<NTSTATUS>(0xC0000014u);

// The disk key every test container uses.
const uint8_t* TestKey();
// The 64-byte XTS key (data key, then tweak key) of second-generation ones.
const uint8_t* TestXtsKey();

bool InstallCryptDsk();
int CountCryptDskDevices();

class Handle {
 public:
  Handle() = default;
  explicit Handle(HANDLE handle) : handle_(handle) {}
  ~Handle() { Close(); }
  Handle(Handle&& other) noexcept : handle_(other.handle_) { other.handle_ = INVALID_HANDLE_VALUE; }
  Handle& operator=(Handle&& other) noexcept {
    if (this != &other) {
      Close();
      handle_ = other.handle_;
      other.handle_ = INVALID_HANDLE_VALUE;
    }
    return *this;
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  void Close() {
    if (valid()) CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
  }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// The device through "\\.\CryptDsk00" (or another name linked to it).
Handle OpenDevice(const wchar_t* path = kDevicePath, DWORD access = GENERIC_READ | GENERIC_WRITE,
                  DWORD flags = 0);

struct Answer {
  NTSTATUS Status;
  ULONG_PTR Information;
};

// One control request through NtDeviceIoControlFile: the status and the
// Information value as the driver completed them.
Answer Ioctl(HANDLE device, uint32_t code, const void* input, uint32_t inputLength, void* output,
             uint32_t outputLength);
Answer ReadAt(HANDLE device, int64_t offset, void* buffer, uint32_t length);
Answer WriteAt(HANDLE device, int64_t offset, const void* buffer, uint32_t length);
Answer FlushBuffers(HANDLE device);

// A container file in the test folder.
struct Container {
  std::wstring DosPath;
  std::wstring NtPath;  // "\??\C:\..."
};
Container ContainerNamed(const std::wstring& name);
bool CreateContainerFile(const Container& container, int64_t size);
int64_t FileSizeOf(const Container& container);  // -1: no such file
Bytes StoredBytes(const Container& container, int64_t offset, size_t length);

OPEN_IMAGE_RECORD OpenRecord(const std::wstring& ntPath, uint64_t fileSize, uint16_t letter = 'K');
NTSTATUS OpenImage(HANDLE device, const std::wstring& ntPath, uint64_t fileSize);
// A second-generation container: the 608-byte request with the test's XTS key.
NTSTATUS OpenWholeDiskImage(HANDLE device, const std::wstring& ntPath, uint64_t fileSize);
NTSTATUS CloseImage(HANDLE device);
bool IsOpen(HANDLE device);

// What the disk must store for `plain` written at a sector-aligned offset:
// sectors 0 to 3 encrypted by their own number, the rest as written.
Bytes StoredForm(const Bytes& plain, int64_t offset);
Bytes Pattern(size_t length, uint32_t seed);

}  // namespace cryptdsk_test
