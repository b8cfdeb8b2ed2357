#include "sha512.h"

#include <gtest/gtest.h>

#include "crypto_test_bytes.h"

namespace {

std::string Sha512Hex(const std::vector<uint8_t>& message) {
  Sha512Context context;
  Sha512Init(&context);
  Sha512Update(&context, message.data(), message.size());
  uint8_t digest[64];
  Sha512Final(&context, digest);
  return ToHex(digest, sizeof(digest));
}

TEST(Sha512, MatchesFips180Vectors) {
  EXPECT_EQ(Sha512Hex(Bytes("")),
            "cf83e1357eefb8bdf1542850d66d8007d620e4050b5715dc83f4a921d36ce9ce"
            "47d0d13c5d85f2b0ff8318d2877eec2f63b931bd47417a81a538327af927da3e");
  EXPECT_EQ(Sha512Hex(Bytes("abc")),
            "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a"
            "2192992a274fc1a836ba3c23a3feebbd454d4423643ce80e2a9ac94fa54ca49f");
  EXPECT_EQ(Sha512Hex(Bytes("abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmn"
                            "hijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu")),
            "8e959b75dae313da8cf4f72814fc143f8f7779c6eb9f7fa17299aeadb6889018"
            "501d289e4900f7e4331b99dec4b5433ac7d329eeb6dd26545e96e55b874be909");
  EXPECT_EQ(Sha512Hex(std::vector<uint8_t>(1000000, 'a')),
            "e718483d0ce769644e2e42c7bc15b4638e1f98b13b2044285632a803afa973eb"
            "de0ff244877ea60a4cb0432ce577c31beb009c5c2c49aa2e4eadb217ad8cc09b");
}

TEST(Sha512, PadsCorrectlyAroundTheLengthFieldBoundary) {
  EXPECT_EQ(Sha512Hex(CountingBytes(111)),
            "a1a111449b198d9b1f538bad7f3fc1022b3a5b1a5e90a0bc860de8512746cbc3"
            "1599e6c834de3a3235327af0b51ff57bf7acf1974a73014d9c3953812edc7c8d");
  EXPECT_EQ(Sha512Hex(CountingBytes(112)),
            "c5fbd731d19d2ae1180f001be72c2c1aaba1d7b094b3748880e24593b8e117a7"
            "50e11c1bd867cc2f96dace8c8b74abd2d5c4f236be444e77d30d1916174070b9");
  EXPECT_EQ(Sha512Hex(CountingBytes(127)),
            "eab89674feaa34e27aebeeff3c0a4d70070bb872d5e9f186cf1dbbdee517b6e3"
            "5724d629ff025a5b07185e911ada7e3c8acf830aa0e4f71777bd2d44f504f7f0");
  EXPECT_EQ(Sha512Hex(CountingBytes(128)),
            "1dffd5e3adb71d45d2245939665521ae001a317a03720a45732ba1900ca3b835"
            "1fc5c9b4ca513eba6f80bc7b1d1fdad4abd13491cb824d61b08d8c0e1561b3f7");
  EXPECT_EQ(Sha512Hex(CountingBytes(129)),
            "1d9da57fbbdab09afb3506ab2d223d06109d65c1c8ad197f50138f714bc4c3f2"
            "fe5787922639c680acad1c651f955990425954ce2cba0c5cc83f2667d878eb0f");
  EXPECT_EQ(Sha512Hex(CountingBytes(240)),
            "6c48466c9f6c07e4ab762c696b7eeb35cfe236fca73683e5fab873ac3489b4d2"
            "eb3d7afcce7e8165dbbf37aded3b5b0c889c0b7e0f1790a8330d8677429d91a5");
}

TEST(Sha512, IncrementalUpdateEqualsOneShotAtEverySplit) {
  const std::vector<uint8_t> message = CountingBytes(300);
  const std::string expected = Sha512Hex(message);
  for (size_t split = 0; split <= message.size(); ++split) {
    Sha512Context context;
    Sha512Init(&context);
    Sha512Update(&context, message.data(), split);
    Sha512Update(&context, message.data() + split, message.size() - split);
    uint8_t digest[64];
    Sha512Final(&context, digest);
    ASSERT_EQ(ToHex(digest, 64), expected) << "split at " << split;
  }
}

TEST(Sha512, FinalWipesChainingWordsAndCounters) {
  Sha512Context context;
  Sha512Init(&context);
  Sha512Update(&context, CountingBytes(200).data(), 200);
  uint8_t digest[64];
  Sha512Final(&context, digest);
  const Sha512Context zero = {};
  EXPECT_EQ(memcmp(&context, &zero, sizeof(context)), 0);
}

}  // namespace
