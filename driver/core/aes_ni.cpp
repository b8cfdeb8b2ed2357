#include "aes_ni.h"

#if defined(__x86_64__) || defined(__i386__)

#include <cpuid.h>
#include <emmintrin.h>
#include <wmmintrin.h>

bool AesNiAvailable() {
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return false;
  return (ecx & bit_AES) != 0 && (edx & bit_SSE2) != 0;
}

// Everything below may use the AES instructions and SSE2, whatever the
// file's flags say (the x86 driver is built for general registers only).
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("aes,sse2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("aes,sse2")
#endif

#if defined(__i386__)
// The x86 kernel keeps stacks only 4-byte aligned; spilled XMM values need 16.
#define AES_NI_ENTRY __attribute__((force_align_arg_pointer))
#else
#define AES_NI_ENTRY
#endif

namespace {

inline __m128i Load(const uint8_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

inline void Store(uint8_t* p, __m128i v) {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}

using KeyList = const uint8_t (*)[16];

struct Encryption {
  static KeyList Keys(const AesNiSchedule* schedule) { return schedule->Encrypt; }
  static __m128i Round(__m128i x, __m128i key) { return _mm_aesenc_si128(x, key); }
  static __m128i Last(__m128i x, __m128i key) { return _mm_aesenclast_si128(x, key); }
};

struct Decryption {
  static KeyList Keys(const AesNiSchedule* schedule) { return schedule->Decrypt; }
  static __m128i Round(__m128i x, __m128i key) { return _mm_aesdec_si128(x, key); }
  static __m128i Last(__m128i x, __m128i key) { return _mm_aesdeclast_si128(x, key); }
};

// kCount independent blocks through all fourteen rounds side by side, so
// the instructions' latency overlaps.
template <class Direction, int kCount>
inline void Rounds(KeyList keys, __m128i x[kCount]) {
  const __m128i first = Load(keys[0]);
#pragma GCC unroll 8
  for (int i = 0; i < kCount; ++i) x[i] = _mm_xor_si128(x[i], first);
  for (int round = 1; round < 14; ++round) {
    const __m128i key = Load(keys[round]);
#pragma GCC unroll 8
    for (int i = 0; i < kCount; ++i) x[i] = Direction::Round(x[i], key);
  }
  const __m128i last = Load(keys[14]);
#pragma GCC unroll 8
  for (int i = 0; i < kCount; ++i) x[i] = Direction::Last(x[i], last);
}

template <class Direction, int kCount>
inline void EcbGroup(KeyList keys, const uint8_t* in, uint8_t* out) {
  __m128i x[kCount];
#pragma GCC unroll 8
  for (int i = 0; i < kCount; ++i) x[i] = Load(in + 16 * i);
  Rounds<Direction, kCount>(keys, x);
#pragma GCC unroll 8
  for (int i = 0; i < kCount; ++i) Store(out + 16 * i, x[i]);
}

template <class Direction>
void Ecb(const AesNiSchedule* schedule, const uint8_t* in, uint8_t* out, size_t blocks) {
  const KeyList keys = Direction::Keys(schedule);
  for (; blocks >= 8; blocks -= 8, in += 128, out += 128) EcbGroup<Direction, 8>(keys, in, out);
  for (; blocks > 0; --blocks, in += 16, out += 16) EcbGroup<Direction, 1>(keys, in, out);
}

// The tweak times x in GF(2^128) (polynomial x^128 + x^7 + x^2 + x + 1),
// the block read as a little-endian integer: both 64-bit halves shift left,
// bit 63 moves to bit 64 and bit 127 comes back as 0x87.
inline __m128i NextTweak(__m128i tweak) {
  const __m128i topBits = _mm_srai_epi32(tweak, 31);
  const __m128i carries = _mm_and_si128(_mm_shuffle_epi32(topBits, _MM_SHUFFLE(1, 1, 3, 3)),
                                        _mm_set_epi32(0, 1, 0, 0x87));
  return _mm_xor_si128(_mm_slli_epi64(tweak, 1), carries);
}

template <class Direction, int kCount>
inline void XtsGroup(KeyList keys, __m128i* tweak, const uint8_t* in, uint8_t* out) {
  __m128i t[kCount];
  __m128i x[kCount];
#pragma GCC unroll 8
  for (int i = 0; i < kCount; ++i) {
    t[i] = *tweak;
    *tweak = NextTweak(*tweak);
    x[i] = _mm_xor_si128(Load(in + 16 * i), t[i]);
  }
  Rounds<Direction, kCount>(keys, x);
#pragma GCC unroll 8
  for (int i = 0; i < kCount; ++i) Store(out + 16 * i, _mm_xor_si128(x[i], t[i]));
}

// A data unit's number as a 128-bit little-endian block, encrypted with the
// tweak key: the unit's first tweak.
inline __m128i UnitTweak(KeyList tweakKeys, uint64_t low, uint64_t high) {
  __m128i tweak[1] = {_mm_set_epi64x(static_cast<long long>(high), static_cast<long long>(low))};
  Rounds<Encryption, 1>(tweakKeys, tweak);
  return tweak[0];
}

// The next unit's tweak is started before this unit's blocks, so its
// latency hides behind them.
template <class Direction>
void Xts(const AesNiSchedule* schedule, const AesNiSchedule* tweakSchedule, uint64_t unit,
         const uint8_t* in, uint8_t* out, size_t units, size_t blocksPerUnit) {
  const KeyList keys = Direction::Keys(schedule);
  uint64_t unitHigh = 0;  // a run may go past unit 2^64 - 1
  __m128i next = UnitTweak(tweakSchedule->Encrypt, unit, unitHigh);
  for (; units > 0; --units) {
    __m128i tweak = next;
    if (++unit == 0) unitHigh = 1;
    if (units > 1) next = UnitTweak(tweakSchedule->Encrypt, unit, unitHigh);
    size_t blocks = blocksPerUnit;
    for (; blocks >= 8; blocks -= 8, in += 128, out += 128) {
      XtsGroup<Direction, 8>(keys, &tweak, in, out);
    }
    for (; blocks > 0; --blocks, in += 16, out += 16) XtsGroup<Direction, 1>(keys, &tweak, in, out);
  }
}

// Four more words of the expanded key: word k of `older` (w[i-8+k]) XOR all
// earlier words of `older` XOR `assist`, the value computed from w[i-1] in
// every lane.
inline __m128i ExpandStep(__m128i older, __m128i assist) {
  older = _mm_xor_si128(older, _mm_slli_si128(older, 4));
  older = _mm_xor_si128(older, _mm_slli_si128(older, 8));
  return _mm_xor_si128(older, assist);
}

// Round keys 2n and 2n+1 from 2n-2 and 2n-1: RotWord, SubWord and the round
// constant for the first, SubWord alone for the second.
template <int kRoundConstant>
inline void ExpandPair(__m128i* even, __m128i* odd, uint8_t (*out)[16]) {
  *even =
      ExpandStep(*even, _mm_shuffle_epi32(_mm_aeskeygenassist_si128(*odd, kRoundConstant), 0xFF));
  Store(out[0], *even);
  if (kRoundConstant == 0x40) return;  // round key 14 is the last
  *odd = ExpandStep(*odd, _mm_shuffle_epi32(_mm_aeskeygenassist_si128(*even, 0), 0xAA));
  Store(out[1], *odd);
}

}  // namespace

AES_NI_ENTRY void AesNiSetKey(const uint8_t key[32], AesNiSchedule* schedule) {
  uint8_t(*e)[16] = schedule->Encrypt;
  __m128i even = Load(key);
  __m128i odd = Load(key + 16);
  Store(e[0], even);
  Store(e[1], odd);
  ExpandPair<0x01>(&even, &odd, e + 2);
  ExpandPair<0x02>(&even, &odd, e + 4);
  ExpandPair<0x04>(&even, &odd, e + 6);
  ExpandPair<0x08>(&even, &odd, e + 8);
  ExpandPair<0x10>(&even, &odd, e + 10);
  ExpandPair<0x20>(&even, &odd, e + 12);
  ExpandPair<0x40>(&even, &odd, e + 14);

  // Equivalent inverse cipher: the keys in reverse, the inner ones through
  // InvMixColumns.
  Store(schedule->Decrypt[0], Load(e[14]));
  for (int round = 1; round < 14; ++round) {
    Store(schedule->Decrypt[round], _mm_aesimc_si128(Load(e[14 - round])));
  }
  Store(schedule->Decrypt[14], Load(e[0]));
}

AES_NI_ENTRY void AesNiEncryptBlocks(const AesNiSchedule* schedule, const uint8_t* in, uint8_t* out,
                                     size_t blocks) {
  Ecb<Encryption>(schedule, in, out, blocks);
}

AES_NI_ENTRY void AesNiDecryptBlocks(const AesNiSchedule* schedule, const uint8_t* in, uint8_t* out,
                                     size_t blocks) {
  Ecb<Decryption>(schedule, in, out, blocks);
}

AES_NI_ENTRY void AesNiXtsEncrypt(const AesNiSchedule* data, const AesNiSchedule* tweak,
                                  uint64_t firstUnit, const uint8_t* in, uint8_t* out, size_t units,
                                  size_t blocksPerUnit) {
  Xts<Encryption>(data, tweak, firstUnit, in, out, units, blocksPerUnit);
}

AES_NI_ENTRY void AesNiXtsDecrypt(const AesNiSchedule* data, const AesNiSchedule* tweak,
                                  uint64_t firstUnit, const uint8_t* in, uint8_t* out, size_t units,
                                  size_t blocksPerUnit) {
  Xts<Decryption>(data, tweak, firstUnit, in, out, units, blocksPerUnit);
}

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

#else  // no AES instructions on this architecture

bool AesNiAvailable() {
  return false;
}
void AesNiSetKey(const uint8_t*, AesNiSchedule*) {}
void AesNiEncryptBlocks(const AesNiSchedule*, const uint8_t*, uint8_t*, size_t) {}
void AesNiDecryptBlocks(const AesNiSchedule*, const uint8_t*, uint8_t*, size_t) {}
void AesNiXtsEncrypt(const AesNiSchedule*, const AesNiSchedule*, uint64_t, const uint8_t*, uint8_t*,
                     size_t, size_t) {}
void AesNiXtsDecrypt(const AesNiSchedule*, const AesNiSchedule*, uint64_t, const uint8_t*, uint8_t*,
                     size_t, size_t) {}

#endif
