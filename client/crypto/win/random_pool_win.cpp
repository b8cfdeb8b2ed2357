#include "random_pool_win.h"

#include <ntsecapi.h>
#include <string.h>
#include <wchar.h>
#include <winioctl.h>

#include "entropy_pool_state.h"
#include "secure_wipe.h"
#include "win/unique_handles.h"

EntropyPoolState EntropyPool;

namespace {

constexpr DWORD kPollIntervalMs = 250;
constexpr DWORD kPerfDataGrowth = 4096;
constexpr DWORD kPerfDataCap = 16 << 20;  // the slow poll holds the lock on the UI thread
constexpr size_t kSystemRandomBytes = 32;

BOOL SystemRandom(void* destination, ULONG length) {
  return RtlGenRandom(destination, length) ? TRUE : FALSE;
}

DWORD WINAPI PollingThread(LPVOID) {
  for (;;) {
    EnterCriticalSection(&EntropyPool.lock);
    FastPoll();
    LeaveCriticalSection(&EntropyPool.lock);
    Sleep(kPollIntervalMs);
  }
}

template <typename T>
void AddPointer(T value) {
  RandomPoolAddInt(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(value)));
}

void AddFileTimes(const FILETIME times[4]) {
  for (int i = 0; i < 4; ++i) RandomPoolAddBytes(sizeof(FILETIME), &times[i]);
}

void AddNetworkStatistics() {
  using StatisticsGet = DWORD(WINAPI*)(LPWSTR, LPWSTR, DWORD, DWORD, LPBYTE*);
  using BufferSize = DWORD(WINAPI*)(LPVOID, LPDWORD);
  using BufferFree = DWORD(WINAPI*)(LPVOID);
  if (EntropyPool.networkLibrary == nullptr)
    EntropyPool.networkLibrary = LoadLibraryW(L"NETAPI32.DLL");
  if (EntropyPool.networkLibrary == nullptr) return;
  auto get = reinterpret_cast<StatisticsGet>(
      reinterpret_cast<void*>(GetProcAddress(EntropyPool.networkLibrary, "NetStatisticsGet")));
  auto size = reinterpret_cast<BufferSize>(
      reinterpret_cast<void*>(GetProcAddress(EntropyPool.networkLibrary, "NetApiBufferSize")));
  auto release = reinterpret_cast<BufferFree>(
      reinterpret_cast<void*>(GetProcAddress(EntropyPool.networkLibrary, "NetApiBufferFree")));
  if (get == nullptr || size == nullptr || release == nullptr) {
    FreeLibrary(EntropyPool.networkLibrary);
    EntropyPool.networkLibrary = nullptr;
    return;
  }
  WCHAR workstation[] = L"LanmanWorkstation";
  WCHAR server[] = L"LanmanServer";
  LPBYTE buffer = nullptr;
  if (get(nullptr, EntropyPool.productType == 0 ? server : workstation, 0, 0, &buffer) == 0 &&
      buffer != nullptr) {
    DWORD length = 0;
    if (size(buffer, &length) == 0) RandomPoolAddBytes(static_cast<int>(length), buffer);
    release(buffer);
  }
}

void DetermineProductType() {
  if (EntropyPool.productType != -1) return;
  UniqueRegKey key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\ProductOptions", 0,
                    KEY_READ, key.put()) != ERROR_SUCCESS)
    return;
  WCHAR type[64] = {};
  DWORD size = sizeof(type) - sizeof(WCHAR);
  EntropyPool.productType = 1;
  if (RegQueryValueExW(key.get(), L"ProductType", nullptr, nullptr, reinterpret_cast<LPBYTE>(type),
                       &size) == ERROR_SUCCESS &&
      _wcsicmp(type, L"WinNT") != 0)
    EntropyPool.productType = 0;
}

void AddDiskStatistics() {
  for (int n = 0;; ++n) {
    WCHAR name[24];
    swprintf(name, 24, L"\\\\.\\PhysicalDrive%d", n);
    const UniqueFile drive(CreateFileW(name, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                       OPEN_EXISTING, 0, nullptr));
    if (!drive.valid()) return;
    uint8_t performance[88];
    DWORD returned = 0;
    if (DeviceIoControl(drive.get(), IOCTL_DISK_PERFORMANCE, nullptr, 0, performance, sizeof(performance),
                        &returned, nullptr))
      RandomPoolAddBytes(static_cast<int>(returned), performance);
  }
}

// The data grow the buffer up to the cap; beyond it the source is skipped.
void AddPerformanceData() {
  for (;;) {
    uint8_t* buffer =
        static_cast<uint8_t*>(HeapAlloc(GetProcessHeap(), 0, EntropyPool.perfDataSize));
    if (buffer == nullptr) return;
    DWORD size = EntropyPool.perfDataSize;
    const LSTATUS status = RandomPoolSystemCalls().regQueryValueEx(HKEY_PERFORMANCE_DATA, L"Global",
                                                                   nullptr, nullptr, buffer, &size);
    if (status == ERROR_MORE_DATA && EntropyPool.perfDataSize < kPerfDataCap) {
      HeapFree(GetProcessHeap(), 0, buffer);
      EntropyPool.perfDataSize += kPerfDataGrowth;
      continue;
    }
    if (status == ERROR_SUCCESS) {
      RegCloseKey(HKEY_PERFORMANCE_DATA);
      if (size >= 8 && memcmp(buffer, L"PERF", 8) == 0)
        RandomPoolAddBytes(static_cast<int>(size), buffer);
    }
    HeapFree(GetProcessHeap(), 0, buffer);
    return;
  }
}

}  // namespace

RandomPoolSystem& RandomPoolSystemCalls() {
  static RandomPoolSystem calls = {SetWindowsHookExW, CreateThread, SystemRandom, RegQueryValueExW};
  return calls;
}

void RandomPoolAddInt(uint32_t value) {
  PoolAddInt(&EntropyPool.state, value);
}

void RandomPoolAddBytes(int length, const void* bytes) {
  PoolAddBytes(&EntropyPool.state, bytes, length);
}

void RandomPoolMix() {
  PoolMix(&EntropyPool.state);
}

void FastPoll() {
  AddPointer(GetActiveWindow());
  AddPointer(GetCapture());
  AddPointer(GetClipboardOwner());
  AddPointer(GetClipboardViewer());
  AddPointer(GetCurrentProcess());
  RandomPoolAddInt(GetCurrentProcessId());
  AddPointer(GetCurrentThread());
  RandomPoolAddInt(GetCurrentThreadId());
  RandomPoolAddInt(GetTickCount());
  AddPointer(GetDesktopWindow());
  AddPointer(GetFocus());
  RandomPoolAddInt(static_cast<uint32_t>(GetInputState()));
  RandomPoolAddInt(GetMessagePos());
  RandomPoolAddInt(static_cast<uint32_t>(GetMessageTime()));
  AddPointer(GetOpenClipboardWindow());
  AddPointer(GetProcessHeap());
  AddPointer(GetProcessWindowStation());
  RandomPoolAddInt(GetQueueStatus(QS_ALLEVENTS));

  POINT point = {};
  GetCaretPos(&point);
  RandomPoolAddBytes(sizeof(point), &point);
  GetCursorPos(&point);
  RandomPoolAddBytes(sizeof(point), &point);

  MEMORYSTATUS memory = {};
  memory.dwLength = sizeof(memory);
  GlobalMemoryStatus(&memory);
  RandomPoolAddBytes(sizeof(memory), &memory);

  FILETIME times[4] = {};
  GetThreadTimes(GetCurrentThread(), &times[0], &times[1], &times[2], &times[3]);
  AddFileTimes(times);
  GetProcessTimes(GetCurrentProcess(), &times[0], &times[1], &times[2], &times[3]);
  AddFileTimes(times);

  SIZE_T minimum = 0;
  SIZE_T maximum = 0;
  GetProcessWorkingSetSize(GetCurrentProcess(), &minimum, &maximum);
  RandomPoolAddInt(static_cast<uint32_t>(minimum));
  RandomPoolAddInt(static_cast<uint32_t>(maximum));

  if (!EntropyPool.startupInfoAdded) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    GetStartupInfoW(&startup);
    RandomPoolAddBytes(sizeof(startup), &startup);
    EntropyPool.startupInfoAdded = true;
  }

  LARGE_INTEGER counter;
  if (QueryPerformanceCounter(&counter))
    RandomPoolAddBytes(sizeof(counter), &counter);
  else
    RandomPoolAddInt(GetTickCount());
}

void SlowPoll() {
  DetermineProductType();
  AddNetworkStatistics();
  AddDiskStatistics();
  AddPerformanceData();
}

LRESULT CALLBACK RandomPoolMouseHook(int code, WPARAM wParam, LPARAM lParam) {
  if (code < 0) return CallNextHookEx(nullptr, code, wParam, lParam);
  const uint32_t tick = GetTickCount();
  uint8_t event[20];
  memcpy(event, reinterpret_cast<const void*>(lParam), sizeof(event));
  uint32_t timing = 0;
  uint32_t crc = 0;
  if (MouseEventCounts(&EntropyPool.mouse, event, tick, &timing, &crc)) {
    EnterCriticalSection(&EntropyPool.lock);
    RandomPoolAddInt(timing);
    RandomPoolAddInt(crc);
    LeaveCriticalSection(&EntropyPool.lock);
  }
  return 0;
}

LRESULT CALLBACK RandomPoolKeyboardHook(int code, WPARAM wParam, LPARAM lParam) {
  if (code < 0) return CallNextHookEx(nullptr, code, wParam, lParam);
  const uint32_t flags = static_cast<uint32_t>(lParam);
  uint32_t timing = 0;
  if (KeyReleaseCounts(&EntropyPool.keyboard, flags, GetTickCount(), &timing)) {
    EnterCriticalSection(&EntropyPool.lock);
    RandomPoolAddInt(flags);
    RandomPoolAddInt(timing);
    LeaveCriticalSection(&EntropyPool.lock);
  }
  return 0;
}

int RandomPoolStart() {
  InitializeCriticalSection(&EntropyPool.lock);
  EntropyPool.started = true;
  EntropyPool.buffer =
      static_cast<uint8_t*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, kRandomPoolBufferSize));
  if (EntropyPool.buffer != nullptr) {
    EntropyPool.state = {EntropyPool.buffer, 0};
    RandomPoolSystem& calls = RandomPoolSystemCalls();
    const DWORD thread = GetCurrentThreadId();
    EntropyPool.mouseHook = calls.setWindowsHookEx(WH_MOUSE, RandomPoolMouseHook, nullptr, thread);
    if (EntropyPool.mouseHook != nullptr)
      EntropyPool.keyboardHook =
          calls.setWindowsHookEx(WH_KEYBOARD, RandomPoolKeyboardHook, nullptr, thread);
    if (EntropyPool.mouseHook != nullptr && EntropyPool.keyboardHook != nullptr) {
      EntropyPool.thread = calls.createThread(nullptr, 0, PollingThread, nullptr, 0, nullptr);
      if (EntropyPool.thread != nullptr) return 1;
    }
  }
  RandomPoolStop();
  return 0;
}

void RandomPoolStop() {
  if (!EntropyPool.started) return;
  if (EntropyPool.mouseHook != nullptr) UnhookWindowsHookEx(EntropyPool.mouseHook);
  if (EntropyPool.keyboardHook != nullptr) UnhookWindowsHookEx(EntropyPool.keyboardHook);
  EntropyPool.mouseHook = nullptr;
  EntropyPool.keyboardHook = nullptr;
  if (EntropyPool.buffer != nullptr) {
    memset(EntropyPool.buffer, 0xFF, kRandomPoolBufferSize);
    SecureWipe(EntropyPool.buffer, kRandomPoolBufferSize);
    HeapFree(GetProcessHeap(), 0, EntropyPool.buffer);
    EntropyPool.buffer = nullptr;
  }
  EntropyPool.state = {nullptr, 0};
  DeleteCriticalSection(&EntropyPool.lock);
  EntropyPool.started = false;
}

int RandomPoolGetBytes(uint8_t* destination, size_t length) {
  if (!EntropyPool.started || EntropyPool.buffer == nullptr || length == 0 ||
      length > kRandomPoolMaxRequest)
    return -1;
  EnterCriticalSection(&EntropyPool.lock);
  FastPoll();
  if (!EntropyPool.slowPollDone) {
    EntropyPool.slowPollDone = true;
    SlowPoll();
  }
  // The other sources cannot tell whether they delivered anything; the
  // system's service can, and without it no bytes leave the pool.
  uint8_t system[kSystemRandomBytes];
  int result = -1;
  if (RandomPoolSystemCalls().systemRandom(system, sizeof(system))) {
    PoolStir(&EntropyPool.state, system, sizeof(system));
    result = PoolExtract(&EntropyPool.state, destination, length) ? 1 : -1;
  }
  SecureWipe(system, sizeof(system));
  LeaveCriticalSection(&EntropyPool.lock);
  return result;
}
