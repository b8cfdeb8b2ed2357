// Move-only owners of the Win32 objects the programs hold: each releases its
// object exactly once, in its destructor. One template; the traits say what
// "no object" is and how the object goes.
#pragma once

#include <windows.h>
// windows.h first: the device-installation header builds on it.
#include <setupapi.h>

#include <utility>

template <typename Traits>
class UniqueWinHandle {
 public:
  using Handle = typename Traits::Handle;

  UniqueWinHandle() = default;
  explicit UniqueWinHandle(Handle handle) : handle_(handle) {}
  ~UniqueWinHandle() { reset(); }
  UniqueWinHandle(UniqueWinHandle&& other) noexcept : handle_(other.release()) {}
  UniqueWinHandle& operator=(UniqueWinHandle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  UniqueWinHandle(const UniqueWinHandle&) = delete;
  UniqueWinHandle& operator=(const UniqueWinHandle&) = delete;

  Handle get() const { return handle_; }
  Handle operator->() const { return handle_; }  // COM pointers
  bool valid() const { return handle_ != Traits::Invalid(); }
  Handle release() { return std::exchange(handle_, Traits::Invalid()); }
  void reset(Handle handle = Traits::Invalid()) {
    if (handle_ != Traits::Invalid()) Traits::Close(handle_);
    handle_ = handle;
  }
  // For functions that hand back a new object through a pointer: the old one
  // goes first.
  Handle* put() {
    reset();
    return &handle_;
  }
  void** put_void() { return reinterpret_cast<void**>(put()); }

 private:
  Handle handle_ = Traits::Invalid();
};

// Null when absent: mutexes, events, threads, tokens.
struct KernelHandleTraits {
  using Handle = HANDLE;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { CloseHandle(h); }
};

// CreateFile reports failure as INVALID_HANDLE_VALUE, not null.
struct FileHandleTraits {
  using Handle = HANDLE;
  static Handle Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(Handle h) { CloseHandle(h); }
};

struct FindHandleTraits {
  using Handle = HANDLE;
  static Handle Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(Handle h) { FindClose(h); }
};

struct RegistryKeyTraits {
  using Handle = HKEY;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { RegCloseKey(h); }
};

// Destroying the list keeps the caller's last error: a failure being
// reported is not overwritten by the clean-up.
struct DeviceInfoListTraits {
  using Handle = HDEVINFO;
  static Handle Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(Handle h) {
    const DWORD error = GetLastError();
    SetupDiDestroyDeviceInfoList(h);
    SetLastError(error);
  }
};

struct MenuTraits {
  using Handle = HMENU;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { DestroyMenu(h); }
};

struct IconTraits {
  using Handle = HICON;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { DestroyIcon(h); }
};

struct GdiObjectTraits {
  using Handle = HGDIOBJ;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { DeleteObject(h); }
};

// FormatMessage's FORMAT_MESSAGE_ALLOCATE_BUFFER and similar.
struct LocalMemoryTraits {
  using Handle = HLOCAL;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { LocalFree(h); }
};

template <typename Interface>
struct ComInterfaceTraits {
  using Handle = Interface*;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { h->Release(); }
};

using UniqueHandle = UniqueWinHandle<KernelHandleTraits>;
using UniqueFile = UniqueWinHandle<FileHandleTraits>;
using UniqueFind = UniqueWinHandle<FindHandleTraits>;
using UniqueRegKey = UniqueWinHandle<RegistryKeyTraits>;
using UniqueDeviceInfoList = UniqueWinHandle<DeviceInfoListTraits>;
using UniqueMenu = UniqueWinHandle<MenuTraits>;
using UniqueIcon = UniqueWinHandle<IconTraits>;
using UniqueGdiObject = UniqueWinHandle<GdiObjectTraits>;
using UniqueLocal = UniqueWinHandle<LocalMemoryTraits>;
template <typename Interface>
using ComPtr = UniqueWinHandle<ComInterfaceTraits<Interface>>;
