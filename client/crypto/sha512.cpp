#include "sha512.h"

#include <string.h>

#include "byte_order.h"
#include "secure_wipe.h"

namespace {

// FIPS 180-2 section 4.2.3: the first 64 bits of the fractional parts of the
// cube roots of the first 80 primes.
static const uint64_t kSha512RoundConstants[80] = {
    0x428A2F98D728AE22, 0x7137449123EF65CD, 0xB5C0FBCFEC4D3B2F, 0xE9B5DBA58189DBBC,
    0x3956C25BF348B538, 0x59F111F1B605D019, 0x923F82A4AF194F9B, 0xAB1C5ED5DA6D8118,
    0xD807AA98A3030242, 0x12835B0145706FBE, 0x243185BE4EE4B28C, 0x550C7DC3D5FFB4E2,
    0x72BE5D74F27B896F, 0x80DEB1FE3B1696B1, 0x9BDC06A725C71235, 0xC19BF174CF692694,
    0xE49B69C19EF14AD2, 0xEFBE4786384F25E3, 0x0FC19DC68B8CD5B5, 0x240CA1CC77AC9C65,
    0x2DE92C6F592B0275, 0x4A7484AA6EA6E483, 0x5CB0A9DCBD41FBD4, 0x76F988DA831153B5,
    0x983E5152EE66DFAB, 0xA831C66D2DB43210, 0xB00327C898FB213F, 0xBF597FC7BEEF0EE4,
    0xC6E00BF33DA88FC2, 0xD5A79147930AA725, 0x06CA6351E003826F, 0x142929670A0E6E70,
    0x27B70A8546D22FFC, 0x2E1B21385C26C926, 0x4D2C6DFC5AC42AED, 0x53380D139D95B3DF,
    0x650A73548BAF63DE, 0x766A0ABB3C77B2A8, 0x81C2C92E47EDAEE6, 0x92722C851482353B,
    0xA2BFE8A14CF10364, 0xA81A664BBC423001, 0xC24B8B70D0F89791, 0xC76C51A30654BE30,
    0xD192E819D6EF5218, 0xD69906245565A910, 0xF40E35855771202A, 0x106AA07032BBD1B8,
    0x19A4C116B8D2D0C8, 0x1E376C085141AB53, 0x2748774CDF8EEB99, 0x34B0BCB5E19B48A8,
    0x391C0CB3C5C95A63, 0x4ED8AA4AE3418ACB, 0x5B9CCA4F7763E373, 0x682E6FF3D6B2B8A3,
    0x748F82EE5DEFB2FC, 0x78A5636F43172F60, 0x84C87814A1F0AB72, 0x8CC702081A6439EC,
    0x90BEFFFA23631E28, 0xA4506CEBDE82BDE9, 0xBEF9A3F7B2C67915, 0xC67178F2E372532B,
    0xCA273ECEEA26619C, 0xD186B8C721C0C207, 0xEADA7DD6CDE0EB1E, 0xF57D4F7FEE6ED178,
    0x06F067AA72176FBA, 0x0A637DC5A2C898A6, 0x113F9804BEF90DAE, 0x1B710B35131C471B,
    0x28DB77F523047D84, 0x32CAAB7B40C72493, 0x3C9EBE0A15C9BEBC, 0x431D67C49C100D4C,
    0x4CC5D4BECB3E42B6, 0x597F299CFC657E2A, 0x5FCB6FAB3AD6FAEC, 0x6C44198C4A475817,
};

// FIPS 180-2 section 5.3.4: the first 64 bits of the fractional parts of the
// square roots of the first 8 primes.
static const uint64_t kSha512InitialState[8] = {
    0x6A09E667F3BCC908, 0xBB67AE8584CAA73B, 0x3C6EF372FE94F82B, 0xA54FF53A5F1D36F1,
    0x510E527FADE682D1, 0x9B05688C2B3E6C1F, 0x1F83D9ABFB41BD6B, 0x5BE0CD19137E2179,
};

inline uint64_t BigSigma0(uint64_t x) {
  return RotateRight64(x, 28) ^ RotateRight64(x, 34) ^ RotateRight64(x, 39);
}
inline uint64_t BigSigma1(uint64_t x) {
  return RotateRight64(x, 14) ^ RotateRight64(x, 18) ^ RotateRight64(x, 41);
}
inline uint64_t SmallSigma0(uint64_t x) {
  return RotateRight64(x, 1) ^ RotateRight64(x, 8) ^ (x >> 7);
}
inline uint64_t SmallSigma1(uint64_t x) {
  return RotateRight64(x, 19) ^ RotateRight64(x, 61) ^ (x >> 6);
}

void Sha512Compress(Sha512Context* context, const uint8_t block[128]) {
  uint64_t w[80];
  for (int t = 0; t < 16; ++t) w[t] = LoadBe64(block + 8 * t);
  for (int t = 16; t < 80; ++t)
    w[t] = SmallSigma1(w[t - 2]) + w[t - 7] + SmallSigma0(w[t - 15]) + w[t - 16];

  uint64_t a = context->State[0], b = context->State[1], c = context->State[2],
           d = context->State[3], e = context->State[4], f = context->State[5],
           g = context->State[6], h = context->State[7];
  for (int t = 0; t < 80; ++t) {
    const uint64_t t1 = h + BigSigma1(e) + ((e & f) ^ (~e & g)) + kSha512RoundConstants[t] + w[t];
    const uint64_t t2 = BigSigma0(a) + ((a & b) ^ (a & c) ^ (b & c));
    h = g;
    g = f;
    f = e;
    e = d + t1;
    d = c;
    c = b;
    b = a;
    a = t1 + t2;
  }
  context->State[0] += a;
  context->State[1] += b;
  context->State[2] += c;
  context->State[3] += d;
  context->State[4] += e;
  context->State[5] += f;
  context->State[6] += g;
  context->State[7] += h;
  if (++context->BlockCount[0] == 0) ++context->BlockCount[1];

  // The input is key material: leave no schedule of it on the stack.
  SecureWipe(w, sizeof(w));
}

}  // namespace

void Sha512Init(Sha512Context* context) {
  memcpy(context->State, kSha512InitialState, sizeof(context->State));
  context->BlockCount[0] = 0;
  context->BlockCount[1] = 0;
  context->BufferedBytes = 0;
}

void Sha512Update(Sha512Context* context, const uint8_t* data, size_t length) {
  if (length == 0) return;
  if (context->BufferedBytes != 0) {
    const size_t room = kSha512BlockSize - context->BufferedBytes;
    const size_t take = length < room ? length : room;
    memcpy(context->Buffer + context->BufferedBytes, data, take);
    context->BufferedBytes += static_cast<uint32_t>(take);
    data += take;
    length -= take;
    if (context->BufferedBytes < kSha512BlockSize) return;
    Sha512Compress(context, context->Buffer);
    context->BufferedBytes = 0;
  }
  for (; length >= kSha512BlockSize; data += kSha512BlockSize, length -= kSha512BlockSize)
    Sha512Compress(context, data);
  if (length != 0) {
    memcpy(context->Buffer, data, length);
    context->BufferedBytes = static_cast<uint32_t>(length);
  }
}

void Sha512Final(Sha512Context* context, uint8_t digest[64]) {
  // Message length in bits = (blocks * 128 + buffered) * 8, as 128 bits.
  const uint64_t low = context->BlockCount[0];
  const uint64_t high = context->BlockCount[1];
  uint8_t length[16];
  StoreBe64(length, high << 10 | low >> 54);
  StoreBe64(length + 8, low << 10 | static_cast<uint64_t>(context->BufferedBytes) << 3);

  // 0x80, then zeros up to 112 mod 128, then the 128-bit bit count.
  static const uint8_t kPadding[128] = {0x80};
  const size_t used = context->BufferedBytes;
  Sha512Update(context, kPadding, used < 112 ? 112 - used : 240 - used);
  Sha512Update(context, length, sizeof(length));

  for (int k = 0; k < 8; ++k) StoreBe64(digest + 8 * k, context->State[k]);
  SecureWipe(context, sizeof(*context));
}
