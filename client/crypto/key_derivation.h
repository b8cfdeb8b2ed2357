// Password-based key derivation for the user key file and the recovery file.
//
// PBKDF2-shaped over HMAC-MD5 (16-byte blocks Ti, 1000 iterations, XOR of all
// iterations), but with HMAC key and message EXCHANGED: the key is
// salt || BE32(i) and then the previous iteration's 16 bytes; the message is
// always the password. Standard PBKDF2-HMAC-MD5 gives other bytes and cannot
// open existing files.
//
// Passwords and answers arrive as the UTF-16LE code units of a wide string
// without terminator: 'A' is 41 00. Length 0 is valid; 520 bytes (260 units)
// are hashed whole. Freestanding: no heap, no exceptions, no standard library.
#pragma once

#include <stddef.h>
#include <stdint.h>

constexpr size_t kKdfSaltSize = 20;
constexpr size_t kKdfBlockSize = 16;
constexpr uint32_t kKdfBlockCount = 16;
constexpr uint32_t kKdfIterations = 1000;
constexpr size_t kDerivedKeySize = kKdfBlockSize * kKdfBlockCount;  // 256
constexpr size_t kUsedKeySize = 32;  // every consumer keys Blowfish with these

// T1..T16, block i at offset 16 * (i - 1). Cannot fail. `password` may be
// null when passwordLength is 0.
void DerivePasswordKey(const uint8_t* password, size_t passwordLength,
                       const uint8_t salt[kKdfSaltSize], uint8_t out[kDerivedKeySize]);

// One block Ti; blockNumber is 1-based (1..16 in DerivePasswordKey).
void DeriveKeyBlock(const uint8_t* password, size_t passwordLength,
                    const uint8_t salt[kKdfSaltSize], uint32_t blockNumber,
                    uint8_t out[kKdfBlockSize]);

// The first 32 bytes of DerivePasswordKey (T1 and T2) at an eighth of the cost.
void DeriveUsedKeyBytes(const uint8_t* password, size_t passwordLength,
                        const uint8_t salt[kKdfSaltSize], uint8_t out[kUsedKeySize]);
