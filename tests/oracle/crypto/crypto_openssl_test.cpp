// Cross-checks the client crypto against OpenSSL on random inputs. Blowfish
// and the bare SHA-1 compression are only reachable through OpenSSL's
// deprecated low-level API, hence the warning exception on this file.
#include <gtest/gtest.h>
#include <openssl/blowfish.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/sha.h>

#include <algorithm>
#include <random>
#include <vector>

#include "blowfish.h"
#include "hex.h"
#include "hmac_md5.h"
#include "key_derivation.h"
#include "md5.h"
#include "sha1.h"
#include "sha512.h"

namespace {

std::mt19937 MakeRandom() {
  return std::mt19937(0xC0FFEE);
}

std::vector<uint8_t> RandomBytes(std::mt19937& random, size_t length) {
  std::vector<uint8_t> bytes(length);
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
  return bytes;
}

std::vector<uint8_t> OpenSslDigest(const EVP_MD* md, const std::vector<uint8_t>& message) {
  std::vector<uint8_t> digest(EVP_MD_get_size(md));
  unsigned int length = 0;
  EXPECT_EQ(EVP_Digest(message.data(), message.size(), digest.data(), &length, md, nullptr), 1);
  return digest;
}

std::vector<uint8_t> OpenSslHmacMd5(const std::vector<uint8_t>& key,
                                    const std::vector<uint8_t>& message) {
  std::vector<uint8_t> out(16);
  unsigned int length = 0;
  HMAC(EVP_md5(), key.data(), static_cast<int>(key.size()), message.data(), message.size(),
       out.data(), &length);
  return out;
}

// The exchanged-role construction written on OpenSSL's HMAC.
std::vector<uint8_t> ReferenceDerive(const std::vector<uint8_t>& password,
                                     const std::vector<uint8_t>& salt, uint32_t blocks) {
  std::vector<uint8_t> out;
  for (uint32_t i = 1; i <= blocks; ++i) {
    std::vector<uint8_t> key = salt;
    key.insert(key.end(), {static_cast<uint8_t>(i >> 24), static_cast<uint8_t>(i >> 16),
                           static_cast<uint8_t>(i >> 8), static_cast<uint8_t>(i)});
    std::vector<uint8_t> u = OpenSslHmacMd5(key, password);
    std::vector<uint8_t> t = u;
    for (int j = 2; j <= 1000; ++j) {
      u = OpenSslHmacMd5(u, password);
      for (int b = 0; b < 16; ++b) t[b] ^= u[b];
    }
    out.insert(out.end(), t.begin(), t.end());
  }
  return out;
}

void ReverseHalves(uint8_t block[8]) {
  std::reverse(block, block + 4);
  std::reverse(block + 4, block + 8);
}

TEST(CryptoAgainstOpenSsl, Md5MatchesForRandomMessagesAndSplits) {
  std::mt19937 random = MakeRandom();
  for (size_t length = 0; length <= 400; ++length) {
    const std::vector<uint8_t> message = RandomBytes(random, length);
    const size_t split = length == 0 ? 0 : random() % (length + 1);
    Md5Context context;
    Md5Init(&context);
    Md5Update(&context, message.data(), split);
    Md5Update(&context, message.data() + split, length - split);
    std::vector<uint8_t> digest(16);
    Md5Final(&context, digest.data());
    ASSERT_EQ(digest, OpenSslDigest(EVP_md5(), message)) << "length " << length;
  }
}

TEST(CryptoAgainstOpenSsl, Sha512MatchesForRandomMessagesAndSplits) {
  std::mt19937 random = MakeRandom();
  for (size_t length = 0; length <= 600; ++length) {
    const std::vector<uint8_t> message = RandomBytes(random, length);
    const size_t split = length == 0 ? 0 : random() % (length + 1);
    Sha512Context context;
    Sha512Init(&context);
    Sha512Update(&context, message.data(), split);
    Sha512Update(&context, message.data() + split, length - split);
    std::vector<uint8_t> digest(64);
    Sha512Final(&context, digest.data());
    ASSERT_EQ(digest, OpenSslDigest(EVP_sha512(), message)) << "length " << length;
  }
}

TEST(CryptoAgainstOpenSsl, Sha1CompressMatchesTransformOnLittleEndianState) {
  std::mt19937 random = MakeRandom();
  for (int trial = 0; trial < 200; ++trial) {
    std::vector<uint8_t> state = RandomBytes(random, 20);
    const std::vector<uint8_t> block = RandomBytes(random, 64);
    SHA_CTX reference = {};
    uint32_t* words[5] = {&reference.h0, &reference.h1, &reference.h2, &reference.h3,
                          &reference.h4};
    for (int k = 0; k < 5; ++k)
      *words[k] = state[4 * k] | state[4 * k + 1] << 8 | state[4 * k + 2] << 16 |
                  static_cast<uint32_t>(state[4 * k + 3]) << 24;
    SHA1_Transform(&reference, block.data());
    Sha1Compress(state.data(), block.data());
    for (int k = 0; k < 5; ++k)
      ASSERT_EQ(*words[k], state[4 * k] | state[4 * k + 1] << 8 | state[4 * k + 2] << 16 |
                               static_cast<uint32_t>(state[4 * k + 3]) << 24);
  }
}

TEST(CryptoAgainstOpenSsl, HmacMd5MatchesForEveryKeyLengthUpToOneBlock) {
  std::mt19937 random = MakeRandom();
  for (size_t keyLength = 0; keyLength <= 64; ++keyLength) {
    const std::vector<uint8_t> key = RandomBytes(random, keyLength);
    const std::vector<uint8_t> message = RandomBytes(random, random() % 600);
    std::vector<uint8_t> out(16);
    ASSERT_TRUE(HmacMd5(key.data(), key.size(), message.data(), message.size(), out.data()));
    ASSERT_EQ(out, OpenSslHmacMd5(key, message)) << "key length " << keyLength;
  }
}

TEST(CryptoAgainstOpenSsl, BlowfishMatchesBigEndianEcbWithHalvesReversed) {
  std::mt19937 random = MakeRandom();
  for (int trial = 0; trial < 50; ++trial) {
    const std::vector<uint8_t> key = RandomBytes(random, 32);
    BlowfishContext context;
    BlowfishKeySetup(key.data(), &context);
    BF_KEY reference;
    BF_set_key(&reference, 32, key.data());
    for (int b = 0; b < 20; ++b) {
      const std::vector<uint8_t> plain = RandomBytes(random, 8);
      uint8_t ours[8], theirs[8], swapped[8];
      memcpy(ours, plain.data(), 8);
      BlowfishEncryptBlock(&context, ours);
      memcpy(swapped, plain.data(), 8);
      ReverseHalves(swapped);
      BF_ecb_encrypt(swapped, theirs, &reference, BF_ENCRYPT);
      ReverseHalves(theirs);
      ASSERT_EQ(ToHex(ours, 8), ToHex(theirs, 8));
      BlowfishDecryptBlock(&context, ours);
      ASSERT_EQ(ToHex(ours, 8), ToHex(plain));
    }
  }
}

TEST(CryptoAgainstOpenSsl, KeyDerivationEqualsExchangedRoleReference) {
  std::mt19937 random = MakeRandom();
  for (size_t length : {0, 2, 32, 64, 66, 520}) {
    const std::vector<uint8_t> password = RandomBytes(random, length);
    const std::vector<uint8_t> salt = RandomBytes(random, kKdfSaltSize);
    std::vector<uint8_t> used(kUsedKeySize);
    DeriveUsedKeyBytes(password.data(), password.size(), salt.data(), used.data());
    ASSERT_EQ(ToHex(used), ToHex(ReferenceDerive(password, salt, 2))) << "length " << length;
  }
  const std::vector<uint8_t> password = RandomBytes(random, 24);
  const std::vector<uint8_t> salt = RandomBytes(random, kKdfSaltSize);
  std::vector<uint8_t> all(kDerivedKeySize);
  DerivePasswordKey(password.data(), password.size(), salt.data(), all.data());
  EXPECT_EQ(ToHex(all), ToHex(ReferenceDerive(password, salt, kKdfBlockCount)));
}

TEST(CryptoAgainstOpenSsl, KeyDerivationDiffersFromStandardPbkdf2HmacMd5) {
  std::mt19937 random = MakeRandom();
  int equalBytes = 0;
  for (int trial = 0; trial < 4; ++trial) {
    const std::vector<uint8_t> password = RandomBytes(random, 2 * (1 + random() % 40));
    const std::vector<uint8_t> salt = RandomBytes(random, kKdfSaltSize);
    std::vector<uint8_t> ours(kDerivedKeySize), standard(kDerivedKeySize);
    DerivePasswordKey(password.data(), password.size(), salt.data(), ours.data());
    ASSERT_EQ(PKCS5_PBKDF2_HMAC(reinterpret_cast<const char*>(password.data()),
                                static_cast<int>(password.size()), salt.data(),
                                static_cast<int>(salt.size()), 1000, EVP_md5(),
                                static_cast<int>(standard.size()), standard.data()),
              1);
    for (size_t block = 0; block < kKdfBlockCount; ++block)
      EXPECT_NE(memcmp(&ours[16 * block], &standard[16 * block], 16), 0) << "block " << block;
    for (size_t b = 0; b < kDerivedKeySize; ++b) equalBytes += ours[b] == standard[b];
  }
  // Unrelated 1024 bytes agree in about four places by chance.
  EXPECT_LE(equalBytes, 16);
}

}  // namespace
