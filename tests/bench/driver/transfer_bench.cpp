// The driver's transfer core against plain pread/pwrite on the same file in
// the page cache: 4 KiB, 64 KiB and 1 MiB requests, sequential and random.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <random>
#include <vector>

#include "transfer.h"

namespace {

using namespace cryptdsk;

constexpr int64_t kFileSize = 64 << 20;

struct BenchFile {
  BenchFile() {
    char path[] = "/tmp/cryptdsk-bench-XXXXXX";
    fd = mkstemp(path);
    unlink(path);
    std::vector<uint8_t> chunk(1 << 20, 0x3C);
    for (int64_t at = 0; at < kFileSize; at += chunk.size()) {
      if (pwrite(fd, chunk.data(), chunk.size(), at) != static_cast<ssize_t>(chunk.size()))
        std::abort();
    }
    const uint8_t key[32] = {1, 2, 3};
    ImageCipherSetKey(&cipher, kGenerationHeadOnly, key, sizeof(key), kXtsEngineBest);
    io.Context = this;
    io.Read = [](void* context, uint8_t* buffer, uint32_t length, int64_t offset, uint32_t* done) {
      const ssize_t n = pread(static_cast<BenchFile*>(context)->fd, buffer, length, offset);
      *done = n < 0 ? 0 : static_cast<uint32_t>(n);
      return n < 0 ? kStatusUnsuccessful : kStatusSuccess;
    };
    io.Write = [](void* context, const uint8_t* buffer, uint32_t length, int64_t offset,
                  uint32_t* done) {
      const ssize_t n = pwrite(static_cast<BenchFile*>(context)->fd, buffer, length, offset);
      *done = n < 0 ? 0 : static_cast<uint32_t>(n);
      return n < 0 ? kStatusUnsuccessful : kStatusSuccess;
    };
  }
  int fd = -1;
  ImageCipher cipher{};
  std::vector<uint8_t> bounce = std::vector<uint8_t>(kEncryptedAreaBytes);
  ImageFileIo io{};
};

BenchFile& File() {
  static BenchFile file;
  return file;
}

std::vector<int64_t> Offsets(uint32_t length, bool random) {
  std::vector<int64_t> offsets;
  const int64_t slots = kFileSize / length;
  std::mt19937_64 generator(42);
  for (int64_t i = 0; i < slots; ++i) {
    offsets.push_back(length * (random ? static_cast<int64_t>(generator() % slots) : i));
  }
  return offsets;
}

enum Path { kCore, kPlain };
enum Direction { kRead, kWrite };

void Transfer(benchmark::State& state, Path path, Direction direction, bool random) {
  BenchFile& file = File();
  const uint32_t length = static_cast<uint32_t>(state.range(0));
  const std::vector<int64_t> offsets = Offsets(length, random);
  std::vector<uint8_t> buffer(length, 0x5A);
  size_t next = 0;
  for (auto _ : state) {
    const int64_t offset = offsets[next];
    next = next + 1 == offsets.size() ? 0 : next + 1;
    if (path == kCore) {
      const TransferResult result =
          direction == kRead
              ? ReadImage(file.io, &file.cipher, kFileSize, offset, buffer.data(), length)
              : WriteImage(file.io, &file.cipher, {file.bounce.data(), kEncryptedAreaBytes},
                           kFileSize, offset, buffer.data(), length);
      benchmark::DoNotOptimize(result);
    } else {
      const ssize_t n = direction == kRead ? pread(file.fd, buffer.data(), length, offset)
                                           : pwrite(file.fd, buffer.data(), length, offset);
      benchmark::DoNotOptimize(n);
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * length);
}

void Sizes(benchmark::internal::Benchmark* bench) {
  bench->Arg(4096)->Arg(65536)->Arg(1 << 20);
}

BENCHMARK_CAPTURE(Transfer, CoreReadSequential, kCore, kRead, false)->Apply(Sizes);
BENCHMARK_CAPTURE(Transfer, PlainReadSequential, kPlain, kRead, false)->Apply(Sizes);
BENCHMARK_CAPTURE(Transfer, CoreReadRandom, kCore, kRead, true)->Apply(Sizes);
BENCHMARK_CAPTURE(Transfer, PlainReadRandom, kPlain, kRead, true)->Apply(Sizes);
BENCHMARK_CAPTURE(Transfer, CoreWriteSequential, kCore, kWrite, false)->Apply(Sizes);
BENCHMARK_CAPTURE(Transfer, PlainWriteSequential, kPlain, kWrite, false)->Apply(Sizes);
BENCHMARK_CAPTURE(Transfer, CoreWriteRandom, kCore, kWrite, true)->Apply(Sizes);
BENCHMARK_CAPTURE(Transfer, PlainWriteRandom, kPlain, kWrite, true)->Apply(Sizes);

}  // namespace

BENCHMARK_MAIN();
