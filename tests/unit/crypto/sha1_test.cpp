#include "sha1.h"

#include <gtest/gtest.h>

#include "crypto_test_bytes.h"

namespace {

// H0..H4 as the state bytes hold them: each word little-endian.
std::vector<uint8_t> LittleEndianState(const uint32_t (&words)[5]) {
  std::vector<uint8_t> state;
  for (uint32_t w : words)
    for (int shift = 0; shift < 32; shift += 8) state.push_back(static_cast<uint8_t>(w >> shift));
  return state;
}

const uint32_t kStandardInitialWords[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476,
                                           0xC3D2E1F0};

TEST(Sha1Compress, ZeroStateAndZeroBlockGiveTheStandardResultAsLittleEndianWords) {
  std::vector<uint8_t> state(20, 0);
  const uint8_t block[64] = {};
  Sha1Compress(state.data(), block);
  EXPECT_EQ(state, LittleEndianState({0x9e1547ed, 0x57ec91c2, 0x30fa8bc8, 0xc7785a54, 0xa7efa5e3}));
}

TEST(Sha1Compress, OneCompressionOfThePaddedAbcBlockGivesItsDigestWords) {
  std::vector<uint8_t> state = LittleEndianState(kStandardInitialWords);
  uint8_t block[64] = {'a', 'b', 'c', 0x80};
  block[63] = 24;  // bit length, big-endian
  Sha1Compress(state.data(), block);
  EXPECT_EQ(state, LittleEndianState({0xa9993e36, 0x4706816a, 0xba3e2571, 0x7850c26c, 0x9cd0d89d}));
}

TEST(Sha1Compress, ChainsAcrossBlocksLikeTheFullHash) {
  const std::vector<uint8_t> text =
      Bytes("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq");  // 56 bytes
  uint8_t blocks[128] = {};
  memcpy(blocks, text.data(), text.size());
  blocks[56] = 0x80;
  blocks[126] = 0x01;  // 448 bits = 0x01C0, big-endian in the last block
  blocks[127] = 0xC0;
  std::vector<uint8_t> state = LittleEndianState(kStandardInitialWords);
  Sha1Compress(state.data(), blocks);
  Sha1Compress(state.data(), blocks + 64);
  EXPECT_EQ(state, LittleEndianState({0x84983e44, 0x1c3bd26e, 0xbaae4aa1, 0xf95129e5, 0xe54670f1}));
}

}  // namespace
