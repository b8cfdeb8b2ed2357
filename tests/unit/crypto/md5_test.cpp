#include "md5.h"

#include <gtest/gtest.h>

#include "crypto_test_bytes.h"

namespace {

std::string Md5Hex(const std::vector<uint8_t>& message) {
  Md5Context context;
  Md5Init(&context);
  Md5Update(&context, message.data(), message.size());
  uint8_t digest[16];
  Md5Final(&context, digest);
  return ToHex(digest, sizeof(digest));
}

TEST(Md5, MatchesRfc1321TestSuite) {
  EXPECT_EQ(Md5Hex(Bytes("")), "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(Md5Hex(Bytes("a")), "0cc175b9c0f1b6a831c399e269772661");
  EXPECT_EQ(Md5Hex(Bytes("abc")), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(Md5Hex(Bytes("message digest")), "f96b697d7cb7938d525a2f31aaf161d0");
  EXPECT_EQ(Md5Hex(Bytes("abcdefghijklmnopqrstuvwxyz")), "c3fcd3d76192e4007dfb496cca67e13b");
  EXPECT_EQ(Md5Hex(Bytes("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789")),
            "d174ab98d277d9f5a5611c2c9f419d9f");
  EXPECT_EQ(Md5Hex(Bytes("1234567890123456789012345678901234567890"
                         "1234567890123456789012345678901234567890")),
            "57edf4a22be3c955ac49da2e2107b67a");
}

TEST(Md5, HashesOneMillionBytes) {
  EXPECT_EQ(Md5Hex(std::vector<uint8_t>(1000000, 'a')), "7707d6ae4e027c70eea2a935c2296f21");
}

TEST(Md5, PadsCorrectlyAroundTheLengthFieldBoundary) {
  // Lengths where the 0x80 byte and the 8-byte count do or do not fit.
  EXPECT_EQ(Md5Hex(CountingBytes(55)), "6912ee65fff2d9f9ce2508cddf8bcda0");
  EXPECT_EQ(Md5Hex(CountingBytes(56)), "51fdd1acda72405dfdfa03fcb85896d7");
  EXPECT_EQ(Md5Hex(CountingBytes(63)), "48a6295221902e8e0938f773a7185e72");
  EXPECT_EQ(Md5Hex(CountingBytes(64)), "b2d3f56bc197fd985d5965079b5e7148");
  EXPECT_EQ(Md5Hex(CountingBytes(65)), "8bd7053801c768420faf816fadba971c");
  EXPECT_EQ(Md5Hex(CountingBytes(119)), "1c772251899a7ff007400b888d6b2042");
  EXPECT_EQ(Md5Hex(CountingBytes(120)), "b7ba1efc6022e9ed272f00b8831e26e6");
}

TEST(Md5, IncrementalUpdateEqualsOneShotAtEverySplit) {
  const std::vector<uint8_t> message = CountingBytes(200);
  const std::string expected = Md5Hex(message);
  for (size_t split = 0; split <= message.size(); ++split) {
    Md5Context context;
    Md5Init(&context);
    Md5Update(&context, message.data(), split);
    Md5Update(&context, message.data() + split, message.size() - split);
    uint8_t digest[16];
    Md5Final(&context, digest);
    ASSERT_EQ(ToHex(digest, 16), expected) << "split at " << split;
  }
}

TEST(Md5, FinalWipesTheContext) {
  Md5Context context;
  Md5Init(&context);
  Md5Update(&context, CountingBytes(70).data(), 70);
  uint8_t digest[16];
  Md5Final(&context, digest);
  const Md5Context zero = {};
  EXPECT_EQ(memcmp(&context, &zero, sizeof(context)), 0);
}

}  // namespace
