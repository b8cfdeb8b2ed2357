#include "blake2b.h"

#include <string.h>

#include "byte_order.h"
#include "secure_wipe.h"

namespace {

const uint64_t kInitialState[8] = {
    0x6a09e667f3bcc908ull, 0xbb67ae8584caa73bull, 0x3c6ef372fe94f82bull, 0xa54ff53a5f1d36f1ull,
    0x510e527fade682d1ull, 0x9b05688c2b3e6c1full, 0x1f83d9abfb41bd6bull, 0x5be0cd19137e2179ull};

// The message word schedule of rounds 0..9; rounds 10 and 11 repeat 0 and 1.
const uint8_t kSigma[10][16] = {
    {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15},
    {14, 10, 4, 8, 9, 15, 13, 6, 1, 12, 0, 2, 11, 7, 5, 3},
    {11, 8, 12, 0, 5, 2, 15, 13, 10, 14, 3, 6, 7, 1, 9, 4},
    {7, 9, 3, 1, 13, 12, 11, 14, 2, 6, 5, 10, 4, 0, 15, 8},
    {9, 0, 5, 7, 2, 4, 10, 15, 14, 1, 11, 12, 6, 8, 3, 13},
    {2, 12, 6, 10, 0, 11, 8, 3, 4, 13, 7, 5, 15, 14, 1, 9},
    {12, 5, 1, 15, 14, 13, 4, 10, 0, 7, 6, 3, 9, 2, 8, 11},
    {13, 11, 7, 14, 12, 1, 3, 9, 5, 0, 15, 4, 8, 6, 2, 10},
    {6, 15, 14, 9, 11, 3, 0, 8, 12, 2, 13, 7, 1, 4, 10, 5},
    {10, 2, 8, 4, 7, 6, 1, 5, 15, 11, 9, 14, 3, 12, 13, 0},
};

inline uint64_t LoadLe64(const uint8_t* p) {
  return uint64_t{LoadLe32(p)} | uint64_t{LoadLe32(p + 4)} << 32;
}

inline void Mix(uint64_t v[16], int a, int b, int c, int d, uint64_t x, uint64_t y) {
  v[a] = v[a] + v[b] + x;
  v[d] = RotateRight64(v[d] ^ v[a], 32);
  v[c] = v[c] + v[d];
  v[b] = RotateRight64(v[b] ^ v[c], 24);
  v[a] = v[a] + v[b] + y;
  v[d] = RotateRight64(v[d] ^ v[a], 16);
  v[c] = v[c] + v[d];
  v[b] = RotateRight64(v[b] ^ v[c], 63);
}

void Compress(Blake2bContext* context, const uint8_t block[128], bool last) {
  uint64_t m[16];
  uint64_t v[16];
  for (int i = 0; i < 16; ++i) m[i] = LoadLe64(block + 8 * i);
  for (int i = 0; i < 8; ++i) {
    v[i] = context->State[i];
    v[i + 8] = kInitialState[i];
  }
  v[12] ^= context->Counter[0];
  v[13] ^= context->Counter[1];
  if (last) v[14] = ~v[14];
  for (int round = 0; round < 12; ++round) {
    const uint8_t* s = kSigma[round % 10];
    Mix(v, 0, 4, 8, 12, m[s[0]], m[s[1]]);
    Mix(v, 1, 5, 9, 13, m[s[2]], m[s[3]]);
    Mix(v, 2, 6, 10, 14, m[s[4]], m[s[5]]);
    Mix(v, 3, 7, 11, 15, m[s[6]], m[s[7]]);
    Mix(v, 0, 5, 10, 15, m[s[8]], m[s[9]]);
    Mix(v, 1, 6, 11, 12, m[s[10]], m[s[11]]);
    Mix(v, 2, 7, 8, 13, m[s[12]], m[s[13]]);
    Mix(v, 3, 4, 9, 14, m[s[14]], m[s[15]]);
  }
  for (int i = 0; i < 8; ++i) context->State[i] ^= v[i] ^ v[i + 8];
  SecureWipeObject(m);
  SecureWipeObject(v);
}

void Count(Blake2bContext* context, uint64_t bytes) {
  context->Counter[0] += bytes;
  if (context->Counter[0] < bytes) ++context->Counter[1];
}

}  // namespace

int Blake2bInit(Blake2bContext* context, size_t digestSize, const uint8_t* key, size_t keySize) {
  if (digestSize == 0 || digestSize > kBlake2bMaxDigestSize || keySize > kBlake2bMaxKeySize) {
    return -1;
  }
  memset(context, 0, sizeof(*context));
  memcpy(context->State, kInitialState, sizeof(kInitialState));
  context->State[0] ^= 0x01010000u ^ (uint64_t{keySize} << 8) ^ digestSize;
  context->DigestSize = static_cast<uint32_t>(digestSize);
  if (keySize > 0) {
    // The key, zero-padded, is the first block.
    memcpy(context->Buffer, key, keySize);
    context->BufferedBytes = kBlake2bBlockSize;
  }
  return 1;
}

void Blake2bUpdate(Blake2bContext* context, const uint8_t* data, size_t length) {
  // Byte by byte: the inputs here are short. A full buffer is compressed only
  // once more input shows it is not the last block.
  for (size_t i = 0; i < length; ++i) {
    if (context->BufferedBytes == kBlake2bBlockSize) {
      Count(context, kBlake2bBlockSize);
      Compress(context, context->Buffer, false);
      context->BufferedBytes = 0;
    }
    context->Buffer[context->BufferedBytes++] = data[i];
  }
}

void Blake2bFinal(Blake2bContext* context, uint8_t* digest) {
  Count(context, context->BufferedBytes);
  memset(context->Buffer + context->BufferedBytes, 0, kBlake2bBlockSize - context->BufferedBytes);
  Compress(context, context->Buffer, true);
  uint8_t bytes[kBlake2bMaxDigestSize];
  for (int i = 0; i < 8; ++i) {
    StoreLe32(bytes + 8 * i, static_cast<uint32_t>(context->State[i]));
    StoreLe32(bytes + 8 * i + 4, static_cast<uint32_t>(context->State[i] >> 32));
  }
  memcpy(digest, bytes, context->DigestSize);
  SecureWipeObject(bytes);
  SecureWipeObject(*context);
}
