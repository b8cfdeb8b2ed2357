// Wiping of secrets (passwords, answers, key material, keys, key schedules).
// Usable from the driver: no standard library beyond memset.
#pragma once

#include <stddef.h>
#include <string.h>

// Overwrites `length` bytes at `data` with zeros. The empty asm statement
// takes the pointer and clobbers memory, so the compiler must assume the
// zeros are read afterwards and cannot drop the memset as a dead store.
inline void SecureWipe(void* data, size_t length) {
  if (data == nullptr || length == 0) return;
  memset(data, 0, length);
  __asm__ __volatile__("" : : "r"(data) : "memory");
}

template <typename T>
inline void SecureWipeObject(T& object) {
  SecureWipe(&object, sizeof(object));
}

// A fixed-size secret that wipes itself when it goes out of scope.
template <typename T>
class Wiped {
 public:
  Wiped() { memset(&value_, 0, sizeof(value_)); }
  ~Wiped() { SecureWipeObject(value_); }
  Wiped(const Wiped&) = delete;
  Wiped& operator=(const Wiped&) = delete;

  T& get() { return value_; }
  const T& get() const { return value_; }
  T* operator->() { return &value_; }

 private:
  T value_;
};
