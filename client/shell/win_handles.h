// Move-only owners for the OS objects the client holds: each closes its
// object exactly once, in its destructor.
#pragma once

#include <windows.h>

#include "account_state.h"

template <typename Traits>
class UniqueObject {
 public:
  using Value = typename Traits::Value;
  UniqueObject() = default;
  explicit UniqueObject(Value value) : value_(value) {}
  ~UniqueObject() { reset(); }
  UniqueObject(const UniqueObject&) = delete;
  UniqueObject& operator=(const UniqueObject&) = delete;
  UniqueObject(UniqueObject&& other) noexcept : value_(other.release()) {}
  UniqueObject& operator=(UniqueObject&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }

  Value get() const { return value_; }
  bool valid() const { return value_ != Traits::Invalid(); }
  Value release() {
    Value value = value_;
    value_ = Traits::Invalid();
    return value;
  }
  void reset(Value value = Traits::Invalid()) {
    if (valid()) Traits::Close(value_);
    value_ = value;
  }

 private:
  Value value_ = Traits::Invalid();
};

struct KernelHandleTraits {
  using Value = HANDLE;
  static Value Invalid() { return nullptr; }
  static void Close(Value value) { CloseHandle(value); }
};

// CreateFileW reports failure as INVALID_HANDLE_VALUE, not null.
struct FileHandleTraits {
  using Value = HANDLE;
  static Value Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(Value value) { CloseHandle(value); }
};

struct FindHandleTraits {
  using Value = HANDLE;
  static Value Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(Value value) { FindClose(value); }
};

struct RegKeyTraits {
  using Value = HKEY;
  static Value Invalid() { return nullptr; }
  static void Close(Value value) { RegCloseKey(value); }
};

struct MenuTraits {
  using Value = HMENU;
  static Value Invalid() { return nullptr; }
  static void Close(Value value) { DestroyMenu(value); }
};

struct IconTraits {
  using Value = HICON;
  static Value Invalid() { return nullptr; }
  static void Close(Value value) { DestroyIcon(value); }
};

struct LocalMemoryTraits {
  using Value = HLOCAL;
  static Value Invalid() { return nullptr; }
  static void Close(Value value) { LocalFree(value); }
};

using UniqueHandle = UniqueObject<KernelHandleTraits>;
using UniqueFile = UniqueObject<FileHandleTraits>;
using UniqueFind = UniqueObject<FindHandleTraits>;
using UniqueRegKey = UniqueObject<RegKeyTraits>;
using UniqueMenu = UniqueObject<MenuTraits>;
using UniqueIcon = UniqueObject<IconTraits>;
using UniqueLocal = UniqueObject<LocalMemoryTraits>;

// A COM interface pointer that releases its reference.
template <typename Interface>
class ComPtr {
 public:
  ComPtr() = default;
  ~ComPtr() { reset(); }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ComPtr(ComPtr&& other) noexcept : pointer_(other.pointer_) { other.pointer_ = nullptr; }

  Interface* get() const { return pointer_; }
  Interface* operator->() const { return pointer_; }
  void** put() {
    reset();
    return reinterpret_cast<void**>(&pointer_);
  }
  void reset() {
    if (pointer_ != nullptr) pointer_->Release();
    pointer_ = nullptr;
  }

 private:
  Interface* pointer_ = nullptr;
};

// Wide views of the portable char16_t texts (wchar_t is 16 bits on Windows);
// the const views come with the account state.
inline wchar_t* AsWide(char16_t* text) {
  return reinterpret_cast<wchar_t*>(text);
}
