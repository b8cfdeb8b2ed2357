#include "blowfish.h"

#include <gtest/gtest.h>

#include "crypto_test_bytes.h"

namespace {

// Published vectors read halves big-endian; this cipher reads them
// little-endian, so each 4-byte half is reversed on the way in and out.
std::vector<uint8_t> SwapHalves(std::vector<uint8_t> block) {
  std::swap(block[0], block[3]);
  std::swap(block[1], block[2]);
  std::swap(block[4], block[7]);
  std::swap(block[5], block[6]);
  return block;
}

// Key bytes wrap during key setup, so an 8-byte key repeated four times gives
// the same schedule as the 8-byte key itself.
BlowfishContext ContextFromEightByteKey(const std::vector<uint8_t>& key8) {
  uint8_t key[32];
  for (int i = 0; i < 32; ++i) key[i] = key8[i % 8];
  BlowfishContext context;
  BlowfishKeySetup(key, &context);
  return context;
}

BlowfishContext ContextFromCountingKey() {
  const std::vector<uint8_t> key = CountingBytes(32);
  BlowfishContext context;
  BlowfishKeySetup(key.data(), &context);
  return context;
}

struct Vector {
  const char* key;
  const char* plain;
  const char* cipher;
};

// The widely published ECB table with variable 8-byte keys.
const Vector kEcbVectors[] = {
    {"0000000000000000", "0000000000000000", "4ef997456198dd78"},
    {"ffffffffffffffff", "ffffffffffffffff", "51866fd5b85ecb8a"},
    {"3000000000000000", "1000000000000001", "7d856f9a613063f2"},
    {"1111111111111111", "1111111111111111", "2466dd878b963c9d"},
    {"0123456789abcdef", "1111111111111111", "61f9c3802281b096"},
    {"1111111111111111", "0123456789abcdef", "7d0cc630afda1ec7"},
    {"fedcba9876543210", "0123456789abcdef", "0aceab0fc6a0a28d"},
    {"7ca110454a1a6e57", "01a1d6d039776742", "59c68245eb05282b"},
    {"0131d9619dc1376e", "5cd54ca83def57da", "b1b8cc0b250f09a0"},
    {"07a1133e4a0b2686", "0248d43806f67172", "1730e5778bea1da4"},
    {"3849674c2602319e", "51454b582ddf440a", "a25e7856cf2651eb"},
    {"04b915ba43feb5b6", "42fd443059577fa2", "353882b109ce8f1a"},
    {"0113b970fd34f2ce", "059b5e0851cf143a", "48f4d0884c379918"},
    {"0170f175468fb5e6", "0756d8e0774761d2", "432193b78951fc98"},
    {"43297fad38e373fe", "762514b829bf486a", "13f04154d69d1ae5"},
    {"07a7137045da2a16", "3bdd119049372802", "2eedda93ffd39c79"},
    {"04689104c2fd3b2f", "26955f6835af609a", "d887e0393c2da6e3"},
    {"37d06bb516cb7546", "164d5e404f275232", "5f99d04f5b163969"},
    {"1f08260d1ac2465e", "6b056e18759f5cca", "4a057a3b24d3977b"},
    {"584023641aba6176", "004bd6ef09176062", "452031c1e4fada8e"},
    {"025816164629b007", "480d39006ee762f2", "7555ae39f59b87bd"},
    {"49793ebc79b3258f", "437540c8698f3cfa", "53c55f9cb49fc019"},
    {"4fb05e1515ab73a7", "072d43a077075292", "7a8e7bfa937e89a3"},
    {"49e95d6d4ca229bf", "02fe55778117f12a", "cf9c5d7a4986adb5"},
    {"018310dc409b26d6", "1d9d5c5018f728c2", "d1abb290658bc778"},
    {"1c587f1c13924fef", "305532286d6f295a", "55cb3774d13ef201"},
    {"1f1f1f1f0e0e0e0e", "0123456789abcdef", "a790795108ea3cae"},
    {"e0fee0fef1fef1fe", "0123456789abcdef", "c39e072d9fac631d"},
    {"0000000000000000", "ffffffffffffffff", "014933e0cdaff6e4"},
    {"ffffffffffffffff", "0000000000000000", "f21e9a77b71c49bc"},
    {"0123456789abcdef", "0000000000000000", "245946885754369a"},
    {"fedcba9876543210", "ffffffffffffffff", "6b5c5a9c5d9e0a5a"},
};

TEST(Blowfish, EncryptsPublishedVectorsWithHalvesSwapped) {
  for (const Vector& v : kEcbVectors) {
    const BlowfishContext context = ContextFromEightByteKey(FromHex(v.key));
    std::vector<uint8_t> block = SwapHalves(FromHex(v.plain));
    BlowfishEncryptBlock(&context, block.data());
    EXPECT_EQ(ToHex(SwapHalves(block).data(), 8), v.cipher) << "key " << v.key;
  }
}

TEST(Blowfish, DecryptsPublishedVectorsWithHalvesSwapped) {
  for (const Vector& v : kEcbVectors) {
    const BlowfishContext context = ContextFromEightByteKey(FromHex(v.key));
    std::vector<uint8_t> block = SwapHalves(FromHex(v.cipher));
    BlowfishDecryptBlock(&context, block.data());
    EXPECT_EQ(ToHex(SwapHalves(block).data(), 8), v.plain) << "key " << v.key;
  }
}

TEST(Blowfish, FullKeyMatchesABigEndianReferenceOnSwappedHalvesAndDecryptsBack) {
  // Reference: a big-endian implementation, key 00..1F, block 00112233 44556677.
  const BlowfishContext context = ContextFromCountingKey();
  std::vector<uint8_t> block = SwapHalves(FromHex("0011223344556677"));
  BlowfishEncryptBlock(&context, block.data());
  EXPECT_EQ(ToHex(SwapHalves(block).data(), 8), "a09ff17f31669c54");
  BlowfishDecryptBlock(&context, block.data());
  EXPECT_EQ(ToHex(block.data(), 8), "3322110077665544");
}

TEST(Blowfish, EveryKeyByteAffectsTheSchedule) {
  const BlowfishContext base = ContextFromCountingKey();
  for (int i = 0; i < 32; ++i) {
    std::vector<uint8_t> key = CountingBytes(32);
    key[i] ^= 0x01;
    BlowfishContext changed;
    BlowfishKeySetup(key.data(), &changed);
    uint8_t a[8] = {}, b[8] = {};
    BlowfishEncryptBlock(&base, a);
    BlowfishEncryptBlock(&changed, b);
    EXPECT_NE(memcmp(a, b, 8), 0) << "key byte " << i;
  }
}

TEST(BlowfishEcb, ProcessesEachBlockOnItsOwn) {
  const BlowfishContext context = ContextFromCountingKey();
  std::vector<uint8_t> field = CountingBytes(528);
  memcpy(field.data() + 8, field.data(), 8);  // two equal blocks stay equal: no chaining
  std::vector<uint8_t> expected = field;
  for (size_t at = 0; at < expected.size(); at += 8) BlowfishEncryptBlock(&context, &expected[at]);

  ASSERT_TRUE(BlowfishEncryptEcb(&context, field.data(), field.size()));
  EXPECT_EQ(field, expected);
  EXPECT_EQ(memcmp(field.data(), field.data() + 8, 8), 0);

  ASSERT_TRUE(BlowfishDecryptEcb(&context, field.data(), field.size()));
  std::vector<uint8_t> original = CountingBytes(528);
  memcpy(original.data() + 8, original.data(), 8);
  EXPECT_EQ(field, original);
}

TEST(BlowfishEcb, RefusesALengthThatIsNotWholeBlocksAndLeavesDataUntouched) {
  const BlowfishContext context = ContextFromCountingKey();
  std::vector<uint8_t> field = CountingBytes(20);
  EXPECT_FALSE(BlowfishEncryptEcb(&context, field.data(), field.size()));
  EXPECT_FALSE(BlowfishDecryptEcb(&context, field.data(), 7));
  EXPECT_EQ(field, CountingBytes(20));
  EXPECT_TRUE(BlowfishEncryptEcb(&context, field.data(), 0));
}

}  // namespace
