#include "aes_ct.h"

#include <string.h>

#include "secure_wipe.h"

// The S-box circuit keeps more values live than there are vector registers;
// scheduling before register allocation, with an eye on pressure, spills
// less (a tenth to a quarter faster here).
#if !defined(__clang__)
#pragma GCC optimize("schedule-insns", "sched-pressure")
#endif
namespace {

// Four blocks as eight bit planes of 64 bits: plane i holds bit i of every
// byte. The byte in row r, column c of block b is bit 16r + 4c + b of its
// planes, so a row is a 16-bit lane, moving between rows is a rotation by 16
// and moving between columns a shift by 4 within the lane. On x86-64 a Word
// holds two such groups of four blocks side by side in one SSE2 register.
#if defined(__x86_64__) && !defined(CRYPTDSK_AES_CT_NO_SSE2)
typedef uint64_t Word __attribute__((vector_size(16)));
typedef uint16_t Lanes __attribute__((vector_size(16)));
constexpr int kGroups = 2;
#else
typedef uint64_t Word;
constexpr int kGroups = 1;
#endif
static_assert(kAesCtBatchBlocks == 4 * kGroups, "a batch is four blocks per group");

using Planes = Word[8];

constexpr size_t kBatchBytes = 16 * kAesCtBatchBlocks;

// The round functions run many times per block: kept inline so the planes
// stay in registers.
#define AES_CT_INLINE __attribute__((always_inline)) inline

// The portable batch's byte moves and rotations; the SSE2 batch has its own.
#if !defined(__x86_64__) || defined(CRYPTDSK_AES_CT_NO_SSE2)
AES_CT_INLINE Word RotateRight(Word x, int n) {
  return (x >> n) | (x << (64 - n));
}

inline uint32_t LoadLe32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

inline void StoreLe32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

// Bytes 0..3 of `v` to bytes 0, 2, 4, 6; Gather is the reverse.
inline uint64_t Spread(uint32_t v) {
  uint64_t x = v;
  x = (x | x << 16) & 0x0000FFFF0000FFFFull;
  return (x | x << 8) & 0x00FF00FF00FF00FFull;
}

inline uint32_t Gather(uint64_t x) {
  x &= 0x00FF00FF00FF00FFull;
  x = (x | x >> 8) & 0x0000FFFF0000FFFFull;
  return static_cast<uint32_t>(x | x >> 16);
}
#endif

AES_CT_INLINE void SwapMove(Word& a, Word& b, uint64_t mask, int shift) {
  const Word t = ((a >> shift) ^ b) & mask;
  b ^= t;
  a ^= t << shift;
}

// Transposes the 8x8 bit matrix held in each byte position of the eight
// words: (word j, bit i) -> (word i, bit j). Its own inverse.
void Transpose(Planes x) {
  for (int j = 0; j < 8; j += 2) SwapMove(x[j], x[j + 1], 0x5555555555555555ull, 1);
  for (int j = 0; j < 8; j += (j & 1) ? 3 : 1) SwapMove(x[j], x[j + 2], 0x3333333333333333ull, 2);
  for (int j = 0; j < 4; ++j) SwapMove(x[j], x[j + 4], 0x0F0F0F0F0F0F0F0Full, 4);
}

// Word 4h + b gets block b's columns h and h + 2 interleaved byte by byte,
// so that after the transpose its byte 2r + (c >> 1), bit 4(c & 1) + b is
// the byte of row r, column c: bit 16r + 4c + b.
#if defined(__x86_64__) && !defined(CRYPTDSK_AES_CT_NO_SSE2)
// Both groups at once: a block's interleaved columns are one byte unpack
// (columns 0 and 2 in the low half, 1 and 3 in the high), and the groups
// pair up by halves.
typedef uint8_t Bytes __attribute__((vector_size(16)));
typedef short PackLanes __attribute__((vector_size(16)));

void Load(const uint8_t batch[kBatchBytes], Planes q) {
  Word interleaved[8];
  for (int k = 0; k < 8; ++k) {
    Bytes block;
    memcpy(&block, batch + 16 * k, 16);
    const Bytes high = reinterpret_cast<Bytes>(__builtin_shufflevector(
        reinterpret_cast<Word>(block), reinterpret_cast<Word>(block), 1, 1));
    interleaved[k] = reinterpret_cast<Word>(__builtin_shufflevector(
        block, high, 0, 16, 1, 17, 2, 18, 3, 19, 4, 20, 5, 21, 6, 22, 7, 23));
  }
  for (int b = 0; b < 4; ++b) {
    q[b] = __builtin_shufflevector(interleaved[b], interleaved[4 + b], 0, 2);
    q[4 + b] = __builtin_shufflevector(interleaved[b], interleaved[4 + b], 1, 3);
  }
  Transpose(q);
}

// The even bytes of a block's interleaved words are its first eight, the
// odd bytes its last eight: one saturation-free pack.
void Store(Planes q, uint8_t batch[kBatchBytes]) {
  Transpose(q);
  for (int b = 0; b < 4; ++b) {
    for (int g = 0; g < 2; ++g) {
      const Word interleaved = g == 0 ? __builtin_shufflevector(q[b], q[4 + b], 0, 2)
                                      : __builtin_shufflevector(q[b], q[4 + b], 1, 3);
      const Lanes lanes = reinterpret_cast<Lanes>(interleaved);
      const Bytes block = reinterpret_cast<Bytes>(__builtin_ia32_packuswb128(
          reinterpret_cast<PackLanes>(lanes & 0x00FF), reinterpret_cast<PackLanes>(lanes >> 8)));
      memcpy(batch + 64 * g + 16 * b, &block, 16);
    }
  }
}
#else
void Load(const uint8_t batch[kBatchBytes], Planes q) {
  for (int b = 0; b < 4; ++b) {
    for (int h = 0; h < 2; ++h) {
      const uint8_t* column = batch + 16 * b + 4 * h;
      q[4 * h + b] = Spread(LoadLe32(column)) | Spread(LoadLe32(column + 8)) << 8;
    }
  }
  Transpose(q);
}

void Store(Planes q, uint8_t batch[kBatchBytes]) {
  Transpose(q);
  for (int b = 0; b < 4; ++b) {
    for (int h = 0; h < 2; ++h) {
      uint8_t* column = batch + 16 * b + 4 * h;
      StoreLe32(column, Gather(q[4 * h + b]));
      StoreLe32(column + 8, Gather(q[4 * h + b] >> 8));
    }
  }
}
#endif

// The S-box as a circuit of 113 XOR, AND and XNOR gates over the planes
// (Boyar and Peralta's: a linear layer, an inversion in GF(2^8) by
// multiplications in subfields, a linear layer with the affine constant).
// u0 and s0 are the most significant bits. Without `withConstant` the
// affine constant 63 is left out.
template <bool withConstant = true>
AES_CT_INLINE void SubBytes(Planes q) {
  const Word u0 = q[7], u1 = q[6], u2 = q[5], u3 = q[4];
  const Word u4 = q[3], u5 = q[2], u6 = q[1], u7 = q[0];

  const Word t1 = u0 ^ u3, t2 = u0 ^ u5, t3 = u0 ^ u6, t4 = u3 ^ u5;
  const Word t5 = u4 ^ u6, t6 = t1 ^ t5, t7 = u1 ^ u2, t8 = u7 ^ t6;
  const Word t9 = u7 ^ t7, t10 = t6 ^ t7, t11 = u1 ^ u5, t12 = u2 ^ u5;
  const Word t13 = t3 ^ t4, t14 = t6 ^ t11, t15 = t5 ^ t11, t16 = t5 ^ t12;
  const Word t17 = t9 ^ t16, t18 = u3 ^ u7, t19 = t7 ^ t18, t20 = t1 ^ t19;
  const Word t21 = u6 ^ u7, t22 = t7 ^ t21, t23 = t2 ^ t22, t24 = t2 ^ t10;
  const Word t25 = t20 ^ t17, t26 = t3 ^ t16, t27 = t1 ^ t12;

  const Word m1 = t13 & t6, m2 = t23 & t8, m3 = t14 ^ m1, m4 = t19 & u7;
  const Word m5 = m4 ^ m1, m6 = t3 & t16, m7 = t22 & t9, m8 = t26 ^ m6;
  const Word m9 = t20 & t17, m10 = m9 ^ m6, m11 = t1 & t15, m12 = t4 & t27;
  const Word m13 = m12 ^ m11, m14 = t2 & t10, m15 = m14 ^ m11, m16 = m3 ^ m2;
  const Word m17 = m5 ^ t24, m18 = m8 ^ m7, m19 = m10 ^ m15, m20 = m16 ^ m13;
  const Word m21 = m17 ^ m15, m22 = m18 ^ m13, m23 = m19 ^ t25, m24 = m22 ^ m23;
  const Word m25 = m22 & m20, m26 = m21 ^ m25, m27 = m20 ^ m21, m28 = m23 ^ m25;
  const Word m29 = m28 & m27, m30 = m26 & m24, m31 = m20 & m23, m32 = m27 & m31;
  const Word m33 = m27 ^ m25, m34 = m21 & m22, m35 = m24 & m34, m36 = m24 ^ m25;
  const Word m37 = m21 ^ m29, m38 = m32 ^ m33, m39 = m23 ^ m30, m40 = m35 ^ m36;
  const Word m41 = m38 ^ m40, m42 = m37 ^ m39, m43 = m37 ^ m38, m44 = m39 ^ m40;
  const Word m45 = m42 ^ m41, m46 = m44 & t6, m47 = m40 & t8, m48 = m39 & u7;
  const Word m49 = m43 & t16, m50 = m38 & t9, m51 = m37 & t17, m52 = m42 & t15;
  const Word m53 = m45 & t27, m54 = m41 & t10, m55 = m44 & t13, m56 = m40 & t23;
  const Word m57 = m39 & t19, m58 = m43 & t3, m59 = m38 & t22, m60 = m37 & t20;
  const Word m61 = m42 & t1, m62 = m45 & t4, m63 = m41 & t2;

  const Word l0 = m61 ^ m62, l1 = m50 ^ m56, l2 = m46 ^ m48, l3 = m47 ^ m55;
  const Word l4 = m54 ^ m58, l5 = m49 ^ m61, l6 = m62 ^ l5, l7 = m46 ^ l3;
  const Word l8 = m51 ^ m59, l9 = m52 ^ m53, l10 = m53 ^ l4, l11 = m60 ^ l2;
  const Word l12 = m48 ^ m51, l13 = m50 ^ l0, l14 = m52 ^ m61, l15 = m55 ^ l1;
  const Word l16 = m56 ^ l0, l17 = m57 ^ l1, l18 = m58 ^ l8, l19 = m63 ^ l4;
  const Word l20 = l0 ^ l1, l21 = l1 ^ l7, l22 = l3 ^ l12, l23 = l18 ^ l2;
  const Word l24 = l15 ^ l9, l25 = l6 ^ l10, l26 = l7 ^ l9, l27 = l8 ^ l10;
  const Word l28 = l11 ^ l14, l29 = l11 ^ l17;

  const Word s1 = l16 ^ l26, s2 = l19 ^ l28, s6 = l13 ^ l27, s7 = l6 ^ l23;
  q[7] = l6 ^ l24;
  q[6] = withConstant ? ~s1 : s1;
  q[5] = withConstant ? ~s2 : s2;
  q[4] = l6 ^ l21;
  q[3] = l20 ^ l22;
  q[2] = l25 ^ l29;
  q[1] = withConstant ? ~s6 : s6;
  q[0] = withConstant ? ~s7 : s7;
}

// The linear part of the inverse of the S-box's affine map: bit i of the
// result is x(i+2) ^ x(i+5) ^ x(i+7). Its constant, 05, is the image of 63.
AES_CT_INLINE void InverseLinear(Planes q) {
  const Word x03 = q[0] ^ q[3], x16 = q[1] ^ q[6], x47 = q[4] ^ q[7], x25 = q[2] ^ q[5];
  const Word y0 = x25 ^ q[7], y1 = x03 ^ q[6], y2 = x47 ^ q[1], y3 = x25 ^ q[0];
  const Word y4 = x16 ^ q[3], y5 = x47 ^ q[2], y6 = x03 ^ q[5], y7 = x16 ^ q[4];
  q[0] = y0;
  q[1] = y1;
  q[2] = y2;
  q[3] = y3;
  q[4] = y4;
  q[5] = y5;
  q[6] = y6;
  q[7] = y7;
}

// S-box = Affine o Inverse, so Inverse = Affine^-1 o S-box and the inverse
// S-box, Inverse o Affine^-1, is Affine^-1 o S-box o Affine^-1. Its
// constants all cancel against the 63 that every round key but the first
// carries (see AesCtSetKey): the linear part maps 63 to 05.
AES_CT_INLINE void InvSubBytes(Planes q) {
  InverseLinear(q);
  SubBytes<false>(q);
  InverseLinear(q);
}

// The rounds skip ShiftRows ("fixslicing"): after r rounds the byte of row
// y, column c sits in column c + r*y (mod 4). MixColumns fetches each
// column's other rows from the columns so displaced, the round keys are
// stored displaced the same way, and only the output (encryption) or the
// input (decryption) pays one fix-up.

// Row y moves right by y columns (ShiftRows undone once): its lane rotates
// left by 4y bits.
Word InvShiftRowsPlane(Word x) {
  return (x & 0x000000000000FFFFull) | ((x << 4) & 0x00000000FFF00000ull) |
         ((x >> 12) & 0x00000000000F0000ull) | ((x >> 8) & 0x000000FF00000000ull) |
         ((x << 8) & 0x0000FF0000000000ull) | ((x << 12) & 0xF000000000000000ull) |
         ((x >> 4) & 0x0FFF000000000000ull);
}

// Row y gets row y + 1 (RowsUp) or y + 2 (RowsUp2); every 16-bit lane
// gets its column c + n (ColumnsLeft<n>). On x86-64 these are word
// shuffles and lane shifts.
#if defined(__x86_64__) && !defined(CRYPTDSK_AES_CT_NO_SSE2)
AES_CT_INLINE Word RowsUp(Word x) {
  return reinterpret_cast<Word>(__builtin_shufflevector(
      reinterpret_cast<Lanes>(x), reinterpret_cast<Lanes>(x), 1, 2, 3, 0, 5, 6, 7, 4));
}
AES_CT_INLINE Word RowsUp2(Word x) {
  return reinterpret_cast<Word>(__builtin_shufflevector(
      reinterpret_cast<Lanes>(x), reinterpret_cast<Lanes>(x), 2, 3, 0, 1, 6, 7, 4, 5));
}
template <int n>
AES_CT_INLINE Word ColumnsLeft(Word x) {
  if (n % 4 == 0) return x;
  const Lanes lanes = reinterpret_cast<Lanes>(x);
  return reinterpret_cast<Word>((lanes >> (4 * (n % 4))) | (lanes << (16 - 4 * (n % 4))));
}
#else
AES_CT_INLINE Word RowsUp(Word x) {
  return RotateRight(x, 16);
}
AES_CT_INLINE Word RowsUp2(Word x) {
  return RotateRight(x, 32);
}
template <int n>
AES_CT_INLINE Word ColumnsLeft(Word x) {
  if (n % 4 == 0) return x;
  constexpr int bits = 4 * (n % 4);
  constexpr uint64_t low = (0xFFFFull >> bits) * 0x0001000100010001ull;
  return ((x >> bits) & low) | ((x << (16 - bits)) & ~low);
}
#endif

// ShiftRows twice, the output's and input's fix-up: rows 1 and 3 move by
// two columns.
AES_CT_INLINE void ShiftRowsTwice(Planes q) {
#pragma GCC unroll 8
  for (int i = 0; i < 8; ++i) q[i] ^= (q[i] ^ ColumnsLeft<2>(q[i])) & 0xFFFF0000FFFF0000ull;
}

// Multiplication by 02 in GF(2^8) (polynomial 11B), plane-wise.
AES_CT_INLINE void Double(const Planes x, Planes y) {
  y[0] = x[7];
  y[1] = x[0] ^ x[7];
  y[2] = x[1];
  y[3] = x[2] ^ x[7];
  y[4] = x[3] ^ x[7];
  y[5] = x[4];
  y[6] = x[5];
  y[7] = x[6];
}

// In round r (mod 4) the column's next row is one row up and r columns
// left; the row after that two rows up and 2r columns left.
template <int r>
AES_CT_INLINE Word NextRow(Word x) {
  return ColumnsLeft<r>(RowsUp(x));
}
template <int r>
AES_CT_INLINE Word OppositeRow(Word x) {
  return ColumnsLeft<2 * r>(RowsUp2(x));
}

// Each column (a0 a1 a2 a3) becomes 2a_y ^ 3a_y+1 ^ a_y+2 ^ a_y+3
// = 2(a_y ^ a_y+1) ^ a_y+1 ^ (a_y+2 ^ a_y+3).
template <int r>
AES_CT_INLINE void MixColumns(Planes q) {
  Planes next;
  Planes pair;
#pragma GCC unroll 8
  for (int i = 0; i < 8; ++i) {
    next[i] = NextRow<r>(q[i]);
    pair[i] = q[i] ^ next[i];
  }
  Double(pair, q);
#pragma GCC unroll 8
  for (int i = 0; i < 8; ++i) q[i] ^= next[i] ^ OppositeRow<r>(pair[i]);
}

// The inverse matrix is MixColumns times (05 00 04 00): a_y ^= 4(a_y ^ a_y+2).
template <int r>
AES_CT_INLINE void InvMixColumns(Planes q) {
  Planes opposite;
  Planes twice;
  Planes four;
#pragma GCC unroll 8
  for (int i = 0; i < 8; ++i) opposite[i] = q[i] ^ OppositeRow<r>(q[i]);
  Double(opposite, twice);
  Double(twice, four);
#pragma GCC unroll 8
  for (int i = 0; i < 8; ++i) q[i] ^= four[i];
  MixColumns<r>(q);
}

AES_CT_INLINE void AddRoundKey(Planes q, const Word key[8]) {
#pragma GCC unroll 8
  for (int i = 0; i < 8; ++i) q[i] ^= key[i];
}

const Word* RoundKey(const AesCtSchedule* schedule, int round) {
  return reinterpret_cast<const Word*>(schedule->RoundKeys[round]);
}

template <int r>
AES_CT_INLINE void EncryptRound(const AesCtSchedule* schedule, Planes q, int round) {
  SubBytes<false>(q);
  MixColumns<r>(q);
  AddRoundKey(q, RoundKey(schedule, round));
}

template <int r>
AES_CT_INLINE void DecryptRound(const AesCtSchedule* schedule, Planes q, int round) {
  InvSubBytes(q);
  AddRoundKey(q, RoundKey(schedule, round));
  InvMixColumns<r>(q);
}

void EncryptBatch(const AesCtSchedule* schedule, Planes state) {
  Planes q;
  memcpy(q, state, sizeof(q));
  AddRoundKey(q, RoundKey(schedule, 0));
  for (int round = 1; round < 13; round += 4) {
    EncryptRound<1>(schedule, q, round);
    EncryptRound<2>(schedule, q, round + 1);
    EncryptRound<3>(schedule, q, round + 2);
    EncryptRound<0>(schedule, q, round + 3);
  }
  EncryptRound<1>(schedule, q, 13);
  SubBytes<false>(q);
  AddRoundKey(q, RoundKey(schedule, 14));
  ShiftRowsTwice(q);  // 14 rounds' ShiftRows: twice, modulo four
  memcpy(state, q, sizeof(q));
}

// The input is first displaced as round 14's output would be, so every
// round meets its key as the encryption left it; 16 skipped shifts then
// leave the output in place.
void DecryptBatch(const AesCtSchedule* schedule, Planes state) {
  Planes q;
  memcpy(q, state, sizeof(q));
  ShiftRowsTwice(q);
  AddRoundKey(q, RoundKey(schedule, 14));
  for (int round = 13; round > 1; round -= 4) {
    DecryptRound<1>(schedule, q, round);
    DecryptRound<0>(schedule, q, round - 1);
    DecryptRound<3>(schedule, q, round - 2);
    DecryptRound<2>(schedule, q, round - 3);
  }
  DecryptRound<1>(schedule, q, 1);
  InvSubBytes(q);
  AddRoundKey(q, RoundKey(schedule, 0));
  memcpy(state, q, sizeof(q));
}

// Whole batches straight from `in` to `out`; a short last batch through a
// zero-padded copy.
void RunBatches(void (*batch)(const AesCtSchedule*, Planes), const AesCtSchedule* schedule,
                const uint8_t* in, uint8_t* out, size_t blocks) {
  Planes q;
  for (; blocks >= kAesCtBatchBlocks; blocks -= kAesCtBatchBlocks) {
    Load(in, q);
    batch(schedule, q);
    Store(q, out);
    in += kBatchBytes;
    out += kBatchBytes;
  }
  if (blocks == 0) return;
  uint8_t padded[kBatchBytes] = {};
  memcpy(padded, in, 16 * blocks);
  Load(padded, q);
  batch(schedule, q);
  Store(q, padded);
  memcpy(out, padded, 16 * blocks);
  SecureWipeObject(padded);
}

// SubWord of the key expansion, through the same circuit.
void SubWord(uint8_t word[4]) {
  uint8_t batch[kBatchBytes] = {};
  memcpy(batch, word, 4);
  Planes q;
  Load(batch, q);
  SubBytes(q);
  Store(q, batch);
  memcpy(word, batch, 4);
  SecureWipeObject(batch);
  SecureWipeObject(q);
}

}  // namespace

void AesCtSetKey(const uint8_t key[32], AesCtSchedule* schedule) {
  // FIPS-197 key expansion for Nk = 8: 60 words of 4 bytes.
  static const uint8_t kRoundConstants[7] = {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40};
  uint8_t words[60][4];
  memcpy(words, key, 32);
  for (int i = 8; i < 60; ++i) {
    uint8_t temp[4];
    memcpy(temp, words[i - 1], 4);
    if (i % 8 == 0) {
      const uint8_t first = temp[0];  // RotWord
      temp[0] = temp[1];
      temp[1] = temp[2];
      temp[2] = temp[3];
      temp[3] = first;
      SubWord(temp);
      temp[0] ^= kRoundConstants[i / 8 - 1];
    } else if (i % 8 == 4) {
      SubWord(temp);
    }
    for (int k = 0; k < 4; ++k) words[i][k] = words[i - 8][k] ^ temp[k];
    SecureWipeObject(temp);
  }

  // Each round key in plane form, the same in every block position.
  uint8_t batch[kBatchBytes];
  Planes q;
  for (int round = 0; round < 15; ++round) {
    // The S-box's constant 63, left out of the rounds' circuit, comes with
    // every round key but the first: MixColumns keeps a constant in every
    // byte as it is.
    for (size_t b = 0; b < kAesCtBatchBlocks; ++b) {
      memcpy(batch + 16 * b, words[4 * round], 16);
      for (int k = 0; k < 16; ++k) batch[16 * b + k] ^= round == 0 ? 0 : 0x63;
    }
    Load(batch, q);
    // Displaced as the state is after `round` rounds without ShiftRows.
    for (int shift = 0; shift < round % 4; ++shift) {
      for (int i = 0; i < 8; ++i) q[i] = InvShiftRowsPlane(q[i]);
    }
    memcpy(schedule->RoundKeys[round], q, sizeof(q));
  }
  SecureWipeObject(q);
  SecureWipeObject(batch);
  SecureWipeObject(words);
}

void AesCtEncryptBlocks(const AesCtSchedule* schedule, const uint8_t* in, uint8_t* out,
                        size_t blocks) {
  RunBatches(EncryptBatch, schedule, in, out, blocks);
}

void AesCtDecryptBlocks(const AesCtSchedule* schedule, const uint8_t* in, uint8_t* out,
                        size_t blocks) {
  RunBatches(DecryptBatch, schedule, in, out, blocks);
}
