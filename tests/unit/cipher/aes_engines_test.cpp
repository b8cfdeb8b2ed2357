// The two AES-256 engines of the sector cipher, the constant-time software
// one and the AES-instruction one: the standard's vector, and every run
// length against the table-driven AES, in place and out of place.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "aes.h"
#include "aes_ct.h"
#include "aes_ni.h"
#include "hex.h"

namespace {

const char kKey[] = "000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f";
const char kPlaintext[] = "00112233445566778899aabbccddeeff";
const char kCiphertext[] = "8ea2b7ca516745bfeafc49904b496089";  // FIPS-197 C.3

using Blocks = void (*)(const void* schedule, const uint8_t* in, uint8_t* out, size_t blocks);

struct Engine {
  const char* name;
  bool (*available)();
  void (*setKey)(const uint8_t key[32], void* schedule);
  Blocks encrypt;
  Blocks decrypt;
};

union Schedule {
  AesCtSchedule software;
  AesNiSchedule aesNi;
};

bool Always() {
  return true;
}

const Engine kEngines[] = {
    {"Software", Always,
     [](const uint8_t key[32], void* s) { AesCtSetKey(key, static_cast<AesCtSchedule*>(s)); },
     [](const void* s, const uint8_t* in, uint8_t* out, size_t n) {
       AesCtEncryptBlocks(static_cast<const AesCtSchedule*>(s), in, out, n);
     },
     [](const void* s, const uint8_t* in, uint8_t* out, size_t n) {
       AesCtDecryptBlocks(static_cast<const AesCtSchedule*>(s), in, out, n);
     }},
    {"AesInstructions", AesNiAvailable,
     [](const uint8_t key[32], void* s) { AesNiSetKey(key, static_cast<AesNiSchedule*>(s)); },
     [](const void* s, const uint8_t* in, uint8_t* out, size_t n) {
       AesNiEncryptBlocks(static_cast<const AesNiSchedule*>(s), in, out, n);
     },
     [](const void* s, const uint8_t* in, uint8_t* out, size_t n) {
       AesNiDecryptBlocks(static_cast<const AesNiSchedule*>(s), in, out, n);
     }},
};

class AesEngine : public ::testing::TestWithParam<Engine> {
 protected:
  void SetUp() override {
    if (!GetParam().available()) GTEST_SKIP() << "no AES instructions on this processor";
  }
};

TEST_P(AesEngine, Fips197Aes256ExampleBothWays) {
  const Engine& engine = GetParam();
  Schedule schedule;
  engine.setKey(FromHex(kKey).data(), &schedule);
  uint8_t block[16];
  engine.encrypt(&schedule, FromHex(kPlaintext).data(), block, 1);
  EXPECT_EQ(ToHex(block, 16), kCiphertext);
  engine.decrypt(&schedule, block, block, 1);
  EXPECT_EQ(ToHex(block, 16), kPlaintext);
}

TEST_P(AesEngine, EveryRunLengthMatchesTableAesInPlaceAndOutOfPlace) {
  const Engine& engine = GetParam();
  std::mt19937_64 random(7);
  for (size_t blocks = 1; blocks <= 2 * kAesCtBatchBlocks + 9; ++blocks) {
    SCOPED_TRACE(blocks);
    for (int trial = 0; trial < 8; ++trial) {
      uint8_t key[32];
      for (auto& byte : key) byte = static_cast<uint8_t>(random());
      std::vector<uint8_t> data(16 * blocks);
      for (auto& byte : data) byte = static_cast<uint8_t>(random());

      AesKeySchedule table;
      ASSERT_EQ(AesSetKey(key, 32, 0, &table), kAesOk);
      std::vector<uint8_t> encrypted(data.size());
      std::vector<uint8_t> decrypted(data.size());
      for (size_t k = 0; k < data.size(); k += 16) {
        AesEncryptBlock(&data[k], &encrypted[k], &table);
        AesDecryptBlock(&data[k], &decrypted[k], &table);
      }

      Schedule schedule;
      engine.setKey(key, &schedule);
      std::vector<uint8_t> out(data.size());
      engine.encrypt(&schedule, data.data(), out.data(), blocks);
      ASSERT_EQ(out, encrypted);
      engine.decrypt(&schedule, data.data(), out.data(), blocks);
      ASSERT_EQ(out, decrypted);
      out = data;
      engine.encrypt(&schedule, out.data(), out.data(), blocks);
      ASSERT_EQ(out, encrypted);
      engine.decrypt(&schedule, out.data(), out.data(), blocks);
      ASSERT_EQ(out, data);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Engines, AesEngine, ::testing::ValuesIn(kEngines),
                         [](const ::testing::TestParamInfo<Engine>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
