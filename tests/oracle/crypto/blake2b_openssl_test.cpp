// BLAKE2b against OpenSSL's keyed BLAKE2b MAC, which takes any key and digest
// size, on random inputs.
#include <gtest/gtest.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/params.h>

#include <random>
#include <vector>

#include "blake2b.h"

namespace {

std::vector<uint8_t> OpenSslBlake2b(const std::vector<uint8_t>& key, size_t digestSize,
                                    const std::vector<uint8_t>& message) {
  EVP_MAC* mac = EVP_MAC_fetch(nullptr, "BLAKE2BMAC", nullptr);
  EVP_MAC_CTX* context = EVP_MAC_CTX_new(mac);
  size_t size = digestSize;
  const OSSL_PARAM parameters[] = {OSSL_PARAM_construct_size_t(OSSL_MAC_PARAM_SIZE, &size),
                                   OSSL_PARAM_construct_end()};
  std::vector<uint8_t> digest(digestSize);
  size_t length = 0;
  EXPECT_EQ(EVP_MAC_init(context, key.data(), key.size(), parameters), 1);
  EXPECT_EQ(EVP_MAC_update(context, message.data(), message.size()), 1);
  EXPECT_EQ(EVP_MAC_final(context, digest.data(), &length, digest.size()), 1);
  EXPECT_EQ(length, digestSize);
  EVP_MAC_CTX_free(context);
  EVP_MAC_free(mac);
  return digest;
}

TEST(Blake2bAgainstOpenSsl, RandomKeysDigestSizesAndMessages) {
  std::mt19937 random(0xB1A4E2B);
  for (int trial = 0; trial < 300; ++trial) {
    std::vector<uint8_t> key(1 + random() % 64);
    std::vector<uint8_t> message(random() % 700);
    for (auto& byte : key) byte = static_cast<uint8_t>(random());
    for (auto& byte : message) byte = static_cast<uint8_t>(random());
    const size_t digestSize = 1 + random() % 64;

    Blake2bContext context;
    ASSERT_EQ(Blake2bInit(&context, digestSize, key.data(), key.size()), 1);
    const size_t split = message.empty() ? 0 : random() % message.size();
    Blake2bUpdate(&context, message.data(), split);
    Blake2bUpdate(&context, message.data() + split, message.size() - split);
    std::vector<uint8_t> ours(digestSize);
    Blake2bFinal(&context, ours.data());
    ASSERT_EQ(ours, OpenSslBlake2b(key, digestSize, message)) << "trial " << trial;
  }
}

}  // namespace
