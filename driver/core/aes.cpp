#include "aes.h"

#include "aes_tables.h"

namespace {

const auto& Te = kAesTables.Encrypt;
const auto& Td = kAesTables.Decrypt;

inline uint32_t LoadBigEndian(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | uint32_t{p[3]};
}

inline void StoreBigEndian(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v >> 24);
  p[1] = static_cast<uint8_t>(v >> 16);
  p[2] = static_cast<uint8_t>(v >> 8);
  p[3] = static_cast<uint8_t>(v);
}

inline uint32_t SubWord(uint32_t w) {
  const uint8_t* s = kAesTables.Sbox;
  return (uint32_t{s[w >> 24]} << 24) | (uint32_t{s[(w >> 16) & 0xFF]} << 16) |
         (uint32_t{s[(w >> 8) & 0xFF]} << 8) | uint32_t{s[w & 0xFF]};
}

inline uint32_t RotWord(uint32_t w) {
  return (w << 8) | (w >> 24);
}

// InvMixColumns of one word, through the decryption tables: Td[r][InvS[S[b]]]
// is InvMixColumns of b in byte position r.
inline uint32_t InvMixColumn(uint32_t w) {
  const uint8_t* s = kAesTables.Sbox;
  return Td[0][s[w >> 24]] ^ Td[1][s[(w >> 16) & 0xFF]] ^ Td[2][s[(w >> 8) & 0xFF]] ^
         Td[3][s[w & 0xFF]];
}

inline uint8_t Byte(uint32_t w, int index) {
  return static_cast<uint8_t>(w >> (24 - 8 * index));
}

}  // namespace

uint32_t AesSetKey(const uint8_t* key, uint32_t keyLength, uint32_t requestedRounds,
                   AesKeySchedule* schedule) {
  if (keyLength != 16 && keyLength != 24 && keyLength != 32) return kAesBadKeyLength;
  const uint32_t rounds = keyLength / 8 * 2 + 6;
  if (requestedRounds != 0 && requestedRounds != rounds) return kAesBadRounds;

  const uint32_t keyWords = keyLength / 4;
  const uint32_t totalWords = 4 * (rounds + 1);
  uint32_t* w = schedule->EncryptRoundKeys;
  for (uint32_t i = 0; i < keyWords; ++i) w[i] = LoadBigEndian(key + 4 * i);
  for (uint32_t i = keyWords; i < totalWords; ++i) {
    uint32_t temp = w[i - 1];
    if (i % keyWords == 0) {
      temp = SubWord(RotWord(temp)) ^ kAesTables.RoundConstants[i / keyWords - 1];
    } else if (keyWords > 6 && i % keyWords == 4) {
      temp = SubWord(temp);
    }
    w[i] = w[i - keyWords] ^ temp;
  }
  for (uint32_t i = totalWords; i < 64; ++i) w[i] = 0;

  // Equivalent inverse cipher: round keys in reverse order, the inner ones
  // passed through InvMixColumns.
  uint32_t* d = schedule->DecryptRoundKeys;
  for (uint32_t round = 0; round <= rounds; ++round) {
    const uint32_t* source = w + 4 * (rounds - round);
    for (uint32_t j = 0; j < 4; ++j) {
      const bool inner = round != 0 && round != rounds;
      d[4 * round + j] = inner ? InvMixColumn(source[j]) : source[j];
    }
  }
  for (uint32_t i = totalWords; i < 64; ++i) d[i] = 0;

  schedule->Rounds = rounds;
  return kAesOk;
}

void AesEncryptBlock(const uint8_t input[16], uint8_t output[16], const AesKeySchedule* schedule) {
  const uint32_t* rk = schedule->EncryptRoundKeys;
  uint32_t s0 = LoadBigEndian(input) ^ rk[0];
  uint32_t s1 = LoadBigEndian(input + 4) ^ rk[1];
  uint32_t s2 = LoadBigEndian(input + 8) ^ rk[2];
  uint32_t s3 = LoadBigEndian(input + 12) ^ rk[3];

  for (uint32_t round = 1; round < schedule->Rounds; ++round) {
    rk += 4;
    const uint32_t t0 =
        Te[0][Byte(s0, 0)] ^ Te[1][Byte(s1, 1)] ^ Te[2][Byte(s2, 2)] ^ Te[3][Byte(s3, 3)] ^ rk[0];
    const uint32_t t1 =
        Te[0][Byte(s1, 0)] ^ Te[1][Byte(s2, 1)] ^ Te[2][Byte(s3, 2)] ^ Te[3][Byte(s0, 3)] ^ rk[1];
    const uint32_t t2 =
        Te[0][Byte(s2, 0)] ^ Te[1][Byte(s3, 1)] ^ Te[2][Byte(s0, 2)] ^ Te[3][Byte(s1, 3)] ^ rk[2];
    const uint32_t t3 =
        Te[0][Byte(s3, 0)] ^ Te[1][Byte(s0, 1)] ^ Te[2][Byte(s1, 2)] ^ Te[3][Byte(s2, 3)] ^ rk[3];
    s0 = t0;
    s1 = t1;
    s2 = t2;
    s3 = t3;
  }

  rk += 4;
  const uint32_t* last = kAesTables.EncryptLast;
  const auto finalWord = [&](uint32_t a, uint32_t b, uint32_t c, uint32_t e, uint32_t key) {
    return (last[Byte(a, 0)] & 0xFF000000u) ^ (last[Byte(b, 1)] & 0x00FF0000u) ^
           (last[Byte(c, 2)] & 0x0000FF00u) ^ (last[Byte(e, 3)] & 0x000000FFu) ^ key;
  };
  const uint32_t o0 = finalWord(s0, s1, s2, s3, rk[0]);
  const uint32_t o1 = finalWord(s1, s2, s3, s0, rk[1]);
  const uint32_t o2 = finalWord(s2, s3, s0, s1, rk[2]);
  const uint32_t o3 = finalWord(s3, s0, s1, s2, rk[3]);
  StoreBigEndian(output, o0);
  StoreBigEndian(output + 4, o1);
  StoreBigEndian(output + 8, o2);
  StoreBigEndian(output + 12, o3);
}

void AesDecryptBlock(const uint8_t input[16], uint8_t output[16], const AesKeySchedule* schedule) {
  const uint32_t* rk = schedule->DecryptRoundKeys;
  uint32_t s0 = LoadBigEndian(input) ^ rk[0];
  uint32_t s1 = LoadBigEndian(input + 4) ^ rk[1];
  uint32_t s2 = LoadBigEndian(input + 8) ^ rk[2];
  uint32_t s3 = LoadBigEndian(input + 12) ^ rk[3];

  for (uint32_t round = 1; round < schedule->Rounds; ++round) {
    rk += 4;
    const uint32_t t0 =
        Td[0][Byte(s0, 0)] ^ Td[1][Byte(s3, 1)] ^ Td[2][Byte(s2, 2)] ^ Td[3][Byte(s1, 3)] ^ rk[0];
    const uint32_t t1 =
        Td[0][Byte(s1, 0)] ^ Td[1][Byte(s0, 1)] ^ Td[2][Byte(s3, 2)] ^ Td[3][Byte(s2, 3)] ^ rk[1];
    const uint32_t t2 =
        Td[0][Byte(s2, 0)] ^ Td[1][Byte(s1, 1)] ^ Td[2][Byte(s0, 2)] ^ Td[3][Byte(s3, 3)] ^ rk[2];
    const uint32_t t3 =
        Td[0][Byte(s3, 0)] ^ Td[1][Byte(s2, 1)] ^ Td[2][Byte(s1, 2)] ^ Td[3][Byte(s0, 3)] ^ rk[3];
    s0 = t0;
    s1 = t1;
    s2 = t2;
    s3 = t3;
  }

  rk += 4;
  const uint32_t* last = kAesTables.DecryptLast;
  const auto finalWord = [&](uint32_t a, uint32_t b, uint32_t c, uint32_t e, uint32_t key) {
    return (last[Byte(a, 0)] & 0xFF000000u) ^ (last[Byte(b, 1)] & 0x00FF0000u) ^
           (last[Byte(c, 2)] & 0x0000FF00u) ^ (last[Byte(e, 3)] & 0x000000FFu) ^ key;
  };
  const uint32_t o0 = finalWord(s0, s3, s2, s1, rk[0]);
  const uint32_t o1 = finalWord(s1, s0, s3, s2, rk[1]);
  const uint32_t o2 = finalWord(s2, s1, s0, s3, rk[2]);
  const uint32_t o3 = finalWord(s3, s2, s1, s0, rk[3]);
  StoreBigEndian(output, o0);
  StoreBigEndian(output + 4, o1);
  StoreBigEndian(output + 8, o2);
  StoreBigEndian(output + 12, o3);
}

void AesDecryptTwoBlocks(uint8_t first[16], uint8_t second[16], const AesKeySchedule* schedule) {
  // Two independent blocks side by side: their table lookups overlap.
  const uint32_t* rk = schedule->DecryptRoundKeys;
  uint32_t a0 = LoadBigEndian(first) ^ rk[0];
  uint32_t a1 = LoadBigEndian(first + 4) ^ rk[1];
  uint32_t a2 = LoadBigEndian(first + 8) ^ rk[2];
  uint32_t a3 = LoadBigEndian(first + 12) ^ rk[3];
  uint32_t b0 = LoadBigEndian(second) ^ rk[0];
  uint32_t b1 = LoadBigEndian(second + 4) ^ rk[1];
  uint32_t b2 = LoadBigEndian(second + 8) ^ rk[2];
  uint32_t b3 = LoadBigEndian(second + 12) ^ rk[3];

  const auto roundWord = [](uint32_t w0, uint32_t w1, uint32_t w2, uint32_t w3, uint32_t key) {
    return Td[0][Byte(w0, 0)] ^ Td[1][Byte(w1, 1)] ^ Td[2][Byte(w2, 2)] ^ Td[3][Byte(w3, 3)] ^ key;
  };
  for (uint32_t round = 1; round < schedule->Rounds; ++round) {
    rk += 4;
    const uint32_t ta0 = roundWord(a0, a3, a2, a1, rk[0]);
    const uint32_t tb0 = roundWord(b0, b3, b2, b1, rk[0]);
    const uint32_t ta1 = roundWord(a1, a0, a3, a2, rk[1]);
    const uint32_t tb1 = roundWord(b1, b0, b3, b2, rk[1]);
    const uint32_t ta2 = roundWord(a2, a1, a0, a3, rk[2]);
    const uint32_t tb2 = roundWord(b2, b1, b0, b3, rk[2]);
    const uint32_t ta3 = roundWord(a3, a2, a1, a0, rk[3]);
    const uint32_t tb3 = roundWord(b3, b2, b1, b0, rk[3]);
    a0 = ta0;
    a1 = ta1;
    a2 = ta2;
    a3 = ta3;
    b0 = tb0;
    b1 = tb1;
    b2 = tb2;
    b3 = tb3;
  }

  rk += 4;
  const uint32_t* last = kAesTables.DecryptLast;
  const auto finalWord = [&](uint32_t w0, uint32_t w1, uint32_t w2, uint32_t w3, uint32_t key) {
    return (last[Byte(w0, 0)] & 0xFF000000u) ^ (last[Byte(w1, 1)] & 0x00FF0000u) ^
           (last[Byte(w2, 2)] & 0x0000FF00u) ^ (last[Byte(w3, 3)] & 0x000000FFu) ^ key;
  };
  StoreBigEndian(first, finalWord(a0, a3, a2, a1, rk[0]));
  StoreBigEndian(first + 4, finalWord(a1, a0, a3, a2, rk[1]));
  StoreBigEndian(first + 8, finalWord(a2, a1, a0, a3, rk[2]));
  StoreBigEndian(first + 12, finalWord(a3, a2, a1, a0, rk[3]));
  StoreBigEndian(second, finalWord(b0, b3, b2, b1, rk[0]));
  StoreBigEndian(second + 4, finalWord(b1, b0, b3, b2, rk[1]));
  StoreBigEndian(second + 8, finalWord(b2, b1, b0, b3, rk[2]));
  StoreBigEndian(second + 12, finalWord(b3, b2, b1, b0, rk[3]));
}
