// Key work of one log-in: the password check (unwrap the key material,
// decrypt and compare the path) and then the mount's read (unwrap again, disk
// key). Once with the full 16-block derivation of which only 32 bytes are
// used, once deriving only those two blocks, and once deriving them a single
// time for the check and the read together, as the client does. File reads are the same in both
// and left out. The two must give identical keys; the second should cost at
// most an eighth of the first.
#include <benchmark/benchmark.h>
#include <string.h>

#include <cstdio>
#include <cstdlib>

#include "account_records.h"
#include "disk_key.h"
#include "key_derivation.h"

namespace {

void DeriveAllBlocks(const uint8_t* text, size_t length, const uint8_t salt[20], uint8_t out[32]) {
  uint8_t full[kDerivedKeySize];
  DerivePasswordKey(text, length, salt, full);
  memcpy(out, full, 32);
}

const char16_t kPassword[] = u"Correct-Horse-7";
const char16_t kPath[] = u"c:\\users\\ann\\cryptelle_ann.cryptdsk";

struct KeyFile {
  uint8_t bytes[kUserKeyFileSize];
  KeyFile() {
    uint8_t salt[kAccountSaltSize];
    uint8_t material[kUserKeyMaterialSize];
    for (size_t i = 0; i < sizeof(salt); ++i) salt[i] = static_cast<uint8_t>(i * 11);
    for (size_t i = 0; i < sizeof(material); ++i) material[i] = static_cast<uint8_t>(i * 7 + 1);
    BuildUserKeyFile(salt, material, kPath, kPassword, DeriveAccountKey, bytes);
  }
};
const KeyFile kFile;

// 1 and the disk key when the password and path match, else 0.
int LogInKeyWork(PasswordKeyFunction derive, uint8_t diskKey[kDiskKeySize]) {
  RememberedAccountKeyScope remembering;
  uint8_t material[kUserKeyMaterialSize];
  char16_t path[kPathBufferUnits];
  OpenUserKeyFile({kFile.bytes, sizeof(kFile.bytes)}, kPassword, derive, material);
  DecryptStoredPath(kFile.bytes, material, path);
  if (memcmp(path, kPath, sizeof(kPath)) != 0) return 0;
  OpenUserKeyFile({kFile.bytes, sizeof(kFile.bytes)}, kPassword, derive, material);
  DiskKeyFromKeyMaterial(material, diskKey);
  return 1;
}

void BM_LogInFullDerivations(benchmark::State& state) {
  uint8_t key[kDiskKeySize];
  for (auto _ : state) benchmark::DoNotOptimize(LogInKeyWork(DeriveAllBlocks, key));
}
BENCHMARK(BM_LogInFullDerivations)->Unit(benchmark::kMillisecond);

void BM_LogInUsedBlocksOnly(benchmark::State& state) {
  uint8_t key[kDiskKeySize];
  for (auto _ : state) benchmark::DoNotOptimize(LogInKeyWork(DeriveAccountKey, key));
}
BENCHMARK(BM_LogInUsedBlocksOnly)->Unit(benchmark::kMillisecond);

// As the client does it: the read reuses the check's two blocks.
void BM_LogInUsedBlocksOnce(benchmark::State& state) {
  uint8_t key[kDiskKeySize];
  for (auto _ : state) benchmark::DoNotOptimize(LogInKeyWork(DeriveAccountKeyRemembered, key));
}
BENCHMARK(BM_LogInUsedBlocksOnce)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  uint8_t full[kDiskKeySize];
  uint8_t used[kDiskKeySize];
  uint8_t once[kDiskKeySize];
  if (LogInKeyWork(DeriveAllBlocks, full) != 1 || LogInKeyWork(DeriveAccountKey, used) != 1 ||
      LogInKeyWork(DeriveAccountKeyRemembered, once) != 1 ||
      memcmp(full, used, sizeof(full)) != 0 || memcmp(full, once, sizeof(full)) != 0) {
    fprintf(stderr, "the two derivations disagree\n");
    return EXIT_FAILURE;
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
