// Cost of the password key derivation, which is all of its brute-force resistance.
#include <benchmark/benchmark.h>
#include <stdint.h>

#include "hmac_md5.h"
#include "key_derivation.h"

namespace {

// A 16-character password as UTF-16LE bytes.
struct Password {
  uint8_t Bytes[32];
  Password() {
    const char* text = "Sixteen chars!!1";
    for (int i = 0; i < 16; ++i) {
      Bytes[2 * i] = static_cast<uint8_t>(text[i]);
      Bytes[2 * i + 1] = 0;
    }
  }
};

const uint8_t kSalt[kKdfSaltSize] = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10,
                                     11, 12, 13, 14, 15, 16, 17, 18, 19, 20};

void BM_HmacMd5(benchmark::State& state) {
  const Password password;
  uint8_t key[16] = {0x42};
  for (auto _ : state) {
    HmacMd5(key, sizeof(key), password.Bytes, sizeof(password.Bytes), key);
    benchmark::DoNotOptimize(key);
  }
}
BENCHMARK(BM_HmacMd5);

void BM_DerivePasswordKey(benchmark::State& state) {
  const Password password;
  uint8_t out[kDerivedKeySize];
  for (auto _ : state) {
    DerivePasswordKey(password.Bytes, sizeof(password.Bytes), kSalt, out);
    benchmark::DoNotOptimize(out);
  }
}
BENCHMARK(BM_DerivePasswordKey)->Unit(benchmark::kMillisecond);

void BM_DeriveUsedKeyBytes(benchmark::State& state) {
  const Password password;
  uint8_t out[kUsedKeySize];
  for (auto _ : state) {
    DeriveUsedKeyBytes(password.Bytes, sizeof(password.Bytes), kSalt, out);
    benchmark::DoNotOptimize(out);
  }
}
BENCHMARK(BM_DeriveUsedKeyBytes)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
