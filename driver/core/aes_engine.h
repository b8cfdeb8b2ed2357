// AES-256 block encryption on the engine the processor allows: its AES
// instructions when present, else the constant-time software AES. For modes
// that chain blocks themselves (the first generation's CBC head); XTS keeps
// its own pair of schedules. On x86 kernels, see aes_ni.h for what the
// caller saves around the AES-instruction engine, keying included.
// Freestanding: no heap, no exceptions, no standard library.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "aes_ct.h"
#include "aes_ni.h"
#include "xts.h"

constexpr size_t kAesEngineKeySize = 32;

// Key material: AesEngineWipe it when done.
struct AesEngine {
  uint32_t Engine;  // kXtsEngineSoftware or kXtsEngineAesNi once keyed
  union {
    AesNiSchedule Ni;
    AesCtSchedule Software;
  } Keys;
};

// Keys the engine from a 32-byte key, on the engine chosen as XtsSetKey
// chooses. 1 keyed; -1 the AES instructions were asked for and the processor
// lacks them (nothing written).
int AesEngineSetKey(AesEngine* engine, const uint8_t key[kAesEngineKeySize], XtsEngine choice);

void AesEngineWipe(AesEngine* engine);

// ECB over `blocks` 16-byte blocks; `in` and `out` may be the same buffer.
void AesEngineEncryptBlocks(const AesEngine* engine, const uint8_t* in, uint8_t* out,
                            size_t blocks);
void AesEngineDecryptBlocks(const AesEngine* engine, const uint8_t* in, uint8_t* out,
                            size_t blocks);
