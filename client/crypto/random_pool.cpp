#include "random_pool.h"

#include <string.h>

#include "byte_order.h"
#include "crc32.h"
#include "secure_wipe.h"
#include "sha1.h"

namespace {

constexpr size_t kWindowStep = kSha1StateSize;  // 20
constexpr size_t kWindowCount = 13;             // offsets 0..240

// CRC over delta then tick, each little-endian.
uint32_t TimingCrc(uint32_t delta, uint32_t tick) {
  uint8_t bytes[8];
  StoreLe32(bytes, delta);
  StoreLe32(bytes + 4, tick);
  return Crc32UpdateBuffer(0, bytes, sizeof(bytes));
}

}  // namespace

void PoolAddByte(RandomPoolState* state, uint8_t value) {
  if (state->writeIndex >= kRandomPoolSize) PoolMix(state);
  state->pool[state->writeIndex] = static_cast<uint8_t>(state->pool[state->writeIndex] + value);
  ++state->writeIndex;
}

void PoolAddInt(RandomPoolState* state, uint32_t value) {
  uint8_t bytes[4];
  StoreLe32(bytes, value);
  for (uint8_t byte : bytes) PoolAddByte(state, byte);
}

void PoolAddBytes(RandomPoolState* state, const void* data, int length) {
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  for (int i = 0; i < length; ++i) PoolAddByte(state, bytes[i]);
}

void PoolMix(RandomPoolState* state) {
  uint8_t block[kSha1BlockSize];
  for (size_t w = 0; w < kWindowCount; ++w) {
    const size_t offset = w * kWindowStep;
    for (size_t j = 0; j < kSha1BlockSize; ++j)
      block[j] = state->pool[(offset + j) % kRandomPoolSize];
    // The window at 240 chains into bytes 256..259, which nothing else reads.
    Sha1Compress(state->pool + offset, block);
  }
  SecureWipe(block, sizeof(block));
  state->writeIndex = 0;
}

void PoolStir(RandomPoolState* state, const uint8_t* bytes, size_t length) {
  for (size_t i = 0; i < kRandomPoolSize; ++i)
    state->pool[i] = static_cast<uint8_t>(state->pool[i] + bytes[i % length]);
}

bool PoolExtract(RandomPoolState* state, uint8_t* destination, size_t length) {
  if (length == 0 || length > kRandomPoolMaxRequest) return false;
  PoolMix(state);
  memcpy(destination, state->pool, length);
  for (size_t i = 0; i < kRandomPoolSize; ++i)
    state->pool[i] = static_cast<uint8_t>(~state->pool[i]);
  PoolMix(state);
  return true;
}

bool MouseEventCounts(MouseHistory* history, const uint8_t event[20], uint32_t tick,
                      uint32_t* timing, uint32_t* crc) {
  const uint32_t delta = history->lastTick - tick;
  history->lastTick = tick;
  const uint32_t c = Crc32UpdateBuffer(0, event, 20);
  const bool counts = c != history->lastCrc && c != history->olderCrc;
  if (counts) {
    *timing = TimingCrc(delta, tick);
    *crc = c;
  }
  history->olderCrc = history->lastCrc;
  history->lastCrc = c;
  return counts;
}

bool KeyReleaseCounts(KeyboardHistory* history, uint32_t flags, uint32_t tick, uint32_t* timing) {
  const uint32_t repeatCount = flags & 0xFFFF;
  const bool altHeld = (flags & (1u << 29)) != 0;
  const bool released = (flags & (1u << 31)) != 0;
  if (repeatCount != 1 || altHeld || !released) return false;
  const uint32_t scanCode = (flags >> 16) & 0xFF;
  if (scanCode == history->lastScanCode && scanCode == history->olderScanCode) return false;
  const uint32_t delta = history->lastTick - tick;
  history->olderScanCode = history->lastScanCode;
  *timing = TimingCrc(delta, tick);
  history->lastTick = tick;
  history->lastScanCode = scanCode;
  return true;
}
