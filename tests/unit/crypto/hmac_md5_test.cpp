#include "hmac_md5.h"

#include <gtest/gtest.h>

#include "crypto_test_bytes.h"

namespace {

std::string HmacHex(const std::vector<uint8_t>& key, const std::vector<uint8_t>& message) {
  uint8_t out[16];
  EXPECT_TRUE(HmacMd5(key.data(), key.size(), message.data(), message.size(), out));
  return ToHex(out, sizeof(out));
}

TEST(HmacMd5, MatchesRfc2202CasesWithShortKeys) {
  EXPECT_EQ(HmacHex(std::vector<uint8_t>(16, 0x0b), Bytes("Hi There")),
            "9294727a3638bb1c13f48ef8158bfc9d");
  EXPECT_EQ(HmacHex(Bytes("Jefe"), Bytes("what do ya want for nothing?")),
            "750c783e6ab0b503eaa86e310a5db738");
  EXPECT_EQ(HmacHex(std::vector<uint8_t>(16, 0xaa), std::vector<uint8_t>(50, 0xdd)),
            "56be34521d144c88dbb8c733f0e8b3f6");
  EXPECT_EQ(HmacHex(FromHex("0102030405060708090a0b0c0d0e0f10111213141516171819"),
                    std::vector<uint8_t>(50, 0xcd)),
            "697eaf0aca3a3aea3a75164746ffaa79");
  EXPECT_EQ(HmacHex(std::vector<uint8_t>(16, 0x0c), Bytes("Test With Truncation")),
            "56461ef2342edc00f9bab995690efd4c");
}

TEST(HmacMd5, AcceptsAKeyOfExactlyOneBlock) {
  EXPECT_EQ(HmacHex(CountingBytes(64), Bytes("sixty-four byte key")),
            "73a7199d977f8ec628d639bf84a92c19");
}

TEST(HmacMd5, EmptyKeyAndEmptyMessageHashOnlyThePads) {
  uint8_t out[16];
  ASSERT_TRUE(HmacMd5(nullptr, 0, nullptr, 0, out));
  EXPECT_EQ(ToHex(out, 16), "74e6f7298a9c2d168935f58c001bad88");
}

TEST(HmacMd5, RefusesKeysLongerThanOneBlockInsteadOfHashingThem) {
  const std::vector<uint8_t> key(80, 0xaa);  // the RFC 2202 long-key cases
  const std::vector<uint8_t> message =
      Bytes("Test Using Larger Than Block-Size Key - Hash Key First");
  uint8_t out[16];
  memset(out, 0xEE, sizeof(out));
  EXPECT_FALSE(HmacMd5(key.data(), key.size(), message.data(), message.size(), out));
  EXPECT_EQ(ToHex(out, 16), std::string(32, 'e'));
}

TEST(HmacMd5, OutputMayOverwriteTheKey) {
  // The key derivation feeds each output back as the next key in place.
  std::vector<uint8_t> key = CountingBytes(16);
  const std::string expected = HmacHex(key, Bytes("message"));
  const std::vector<uint8_t> message = Bytes("message");
  ASSERT_TRUE(HmacMd5(key.data(), 16, message.data(), message.size(), key.data()));
  EXPECT_EQ(ToHex(key.data(), 16), expected);
}

}  // namespace
