// AES-256-XTS speed on 512-byte sectors, one sector and 64 KiB per call,
// ours against OpenSSL's in the same process: first both on the AES
// instructions; then, in one child process per OPENSSL_ia32cap mask (OpenSSL
// reads it when it loads), our constant-time software engine against
// OpenSSL's path without the AES instructions:
//   ~0x200000200000000  AES-NI and PCLMULQDQ masked: OpenSSL's bitsliced
//                       SSSE3 path (constant-time)
//   ~0x200020000000000  AES-NI and SSSE3 masked: OpenSSL's table path
// Run one part alone by setting OPENSSL_ia32cap yourself.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "xts.h"

namespace {

const char* const kSoftwareMasks[] = {"~0x200000200000000", "~0x200020000000000"};

struct Buffers {
  Buffers(size_t bytes) : in(bytes), out(bytes) {
    for (size_t i = 0; i < bytes; ++i) in[i] = static_cast<uint8_t>(i * 31 + 7);
    for (size_t i = 0; i < kXtsKeySize; ++i) key[i] = static_cast<uint8_t>(i * 7 + 1);
  }
  std::vector<uint8_t> in;
  std::vector<uint8_t> out;
  uint8_t key[kXtsKeySize];
};

void Ours(benchmark::State& state, XtsEngine engine, bool encrypt) {
  const size_t bytes = static_cast<size_t>(state.range(0));
  Buffers buffers(bytes);
  XtsContext context;
  if (XtsSetKey(&context, buffers.key, engine) != 1) {
    state.SkipWithError("engine not available");
    return;
  }
  uint64_t sector = 0;
  for (auto _ : state) {
    (encrypt ? XtsEncryptSectors : XtsDecryptSectors)(&context, sector, buffers.in.data(),
                                                      buffers.out.data(), bytes / kXtsSectorSize);
    sector += bytes / kXtsSectorSize;
    benchmark::DoNotOptimize(buffers.out.data());
  }
  XtsWipe(&context);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}

// Every sector is its own data unit, so each takes its tweak through a
// re-initialisation with the sector number as IV, as a disk must.
void OpenSsl(benchmark::State& state, bool encrypt) {
  const size_t bytes = static_cast<size_t>(state.range(0));
  Buffers buffers(bytes);
  EVP_CIPHER_CTX* context = EVP_CIPHER_CTX_new();
  EVP_CipherInit_ex(context, EVP_aes_256_xts(), nullptr, buffers.key, nullptr, encrypt ? 1 : 0);
  uint64_t sector = 0;
  for (auto _ : state) {
    for (size_t offset = 0; offset < bytes; offset += kXtsSectorSize) {
      uint8_t iv[16] = {};
      memcpy(iv, &sector, sizeof(sector));
      ++sector;
      EVP_CipherInit_ex(context, nullptr, nullptr, nullptr, iv, -1);
      int length = 0;
      EVP_CipherUpdate(context, buffers.out.data() + offset, &length, buffers.in.data() + offset,
                       kXtsSectorSize);
    }
    benchmark::DoNotOptimize(buffers.out.data());
  }
  EVP_CIPHER_CTX_free(context);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}

// OpenSSL's ceiling: one data unit encrypted again and again under the same
// tweak, with no re-initialisation (what its own speed test measures).
void OpenSslSameTweak(benchmark::State& state) {
  Buffers buffers(kXtsSectorSize);
  EVP_CIPHER_CTX* context = EVP_CIPHER_CTX_new();
  const uint8_t iv[16] = {};
  EVP_CipherInit_ex(context, EVP_aes_256_xts(), nullptr, buffers.key, iv, 1);
  for (auto _ : state) {
    int length = 0;
    EVP_CipherUpdate(context, buffers.out.data(), &length, buffers.in.data(), kXtsSectorSize);
    benchmark::DoNotOptimize(buffers.out.data());
  }
  EVP_CIPHER_CTX_free(context);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kXtsSectorSize));
}

// Medians of five runs: the machine is shared.
benchmark::internal::Benchmark* Repeated(benchmark::internal::Benchmark* benchmark) {
  return benchmark->Repetitions(5)->ReportAggregatesOnly(true)->MinTime(0.2);
}

void RegisterAll(bool software, const char* mask) {
  const XtsEngine engine = software ? kXtsEngineSoftware : kXtsEngineAesNi;
  const std::string ours = software ? "ours/software" : "ours/aes-ni";
  const std::string theirs =
      software ? std::string("openssl/ia32cap=") + mask : std::string("openssl/aes-ni");
  for (bool encrypt : {true, false}) {
    const std::string direction = encrypt ? "/encrypt" : "/decrypt";
    Repeated(benchmark::RegisterBenchmark((ours + direction).c_str(), Ours, engine, encrypt))
        ->Arg(512)
        ->Arg(65536);
    Repeated(benchmark::RegisterBenchmark((theirs + direction).c_str(), OpenSsl, encrypt))
        ->Arg(512)
        ->Arg(65536);
  }
  Repeated(benchmark::RegisterBenchmark((theirs + "/encrypt-same-tweak").c_str(), OpenSslSameTweak))
      ->Arg(512);
}

int RunBenchmarks(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const char* mask = getenv("OPENSSL_ia32cap");
  if (mask != nullptr) {
    RegisterAll(true, mask);
    return RunBenchmarks(argc, argv);
  }
  RegisterAll(false, nullptr);
  RunBenchmarks(argc, argv);
  for (const char* softwareMask : kSoftwareMasks) {
    fflush(stdout);
    const pid_t child = fork();
    if (child == 0) {
      setenv("OPENSSL_ia32cap", softwareMask, 1);
      execv("/proc/self/exe", argv);
      perror("execv");
      _exit(1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return 1;
  }
  return 0;
}
