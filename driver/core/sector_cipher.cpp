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
  for (uint32_t i = 0; i < kAesBlockSize; ++i) target[i] ^= source[i];
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
  const uint32_t blocks = length / kAesBlockSize;
  uint8_t chain[16];
  uint8_t saved[16];
  for (uint32_t k = 0; k < blocks; ++k) {
    uint8_t* block = buffer + k * kAesBlockSize;
    if (k % kBlocksPerSector == 0) {
      StoreIvBlock(iv, chain);
      AdvanceIv(iv);
    }
    memcpy(saved, block, sizeof(saved));
    AesDecryptBlock(block, block, schedule);
    XorBlock(block, chain);
    memcpy(chain, saved, sizeof(chain));
  }
}
