// Our AES and sector cipher against OpenSSL on random inputs.
#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "aes.h"
#include "sector_cipher.h"

namespace {

using CipherContext = std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)>;

std::vector<uint8_t> OpenSslCrypt(const EVP_CIPHER* cipher, bool encrypt, const uint8_t* key,
                                  const uint8_t* iv, const std::vector<uint8_t>& input) {
  CipherContext context(EVP_CIPHER_CTX_new(), EVP_CIPHER_CTX_free);
  EXPECT_EQ(EVP_CipherInit_ex(context.get(), cipher, nullptr, key, iv, encrypt ? 1 : 0), 1);
  EVP_CIPHER_CTX_set_padding(context.get(), 0);
  std::vector<uint8_t> output(input.size());
  int length = 0;
  EXPECT_EQ(EVP_CipherUpdate(context.get(), output.data(), &length, input.data(),
                             static_cast<int>(input.size())),
            1);
  EXPECT_EQ(static_cast<size_t>(length), input.size());
  return output;
}

std::vector<uint8_t> RandomBytes(std::mt19937_64& random, size_t count) {
  std::vector<uint8_t> bytes(count);
  for (auto& byte : bytes) byte = static_cast<uint8_t>(random());
  return bytes;
}

TEST(AesAgainstOpenSsl, SingleBlocksForEveryKeyLength) {
  std::mt19937_64 random(1);
  const struct {
    uint32_t keyLength;
    const EVP_CIPHER* cipher;
  } kinds[] = {{16, EVP_aes_128_ecb()}, {24, EVP_aes_192_ecb()}, {32, EVP_aes_256_ecb()}};
  for (const auto& kind : kinds) {
    for (int trial = 0; trial < 200; ++trial) {
      const auto key = RandomBytes(random, kind.keyLength);
      const auto block = RandomBytes(random, 16);
      AesKeySchedule schedule;
      ASSERT_EQ(AesSetKey(key.data(), kind.keyLength, 0, &schedule), kAesOk);
      std::vector<uint8_t> ours(16);
      AesEncryptBlock(block.data(), ours.data(), &schedule);
      ASSERT_EQ(ours, OpenSslCrypt(kind.cipher, true, key.data(), nullptr, block));
      AesDecryptBlock(block.data(), ours.data(), &schedule);
      ASSERT_EQ(ours, OpenSslCrypt(kind.cipher, false, key.data(), nullptr, block));
    }
  }
}

TEST(AesAgainstOpenSsl, WholeSectorsInCbcWithSectorNumberIv) {
  std::mt19937_64 random(2);
  for (int trial = 0; trial < 300; ++trial) {
    const auto key = RandomBytes(random, 32);
    const uint64_t sector = trial < 100 ? static_cast<uint64_t>(trial) : random() >> 9;
    const auto sectorData = RandomBytes(random, kSectorSize);
    uint8_t iv[16] = {};
    for (int i = 0; i < 8; ++i) iv[i] = static_cast<uint8_t>(sector >> (8 * i));

    for (const XtsEngine choice : {kXtsEngineSoftware, kXtsEngineAesNi}) {
      if (choice == kXtsEngineAesNi && !AesNiAvailable()) continue;
      AesEngine engine{};
      ASSERT_EQ(AesEngineSetKey(&engine, key.data(), choice), 1);
      std::vector<uint8_t> ours = sectorData;
      SectorIv sectorIv;
      SetSectorIv(&sectorIv, sector);
      EncryptChunk(ours.data(), kSectorSize, &sectorIv, &engine);
      ASSERT_EQ(ours, OpenSslCrypt(EVP_aes_256_cbc(), true, key.data(), iv, sectorData))
          << "engine " << choice;

      ours = sectorData;
      SetSectorIv(&sectorIv, sector);
      DecryptChunk(ours.data(), kSectorSize, &sectorIv, &engine);
      ASSERT_EQ(ours, OpenSslCrypt(EVP_aes_256_cbc(), false, key.data(), iv, sectorData))
          << "engine " << choice;
    }
  }
}

}  // namespace
