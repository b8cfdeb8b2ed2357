// AES-256 (FIPS-197) in constant time: bitsliced, the S-box computed as a
// Boolean circuit. No table is indexed and no branch is taken on key or data,
// so the cache and the branch predictor learn nothing of either. Blocks are
// processed in batches of kAesCtBatchBlocks; shorter runs cost a whole batch.
// Freestanding: no heap, no exceptions, no standard library.
#pragma once

#include <stddef.h>
#include <stdint.h>

// Four blocks per 64-bit word; on x86-64 eight, two words side by side in
// an SSE2 register (which the x64 kernel lets any code use).
#if defined(__x86_64__) && !defined(CRYPTDSK_AES_CT_NO_SSE2)
constexpr size_t kAesCtBatchBlocks = 8;
#else
constexpr size_t kAesCtBatchBlocks = 4;
#endif

// The round keys in the cipher's bit-plane form. Key material: wipe it with
// SecureWipeObject when done.
struct AesCtSchedule {
  alignas(16) uint64_t RoundKeys[15][8][kAesCtBatchBlocks / 4];
};

void AesCtSetKey(const uint8_t key[32], AesCtSchedule* schedule);

// ECB over `blocks` 16-byte blocks; `in` and `out` may be the same buffer.
void AesCtEncryptBlocks(const AesCtSchedule* schedule, const uint8_t* in, uint8_t* out,
                        size_t blocks);
void AesCtDecryptBlocks(const AesCtSchedule* schedule, const uint8_t* in, uint8_t* out,
                        size_t blocks);
