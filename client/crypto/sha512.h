// SHA-512 (FIPS 180-2). Its one user is DiskKeyFromKeyMaterial.
// Freestanding: no heap, no exceptions, no standard library.
#pragma once

#include <stddef.h>
#include <stdint.h>

constexpr size_t kSha512DigestSize = 64;
constexpr size_t kSha512BlockSize = 128;

struct Sha512Context {
  uint8_t Buffer[128];     // input not yet compressed
  uint64_t State[8];       // chaining words H0..H7
  uint64_t BlockCount[2];  // 128-byte blocks compressed: low word, high word
  uint32_t BufferedBytes;  // 0..127 bytes waiting in Buffer
};

void Sha512Init(Sha512Context* context);
void Sha512Update(Sha512Context* context, const uint8_t* data, size_t length);

// Writes the digest, then wipes the whole context (chaining words, counters
// and buffer). The context must be initialised again before reuse.
void Sha512Final(Sha512Context* context, uint8_t digest[64]);
