#include "blake2b.h"

#include <gtest/gtest.h>

#include "crypto_test_bytes.h"

namespace {

std::string Blake2bHex(const std::vector<uint8_t>& message, size_t digestSize,
                       const std::vector<uint8_t>& key = {}) {
  Blake2bContext context;
  EXPECT_EQ(Blake2bInit(&context, digestSize, key.data(), key.size()), 1);
  Blake2bUpdate(&context, message.data(), message.size());
  std::vector<uint8_t> digest(digestSize);
  Blake2bFinal(&context, digest.data());
  return ToHex(digest.data(), digest.size());
}

TEST(Blake2b, Rfc7693AbcAndTheEmptyMessage) {
  EXPECT_EQ(Blake2bHex(Bytes("abc"), 64),
            "ba80a53f981c4d0d6a2797b69f12f6e94c212f14685ac4b74b12bb6fdbffa2d1"
            "7d87c5392aab792dc252d5de4533cc9518d38aa8dbf1925ab92386edd4009923");
  EXPECT_EQ(Blake2bHex({}, 64),
            "786a02f742015903c6c6fd852552d272912f4740e15847618a86e217f71f5419"
            "d25e1031afee585313896444934eb04b903a685b1448b755d56f701afe9be2ce");
}

TEST(Blake2b, KeyedWithTheKeyAsItsOwnBlock) {
  const std::vector<uint8_t> key = CountingBytes(64);
  EXPECT_EQ(Blake2bHex({}, 64, key),
            "10ebb67700b1868efb4417987acf4690ae9d972fb7a590c2f02871799aaa4786"
            "b5e996e8f0f4eb981fc214b005f42d2ff4233499391653df7aefcbc13fc51568");
  EXPECT_EQ(Blake2bHex(CountingBytes(255), 64, key),
            "142709d62e28fcccd0af97fad0f8465b971e82201dc51070faa0372aa43e9248"
            "4be1c1e73ba10906d5d1853db6a4106e0a7bf9800d373d6dee2d46d62ef2a461");
}

TEST(Blake2b, PiecewiseEqualsWholeAtEverySplit) {
  const std::vector<uint8_t> message = CountingBytes(300);
  const std::string whole = Blake2bHex(message, 48);
  for (size_t split = 0; split <= message.size(); ++split) {
    Blake2bContext context;
    ASSERT_EQ(Blake2bInit(&context, 48, nullptr, 0), 1);
    Blake2bUpdate(&context, message.data(), split);
    Blake2bUpdate(&context, message.data() + split, message.size() - split);
    uint8_t digest[48];
    Blake2bFinal(&context, digest);
    ASSERT_EQ(ToHex(digest, sizeof(digest)), whole) << split;
  }
}

TEST(Blake2b, RefusesDigestAndKeySizesOutOfRange) {
  Blake2bContext context;
  const uint8_t key[65] = {};
  EXPECT_EQ(Blake2bInit(&context, 0, nullptr, 0), -1);
  EXPECT_EQ(Blake2bInit(&context, 65, nullptr, 0), -1);
  EXPECT_EQ(Blake2bInit(&context, 64, key, 65), -1);
  EXPECT_EQ(Blake2bInit(&context, 1, key, 64), 1);
}

}  // namespace
