// The SHA-1 compression function alone (FIPS 180-1), used as the mixing step
// of the entropy pool. No padding, no length, no digest: the caller's bytes
// are the state. Freestanding: no heap, no exceptions, no standard library.
#pragma once

#include <stdint.h>

constexpr unsigned kSha1StateSize = 20;
constexpr unsigned kSha1BlockSize = 64;

// Applies one compression in place. `state` holds H0..H4 as five
// little-endian words (they are pool bytes, not a digest); `block` is read as
// sixteen big-endian words. Each Hk becomes Hk + result word, modulo 2^32.
void Sha1Compress(uint8_t state[20], const uint8_t block[64]);
