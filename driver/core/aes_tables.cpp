#include "aes_tables.h"

namespace {

constexpr uint8_t GfDouble(uint8_t x) {
  return static_cast<uint8_t>((x << 1) ^ ((x & 0x80) ? 0x1B : 0x00));
}

constexpr uint8_t GfMultiply(uint8_t a, uint8_t b) {
  uint8_t product = 0;
  for (int bit = 0; bit < 8; ++bit) {
    if (b & 1) product ^= a;
    a = GfDouble(a);
    b >>= 1;
  }
  return product;
}

constexpr uint8_t RotateLeft8(uint8_t x, int n) {
  return static_cast<uint8_t>((x << n) | (x >> (8 - n)));
}

constexpr uint32_t RotateRight32(uint32_t x, int n) {
  return n == 0 ? x : (x >> n) | (x << (32 - n));
}

constexpr uint32_t Word(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3) {
  return (uint32_t{b0} << 24) | (uint32_t{b1} << 16) | (uint32_t{b2} << 8) | uint32_t{b3};
}

constexpr AesTables MakeAesTables() {
  AesTables t{};

  // Powers and logarithms of the generator 03 give the multiplicative inverse.
  uint8_t power[255] = {};
  uint8_t log[256] = {};
  uint8_t x = 1;
  for (int i = 0; i < 255; ++i) {
    power[i] = x;
    log[x] = static_cast<uint8_t>(i);
    x = static_cast<uint8_t>(x ^ GfDouble(x));
  }

  uint8_t inverseSbox[256] = {};
  for (int value = 0; value < 256; ++value) {
    const uint8_t inverse = value == 0 ? 0 : power[(255 - log[value]) % 255];
    const uint8_t s =
        static_cast<uint8_t>(inverse ^ RotateLeft8(inverse, 1) ^ RotateLeft8(inverse, 2) ^
                             RotateLeft8(inverse, 3) ^ RotateLeft8(inverse, 4) ^ 0x63);
    t.Sbox[value] = s;
    inverseSbox[s] = static_cast<uint8_t>(value);
  }

  for (int value = 0; value < 256; ++value) {
    const uint8_t s = t.Sbox[value];
    const uint32_t e = Word(GfMultiply(s, 2), s, s, GfMultiply(s, 3));
    const uint8_t si = inverseSbox[value];
    const uint32_t d = Word(GfMultiply(si, 0x0E), GfMultiply(si, 0x09), GfMultiply(si, 0x0D),
                            GfMultiply(si, 0x0B));
    for (int r = 0; r < 4; ++r) {
      t.Encrypt[r][value] = RotateRight32(e, 8 * r);
      t.Decrypt[r][value] = RotateRight32(d, 8 * r);
    }
    t.EncryptLast[value] = Word(s, s, s, s);
    t.DecryptLast[value] = Word(si, si, si, si);
  }

  uint8_t rcon = 1;
  for (int i = 0; i < 10; ++i) {
    t.RoundConstants[i] = uint32_t{rcon} << 24;
    rcon = GfDouble(rcon);
  }
  return t;
}

}  // namespace

extern constexpr AesTables kAesTables = MakeAesTables();
