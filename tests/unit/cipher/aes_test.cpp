#include "aes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "hex.h"

namespace {

struct Fips197Example {
  const char* name;
  const char* key;
  const char* ciphertext;
};

const char kPlaintext[] = "00112233445566778899aabbccddeeff";

const Fips197Example kExamples[] = {
    {"C.1 AES-128", "000102030405060708090a0b0c0d0e0f", "69c4e0d86a7b0430d8cdb78070b4c55a"},
    {"C.2 AES-192", "000102030405060708090a0b0c0d0e0f1011121314151617",
     "dda97ca4864cdfe06eaf70a0ec0d7191"},
    {"C.3 AES-256", "000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f",
     "8ea2b7ca516745bfeafc49904b496089"},
};

AesKeySchedule ScheduleFor(const std::vector<uint8_t>& key) {
  AesKeySchedule schedule;
  EXPECT_EQ(AesSetKey(key.data(), static_cast<uint32_t>(key.size()), 0, &schedule), kAesOk);
  return schedule;
}

TEST(Aes, Fips197ExamplesEncryptAndDecrypt) {
  for (const auto& example : kExamples) {
    SCOPED_TRACE(example.name);
    const AesKeySchedule schedule = ScheduleFor(FromHex(example.key));
    const auto plaintext = FromHex(kPlaintext);
    uint8_t block[16];
    AesEncryptBlock(plaintext.data(), block, &schedule);
    EXPECT_EQ(ToHex(block, 16), example.ciphertext);
    uint8_t back[16];
    AesDecryptBlock(block, back, &schedule);
    EXPECT_EQ(ToHex(back, 16), kPlaintext);
  }
}

TEST(Aes, InPlaceMatchesSeparateBuffers) {
  const AesKeySchedule schedule = ScheduleFor(FromHex(kExamples[2].key));
  uint8_t block[16];
  for (int i = 0; i < 16; ++i) block[i] = static_cast<uint8_t>(i * 37 + 5);
  uint8_t separate[16];
  AesEncryptBlock(block, separate, &schedule);
  uint8_t inPlace[16];
  std::memcpy(inPlace, block, 16);
  AesEncryptBlock(inPlace, inPlace, &schedule);
  EXPECT_EQ(0, std::memcmp(inPlace, separate, 16));

  uint8_t decrypted[16];
  AesDecryptBlock(separate, decrypted, &schedule);
  AesDecryptBlock(inPlace, inPlace, &schedule);
  EXPECT_EQ(0, std::memcmp(inPlace, decrypted, 16));
  EXPECT_EQ(0, std::memcmp(inPlace, block, 16));
}

TEST(Aes, KeyScheduleLayoutFollowsFips197KeyExpansion) {
  // FIPS-197 Appendix A.3: 256-bit key expansion.
  const AesKeySchedule schedule =
      ScheduleFor(FromHex("603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4"));
  EXPECT_EQ(schedule.Rounds, 14u);
  EXPECT_EQ(schedule.EncryptRoundKeys[0], 0x603deb10u);  // first key byte most significant
  EXPECT_EQ(schedule.EncryptRoundKeys[8], 0x9ba35411u);
  EXPECT_EQ(schedule.EncryptRoundKeys[12], 0xa8b09c1au);  // after the extra SubWord step
  EXPECT_EQ(schedule.EncryptRoundKeys[59], 0x706c631eu);
  // Decryption round key 0 is encryption round key Nr, round key Nr is round key 0.
  for (int j = 0; j < 4; ++j) {
    EXPECT_EQ(schedule.DecryptRoundKeys[j], schedule.EncryptRoundKeys[56 + j]);
    EXPECT_EQ(schedule.DecryptRoundKeys[56 + j], schedule.EncryptRoundKeys[j]);
  }
}

TEST(Aes, SetKeyRefusesBadLengthsAndRoundCountsWithoutWriting) {
  const auto key = FromHex(kExamples[2].key);
  AesKeySchedule schedule;
  std::memset(&schedule, 0xA5, sizeof(schedule));
  AesKeySchedule untouched = schedule;

  EXPECT_EQ(AesSetKey(key.data(), 20, 0, &schedule), kAesBadKeyLength);
  EXPECT_EQ(AesSetKey(key.data(), 0, 0, &schedule), kAesBadKeyLength);
  EXPECT_EQ(AesSetKey(key.data(), 32, 12, &schedule), kAesBadRounds);
  EXPECT_EQ(AesSetKey(key.data(), 16, 14, &schedule), kAesBadRounds);
  EXPECT_EQ(0, std::memcmp(&schedule, &untouched, sizeof(schedule)));

  EXPECT_EQ(AesSetKey(key.data(), 32, 14, &schedule), kAesOk);
  EXPECT_EQ(schedule.Rounds, 14u);
  EXPECT_EQ(AesSetKey(key.data(), 24, 12, &schedule), kAesOk);
  EXPECT_EQ(schedule.Rounds, 12u);
}

TEST(Aes, DecryptInvertsEncryptOnManyBlocks) {
  const AesKeySchedule schedule = ScheduleFor(FromHex(kExamples[2].key));
  uint8_t block[16] = {};
  for (int i = 0; i < 1000; ++i) {
    uint8_t encrypted[16];
    AesEncryptBlock(block, encrypted, &schedule);
    uint8_t decrypted[16];
    AesDecryptBlock(encrypted, decrypted, &schedule);
    ASSERT_EQ(0, std::memcmp(decrypted, block, 16)) << "iteration " << i;
    std::memcpy(block, encrypted, 16);
  }
}

TEST(Aes, TwoBlockDecryptionEqualsTwoSingleDecryptions) {
  const AesKeySchedule schedule = ScheduleFor(FromHex(kExamples[2].key));
  uint8_t first[16];
  uint8_t second[16];
  for (int i = 0; i < 16; ++i) {
    first[i] = static_cast<uint8_t>(i * 11);
    second[i] = static_cast<uint8_t>(255 - i);
  }
  uint8_t expectedFirst[16];
  uint8_t expectedSecond[16];
  AesDecryptBlock(first, expectedFirst, &schedule);
  AesDecryptBlock(second, expectedSecond, &schedule);
  AesDecryptTwoBlocks(first, second, &schedule);
  EXPECT_EQ(0, std::memcmp(first, expectedFirst, 16));
  EXPECT_EQ(0, std::memcmp(second, expectedSecond, 16));
}

}  // namespace
