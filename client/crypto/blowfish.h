// Blowfish, 16 rounds, with a fixed 32-byte key; electronic codebook only.
// Encrypts the fields of the user key file and the password recovery file.
//
// Byte order: bytes 0..3 of a block are the left half and bytes 4..7 the
// right half, each a LITTLE-endian word. The usual test vectors read halves
// big-endian, so they match here only with each 4-byte half reversed. This
// order decides whether existing files can be read: never change it.
//
// S-box lookups depend on key and data: not constant-time.
// Freestanding: no heap, no exceptions, no standard library.
#pragma once

#include <stddef.h>
#include <stdint.h>

constexpr size_t kBlowfishKeySize = 32;
constexpr size_t kBlowfishBlockSize = 8;

// Holds a key schedule: wipe it (SecureWipeObject) when done.
struct BlowfishContext {
  uint32_t P[18];
  uint32_t S[4][256];
};
static_assert(sizeof(BlowfishContext) == 1042 * 4, "18 P words then four 256-word S-boxes");

void BlowfishKeySetup(const uint8_t key[32], BlowfishContext* context);

// One block in place.
void BlowfishEncryptBlock(const BlowfishContext* context, uint8_t block[8]);
void BlowfishDecryptBlock(const BlowfishContext* context, uint8_t block[8]);

// Every 8-byte block of a field in place, each on its own (no IV, no
// chaining). Returns false, touching nothing, if length is not a multiple of 8.
bool BlowfishEncryptEcb(const BlowfishContext* context, uint8_t* data, size_t length);
bool BlowfishDecryptEcb(const BlowfishContext* context, uint8_t* data, size_t length);
