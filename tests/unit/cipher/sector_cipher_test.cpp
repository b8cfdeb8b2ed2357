#include "sector_cipher.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "aes.h"
#include "hex.h"

namespace {

// On each engine, checked against the table-driven AES as the reference.
class SectorCipher : public ::testing::TestWithParam<XtsEngine> {
 protected:
  void SetUp() override {
    if (GetParam() == kXtsEngineAesNi && !AesNiAvailable()) {
      GTEST_SKIP() << "no AES instructions on this processor";
    }
    uint8_t key[32];
    for (int i = 0; i < 32; ++i) key[i] = static_cast<uint8_t>(0xC0 + i);
    ASSERT_EQ(AesEngineSetKey(&engine_, key, GetParam()), 1);
    ASSERT_EQ(AesSetKey(key, 32, 0, &reference_), kAesOk);
  }
  void TearDown() override { AesEngineWipe(&engine_); }

  std::vector<uint8_t> Encrypted(std::vector<uint8_t> data, uint64_t sector) {
    SectorIv iv;
    SetSectorIv(&iv, sector);
    EncryptChunk(data.data(), static_cast<uint32_t>(data.size()), &iv, &engine_);
    return data;
  }

  std::vector<uint8_t> Decrypted(std::vector<uint8_t> data, uint64_t sector) {
    SectorIv iv;
    SetSectorIv(&iv, sector);
    DecryptChunk(data.data(), static_cast<uint32_t>(data.size()), &iv, &engine_);
    return data;
  }

  std::vector<uint8_t> AesOf(const uint8_t block[16]) {
    std::vector<uint8_t> out(16);
    AesEncryptBlock(block, out.data(), &reference_);
    return out;
  }

  AesEngine engine_{};
  AesKeySchedule reference_{};
};

TEST_P(SectorCipher, EachSectorIsItsOwnChainWithItsNumberAsIv) {
  // Zero plaintext: the first block of each sector is the encryption of its IV.
  const auto stored = Encrypted(std::vector<uint8_t>(1024, 0), 0);
  const uint8_t iv0[16] = {};
  const uint8_t iv1[16] = {1};
  EXPECT_EQ(std::vector<uint8_t>(stored.begin(), stored.begin() + 16), AesOf(iv0));
  EXPECT_EQ(std::vector<uint8_t>(stored.begin() + 512, stored.begin() + 528), AesOf(iv1));
  // Within a sector the chain continues from the previous ciphertext block.
  EXPECT_EQ(std::vector<uint8_t>(stored.begin() + 16, stored.begin() + 32), AesOf(&stored[0]));
  EXPECT_EQ(Decrypted(stored, 0), std::vector<uint8_t>(1024, 0));
}

TEST_P(SectorCipher, IvIsSectorNumberLittleEndianIn64Bits) {
  const uint64_t sector = 0x0102030405060708ull;
  const auto stored = Encrypted(std::vector<uint8_t>(16, 0), sector);
  const uint8_t iv[16] = {8, 7, 6, 5, 4, 3, 2, 1};
  EXPECT_EQ(stored, AesOf(iv));
}

// Sectors are encrypted side by side, several to a call: more of them than
// go to one call, and a short last one, still chain each on its own.
TEST_P(SectorCipher, ChunkOfSectorsEqualsSeparateSectors) {
  std::vector<uint8_t> data(512 * 10 + 48);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7 + 3);
  const auto whole = Encrypted(data, 0);
  for (uint64_t s = 0; s < 11; ++s) {
    std::vector<uint8_t> one(data.begin() + 512 * s,
                             data.begin() + std::min<size_t>(512 * (s + 1), data.size()));
    const auto separate = Encrypted(one, s);
    EXPECT_TRUE(std::equal(separate.begin(), separate.end(), whole.begin() + 512 * s))
        << "sector " << s;
  }
}

TEST_P(SectorCipher, TailShorterThanABlockIsLeftAsItIs) {
  std::vector<uint8_t> data(1000);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i);
  const auto stored = Encrypted(data, 0);
  EXPECT_TRUE(std::equal(stored.begin() + 992, stored.end(), data.begin() + 992));
  EXPECT_NE(std::vector<uint8_t>(stored.begin() + 976, stored.begin() + 992),
            std::vector<uint8_t>(data.begin() + 976, data.begin() + 992));
  EXPECT_EQ(Decrypted(stored, 0), data);
}

TEST_P(SectorCipher, IvAdvancesOncePerSectorWithCarry) {
  SectorIv iv;
  SetSectorIv(&iv, 0xFFFFFFFFull);
  std::vector<uint8_t> data(1024, 0);
  EncryptChunk(data.data(), 1024, &iv, &engine_);
  EXPECT_EQ(iv.Words[0], 1u);
  EXPECT_EQ(iv.Words[1], 1u);
  EXPECT_EQ(iv.Words[2], 0u);

  // A partial sector still consumes one IV.
  SetSectorIv(&iv, 5);
  EncryptChunk(data.data(), 16, &iv, &engine_);
  EXPECT_EQ(iv.Words[0], 6u);
  SetSectorIv(&iv, 5);
  EncryptChunk(data.data(), 8, &iv, &engine_);
  EXPECT_EQ(iv.Words[0], 5u) << "no whole block, no IV used";
}

TEST_P(SectorCipher, DecryptInvertsEncryptForEveryBlockCount) {
  std::vector<uint8_t> data(2048 + 15);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 13 + 1);
  for (size_t length = 0; length <= data.size(); length += 7) {
    std::vector<uint8_t> piece(data.begin(), data.begin() + length);
    ASSERT_EQ(Decrypted(Encrypted(piece, 3), 3), piece) << "length " << length;
  }
}

INSTANTIATE_TEST_SUITE_P(Engines, SectorCipher,
                         ::testing::Values(kXtsEngineSoftware, kXtsEngineAesNi),
                         [](const ::testing::TestParamInfo<XtsEngine>& info) {
                           return info.param == kXtsEngineAesNi ? "AesNi" : "Software";
                         });

}  // namespace
