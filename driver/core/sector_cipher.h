// The container's sector cipher: each 512-byte sector is its own AES-CBC
// chain whose IV is the sector number as a 128-bit little-endian integer.
// Runs on the engine the AesEngine was keyed for; on x86 kernels, see
// aes_ni.h for what the caller saves around the AES-instruction engine.
// Freestanding.
#pragma once

#include <stdint.h>

#include "aes_engine.h"

constexpr uint32_t kSectorSize = 512;

// Four little-endian words, w0 least significant. As an IV block: the words
// in order, each stored little-endian.
struct SectorIv {
  uint32_t Words[4];
};

inline void SetSectorIv(SectorIv* iv, uint64_t sector) {
  iv->Words[0] = static_cast<uint32_t>(sector);
  iv->Words[1] = static_cast<uint32_t>(sector >> 32);
  iv->Words[2] = 0;
  iv->Words[3] = 0;
}

// Transform `length` bytes in place: whole 16-byte blocks only, a shorter
// tail is left as it is. A new chain starts at every 512-byte boundary of the
// buffer, taking the current IV and then advancing it by one.
void EncryptChunk(uint8_t* buffer, uint32_t length, SectorIv* iv, const AesEngine* engine);
void DecryptChunk(uint8_t* buffer, uint32_t length, SectorIv* iv, const AesEngine* engine);
