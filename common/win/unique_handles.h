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

// Traits of an object that one call releases. Absent is null, or
// INVALID_HANDLE_VALUE where the creating call reports failure that way
// (CreateFile, FindFirstFile).
template <typename H, auto CloseFunction, bool kAbsentIsMinusOne = false>
struct ClosedBy {
  using Handle = H;
  static Handle Invalid() {
    return kAbsentIsMinusOne ? reinterpret_cast<Handle>(static_cast<LONG_PTR>(-1)) : nullptr;
  }
  static void Close(Handle h) { CloseFunction(h); }
};

using KernelHandleTraits = ClosedBy<HANDLE, &CloseHandle>;  // mutexes, events, threads, tokens
using FileHandleTraits = ClosedBy<HANDLE, &CloseHandle, true>;
using FindHandleTraits = ClosedBy<HANDLE, &FindClose, true>;
using RegistryKeyTraits = ClosedBy<HKEY, &RegCloseKey>;
using MenuTraits = ClosedBy<HMENU, &DestroyMenu>;
using IconTraits = ClosedBy<HICON, &DestroyIcon>;
using GdiObjectTraits = ClosedBy<HGDIOBJ, &DeleteObject>;
using LocalMemoryTraits = ClosedBy<HLOCAL, &LocalFree>;  // FormatMessage's allocated text
using ServiceHandleTraits = ClosedBy<SC_HANDLE, &CloseServiceHandle>;

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
using UniqueServiceHandle = UniqueWinHandle<ServiceHandleTraits>;
template <typename Interface>
using ComPtr = UniqueWinHandle<ComInterfaceTraits<Interface>>;
