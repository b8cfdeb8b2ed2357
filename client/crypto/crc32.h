// CRC-32 over the reflected IEEE 802.3 polynomial 0xEDB88320, as the entropy
// hooks use it: the register starts at 0 and is never inverted. That is NOT
// the usual whole-buffer checksum (start 0xFFFFFFFF, invert at the end).
// Freestanding: no heap, no exceptions, no standard library.
#pragma once

#include <stddef.h>
#include <stdint.h>

extern const uint32_t kCrc32Table[256];

// Feeds one byte; cheap enough to call from a mouse or keyboard hook.
inline uint32_t Crc32Update(uint32_t crc, uint8_t byte) {
  return (crc >> 8) ^ kCrc32Table[(crc ^ byte) & 0xFF];
}

uint32_t Crc32UpdateBuffer(uint32_t crc, const uint8_t* data, size_t length);
