// HMAC-MD5 (RFC 2104 over RFC 1321): block size 64, pads 0x36 and 0x5C.
// Freestanding: no heap, no exceptions, no standard library.
#pragma once

#include <stddef.h>
#include <stdint.h>

constexpr size_t kHmacMd5MaxKeySize = 64;

// Keys longer than 64 bytes are refused, not hashed down: returns false and
// leaves `out` untouched. The key derivation passes 24- and 16-byte keys.
// The pads are wiped before returning. `out` may alias key or message.
bool HmacMd5(const uint8_t* key, size_t keyLength, const uint8_t* message, size_t messageLength,
             uint8_t out[16]);
