// AES block cipher (FIPS-197), table-driven with four round tables per
// direction. The driver uses 256-bit keys only; 128 and 192 are kept for the
// standard's vectors.
//
// Table lookups depend on key and data: this implementation is not
// constant-time. Freestanding: no heap, no exceptions, no standard library.
#pragma once

#include <stdint.h>

struct AesKeySchedule {
  uint32_t EncryptRoundKeys[64];  // Nr+1 round keys of 4 words, first byte most significant
  uint32_t DecryptRoundKeys[64];  // equivalent inverse cipher (FIPS-197 5.3.5)
  uint32_t Rounds;                // 10, 12 or 14
};

enum AesSetKeyResult : uint32_t {
  kAesOk = 0,
  kAesBadKeyLength = 3,
  kAesBadRounds = 4,
};

constexpr uint32_t kAesBlockSize = 16;

// keyLength is in bytes (16, 24 or 32); requestedRounds is 0 for the standard
// count or must equal it. On a non-zero result nothing is written.
uint32_t AesSetKey(const uint8_t* key, uint32_t keyLength, uint32_t requestedRounds,
                   AesKeySchedule* schedule);

// One block; input and output may be the same buffer.
void AesEncryptBlock(const uint8_t input[16], uint8_t output[16], const AesKeySchedule* schedule);
void AesDecryptBlock(const uint8_t input[16], uint8_t output[16], const AesKeySchedule* schedule);

// Decrypts two independent blocks in place; the same result as two calls of
// AesDecryptBlock, faster because their lookups overlap (CBC decryption).
void AesDecryptTwoBlocks(uint8_t first[16], uint8_t second[16], const AesKeySchedule* schedule);
