// AES-256-XTS of both engines against OpenSSL's, sector by sector, on
// random keys, sector numbers (up to and past 2^64) and runs.
#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <memory>
#include <random>
#include <vector>

#include "xts.h"

namespace {

using CipherContext = std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)>;

// One data unit; `carry` is bit 64 of the sector number.
std::vector<uint8_t> OpenSslSector(bool encrypt, const uint8_t* key, uint64_t sector, bool carry,
                                   const uint8_t* data) {
  uint8_t tweak[16] = {};
  for (int i = 0; i < 8; ++i) tweak[i] = static_cast<uint8_t>(sector >> (8 * i));
  tweak[8] = carry ? 1 : 0;
  CipherContext context(EVP_CIPHER_CTX_new(), EVP_CIPHER_CTX_free);
  EXPECT_EQ(EVP_CipherInit_ex(context.get(), EVP_aes_256_xts(), nullptr, key, tweak, encrypt), 1);
  std::vector<uint8_t> out(kXtsSectorSize);
  int length = 0;
  EXPECT_EQ(EVP_CipherUpdate(context.get(), out.data(), &length, data, kXtsSectorSize), 1);
  EXPECT_EQ(length, static_cast<int>(kXtsSectorSize));
  return out;
}

class XtsAgainstOpenSsl : public ::testing::TestWithParam<XtsEngine> {};

TEST_P(XtsAgainstOpenSsl, RandomRunsOfSectorsBothWays) {
  if (GetParam() == kXtsEngineAesNi && !AesNiAvailable()) GTEST_SKIP() << "no AES instructions";
  std::mt19937_64 random(GetParam());
  for (int trial = 0; trial < 200; ++trial) {
    std::vector<uint8_t> key(kXtsKeySize);
    for (auto& byte : key) byte = static_cast<uint8_t>(random());
    const size_t sectors = 1 + random() % 20;
    // Small numbers, any 64-bit number, and runs that cross 2^64.
    const uint64_t first = trial % 3 == 0   ? random() % 1000
                           : trial % 3 == 1 ? random()
                                            : 0 - (random() % sectors) - 1;
    std::vector<uint8_t> data(kXtsSectorSize * sectors);
    for (auto& byte : data) byte = static_cast<uint8_t>(random());

    XtsContext context;
    ASSERT_EQ(XtsSetKey(&context, key.data(), GetParam()), 1);
    for (bool encrypt : {true, false}) {
      std::vector<uint8_t> ours(data.size());
      (encrypt ? XtsEncryptSectors : XtsDecryptSectors)(&context, first, data.data(), ours.data(),
                                                        sectors);
      for (size_t i = 0; i < sectors; ++i) {
        const uint64_t sector = first + i;
        const std::vector<uint8_t> sectorOurs(ours.begin() + kXtsSectorSize * i,
                                              ours.begin() + kXtsSectorSize * (i + 1));
        ASSERT_EQ(sectorOurs, OpenSslSector(encrypt, key.data(), sector, sector < first,
                                            &data[kXtsSectorSize * i]))
            << "trial " << trial << " sector " << i << (encrypt ? " encrypt" : " decrypt");
      }
    }
    XtsWipe(&context);
  }
}

INSTANTIATE_TEST_SUITE_P(Engines, XtsAgainstOpenSsl,
                         ::testing::Values(kXtsEngineSoftware, kXtsEngineAesNi),
                         [](const ::testing::TestParamInfo<XtsEngine>& info) {
                           return info.param == kXtsEngineSoftware ? "Software" : "AesInstructions";
                         });

}  // namespace
