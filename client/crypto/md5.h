// MD5 message digest (RFC 1321). Used only by HmacMd5 in the password key
// derivation. Freestanding: no heap, no exceptions, no standard library.
#pragma once

#include <stddef.h>
#include <stdint.h>

constexpr size_t kMd5DigestSize = 16;
constexpr size_t kMd5BlockSize = 64;

struct Md5Context {
  uint32_t State[4];     // chaining words A, B, C, D
  uint32_t BitCount[2];  // message length in bits: low word, high word
  uint8_t Buffer[64];    // input not yet compressed; BitCount tells how much
};

void Md5Init(Md5Context* context);
void Md5Update(Md5Context* context, const uint8_t* data, size_t length);

// Writes the digest and wipes the context, which may hold key-derived pads.
// The context must be initialised again before reuse.
void Md5Final(Md5Context* context, uint8_t digest[16]);
