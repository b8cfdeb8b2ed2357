// Constant tables of the table-driven AES, computed by the compiler from the
// field arithmetic of FIPS-197 (no run-time initialisation).
#pragma once

#include <stdint.h>

struct AesTables {
  uint32_t Encrypt[4][256];   // S-box times MixColumns column (02 01 01 03), four rotations
  uint32_t EncryptLast[256];  // S-box replicated into all four bytes
  uint32_t Decrypt[4][256];   // inverse S-box times (0E 09 0D 0B), four rotations
  uint32_t DecryptLast[256];  // inverse S-box replicated into all four bytes
  uint8_t Sbox[256];
  uint32_t RoundConstants[10];  // in the most significant byte
};

extern const AesTables kAesTables;
