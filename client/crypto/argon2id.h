// Argon2id (RFC 9106), version 0x13: the memory-hard password hash. Lanes
// are computed one after the other on the calling thread; the result is the
// same as with one thread per lane. The caller supplies the memory, sized by
// Argon2idMemorySize, and so reports its own failure to get it; the memory
// is wiped before Argon2id returns. Freestanding: no heap, no exceptions,
// no standard library.
#pragma once

#include <stddef.h>
#include <stdint.h>

struct Argon2idParameters {
  uint32_t Passes;     // t: 1 or more
  uint32_t MemoryKiB;  // m: at least 8 per lane (rounded down to 4 per lane)
  uint32_t Lanes;      // p: 1 to 2^24 - 1
};

struct Argon2idInputs {
  const uint8_t* Password;
  size_t PasswordSize;
  const uint8_t* Salt;  // 8 bytes or more
  size_t SaltSize;
  const uint8_t* Secret;  // optional: nullptr and 0
  size_t SecretSize;
  const uint8_t* AssociatedData;  // optional: nullptr and 0
  size_t AssociatedDataSize;
};

// Bytes of working memory the parameters take; 0 when they are out of range
// or the size does not fit a size_t.
size_t Argon2idMemorySize(const Argon2idParameters& parameters);

// Writes a tag of tagSize bytes (4 or more). `memory` is 8-byte aligned and
// holds at least Argon2idMemorySize bytes. Results: 1 done; -1 parameters,
// sizes or memory refused (nothing written, memory untouched).
int Argon2id(const Argon2idParameters& parameters, const Argon2idInputs& inputs, void* memory,
             size_t memorySize, uint8_t* tag, size_t tagSize);
