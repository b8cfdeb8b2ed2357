// Argon2id, ours against Debian's argon2 command with the same parameters
// and inputs (its tag must equal ours). Both pay for fresh memory each time:
// ours allocates per hash as the client will, the command is a new process.
// Wall-clock times; the command runs one thread per lane, ours computes the
// lanes in turn, so for several lanes the command's CPU time per hash is
// reported too (command_cpu_s). Medians and minimums of five runs, as the
// machine is shared. Also the candidates for the log-in defaults.
#include <benchmark/benchmark.h>
#include <stdio.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "argon2id.h"

namespace {

const char kPassword[] = "correct horse battery staple";
const char kSalt[] = "0123456789abcdef";
constexpr size_t kTagSize = 32;

std::string Hex(const uint8_t* data, size_t size) {
  std::string text;
  char digits[3];
  for (size_t i = 0; i < size; ++i) {
    snprintf(digits, sizeof(digits), "%02x", data[i]);
    text += digits;
  }
  return text;
}

Argon2idParameters ParametersOf(const benchmark::State& state) {
  return {static_cast<uint32_t>(state.range(0)), static_cast<uint32_t>(state.range(1)),
          static_cast<uint32_t>(state.range(2))};
}

std::string OurTag(const Argon2idParameters& parameters) {
  const Argon2idInputs inputs{reinterpret_cast<const uint8_t*>(kPassword),
                              strlen(kPassword),
                              reinterpret_cast<const uint8_t*>(kSalt),
                              strlen(kSalt),
                              nullptr,
                              0,
                              nullptr,
                              0};
  const size_t size = Argon2idMemorySize(parameters);
  void* memory = malloc(size);
  uint8_t tag[kTagSize] = {};
  const int result = Argon2id(parameters, inputs, memory, size, tag, sizeof(tag));
  free(memory);
  return result == 1 ? Hex(tag, sizeof(tag)) : std::string();
}

void Ours(benchmark::State& state) {
  const Argon2idParameters parameters = ParametersOf(state);
  for (auto _ : state) {
    if (OurTag(parameters).empty()) state.SkipWithError("Argon2id refused");
  }
}

double ChildrenCpuSeconds() {
  rusage usage;
  getrusage(RUSAGE_CHILDREN, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void Command(benchmark::State& state) {
  const Argon2idParameters parameters = ParametersOf(state);
  if (access("/usr/bin/argon2", X_OK) != 0) {
    state.SkipWithError("argon2 command not installed (apt-get install argon2)");
    return;
  }
  const std::string expected = OurTag(parameters);
  const std::string command = "printf %s '" + std::string(kPassword) + "' | /usr/bin/argon2 " +
                              kSalt + " -id -r -l 32 -t " + std::to_string(parameters.Passes) +
                              " -k " + std::to_string(parameters.MemoryKiB) + " -p " +
                              std::to_string(parameters.Lanes);
  const double cpuBefore = ChildrenCpuSeconds();
  for (auto _ : state) {
    FILE* pipe = popen(command.c_str(), "r");
    char line[256] = {};
    const bool read = pipe != nullptr && fgets(line, sizeof(line), pipe) != nullptr;
    if (pipe != nullptr) pclose(pipe);
    if (!read || std::string(line).substr(0, 2 * kTagSize) != expected) {
      state.SkipWithError("the command's tag differs from ours");
    }
  }
  state.counters["command_cpu_s"] = benchmark::Counter((ChildrenCpuSeconds() - cpuBefore) /
                                                       static_cast<double>(state.iterations()));
}

double Fastest(const std::vector<double>& times) {
  return *std::min_element(times.begin(), times.end());
}

void Compared(benchmark::internal::Benchmark* benchmark) {
  benchmark->ComputeStatistics("min", Fastest);
  benchmark->Unit(benchmark::kMillisecond)
      ->UseRealTime()
      ->Repetitions(5)
      ->ReportAggregatesOnly(true);
  benchmark->Args({3, 65536, 1})->Args({3, 65536, 4});
}
BENCHMARK(Ours)->Apply(Compared);
BENCHMARK(Command)->Apply(Compared);

// Log-in candidates, one lane (the client hashes on one thread): about half
// a second with at least 64 MiB.
BENCHMARK(Ours)
    ->Name("LogInCandidate")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(3)
    ->ReportAggregatesOnly(true)
    ->Args({8, 65536, 1})
    ->Args({4, 131072, 1})
    ->Args({2, 262144, 1})
    ->Args({3, 262144, 1});

}  // namespace

BENCHMARK_MAIN();
