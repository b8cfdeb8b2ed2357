// AES-256 with the processor's AES instructions, and the XTS loop that keeps
// eight blocks in flight (here rather than in xts.cpp so that tweaks never
// leave the registers and their arithmetic overlaps the rounds). Call nothing but AesNiAvailable
// unless it returned true. The instructions are enabled per function, so this builds with the
// driver's flags for x86 and x64; elsewhere AesNiAvailable is false.
//
// Only legacy SSE encodings are used (no AVX), touching XMM registers but
// never the upper halves of YMM. In the kernel: on x64 nothing needs saving
// (the XMM registers these functions use are volatile or saved by their own
// prologues); on x86 the caller brackets every call with
// KeSaveFloatingPointState / KeRestoreFloatingPointState, at IRQL <=
// DISPATCH_LEVEL, and takes the software path if the save fails.
// Freestanding: no heap, no exceptions, no standard library.
#pragma once

#include <stddef.h>
#include <stdint.h>

// Round keys as the instructions take them. Key material: wipe it with
// SecureWipeObject when done. Any alignment will do.
struct AesNiSchedule {
  uint8_t Encrypt[15][16];
  uint8_t Decrypt[15][16];  // equivalent inverse cipher
};

// CPUID says the AES instructions and SSE2 are present.
bool AesNiAvailable();

void AesNiSetKey(const uint8_t key[32], AesNiSchedule* schedule);

// ECB over `blocks` 16-byte blocks; `in` and `out` may be the same buffer.
void AesNiEncryptBlocks(const AesNiSchedule* schedule, const uint8_t* in, uint8_t* out,
                        size_t blocks);
void AesNiDecryptBlocks(const AesNiSchedule* schedule, const uint8_t* in, uint8_t* out,
                        size_t blocks);

// XTS over `units` consecutive data units of `blocksPerUnit` blocks, the
// first numbered `firstUnit`: each unit's tweak is its number as a 128-bit
// little-endian block encrypted with `tweak`, its blocks are encrypted (or
// decrypted) with `data`. `in` and `out` are the same buffer or do not
// overlap.
void AesNiXtsEncrypt(const AesNiSchedule* data, const AesNiSchedule* tweak, uint64_t firstUnit,
                     const uint8_t* in, uint8_t* out, size_t units, size_t blocksPerUnit);
void AesNiXtsDecrypt(const AesNiSchedule* data, const AesNiSchedule* tweak, uint64_t firstUnit,
                     const uint8_t* in, uint8_t* out, size_t units, size_t blocksPerUnit);
