#include "xts.h"

#include <string.h>

#include "secure_wipe.h"

namespace {

constexpr size_t kBlocksPerSector = kXtsSectorSize / 16;
// Sectors whose tweaks the software engine encrypts in one batch, so a run
// of sectors pays little for them.
constexpr size_t kTweakBatch = kAesCtBatchBlocks;

inline uint64_t LoadLe64(const uint8_t* p) {
  return uint64_t{p[0]} | uint64_t{p[1]} << 8 | uint64_t{p[2]} << 16 | uint64_t{p[3]} << 24 |
         uint64_t{p[4]} << 32 | uint64_t{p[5]} << 40 | uint64_t{p[6]} << 48 | uint64_t{p[7]} << 56;
}

inline void StoreLe64(uint8_t* p, uint64_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
  p[4] = static_cast<uint8_t>(v >> 32);
  p[5] = static_cast<uint8_t>(v >> 40);
  p[6] = static_cast<uint8_t>(v >> 48);
  p[7] = static_cast<uint8_t>(v >> 56);
}

// A tweak as the two little-endian halves of a block. On x86-64 a vector,
// so block and tweak meet in one XOR, with no narrow stores read back wide.
#if defined(__x86_64__) && !defined(CRYPTDSK_AES_CT_NO_SSE2)
typedef uint64_t Tweak __attribute__((vector_size(16)));

inline Tweak MakeTweak(uint64_t low, uint64_t high) {
  return Tweak{low, high};
}

inline void XorTweak(uint8_t* target, const uint8_t* source, Tweak tweak) {
  Tweak block;
  memcpy(&block, source, 16);
  block ^= tweak;
  memcpy(target, &block, 16);
}
#else
struct Tweak {
  uint64_t Low;
  uint64_t High;
};

inline Tweak MakeTweak(uint64_t low, uint64_t high) {
  return Tweak{low, high};
}

inline void XorTweak(uint8_t* target, const uint8_t* source, Tweak tweak) {
  StoreLe64(target, LoadLe64(source) ^ tweak.Low);
  StoreLe64(target + 8, LoadLe64(source + 8) ^ tweak.High);
}
#endif

// One sector on the software engine: batches of blocks, each XORed with its
// tweak before and after the cipher. The tweak advances by multiplication by
// x in GF(2^128), without a branch on its bits.
void SoftwareSector(const AesCtSchedule* schedule, bool encrypt, const uint8_t tweak[16],
                    const uint8_t* in, uint8_t* out) {
  uint64_t low = LoadLe64(tweak);
  uint64_t high = LoadLe64(tweak + 8);
  Tweak tweaks[kAesCtBatchBlocks];
  uint8_t work[kAesCtBatchBlocks][16];
  for (size_t first = 0; first < kBlocksPerSector; first += kAesCtBatchBlocks) {
    for (size_t i = 0; i < kAesCtBatchBlocks; ++i) {
      tweaks[i] = MakeTweak(low, high);
      const uint64_t carry = high >> 63;
      high = high << 1 | low >> 63;
      low = low << 1 ^ (0x87 & (0 - carry));
      XorTweak(work[i], in + 16 * (first + i), tweaks[i]);
    }
    if (encrypt) {
      AesCtEncryptBlocks(schedule, work[0], work[0], kAesCtBatchBlocks);
    } else {
      AesCtDecryptBlocks(schedule, work[0], work[0], kAesCtBatchBlocks);
    }
    for (size_t i = 0; i < kAesCtBatchBlocks; ++i) {
      XorTweak(out + 16 * (first + i), work[i], tweaks[i]);
    }
  }
  SecureWipeObject(tweaks);
  SecureWipeObject(work);
}

// The tweaks of up to kTweakBatch sectors from sector `high` * 2^64 + `low`:
// their numbers as 128-bit little-endian blocks, encrypted with the tweak key.
void EncryptTweaks(const AesCtSchedule* tweakSchedule, uint64_t low, uint64_t high, size_t count,
                   uint8_t tweaks[][16]) {
  for (size_t i = 0; i < count; ++i) {
    const uint64_t number = low + i;
    StoreLe64(tweaks[i], number);
    StoreLe64(tweaks[i] + 8, high + (number < low ? 1 : 0));
  }
  AesCtEncryptBlocks(tweakSchedule, tweaks[0], tweaks[0], count);
}

void SoftwareSectors(const XtsContext* context, bool encrypt, uint64_t sector, const uint8_t* in,
                     uint8_t* out, size_t sectors) {
  uint8_t tweaks[kTweakBatch][16];
  uint64_t sectorHigh = 0;  // a run may go past sector 2^64 - 1
  while (sectors > 0) {
    const size_t count = sectors < kTweakBatch ? sectors : kTweakBatch;
    EncryptTweaks(&context->Keys.Software.Tweak, sector, sectorHigh, count, tweaks);
    for (size_t i = 0; i < count; ++i) {
      SoftwareSector(&context->Keys.Software.Data, encrypt, tweaks[i], in + kXtsSectorSize * i,
                     out + kXtsSectorSize * i);
    }
    SecureWipe(tweaks, 16 * count);
    sector += count;
    if (sector < count) sectorHigh = 1;
    sectors -= count;
    in += kXtsSectorSize * count;
    out += kXtsSectorSize * count;
  }
}

void CryptSectors(const XtsContext* context, bool encrypt, uint64_t sector, const uint8_t* in,
                  uint8_t* out, size_t sectors) {
  if (context->Engine != kXtsEngineAesNi) {
    SoftwareSectors(context, encrypt, sector, in, out, sectors);
    return;
  }
  const auto aesNiXts = encrypt ? AesNiXtsEncrypt : AesNiXtsDecrypt;
  aesNiXts(&context->Keys.AesNi.Data, &context->Keys.AesNi.Tweak, sector, in, out, sectors,
           kBlocksPerSector);
}

}  // namespace

bool ResolveXtsEngine(XtsEngine requested, XtsEngine* engine) {
  const bool aesNiPresent = AesNiAvailable();
  if (requested == kXtsEngineAesNi && !aesNiPresent) return false;
  *engine = requested != kXtsEngineBest ? requested
            : aesNiPresent              ? kXtsEngineAesNi
                                        : kXtsEngineSoftware;
  return true;
}

int XtsSetKey(XtsContext* context, const uint8_t key[kXtsKeySize], XtsEngine requested) {
  XtsEngine engine;
  if (!ResolveXtsEngine(requested, &engine)) return -1;
  context->Engine = engine;
  if (engine == kXtsEngineAesNi) {
    AesNiSetKey(key, &context->Keys.AesNi.Data);
    AesNiSetKey(key + 32, &context->Keys.AesNi.Tweak);
  } else {
    AesCtSetKey(key, &context->Keys.Software.Data);
    AesCtSetKey(key + 32, &context->Keys.Software.Tweak);
  }
  return 1;
}

void XtsWipe(XtsContext* context) {
  SecureWipeObject(*context);
}

void XtsEncryptSectors(const XtsContext* context, uint64_t firstSector, const uint8_t* in,
                       uint8_t* out, size_t sectors) {
  CryptSectors(context, true, firstSector, in, out, sectors);
}

void XtsDecryptSectors(const XtsContext* context, uint64_t firstSector, const uint8_t* in,
                       uint8_t* out, size_t sectors) {
  CryptSectors(context, false, firstSector, in, out, sectors);
}
