// Message builders shared by the crypto tests (hex lives in tests/support).
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "hex.h"

inline std::vector<uint8_t> Bytes(const std::string& text) {
  return std::vector<uint8_t>(text.begin(), text.end());
}

// 0, 1, 2, ... wrapping at 256: exercises every buffer boundary.
inline std::vector<uint8_t> CountingBytes(size_t length) {
  std::vector<uint8_t> bytes(length);
  for (size_t i = 0; i < length; ++i) bytes[i] = static_cast<uint8_t>(i);
  return bytes;
}
