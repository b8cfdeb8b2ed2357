// Sequential read of a 256 MiB disk through the nbdkit plugin, against
// reading the container file itself, in the same run: warm (the file in the
// page cache, so the file read is a memory copy) and cold (the file's pages
// dropped before each pass, so both read the storage). Each plugin figure is
// taken for a first-generation container (head-only encryption) and for a
// whole-disk one (every sector AES-256-XTS). The ratios of the plugin
// figures to the file's are printed at the end.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <libnbd.h>
#include <stdio.h>
#include <string.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "linux_access_fixture.h"
#include "nbdkit_server.h"

namespace {

using namespace linux_access_test;

constexpr size_t kDiskBytes = 256u << 20;
constexpr size_t kRequestBytes = 2u << 20;

// One user's container, served read-only from a folder of its own.
struct Served {
  explicit Served(const std::string& folder) : folder(folder) {}
  std::string folder;
  NbdkitServer server{folder};
  std::string container = folder + "/disk.cryptdsk";
};

struct Bench {
  ScratchFolder scratch;
  Served headOnly{MakeFolder(scratch / "head-only")};
  Served wholeDisk{MakeFolder(scratch / "whole-disk")};
  bool ready = false;

  static std::string MakeFolder(const std::string& path) {
    mkdir(path.c_str(), 0700);
    return path;
  }
  Served& Of(bool whole) { return whole ? wholeDisk : headOnly; }
};

Bench& Shared() {
  static Bench bench;
  return bench;
}

// A fully allocated container of random bytes (and, for a whole-disk user,
// the backup area after the disk), served read-only.
bool PrepareServed(Served& served, bool whole) {
  const std::string keyFile = served.folder + "/user.user";
  const bool made = whole ? MakeKeyFileV2(keyFile, kPassword, FixedXtsKeys())
                          : MakeKeyFile(keyFile, kPassword, FixedKeyMaterial());
  if (!made) return false;
  WriteFile(served.folder + "/password", Bytes(kPassword, kPassword + strlen(kPassword)));
  const int fd = open(served.container.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  const Bytes block = RandomBytes(kRequestBytes, 1);
  for (size_t at = 0; at < kDiskBytes; at += block.size())
    if (pwrite(fd, block.data(), block.size(), static_cast<off_t>(at)) < 0) return false;
  if (whole && pwrite(fd, Bytes(kBackupArea).data(), kBackupArea, kDiskBytes) < 0) return false;
  // Clean pages, or a cold pass could find dirty ones the drop must keep.
  if (fdatasync(fd) != 0) return false;
  close(fd);
  if (served.server.Start({"key-file=" + keyFile, "container=" + served.container,
                           "password=+" + served.folder + "/password", "readonly=true"}))
    return true;
  fprintf(stderr, "nbdkit did not start:\n%s\n", served.server.log().c_str());
  return false;
}

bool Prepare() {
  Bench& bench = Shared();
  bench.ready = PrepareServed(bench.headOnly, false) && PrepareServed(bench.wholeDisk, true);
  return bench.ready;
}

nbd_handle* Connect(bool whole) {
  nbd_handle* nbd = nbd_create();
  if (nbd != nullptr && nbd_connect_unix(nbd, Shared().Of(whole).server.socket().c_str()) == 0)
    return nbd;
  if (nbd != nullptr) nbd_close(nbd);
  return nullptr;
}

// The container's pages still in the page cache, in bytes.
size_t CachedBytes(int fd) {
  void* map = mmap(nullptr, kDiskBytes, PROT_READ, MAP_SHARED, fd, 0);
  if (map == MAP_FAILED) return kDiskBytes;
  const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  std::vector<unsigned char> resident((kDiskBytes + page - 1) / page);
  size_t cached = 0;
  if (mincore(map, kDiskBytes, resident.data()) != 0) cached = kDiskBytes;
  for (unsigned char one : resident) cached += (one & 1) * page;
  munmap(map, kDiskBytes);
  return cached;
}

// Drops the container's cached pages (clean, so nothing is lost) when the
// benchmark is a cold one. Whatever stayed cached is reported, so a pass
// that did not start cold shows in the output instead of flattering a side.
void MaybeDropCache(benchmark::State& state, bool cold, bool whole) {
  if (!cold) return;
  state.PauseTiming();
  const int fd = open(Shared().Of(whole).container.c_str(), O_RDONLY);
  posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
  const double left = static_cast<double>(CachedBytes(fd)) / (1 << 20);
  close(fd);
  auto& counter = state.counters["left_cached_MiB"];
  counter = std::max(counter.value, left);
  state.ResumeTiming();
}

void BM_ReadContainerFile(benchmark::State& state, bool cold) {
  const int fd = open(Shared().headOnly.container.c_str(), O_RDONLY);
  std::vector<uint8_t> buffer(kRequestBytes);
  for (auto _ : state) {
    MaybeDropCache(state, cold, false);
    for (size_t at = 0; at < kDiskBytes; at += kRequestBytes)
      if (pread(fd, buffer.data(), kRequestBytes, static_cast<off_t>(at)) !=
          static_cast<ssize_t>(kRequestBytes))
        state.SkipWithError("short read");
    benchmark::DoNotOptimize(buffer.data());
  }
  close(fd);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kDiskBytes);
}
BENCHMARK_CAPTURE(BM_ReadContainerFile, warm, false)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_ReadContainerFile, cold, true)->Unit(benchmark::kMillisecond)->UseRealTime();

// One connection, one request at a time.
void BM_ReadThroughPluginOneRequest(benchmark::State& state, bool cold, bool whole) {
  nbd_handle* nbd = Connect(whole);
  if (nbd == nullptr) return state.SkipWithError("cannot connect");
  std::vector<uint8_t> buffer(kRequestBytes);
  for (auto _ : state) {
    MaybeDropCache(state, cold, whole);
    for (size_t at = 0; at < kDiskBytes; at += kRequestBytes)
      if (nbd_pread(nbd, buffer.data(), kRequestBytes, at, 0) != 0)
        state.SkipWithError(nbd_get_error());
  }
  nbd_close(nbd);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kDiskBytes);
}
BENCHMARK_CAPTURE(BM_ReadThroughPluginOneRequest, warm, false, false)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_ReadThroughPluginOneRequest, cold, true, false)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_ReadThroughPluginOneRequest, warm_whole_disk, false, true)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_ReadThroughPluginOneRequest, cold_whole_disk, true, true)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Reads [begin, end) over its own connection with `depth` requests in flight.
bool ReadRange(bool whole, size_t begin, size_t end, int depth) {
  nbd_handle* nbd = Connect(whole);
  if (nbd == nullptr) return false;
  std::vector<std::vector<uint8_t>> buffers(depth, std::vector<uint8_t>(kRequestBytes));
  std::vector<int64_t> cookies(depth, 0);
  bool ok = true;
  size_t next = begin;
  int slot = 0;
  for (int k = 0; k < depth && next < end; ++k, next += kRequestBytes)
    cookies[k] = nbd_aio_pread(nbd, buffers[k].data(), kRequestBytes, next, NBD_NULL_COMPLETION, 0);
  for (;;) {
    if (cookies[slot] <= 0) break;
    while (nbd_aio_command_completed(nbd, cookies[slot]) == 0)
      if (nbd_poll(nbd, -1) == -1) return nbd_close(nbd), false;
    cookies[slot] = 0;
    if (next < end) {
      cookies[slot] =
          nbd_aio_pread(nbd, buffers[slot].data(), kRequestBytes, next, NBD_NULL_COMPLETION, 0);
      ok = ok && cookies[slot] > 0;
      next += kRequestBytes;
    }
    slot = (slot + 1) % depth;
  }
  nbd_close(nbd);
  return ok;
}

// As nbdcopy reads: several connections, several requests in flight on each.
void BM_ReadThroughPluginParallel(benchmark::State& state, bool cold, bool whole) {
  const int connections = static_cast<int>(state.range(0));
  const int depth = static_cast<int>(state.range(1));
  for (auto _ : state) {
    MaybeDropCache(state, cold, whole);
    std::vector<std::thread> readers;
    std::vector<char> ok(connections, 0);
    const size_t share = kDiskBytes / connections;
    for (int k = 0; k < connections; ++k)
      readers.emplace_back([&, k] { ok[k] = ReadRange(whole, k * share, (k + 1) * share, depth); });
    for (std::thread& reader : readers) reader.join();
    for (char one : ok)
      if (!one) state.SkipWithError("a parallel read failed");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kDiskBytes);
}
BENCHMARK_CAPTURE(BM_ReadThroughPluginParallel, warm, false, false)
    ->Args({1, 4})
    ->Args({2, 4})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_ReadThroughPluginParallel, cold, true, false)
    ->Args({1, 4})
    ->Args({2, 4})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_ReadThroughPluginParallel, warm_whole_disk, false, true)
    ->Args({1, 4})
    ->Args({2, 4})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_ReadThroughPluginParallel, cold_whole_disk, true, true)
    ->Args({1, 4})
    ->Args({2, 4})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Keeps every run's throughput for the ratios: the mean over repetitions
// when --benchmark_repetitions asks for several.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      const auto found = run.counters.find("bytes_per_second");
      if (found == run.counters.end() || run.error_occurred) continue;
      const std::string name = run.run_name.str();
      if (run.run_type == Run::RT_Aggregate) {
        if (run.aggregate_name == "mean") means_[name] = found->second.value;
      } else {
        sums_[name].first += found->second.value;
        sums_[name].second += 1;
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
  void PrintRatios() {
    for (const auto& [name, sum] : sums_)
      if (means_.count(name) == 0) means_[name] = sum.first / sum.second;
    const std::map<std::string, double>& rates_ = means_;
    for (const char* kind : {"warm", "cold"}) {
      const auto file = rates_.find(std::string("BM_ReadContainerFile/") + kind + "/real_time");
      if (file == rates_.end() || file->second <= 0) continue;
      printf("\n%s: relative to reading the container file (%.0f MiB/s):\n", kind,
             file->second / (1 << 20));
      for (const auto& [name, rate] : rates_)
        if (name.find(kind) != std::string::npos && name != file->first)
          printf("  %-52s %8.0f MiB/s  ratio %.2f\n", name.c_str(), rate / (1 << 20),
                 rate / file->second);
    }
  }

 private:
  std::map<std::string, double> means_;
  std::map<std::string, std::pair<double, int>> sums_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (!Prepare()) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  Shared().headOnly.server.Stop();
  Shared().wholeDisk.server.Stop();
  benchmark::Shutdown();
  return 0;
}
