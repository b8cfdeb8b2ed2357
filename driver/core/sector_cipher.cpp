#include "sector_cipher.h"

#include <string.h>

#include "secure_wipe.h"

namespace {

constexpr uint32_t kBlockSize = 16;
constexpr uint32_t kBlocksPerSector = kSectorSize / kBlockSize;
// Sectors encrypted side by side: CBC is serial within a sector only, so
// block k of several sectors goes to the engine in one call.
constexpr uint32_t kLanes = 8;

void StoreIvBlock(const SectorIv* iv, uint8_t block[16]) {
  for (int w = 0; w < 4; ++w) {
    const uint32_t word = iv->Words[w];
    block[4 * w + 0] = static_cast<uint8_t>(word);
    block[4 * w + 1] = static_cast<uint8_t>(word >> 8);
    block[4 * w + 2] = static_cast<uint8_t>(word >> 16);
    block[4 * w + 3] = static_cast<uint8_t>(word >> 24);
  }
}

void AdvanceIv(SectorIv* iv) {
  for (int w = 0; w < 4; ++w) {
    if (++iv->Words[w] != 0) return;
  }
}

void XorBlock(uint8_t* target, const uint8_t* a, const uint8_t* b) {
  uint64_t x[2];
  uint64_t y[2];
  memcpy(x, a, 16);
  memcpy(y, b, 16);
  x[0] ^= y[0];
  x[1] ^= y[1];
  memcpy(target, x, 16);
}

}  // namespace

void EncryptChunk(uint8_t* buffer, uint32_t length, SectorIv* iv, const AesEngine* engine) {
  const uint32_t blocks = length / kBlockSize;
  uint8_t ivs[kLanes][16];
  uint8_t work[kLanes][16];
  for (uint32_t first = 0; first < blocks; first += kLanes * kBlocksPerSector) {
    // Only the last sector of the chunk may be short, so the lanes still
    // running at block k are always the first ones.
    uint32_t lanes = 0;
    uint32_t count[kLanes] = {};
    for (; lanes < kLanes && first + lanes * kBlocksPerSector < blocks; ++lanes) {
      const uint32_t left = blocks - first - lanes * kBlocksPerSector;
      count[lanes] = left < kBlocksPerSector ? left : kBlocksPerSector;
      StoreIvBlock(iv, ivs[lanes]);
      AdvanceIv(iv);
    }
    for (uint32_t k = 0; k < kBlocksPerSector; ++k) {
      uint32_t running = 0;
      while (running < lanes && count[running] > k) ++running;
      if (running == 0) break;
      for (uint32_t lane = 0; lane < running; ++lane) {
        const uint8_t* plain = buffer + (first + lane * kBlocksPerSector + k) * kBlockSize;
        XorBlock(work[lane], plain, k == 0 ? ivs[lane] : plain - kBlockSize);
      }
      AesEngineEncryptBlocks(engine, work[0], work[0], running);
      for (uint32_t lane = 0; lane < running; ++lane) {
        memcpy(buffer + (first + lane * kBlocksPerSector + k) * kBlockSize, work[lane], 16);
      }
    }
  }
  SecureWipeObject(work);
}

void DecryptChunk(uint8_t* buffer, uint32_t length, SectorIv* iv, const AesEngine* engine) {
  // A sector's blocks decrypt in one call; each then takes the ciphertext
  // before it from a copy made first.
  const uint32_t blocks = length / kBlockSize;
  uint8_t chain[16];
  uint8_t cipherText[kSectorSize];
  for (uint32_t first = 0; first < blocks; first += kBlocksPerSector) {
    const uint32_t count = blocks - first < kBlocksPerSector ? blocks - first : kBlocksPerSector;
    uint8_t* sector = buffer + first * kBlockSize;
    StoreIvBlock(iv, chain);
    AdvanceIv(iv);
    memcpy(cipherText, sector, count * kBlockSize);
    AesEngineDecryptBlocks(engine, sector, sector, count);
    XorBlock(sector, sector, chain);
    for (uint32_t k = 1; k < count; ++k) {
      XorBlock(sector + k * kBlockSize, sector + k * kBlockSize, cipherText + (k - 1) * kBlockSize);
    }
  }
}
