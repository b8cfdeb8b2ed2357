// BLAKE2b (RFC 7693): digests of 1 to 64 bytes, optionally keyed with up to
// 64 bytes. Argon2id's hash. Freestanding: no heap, no exceptions, no
// standard library.
#pragma once

#include <stddef.h>
#include <stdint.h>

constexpr size_t kBlake2bBlockSize = 128;
constexpr size_t kBlake2bMaxDigestSize = 64;
constexpr size_t kBlake2bMaxKeySize = 64;

struct Blake2bContext {
  uint64_t State[8];
  uint64_t Counter[2];     // bytes compressed so far: low word, high word
  uint8_t Buffer[128];     // input not yet compressed: the last block waits here
  uint32_t BufferedBytes;  // 0..128
  uint32_t DigestSize;
};

// Results: 1; -1 when digestSize is not 1..64 or keySize is above 64
// (nothing written).
int Blake2bInit(Blake2bContext* context, size_t digestSize, const uint8_t* key, size_t keySize);
void Blake2bUpdate(Blake2bContext* context, const uint8_t* data, size_t length);

// Writes DigestSize bytes, then wipes the whole context.
void Blake2bFinal(Blake2bContext* context, uint8_t* digest);
