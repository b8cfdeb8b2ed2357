#include "md5.h"

#include <string.h>

#include "byte_order.h"
#include "secure_wipe.h"

namespace {

// RFC 1321 section 3.4: T[i] = floor(2^32 * abs(sin(i + 1))), i = 0..63, radians.
static const uint32_t kMd5SineTable[64] = {
    0xD76AA478, 0xE8C7B756, 0x242070DB, 0xC1BDCEEE, 0xF57C0FAF, 0x4787C62A, 0xA8304613, 0xFD469501,
    0x698098D8, 0x8B44F7AF, 0xFFFF5BB1, 0x895CD7BE, 0x6B901122, 0xFD987193, 0xA679438E, 0x49B40821,
    0xF61E2562, 0xC040B340, 0x265E5A51, 0xE9B6C7AA, 0xD62F105D, 0x02441453, 0xD8A1E681, 0xE7D3FBC8,
    0x21E1CDE6, 0xC33707D6, 0xF4D50D87, 0x455A14ED, 0xA9E3E905, 0xFCEFA3F8, 0x676F02D9, 0x8D2A4C8A,
    0xFFFA3942, 0x8771F681, 0x6D9D6122, 0xFDE5380C, 0xA4BEEA44, 0x4BDECFA9, 0xF6BB4B60, 0xBEBFBC70,
    0x289B7EC6, 0xEAA127FA, 0xD4EF3085, 0x04881D05, 0xD9D4D039, 0xE6DB99E5, 0x1FA27CF8, 0xC4AC5665,
    0xF4292244, 0x432AFF97, 0xAB9423A7, 0xFC93A039, 0x655B59C3, 0x8F0CCC92, 0xFFEFF47D, 0x85845DD1,
    0x6FA87E4F, 0xFE2CE6E0, 0xA3014314, 0x4E0811A1, 0xF7537E82, 0xBD3AF235, 0x2AD7D2BB, 0xEB86D391,
};

// RFC 1321 section 3.4: left-rotation counts, four per round.
static const uint8_t kMd5Shifts[4][4] = {
    {7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

// One step of any round: a = b + ((a + f + X[k] + T[i]) <<< s), then rotate the roles.
inline void Md5Step(uint32_t v[4], uint32_t f, uint32_t word, int i) {
  const uint32_t sum = v[0] + f + word + kMd5SineTable[i];
  const uint32_t next = v[1] + RotateLeft32(sum, kMd5Shifts[i / 16][i % 4]);
  v[0] = v[3];
  v[3] = v[2];
  v[2] = v[1];
  v[1] = next;
}

void Md5Compress(uint32_t state[4], const uint8_t block[64]) {
  uint32_t x[16];
  for (int k = 0; k < 16; ++k) x[k] = LoadLe32(block + 4 * k);
  uint32_t v[4] = {state[0], state[1], state[2], state[3]};  // a, b, c, d
  for (int i = 0; i < 16; ++i) Md5Step(v, (v[1] & v[2]) | (~v[1] & v[3]), x[i], i);
  for (int i = 16; i < 32; ++i) Md5Step(v, (v[1] & v[3]) | (v[2] & ~v[3]), x[(5 * i + 1) % 16], i);
  for (int i = 32; i < 48; ++i) Md5Step(v, v[1] ^ v[2] ^ v[3], x[(3 * i + 5) % 16], i);
  for (int i = 48; i < 64; ++i) Md5Step(v, v[2] ^ (v[1] | ~v[3]), x[(7 * i) % 16], i);
  for (int k = 0; k < 4; ++k) state[k] += v[k];
  SecureWipe(x, sizeof(x));
  SecureWipe(v, sizeof(v));
}

}  // namespace

void Md5Init(Md5Context* context) {
  // RFC 1321 section 3.3.
  context->State[0] = 0x67452301;
  context->State[1] = 0xEFCDAB89;
  context->State[2] = 0x98BADCFE;
  context->State[3] = 0x10325476;
  context->BitCount[0] = 0;
  context->BitCount[1] = 0;
}

void Md5Update(Md5Context* context, const uint8_t* data, size_t length) {
  if (length == 0) return;
  size_t used = (context->BitCount[0] >> 3) & 63;
  const uint64_t bits = static_cast<uint64_t>(length) << 3;
  const uint32_t low = context->BitCount[0] + static_cast<uint32_t>(bits);
  context->BitCount[1] += static_cast<uint32_t>(bits >> 32) + (low < context->BitCount[0] ? 1 : 0);
  context->BitCount[0] = low;

  if (used != 0) {
    const size_t take = length < 64 - used ? length : 64 - used;
    memcpy(context->Buffer + used, data, take);
    data += take;
    length -= take;
    used += take;
    if (used < 64) return;
    Md5Compress(context->State, context->Buffer);
  }
  for (; length >= 64; data += 64, length -= 64) Md5Compress(context->State, data);
  if (length != 0) memcpy(context->Buffer, data, length);
}

void Md5Final(Md5Context* context, uint8_t digest[16]) {
  uint8_t length[8];
  StoreLe32(length, context->BitCount[0]);
  StoreLe32(length + 4, context->BitCount[1]);

  // 0x80, then zeros up to 56 mod 64, then the 64-bit bit count.
  static const uint8_t kPadding[64] = {0x80};
  const size_t used = (context->BitCount[0] >> 3) & 63;
  Md5Update(context, kPadding, used < 56 ? 56 - used : 120 - used);
  Md5Update(context, length, sizeof(length));

  for (int k = 0; k < 4; ++k) StoreLe32(digest + 4 * k, context->State[k]);
  SecureWipe(context, sizeof(*context));
}
