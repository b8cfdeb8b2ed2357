// AES block and sector speed, ours against OpenSSL's software path in the
// same run. OpenSSL reads OPENSSL_ia32cap when the library loads, so the
// program sets it and starts itself again before anything else happens.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "aes.h"
#include "sector_cipher.h"

namespace {

// AES-NI (bit 57) and SSSE3 (bit 41) masked: OpenSSL's table-driven path.
constexpr char kSoftwareOnlyCapabilities[] = "~0x200000200000000";

struct Fixture {
  Fixture() {
    for (int i = 0; i < 32; ++i) key[i] = static_cast<uint8_t>(i * 7 + 1);
    for (uint32_t i = 0; i < kSectorSize; ++i) sector[i] = static_cast<uint8_t>(i);
    AesSetKey(key, 32, 0, &schedule);
  }
  uint8_t key[32];
  uint8_t sector[kSectorSize];
  AesKeySchedule schedule;
};

void AesBlockEncrypt(benchmark::State& state) {
  Fixture f;
  uint8_t block[16] = {};
  for (auto _ : state) {
    AesEncryptBlock(block, block, &f.schedule);
    benchmark::DoNotOptimize(block);
  }
  state.SetBytesProcessed(state.iterations() * 16);
}
BENCHMARK(AesBlockEncrypt);

void AesBlockDecrypt(benchmark::State& state) {
  Fixture f;
  uint8_t block[16] = {};
  for (auto _ : state) {
    AesDecryptBlock(block, block, &f.schedule);
    benchmark::DoNotOptimize(block);
  }
  state.SetBytesProcessed(state.iterations() * 16);
}
BENCHMARK(AesBlockDecrypt);

// The sector cipher on the engine the argument names (XtsEngine), over
// one sector or the four of the first generation's head.
void SectorCbc(benchmark::State& state, bool encrypt) {
  const XtsEngine choice = static_cast<XtsEngine>(state.range(0));
  if (choice == kXtsEngineAesNi && !AesNiAvailable()) {
    state.SkipWithError("no AES instructions");
    return;
  }
  Fixture f;
  AesEngine engine{};
  AesEngineSetKey(&engine, f.key, choice);
  const uint32_t length = static_cast<uint32_t>(state.range(1));
  uint8_t data[4 * kSectorSize] = {};
  uint64_t number = 0;
  for (auto _ : state) {
    SectorIv iv;
    SetSectorIv(&iv, number++);
    if (encrypt) {
      EncryptChunk(data, length, &iv, &engine);
    } else {
      DecryptChunk(data, length, &iv, &engine);
    }
    benchmark::DoNotOptimize(data);
  }
  state.SetBytesProcessed(state.iterations() * length);
}
void SectorCbcEncrypt(benchmark::State& state) { SectorCbc(state, true); }
void SectorCbcDecrypt(benchmark::State& state) { SectorCbc(state, false); }
BENCHMARK(SectorCbcEncrypt)->ArgsProduct({{kXtsEngineSoftware, kXtsEngineAesNi}, {512, 2048}});
BENCHMARK(SectorCbcDecrypt)->ArgsProduct({{kXtsEngineSoftware, kXtsEngineAesNi}, {512, 2048}});

void OpenSslSectorCbc(benchmark::State& state, bool encrypt) {
  Fixture f;
  EVP_CIPHER_CTX* context = EVP_CIPHER_CTX_new();
  EVP_CipherInit_ex(context, EVP_aes_256_cbc(), nullptr, f.key, nullptr, encrypt ? 1 : 0);
  EVP_CIPHER_CTX_set_padding(context, 0);
  uint64_t number = 0;
  uint8_t out[kSectorSize];
  for (auto _ : state) {
    uint8_t iv[16] = {};
    const uint64_t n = number++;
    memcpy(iv, &n, sizeof(n));
    EVP_CipherInit_ex(context, nullptr, nullptr, nullptr, iv, -1);
    int length = 0;
    EVP_CipherUpdate(context, out, &length, f.sector, kSectorSize);
    benchmark::DoNotOptimize(out);
  }
  EVP_CIPHER_CTX_free(context);
  state.SetBytesProcessed(state.iterations() * kSectorSize);
}

void OpenSslSectorCbcEncrypt(benchmark::State& state) {
  OpenSslSectorCbc(state, true);
}
BENCHMARK(OpenSslSectorCbcEncrypt);
void OpenSslSectorCbcDecrypt(benchmark::State& state) {
  OpenSslSectorCbc(state, false);
}
BENCHMARK(OpenSslSectorCbcDecrypt);

}  // namespace

int main(int argc, char** argv) {
  const char* capabilities = getenv("OPENSSL_ia32cap");
  if (capabilities == nullptr || strcmp(capabilities, kSoftwareOnlyCapabilities) != 0) {
    setenv("OPENSSL_ia32cap", kSoftwareOnlyCapabilities, 1);
    execv("/proc/self/exe", argv);
    perror("execv");
    return 1;
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
