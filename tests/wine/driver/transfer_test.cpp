#include <gtest/gtest.h>

#include "driver_harness.h"

namespace cryptdsk_test {
namespace {

constexpr int64_t kDiskSize = 1 << 20;

class Transfer : public ::testing::Test {
 protected:
  void SetUp() override {
    device_ = OpenDevice();
    ASSERT_TRUE(device_.valid()) << GetLastError();
    if (IsOpen(device_.get())) CloseImage(device_.get());
    container_ = ContainerNamed(L"transfer.cryptdsk");
    ASSERT_TRUE(CreateContainerFile(container_, kDiskSize));
    ASSERT_EQ(OpenImage(device_.get(), container_.NtPath, 0), kSuccess);
  }
  void TearDown() override {
    if (device_.valid()) CloseImage(device_.get());
  }
  HANDLE device() const { return device_.get(); }

  Handle device_;
  Container container_;
};

struct ShapeCase {
  const char* Name;
  int64_t Offset;
  uint32_t Length;
};

const ShapeCase kShapes[] = {
    {"At0", 0, 4096},
    {"At512", 512, 512},
    {"StartsAtSector2", 1024, 4096},
    {"Sector3Only", 1536, 512},
    {"PastTheHead", 2048, 8192},
    {"LastSectors", kDiskSize - 4096, 4096},
};

TEST_F(Transfer, StoredBytesDependOnSectorNumberAloneAndReadBack) {
  for (const ShapeCase& c : kShapes) {
    const Bytes plain = Pattern(c.Length, static_cast<uint32_t>(c.Offset));
    const Answer write = WriteAt(device(), c.Offset, plain.data(), c.Length);
    EXPECT_EQ(write.Status, kSuccess) << c.Name;
    EXPECT_EQ(write.Information, c.Length) << c.Name;
    EXPECT_EQ(StoredBytes(container_, c.Offset, c.Length), StoredForm(plain, c.Offset)) << c.Name;
    Bytes back(c.Length);
    const Answer read = ReadAt(device(), c.Offset, back.data(), c.Length);
    EXPECT_EQ(read.Information, c.Length) << c.Name;
    EXPECT_EQ(back, plain) << c.Name;
  }
}

TEST_F(Transfer, SectorWrittenAloneReadsBackThroughARequestFromSectorZero) {
  const Bytes plain = Pattern(1024, 7);
  ASSERT_EQ(WriteAt(device(), 1024, plain.data(), 1024).Status, kSuccess);
  Bytes whole(4096);
  ASSERT_EQ(ReadAt(device(), 0, whole.data(), 4096).Information, 4096u);
  EXPECT_EQ(Bytes(whole.begin() + 1024, whole.begin() + 2048), plain);
}

TEST_F(Transfer, RequestEndingAtImageSizeSucceedsAndOneBytePastTouchesNothing) {
  const Bytes plain = Pattern(4097, 3);
  EXPECT_EQ(WriteAt(device(), kDiskSize - 4096, plain.data(), 4096).Status, kSuccess);
  const Bytes before = StoredBytes(container_, kDiskSize - 4096, 4096);
  const Bytes other = Pattern(4097, 4);
  EXPECT_EQ(WriteAt(device(), kDiskSize - 4096, other.data(), 4097).Status, kInvalidParameter);
  EXPECT_EQ(StoredBytes(container_, kDiskSize - 4096, 4096), before);
  Bytes back(4097);
  EXPECT_EQ(ReadAt(device(), kDiskSize - 4096, back.data(), 4097).Status, kInvalidParameter);
  EXPECT_EQ(ReadAt(device(), kDiskSize, back.data(), 512).Status, kInvalidParameter);
}

TEST_F(Transfer, ZeroLengthRequestsSucceedAtOnce) {
  uint8_t byte = 0;
  const Answer read = ReadAt(device(), 0, &byte, 0);
  EXPECT_EQ(read.Status, kSuccess);
  EXPECT_EQ(read.Information, 0u);
  EXPECT_EQ(WriteAt(device(), kDiskSize, &byte, 0).Status, kSuccess);
}

TEST_F(Transfer, UnalignedOffsetIsRefusedAndTouchesNothing) {
  const Bytes before = StoredBytes(container_, 0, 4096);
  const Bytes plain = Pattern(512, 5);
  for (const int64_t offset : {1, 100, 511, 513, 2049}) {
    EXPECT_EQ(WriteAt(device(), offset, plain.data(), 512).Status, kInvalidParameter) << offset;
  }
  EXPECT_EQ(StoredBytes(container_, 0, 4096), before);
}

// The file system's flush reaches the container: the worker flushes the
// container file after the writes queued before it.
TEST_F(Transfer, FlushThroughTheDriveReachesTheContainerFile) {
  const Bytes plain = Pattern(8192, 21);
  ASSERT_EQ(WriteAt(device(), 0, plain.data(), 8192).Status, kSuccess);
  const Answer flush = FlushBuffers(device());
  EXPECT_EQ(flush.Status, kSuccess);
  EXPECT_EQ(flush.Information, 0u);
  EXPECT_EQ(StoredBytes(container_, 0, 8192), StoredForm(plain, 0));
  ASSERT_EQ(CloseImage(device()), kSuccess);
  EXPECT_EQ(FlushBuffers(device()).Status, kNoMedia);
}

TEST_F(Transfer, RequestsAreServedInArrivalOrder) {
  Handle overlapped = OpenDevice(kDevicePath, GENERIC_READ | GENERIC_WRITE, FILE_FLAG_OVERLAPPED);
  ASSERT_TRUE(overlapped.valid());
  constexpr int kPairs = 16;
  std::vector<Bytes> written;
  std::vector<Bytes> read(kPairs, Bytes(512));
  std::vector<OVERLAPPED> operations(2 * kPairs);
  for (int i = 0; i < kPairs; ++i) written.push_back(Pattern(512, 100 + i));
  for (int i = 0; i < kPairs; ++i) {
    OVERLAPPED& w = operations[2 * i];
    OVERLAPPED& r = operations[2 * i + 1];
    w = OVERLAPPED{};
    r = OVERLAPPED{};
    w.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    r.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    w.Offset = r.Offset = 512 * 8;
    WriteFile(overlapped.get(), written[i].data(), 512, nullptr, &w);
    ReadFile(overlapped.get(), read[i].data(), 512, nullptr, &r);
  }
  for (int i = 0; i < kPairs; ++i) {
    DWORD bytes = 0;
    EXPECT_TRUE(GetOverlappedResult(overlapped.get(), &operations[2 * i], &bytes, TRUE));
    EXPECT_TRUE(GetOverlappedResult(overlapped.get(), &operations[2 * i + 1], &bytes, TRUE));
    EXPECT_EQ(read[i], written[i]) << "read " << i << " saw another write";
    CloseHandle(operations[2 * i].hEvent);
    CloseHandle(operations[2 * i + 1].hEvent);
  }
}

}  // namespace
}  // namespace cryptdsk_test
