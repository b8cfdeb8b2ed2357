#include "sha1.h"

#include "byte_order.h"
#include "secure_wipe.h"

namespace {

// FIPS 180-1 section 5: the additive constant of each group of 20 steps.
static const uint32_t kSha1RoundConstants[4] = {0x5A827999, 0x6ED9EBA1, 0x8F1BBCDC, 0xCA62C1D6};

inline uint32_t Sha1Function(int step, uint32_t b, uint32_t c, uint32_t d) {
  if (step < 20) return (b & c) | (~b & d);
  if (step < 40 || step >= 60) return b ^ c ^ d;
  return (b & c) | (b & d) | (c & d);
}

}  // namespace

void Sha1Compress(uint8_t state[20], const uint8_t block[64]) {
  uint32_t w[80];
  for (int t = 0; t < 16; ++t) w[t] = LoadBe32(block + 4 * t);
  for (int t = 16; t < 80; ++t) w[t] = RotateLeft32(w[t - 3] ^ w[t - 8] ^ w[t - 14] ^ w[t - 16], 1);

  uint32_t h[5];
  for (int k = 0; k < 5; ++k) h[k] = LoadLe32(state + 4 * k);
  uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4];
  for (int t = 0; t < 80; ++t) {
    const uint32_t temp =
        RotateLeft32(a, 5) + Sha1Function(t, b, c, d) + e + w[t] + kSha1RoundConstants[t / 20];
    e = d;
    d = c;
    c = RotateLeft32(b, 30);
    b = a;
    a = temp;
  }
  StoreLe32(state + 0, h[0] + a);
  StoreLe32(state + 4, h[1] + b);
  StoreLe32(state + 8, h[2] + c);
  StoreLe32(state + 12, h[3] + d);
  StoreLe32(state + 16, h[4] + e);

  // Pool contents: leave no copy of them on the stack.
  SecureWipe(w, sizeof(w));
  SecureWipe(h, sizeof(h));
}
