// AES-256-XTS (IEEE 1619, NIST SP 800-38E) over 512-byte sectors: the data
// unit is one sector, its tweak the sector number as a 128-bit little-endian
// integer, so every sector is a whole number of blocks and no ciphertext is
// stolen. Runs on the AES instructions when the processor has them, else on
// the constant-time software AES. On x86 kernels, see aes_ni.h for what the
// caller saves around the AES-instruction engine.
// Freestanding: no heap, no exceptions, no standard library.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "aes_ct.h"
#include "aes_ni.h"

constexpr size_t kXtsSectorSize = 512;
constexpr size_t kXtsKeySize = 64;  // the data key, then the tweak key

enum XtsEngine : uint32_t {
  kXtsEngineBest = 0,      // the AES instructions if present, else software
  kXtsEngineSoftware = 1,  // the constant-time software AES
  kXtsEngineAesNi = 2,     // the AES instructions
};

// Key material: XtsWipe it when done.
struct XtsContext {
  uint32_t Engine;  // kXtsEngineSoftware or kXtsEngineAesNi once keyed
  union {
    struct {
      AesNiSchedule Data;
      AesNiSchedule Tweak;
    } AesNi;
    struct {
      AesCtSchedule Data;
      AesCtSchedule Tweak;
    } Software;
  } Keys;
};

// Keys the context from the 64-byte XTS key. Results: 1 keyed; -1 the AES
// instructions were asked for and the processor lacks them (nothing written).
// The engine a request runs on: Best becomes the AES instructions when the
// processor has them, else the software AES. false when the AES
// instructions were asked for and the processor lacks them.
bool ResolveXtsEngine(XtsEngine requested, XtsEngine* engine);

int XtsSetKey(XtsContext* context, const uint8_t key[kXtsKeySize], XtsEngine engine);

void XtsWipe(XtsContext* context);

// `sectors` whole sectors, the first numbered `firstSector`. `in` and `out`
// are the same buffer (in place) or do not overlap.
void XtsEncryptSectors(const XtsContext* context, uint64_t firstSector, const uint8_t* in,
                       uint8_t* out, size_t sectors);
void XtsDecryptSectors(const XtsContext* context, uint64_t firstSector, const uint8_t* in,
                       uint8_t* out, size_t sectors);
