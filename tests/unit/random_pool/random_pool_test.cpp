#include "random_pool.h"

#include <gtest/gtest.h>
#include <string.h>

#include <array>
#include <vector>

#include "crc32.h"
#include "sha1.h"

namespace {

using Buffer = std::array<uint8_t, kRandomPoolBufferSize>;

struct Pool {
  Buffer bytes{};
  RandomPoolState state{bytes.data(), 0};
};

// The stirring rule written out independently: each window sees the pool as
// the previous windows left it.
void ReferenceMix(Buffer* pool) {
  for (size_t offset = 0; offset <= 240; offset += 20) {
    uint8_t block[64];
    for (size_t j = 0; j < 64; ++j) block[j] = (*pool)[(offset + j) & 0xFF];
    Sha1Compress(pool->data() + offset, block);
  }
}

TEST(RandomPoolAdding, BytesAddModulo256AtTheWriteIndex) {
  Pool p;
  p.bytes[0] = 0xF0;
  PoolAddByte(&p.state, 0x20);
  EXPECT_EQ(p.bytes[0], 0x10);
  EXPECT_EQ(p.state.writeIndex, 1u);
}

TEST(RandomPoolAdding, IntsGoInLeastSignificantByteFirst) {
  Pool p;
  PoolAddInt(&p.state, 0x11223344);
  EXPECT_EQ(p.bytes[0], 0x44);
  EXPECT_EQ(p.bytes[1], 0x33);
  EXPECT_EQ(p.bytes[2], 0x22);
  EXPECT_EQ(p.bytes[3], 0x11);
}

TEST(RandomPoolAdding, ZeroOrNegativeLengthAddsNothing) {
  Pool p;
  const uint8_t data[4] = {1, 2, 3, 4};
  PoolAddBytes(&p.state, data, 0);
  PoolAddBytes(&p.state, data, -5);
  EXPECT_EQ(p.state.writeIndex, 0u);
  EXPECT_EQ(p.bytes, Buffer{});
}

TEST(RandomPoolAdding, The257thByteOfAFreshlyMixedPoolLandsAtZeroAfterAMix) {
  Pool p;
  PoolMix(&p.state);
  Buffer expected = p.bytes;
  std::vector<uint8_t> input(257);
  for (size_t i = 0; i < input.size(); ++i) input[i] = static_cast<uint8_t>(3 * i + 1);
  for (size_t i = 0; i < 256; ++i) expected[i] = static_cast<uint8_t>(expected[i] + input[i]);
  ReferenceMix(&expected);
  expected[0] = static_cast<uint8_t>(expected[0] + input[256]);

  PoolAddBytes(&p.state, input.data(), static_cast<int>(input.size()));
  EXPECT_EQ(p.bytes, expected);
  EXPECT_EQ(p.state.writeIndex, 1u);
}

TEST(RandomPoolMixing, ThirteenWindowsInOrderAndIndexReset) {
  Pool p;
  for (size_t i = 0; i < p.bytes.size(); ++i) p.bytes[i] = static_cast<uint8_t>(i * 31);
  p.state.writeIndex = 77;
  Buffer expected = p.bytes;
  ReferenceMix(&expected);
  PoolMix(&p.state);
  EXPECT_EQ(p.bytes, expected);
  EXPECT_EQ(p.state.writeIndex, 0u);
}

TEST(RandomPoolMixing, TailBytesCarryOnlyTheLastWindowsChainingValue) {
  Pool p;
  PoolMix(&p.state);
  const Buffer first = p.bytes;
  // Changing bytes 256..259 changes only the last window's result.
  Pool q;
  q.bytes[257] = 1;
  PoolMix(&q.state);
  EXPECT_EQ(0, memcmp(first.data(), q.bytes.data(), 240));
  EXPECT_NE(0, memcmp(first.data() + 240, q.bytes.data() + 240, 20));
}

TEST(RandomPoolExtraction, TwentyBytesAreThePoolsFirstBytesRightAfterAMix) {
  Pool p;
  PoolAddInt(&p.state, 12345);
  Buffer mixed = p.bytes;
  ReferenceMix(&mixed);
  uint8_t out[20];
  ASSERT_TRUE(PoolExtract(&p.state, out, sizeof(out)));
  EXPECT_EQ(0, memcmp(out, mixed.data(), sizeof(out)));
  // Then inverted and mixed again.
  for (size_t i = 0; i < 256; ++i) mixed[i] = static_cast<uint8_t>(~mixed[i]);
  ReferenceMix(&mixed);
  EXPECT_EQ(p.bytes, mixed);
}

TEST(RandomPoolExtraction, TwoExtractionsInARowDiffer) {
  Pool p;
  uint8_t first[256];
  uint8_t second[256];
  ASSERT_TRUE(PoolExtract(&p.state, first, sizeof(first)));
  ASSERT_TRUE(PoolExtract(&p.state, second, sizeof(second)));
  EXPECT_NE(0, memcmp(first, second, sizeof(first)));
}

TEST(RandomPoolExtraction, LengthsOutside1To256AreRefusedWithoutTouchingThePool) {
  Pool p;
  uint8_t out[300];
  EXPECT_FALSE(PoolExtract(&p.state, out, 0));
  EXPECT_FALSE(PoolExtract(&p.state, out, 257));
  EXPECT_EQ(p.bytes, Buffer{});
}

// The system's 32 bytes reach every byte of a whole extraction, wherever the
// write index stands: changing any one of them changes each output byte for
// some choice of which one (an unreached byte would never change).
TEST(RandomPoolStirring, SystemBytesReachEveryExtractedByteFromEveryWritePosition) {
  uint8_t system[32];
  for (size_t i = 0; i < sizeof(system); ++i) system[i] = static_cast<uint8_t>(i * 37 + 5);
  for (uint32_t index = 0; index <= 256; ++index) {
    Pool start;
    for (size_t i = 0; i < kRandomPoolBufferSize; ++i)
      start.bytes[i] = static_cast<uint8_t>(i * 13 + index);
    const auto extract = [&](const uint8_t* stirred, uint8_t out[256]) {
      Pool p;
      p.bytes = start.bytes;
      p.state.writeIndex = index;
      PoolStir(&p.state, stirred, 32);
      EXPECT_EQ(p.state.writeIndex, index);
      PoolExtract(&p.state, out, 256);
    };
    uint8_t base[256];
    extract(system, base);
    bool reached[256] = {};
    for (size_t k = 0; k < sizeof(system); ++k) {
      uint8_t changed[32];
      memcpy(changed, system, sizeof(changed));
      changed[k] ^= 0x01;
      uint8_t out[256];
      extract(changed, out);
      for (size_t i = 0; i < 256; ++i) reached[i] = reached[i] || out[i] != base[i];
    }
    for (size_t i = 0; i < 256; ++i) ASSERT_TRUE(reached[i]) << "index " << index << " byte " << i;
  }
}

uint32_t Flags(uint32_t scanCode, bool released, uint32_t repeat = 1, bool alt = false) {
  return repeat | scanCode << 16 | (alt ? 1u << 29 : 0) | (released ? 1u << 31 : 0);
}

TEST(KeyboardHook, OnlyASingleReleaseWithoutAltCounts) {
  KeyboardHistory history{};
  uint32_t timing = 0;
  EXPECT_FALSE(KeyReleaseCounts(&history, Flags(0x1E, false), 10, &timing));          // press
  EXPECT_FALSE(KeyReleaseCounts(&history, Flags(0x1E, false, 5), 11, &timing));       // auto-repeat
  EXPECT_FALSE(KeyReleaseCounts(&history, Flags(0x1E, true, 1, true), 12, &timing));  // ALT
  EXPECT_FALSE(KeyReleaseCounts(&history, Flags(0x1E, true, 2), 12, &timing));
  EXPECT_TRUE(KeyReleaseCounts(&history, Flags(0x1E, true), 13, &timing));
}

TEST(KeyboardHook, SameKeyReleasedThreeTimesCountsTwice) {
  KeyboardHistory history{};
  uint32_t timing = 0;
  EXPECT_TRUE(KeyReleaseCounts(&history, Flags(0x20, true), 100, &timing));
  EXPECT_TRUE(KeyReleaseCounts(&history, Flags(0x20, true), 200, &timing));
  EXPECT_FALSE(KeyReleaseCounts(&history, Flags(0x20, true), 300, &timing));
  EXPECT_TRUE(KeyReleaseCounts(&history, Flags(0x21, true), 400, &timing));
}

TEST(KeyboardHook, TimingIsTheCrcOfDeltaThenTick) {
  KeyboardHistory history{};
  history.lastTick = 1000;
  uint32_t timing = 0;
  ASSERT_TRUE(KeyReleaseCounts(&history, Flags(0x30, true), 1500, &timing));
  const uint8_t bytes[8] = {0x0C, 0xFE, 0xFF, 0xFF, 0xDC, 0x05, 0, 0};  // 1000-1500, 1500
  EXPECT_EQ(timing, Crc32UpdateBuffer(0, bytes, 8));
  EXPECT_EQ(history.lastTick, 1500u);
}

TEST(MouseHook, EventMatchingOneOfTheLastTwoIsIgnored) {
  MouseHistory history{};
  uint8_t a[20] = {1};
  uint8_t b[20] = {2};
  uint8_t c[20] = {3};
  uint32_t timing = 0;
  uint32_t crc = 0;
  EXPECT_TRUE(MouseEventCounts(&history, a, 1, &timing, &crc));
  EXPECT_EQ(crc, Crc32UpdateBuffer(0, a, 20));
  EXPECT_TRUE(MouseEventCounts(&history, b, 2, &timing, &crc));
  EXPECT_FALSE(MouseEventCounts(&history, a, 3, &timing, &crc));
  EXPECT_FALSE(MouseEventCounts(&history, a, 4, &timing, &crc));  // b, a remembered now
  EXPECT_TRUE(MouseEventCounts(&history, c, 5, &timing, &crc));
  EXPECT_EQ(history.lastTick, 5u);
}

}  // namespace
