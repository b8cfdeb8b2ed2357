#include "sector_cipher.h"

#include <string.h>

namespace {

constexpr uint32_t kBlocksPerSector = kSectorSize / kAesBlockSize;

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

void XorBlock(uint8_t* target, const uint8_t* source) {
  uint64_t a[2];
  uint64_t b[2];
  memcpy(a, target, 16);
  memcpy(b, source, 16);
  a[0] ^= b[0];
  a[1] ^= b[1];
  memcpy(target, a, 16);
}

}  // namespace

void EncryptChunk(uint8_t* buffer, uint32_t length, SectorIv* iv, const AesKeySchedule* schedule) {
  const uint32_t blocks = length / kAesBlockSize;
  uint8_t chain[16];
  for (uint32_t k = 0; k < blocks; ++k) {
    uint8_t* block = buffer + k * kAesBlockSize;
    if (k % kBlocksPerSector == 0) {
      StoreIvBlock(iv, chain);
      AdvanceIv(iv);
    }
    XorBlock(block, chain);
    AesEncryptBlock(block, block, schedule);
    memcpy(chain, block, sizeof(chain));
  }
}

void DecryptChunk(uint8_t* buffer, uint32_t length, SectorIv* iv, const AesKeySchedule* schedule) {
  // Within a sector, walk the blocks from the last to the first, two at a
  // time: the ciphertext each block chains on is then still in the buffer,
  // except the lower block of the pair, which is saved first.
  const uint32_t blocks = length / kAesBlockSize;
  for (uint32_t first = 0; first < blocks; first += kBlocksPerSector) {
    const uint32_t count = blocks - first < kBlocksPerSector ? blocks - first : kBlocksPerSector;
    uint8_t* sector = buffer + first * kAesBlockSize;
    uint8_t chain[16];
    StoreIvBlock(iv, chain);
    AdvanceIv(iv);

    uint32_t k = count;
    while (k >= 2) {
      uint8_t* upper = sector + (k - 1) * kAesBlockSize;
      uint8_t* lower = upper - kAesBlockSize;
      uint8_t savedLower[16];
      memcpy(savedLower, lower, sizeof(savedLower));
      AesDecryptTwoBlocks(upper, lower, schedule);
      XorBlock(upper, savedLower);
      XorBlock(lower, k >= 3 ? lower - kAesBlockSize : chain);
      k -= 2;
    }
    if (k == 1) {
      AesDecryptBlock(sector, sector, schedule);
      XorBlock(sector, chain);
    }
  }
}
