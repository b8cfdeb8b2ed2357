#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <thread>

#include "driver_harness.h"
#include "driver_install.h"

namespace cryptdsk_test {
namespace {

constexpr int kThreads = 4;
constexpr int kSectorsPerThread = 64;
constexpr int kOperations = 250;
constexpr int kReattachRounds = 25;
constexpr int64_t kDiskSize = 1 << 20;

struct WorkerOutcome {
  int Failures = 0;
  int Served = 0;
  int NoMedia = 0;
};

// Each thread owns its own sectors (thread 0 those of the encrypted head),
// so that what each must read back follows from its own successful writes.
void ReadAndWriteRandomSectors(int index, Bytes* modelOut, WorkerOutcome* outcome) {
  Handle device = OpenDevice();
  if (!device.valid()) {
    ++outcome->Failures;
    return;
  }
  const int first = index * kSectorsPerThread;
  Bytes model = *modelOut;
  std::mt19937 random(1234 + index);
  for (int op = 0; op < kOperations; ++op) {
    const int sector = static_cast<int>(random() % kSectorsPerThread);
    const int count = 1 + static_cast<int>(random() % std::min(8, kSectorsPerThread - sector));
    const int64_t offset = 512LL * (first + sector);
    const uint32_t length = 512u * count;
    if (random() % 2 == 0) {
      const Bytes data = Pattern(length, static_cast<uint32_t>(op * 31 + index));
      const Answer answer = WriteAt(device.get(), offset, data.data(), length);
      if (answer.Status == kSuccess && answer.Information == length) {
        std::copy(data.begin(), data.end(), model.begin() + 512 * sector);
        ++outcome->Served;
      } else if (answer.Status == kNoMedia) {
        ++outcome->NoMedia;
      } else {
        ++outcome->Failures;
      }
    } else {
      Bytes data(length);
      const Answer answer = ReadAt(device.get(), offset, data.data(), length);
      if (answer.Status == kSuccess) {
        ++outcome->Served;
        if (data != Bytes(model.begin() + 512 * sector, model.begin() + 512 * (sector + count))) {
          ++outcome->Failures;
        }
      } else if (answer.Status == kNoMedia) {
        ++outcome->NoMedia;
      } else {
        ++outcome->Failures;
      }
    }
  }
  // The final contents are checked once every thread has stopped.
  *modelOut = model;
}

TEST(Concurrency, ReadsAndWritesWhileAttachAndDetachRepeatKeepEveryWrite) {
  const Container container = ContainerNamed(L"concurrent.cryptdsk");
  ASSERT_TRUE(CreateContainerFile(container, kDiskSize));
  Handle control = OpenDevice();
  ASSERT_TRUE(control.valid());
  if (IsOpen(control.get())) CloseImage(control.get());
  ASSERT_EQ(OpenImage(control.get(), container.NtPath, 0), kSuccess);
  const Bytes zeros(512 * kSectorsPerThread * kThreads, 0);
  ASSERT_EQ(WriteAt(control.get(), 0, zeros.data(), static_cast<uint32_t>(zeros.size())).Status,
            kSuccess);

  std::vector<Bytes> models(kThreads, Bytes(512 * kSectorsPerThread, 0));
  std::vector<WorkerOutcome> outcomes(kThreads);
  std::atomic<bool> done{false};
  int attachFailures = 0;
  std::thread attacher([&] {
    Handle handle = OpenDevice();
    for (int round = 0; round < kReattachRounds && !done; ++round) {
      if (CloseImage(handle.get()) != kSuccess) ++attachFailures;
      std::this_thread::yield();
      if (OpenImage(handle.get(), container.NtPath, 0) != kSuccess) ++attachFailures;
    }
  });
  std::vector<std::thread> workers;
  for (int t = 0; t < kThreads; ++t) {
    workers.emplace_back(ReadAndWriteRandomSectors, t, &models[t], &outcomes[t]);
  }
  for (auto& worker : workers) worker.join();
  done = true;
  attacher.join();

  EXPECT_EQ(attachFailures, 0);
  int served = 0;
  for (int t = 0; t < kThreads; ++t) {
    EXPECT_EQ(outcomes[t].Failures, 0) << "thread " << t;
    served += outcomes[t].Served;
  }
  EXPECT_GT(served, 0);
  ASSERT_TRUE(IsOpen(control.get()));
  for (int t = 0; t < kThreads; ++t) {
    Bytes area(512 * kSectorsPerThread);
    ASSERT_EQ(ReadAt(control.get(), 512LL * kSectorsPerThread * t, area.data(),
                     static_cast<uint32_t>(area.size()))
                  .Status,
              kSuccess);
    EXPECT_EQ(area, models[t]) << "a write of thread " << t << " was lost";
  }
  control.Close();
  // Nothing is left pending: removal completes and both names go.
  EXPECT_EQ(cryptelle_setup::RemoveDriverDevices(), 1);
  EXPECT_FALSE(OpenDevice().valid());
  ASSERT_TRUE(InstallCryptDsk());
}

}  // namespace
}  // namespace cryptdsk_test
