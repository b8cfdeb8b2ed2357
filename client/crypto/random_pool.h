// The entropy pool's arithmetic: byte-wise addition into a 256-byte circular
// region, stirring with the SHA-1 compression function over 13 windows, and
// extraction with inversion and re-mix. Also the decisions of the mouse and
// keyboard hooks. No OS calls and no locking: the Windows edge holds the lock
// around every call and supplies the inputs.
// Freestanding: no heap, no exceptions, no standard library.
#pragma once

#include <stddef.h>
#include <stdint.h>

constexpr size_t kRandomPoolSize = 256;        // input and output region
constexpr size_t kRandomPoolBufferSize = 260;  // plus the last window's chaining tail
constexpr size_t kRandomPoolMaxRequest = 256;

struct RandomPoolState {
  uint8_t* pool;        // kRandomPoolBufferSize bytes, owned by the caller
  uint32_t writeIndex;  // 0..256; 256 means "mix before the next byte"
};

// Adds one byte: mixes first when the write index has reached 256.
void PoolAddByte(RandomPoolState* state, uint8_t value);

// The four bytes of value, least significant first.
void PoolAddInt(RandomPoolState* state, uint32_t value);

// Each byte in order; a length of 0 or less adds nothing.
void PoolAddBytes(RandomPoolState* state, const void* data, int length);

// Stirs windows at 0, 20, ..., 240 in that order, each compressing the 64
// bytes that follow it (modulo 256) into its 20 bytes; resets the index.
void PoolMix(RandomPoolState* state);

// Adds bytes[i % length] to pool byte i for every i of the 256, leaving the
// write index alone: every window of the next mix covers all of bytes, so
// every byte extracted after it depends on each of them. length is 1..256.
void PoolStir(RandomPoolState* state, const uint8_t* bytes, size_t length);

// Mix, copy bytes 0..length-1 out, invert bytes 0..255, mix again. length is
// 1..256; anything else copies nothing and returns false (pool untouched).
bool PoolExtract(RandomPoolState* state, uint8_t* destination, size_t length);

// Mouse hook history: the last two event CRCs and the last event's tick.
struct MouseHistory {
  uint32_t lastCrc;
  uint32_t olderCrc;
  uint32_t lastTick;
};

// For one mouse event (its 20-byte hook structure) at tick: updates the
// history and returns true when the pool should get *timing then *crc.
// An event whose CRC equals one of the last two counts for nothing.
bool MouseEventCounts(MouseHistory* history, const uint8_t event[20], uint32_t tick,
                      uint32_t* timing, uint32_t* crc);

// Keyboard hook history: the last two scan codes and the last counted tick.
struct KeyboardHistory {
  uint32_t lastScanCode;
  uint32_t olderScanCode;
  uint32_t lastTick;
};

// For one key message (its 32-bit flags) at tick: true when the pool should
// get the flags and then *timing. Only a single release without ALT counts,
// and not a third release in a row of the same key.
bool KeyReleaseCounts(KeyboardHistory* history, uint32_t flags, uint32_t tick, uint32_t* timing);
