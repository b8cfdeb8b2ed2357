// The driver's transfer core against plain pread/pwrite on the same file in
// the page cache: 4 KiB, 64 KiB and 1 MiB requests, sequential and random,
// for the first generation (head only) and the second (every sector, on the
// AES instructions and on the software engine; writes through a 64 KiB
// bounce buffer as the driver's). At the end, each path's throughput
// relative to the plain file call of the same shape. A page-cached file
// copies at memory speed, so the second generation's ratio here is bounded
// by the XTS engine's throughput on one core, not by the transfer core.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "transfer.h"

namespace {

using namespace cryptdsk;

constexpr int64_t kDiskSize = 64 << 20;
constexpr uint32_t kBounceBytes = 64 * 1024;

enum Path { kPlain, kHeadOnly, kWholeDiskAesNi, kWholeDiskSoftware, kPathCount };
const char* const kPathNames[kPathCount] = {"plain", "head-only", "whole-disk/aes-ni",
                                            "whole-disk/software"};

struct BenchFile {
  BenchFile() : bounce(kBounceBytes) {
    char path[] = "/tmp/cryptdsk-bench-XXXXXX";
    fd = mkstemp(path);
    unlink(path);
    std::vector<uint8_t> chunk(1 << 20, 0x3C);
    for (int64_t at = 0; at < kDiskSize; at += chunk.size()) {
      if (pwrite(fd, chunk.data(), chunk.size(), at) != static_cast<ssize_t>(chunk.size()))
        std::abort();
    }
    // The second generation's backup area; never transferred.
    if (ftruncate(fd, kDiskSize + kWholeDiskBackupAreaBytes) != 0) std::abort();
    uint8_t key[64];
    for (int i = 0; i < 64; ++i) key[i] = static_cast<uint8_t>(i * 7 + 1);
    ImageCipherSetKey(&ciphers[kHeadOnly], kGenerationHeadOnly, key, 32, kXtsEngineBest);
    aesNi = ImageCipherSetKey(&ciphers[kWholeDiskAesNi], kGenerationWholeDisk, key, 64,
                              kXtsEngineAesNi) == 1;
    ImageCipherSetKey(&ciphers[kWholeDiskSoftware], kGenerationWholeDisk, key, 64,
                      kXtsEngineSoftware);
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
  bool aesNi = false;
  ImageCipher ciphers[kPathCount]{};
  std::vector<uint8_t> bounce;
  ImageFileIo io{};
};

BenchFile& File() {
  static BenchFile file;
  return file;
}

std::vector<int64_t> Offsets(uint32_t length, bool random) {
  std::vector<int64_t> offsets;
  const int64_t slots = kDiskSize / length;
  std::mt19937_64 generator(42);
  for (int64_t i = 0; i < slots; ++i) {
    offsets.push_back(length * (random ? static_cast<int64_t>(generator() % slots) : i));
  }
  return offsets;
}

enum Direction { kRead, kWrite };

void Transfer(benchmark::State& state, Path path, Direction direction, bool random) {
  BenchFile& file = File();
  if (path == kWholeDiskAesNi && !file.aesNi) {
    state.SkipWithError("no AES instructions");
    return;
  }
  const uint32_t length = static_cast<uint32_t>(state.range(0));
  const std::vector<int64_t> offsets = Offsets(length, random);
  std::vector<uint8_t> buffer(length, 0x5A);
  const ImageCipher* cipher = &file.ciphers[path];
  const BounceBuffer bounce{file.bounce.data(), kBounceBytes};
  size_t next = 0;
  for (auto _ : state) {
    const int64_t offset = offsets[next];
    next = next + 1 == offsets.size() ? 0 : next + 1;
    if (path != kPlain) {
      const TransferResult result =
          direction == kRead
              ? ReadImage(file.io, cipher, kDiskSize, offset, buffer.data(), length)
              : WriteImage(file.io, cipher, bounce, kDiskSize, offset, buffer.data(), length);
      if (result.Information != length) state.SkipWithError("short transfer");
      benchmark::DoNotOptimize(result);
    } else {
      const ssize_t n = direction == kRead ? pread(file.fd, buffer.data(), length, offset)
                                           : pwrite(file.fd, buffer.data(), length, offset);
      benchmark::DoNotOptimize(n);
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * length);
}

void RegisterAll() {
  for (const Direction direction : {kRead, kWrite}) {
    for (const bool random : {false, true}) {
      for (int path = 0; path < kPathCount; ++path) {
        const std::string name = std::string(direction == kRead ? "read" : "write") +
                                 (random ? "/random/" : "/sequential/") + kPathNames[path];
        benchmark::RegisterBenchmark(name.c_str(), Transfer, static_cast<Path>(path), direction,
                                     random)
            ->Arg(4096)
            ->Arg(65536)
            ->Arg(1 << 20);
      }
    }
  }
}

// Each encrypted path's throughput over the plain call's of the same
// direction, order and size (means when repetitions are asked for).
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      const auto found = run.counters.find("bytes_per_second");
      if (found == run.counters.end() || run.error_occurred) continue;
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "mean") continue;
      auto& [sum, count] = rates_[run.run_name.str()];
      if (run.run_type == Run::RT_Aggregate) {
        sum = found->second.value;
        count = -1;  // the mean stands for the repetitions
      } else if (count >= 0) {
        sum += found->second.value;
        ++count;
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
  void PrintRatios() const {
    std::printf("\nThroughput relative to the plain file call of the same shape:\n");
    for (const auto& [name, rate] : rates_) {
      const size_t cut = name.find("/plain/");
      if (cut == std::string::npos) continue;
      const double plain = Mean(rate);
      const std::string prefix = name.substr(0, cut + 1);
      const std::string size = name.substr(cut + 7);
      for (int path = kHeadOnly; path < kPathCount; ++path) {
        const auto other = rates_.find(prefix + kPathNames[path] + "/" + size);
        if (other == rates_.end() || plain <= 0) continue;
        std::printf("  %-44s %8.0f MiB/s  plain %8.0f MiB/s  ratio %.2f\n", other->first.c_str(),
                    Mean(other->second) / (1 << 20), plain / (1 << 20),
                    Mean(other->second) / plain);
      }
    }
  }

 private:
  static double Mean(const std::pair<double, int>& rate) {
    return rate.second > 0 ? rate.first / rate.second : rate.first;
  }
  std::map<std::string, std::pair<double, int>> rates_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RegisterAll();
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}
