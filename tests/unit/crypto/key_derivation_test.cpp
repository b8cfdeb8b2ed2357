#include "key_derivation.h"

#include <gtest/gtest.h>

#include "crypto_test_bytes.h"
#include "hmac_md5.h"

namespace {

// Expected values come from an independent implementation of the same
// construction (HMAC key = salt || BE32(i), then the previous U; message =
// the password).

std::vector<uint8_t> Utf16Le(const std::u16string& text) {
  std::vector<uint8_t> bytes;
  for (char16_t unit : text) {
    bytes.push_back(static_cast<uint8_t>(unit));
    bytes.push_back(static_cast<uint8_t>(unit >> 8));
  }
  return bytes;
}

std::vector<uint8_t> DeriveAll(const std::vector<uint8_t>& password,
                               const std::vector<uint8_t>& salt) {
  std::vector<uint8_t> out(kDerivedKeySize);
  DerivePasswordKey(password.data(), password.size(), salt.data(), out.data());
  return out;
}

std::vector<uint8_t> DeriveUsed(const std::vector<uint8_t>& password,
                                const std::vector<uint8_t>& salt) {
  std::vector<uint8_t> out(kUsedKeySize);
  DeriveUsedKeyBytes(password.data(), password.size(), salt.data(), out.data());
  return out;
}

// RFC 2898 PBKDF2-HMAC-MD5, the roles this construction deliberately exchanges.
std::vector<uint8_t> StandardPbkdf2(const std::vector<uint8_t>& password,
                                    const std::vector<uint8_t>& salt) {
  std::vector<uint8_t> out;
  for (uint8_t i = 1; i <= kKdfBlockCount; ++i) {
    std::vector<uint8_t> message = salt;
    message.insert(message.end(), {0, 0, 0, i});
    uint8_t u[16], t[16];
    HmacMd5(password.data(), password.size(), message.data(), message.size(), u);
    memcpy(t, u, 16);
    for (uint32_t j = 2; j <= kKdfIterations; ++j) {
      HmacMd5(password.data(), password.size(), u, 16, u);
      for (int b = 0; b < 16; ++b) t[b] ^= u[b];
    }
    out.insert(out.end(), t, t + 16);
  }
  return out;
}

const std::vector<uint8_t> kCountingSalt = CountingBytes(kKdfSaltSize);

TEST(DerivePasswordKey, MatchesReferenceForUtf16LetterA) {
  EXPECT_EQ(ToHex(DeriveAll(Utf16Le(u"A"), kCountingSalt).data(), kDerivedKeySize),
            "e3e42da017683440c89c84df9a4034a18c4695f5620cff029160eacf096ab35b"
            "9ef5f0933aec7eac6d30033ab1b916d3f67323a559002b3ddd5cdd185cb5a05f"
            "2f121b67b2c85ac4ded959662f5ab4ab295af505cb37951a1bea52bb97bb250c"
            "5e10d6b7e4565aa4c74357a54d9fd17b597ce438d2a22a9aa1b2306dcf3bfdb4"
            "7651e6ddfc8a98905fae32c51f6ebe30f953e5b45fea484191434ed3f63524a4"
            "ee516cec8e0130501f00c1427d3057db5c3b264c273047cdeb238184e5639f3c"
            "00e046d4070c6b3176bb28f559189608b13d99c34885391b7736fa0b4570d3b1"
            "cf2e1c55c85f2490ec7ce6acb7e34eff99c062b76d744bbdbb850d8b5f20400f");
}

TEST(DerivePasswordKey, PasswordIsTheUtf16LeBytesNotSingleBytes) {
  EXPECT_EQ(Utf16Le(u"A"), FromHex("4100"));
  EXPECT_NE(DeriveAll(FromHex("4100"), kCountingSalt), DeriveAll(FromHex("41"), kCountingSalt));
}

TEST(DeriveKeyBlock, CounterIsBigEndianInTheLastByte) {
  // Block 16 carries counter bytes 00 00 00 10.
  uint8_t block[16];
  const std::vector<uint8_t> password = Utf16Le(u"A");
  DeriveKeyBlock(password.data(), password.size(), kCountingSalt.data(), 16, block);
  EXPECT_EQ(ToHex(block, 16), "99c062b76d744bbdbb850d8b5f20400f");
}

TEST(DerivePasswordKey, StoresBlockIAtOffsetSixteenTimesIMinusOne) {
  const std::vector<uint8_t> password = Utf16Le(u"pw");
  const std::vector<uint8_t> all = DeriveAll(password, kCountingSalt);
  for (uint32_t i = 1; i <= kKdfBlockCount; ++i) {
    uint8_t block[16];
    DeriveKeyBlock(password.data(), password.size(), kCountingSalt.data(), i, block);
    EXPECT_EQ(memcmp(block, &all[16 * (i - 1)], 16), 0) << "block " << i;
  }
}

TEST(DerivePasswordKey, AcceptsAnEmptyPassword) {
  uint8_t out[kDerivedKeySize];
  DerivePasswordKey(nullptr, 0, kCountingSalt.data(), out);
  EXPECT_EQ(ToHex(out, 32), "20e3f56cfac63e19e11dcf5d06c2684922e2ba7e8e2a2138ff3079983b648053");
}

TEST(DeriveUsedKeyBytes, HashesA520BytePasswordWhole) {
  std::vector<uint8_t> password(520);
  for (size_t i = 0; i < password.size(); ++i) password[i] = static_cast<uint8_t>(i * 7 + 3);
  const std::vector<uint8_t> salt(kKdfSaltSize, 0x5a);
  EXPECT_EQ(ToHex(DeriveUsed(password, salt).data(), kUsedKeySize),
            "5af3567f2db5559fdce252e0af07b6eb9135f7b012b00913151c1c587e9fe99c");
  std::vector<uint8_t> lastByteChanged = password;
  lastByteChanged[519] ^= 1;
  EXPECT_NE(DeriveUsed(lastByteChanged, salt), DeriveUsed(password, salt));
}

TEST(DeriveUsedKeyBytes, EqualsTheFirst32BytesOfTheFullKey) {
  const std::vector<uint8_t> password = Utf16Le(u"Password");
  const std::vector<uint8_t> salt = FromHex("a0a1a2a3a4a5a6a7a8a9aaabacadaeafb0b1b2b3");
  const std::vector<uint8_t> all = DeriveAll(password, salt);
  const std::vector<uint8_t> used = DeriveUsed(password, salt);
  EXPECT_EQ(used, std::vector<uint8_t>(all.begin(), all.begin() + 32));
  EXPECT_EQ(ToHex(used.data(), 32),
            "4ab9d95f571df19d4880b989184debe945eda87056c5b7ce1ae77299023a59de");
}

TEST(DerivePasswordKey, DiffersFromStandardPbkdf2InEveryBlock) {
  const std::vector<uint8_t> password = Utf16Le(u"correct horse");
  const std::vector<uint8_t> ours = DeriveAll(password, kCountingSalt);
  const std::vector<uint8_t> standard = StandardPbkdf2(password, kCountingSalt);
  int equalBytes = 0;
  for (size_t block = 0; block < kKdfBlockCount; ++block) {
    EXPECT_NE(memcmp(&ours[16 * block], &standard[16 * block], 16), 0) << "block " << block;
    for (size_t b = 16 * block; b < 16 * block + 16; ++b) equalBytes += ours[b] == standard[b];
  }
  // Unrelated outputs agree in about one byte of 256 by chance; more would
  // mean shared structure.
  EXPECT_LE(equalBytes, 6);
}

TEST(DerivePasswordKey, DependsOnEverySaltByte) {
  const std::vector<uint8_t> password = Utf16Le(u"pw");
  const std::vector<uint8_t> base = DeriveUsed(password, kCountingSalt);
  for (size_t i = 0; i < kKdfSaltSize; ++i) {
    std::vector<uint8_t> salt = kCountingSalt;
    salt[i] ^= 0x80;
    EXPECT_NE(DeriveUsed(password, salt), base) << "salt byte " << i;
  }
}

}  // namespace
