// Second-generation containers through the device: the 608-byte open
// request, every sector stored as its XTS encryption, and the disk the file
// less its 4096-byte backup area.
#include <gtest/gtest.h>

#include "driver_harness.h"
#include "xts.h"
// clang-format off
#include <winioctl.h>
// clang-format on

namespace cryptdsk_test {
namespace {

constexpr int64_t kDiskSize = 1 << 20;
constexpr int64_t kFileSize = kDiskSize + cryptdsk::kWholeDiskBackupAreaBytes;

// What the disk must store for `plain` written at a sector-aligned offset:
// every sector's AES-256-XTS encryption, made on the software engine
// whatever the driver runs on.
Bytes WholeDiskStoredForm(const Bytes& plain, int64_t offset) {
  XtsContext xts;
  XtsSetKey(&xts, TestXtsKey(), kXtsEngineSoftware);
  Bytes stored(plain.size());
  XtsEncryptSectors(&xts, static_cast<uint64_t>(offset) / 512, plain.data(), stored.data(),
                    plain.size() / 512);
  XtsWipe(&xts);
  return stored;
}

class WholeDisk : public ::testing::Test {
 protected:
  void SetUp() override {
    device_ = OpenDevice();
    ASSERT_TRUE(device_.valid()) << GetLastError();
    if (IsOpen(device_.get())) CloseImage(device_.get());
    container_ = ContainerNamed(L"whole-disk.cryptdsk");
  }
  void TearDown() override {
    if (device_.valid()) CloseImage(device_.get());
  }
  void Attach() {
    ASSERT_TRUE(CreateContainerFile(container_, kFileSize));
    ASSERT_EQ(OpenWholeDiskImage(device(), container_.NtPath, 0), kSuccess);
  }
  HANDLE device() const { return device_.get(); }

  Handle device_;
  Container container_;
};

// 192 KiB: more than the driver's bounce buffer, so written chunk by chunk.
TEST_F(WholeDisk, WritesStoreTheXtsEncryptionOfEverySectorAndReadBack) {
  Attach();
  const int64_t offset = 3 * 512;
  const Bytes plain = Pattern(192 * 1024, 40);
  const Answer write = WriteAt(device(), offset, plain.data(), static_cast<uint32_t>(plain.size()));
  EXPECT_EQ(write.Status, kSuccess);
  EXPECT_EQ(write.Information, plain.size());
  EXPECT_EQ(StoredBytes(container_, offset, plain.size()), WholeDiskStoredForm(plain, offset));
  Bytes back(plain.size());
  EXPECT_EQ(ReadAt(device(), offset, back.data(), static_cast<uint32_t>(back.size())).Information,
            back.size());
  EXPECT_EQ(back, plain);
}

TEST_F(WholeDisk, DiskIsTheFileLessTheBackupAreaWhichStaysUntouched) {
  Attach();
  GET_LENGTH_INFORMATION length{};
  ASSERT_EQ(Ioctl(device(), IOCTL_DISK_GET_LENGTH_INFO, nullptr, 0, &length, sizeof(length)).Status,
            kSuccess);
  EXPECT_EQ(length.Length.QuadPart, FileSizeOf(container_) - 4096);
  const Bytes last = Pattern(4096, 41);
  EXPECT_EQ(WriteAt(device(), kDiskSize - 4096, last.data(), 4096).Status, kSuccess);
  EXPECT_EQ(WriteAt(device(), kDiskSize, last.data(), 512).Status, kInvalidParameter);
  Bytes back(512);
  EXPECT_EQ(ReadAt(device(), kDiskSize, back.data(), 512).Status, kInvalidParameter);
  EXPECT_EQ(StoredBytes(container_, kDiskSize, 4096), Bytes(4096, 0));
}

TEST_F(WholeDisk, QueryNamesTheSecondGeneration) {
  Attach();
  OPEN_IMAGE_RECORD record{};
  ASSERT_EQ(Ioctl(device(), IOCTL_CRYPTDSK_QUERY_IMAGE, nullptr, 0, &record, sizeof(record)).Status,
            kSuccess);
  EXPECT_EQ(record.Generation, cryptdsk::kGenerationWholeDisk);
  EXPECT_EQ(record.FileSize, static_cast<uint64_t>(kDiskSize));
  EXPECT_EQ(Bytes(record.Key, record.Key + 32), Bytes(32, 0));
}

TEST_F(WholeDisk, MissingContainerIsCreatedAtTheFileSizeWithItsBackupArea) {
  DeleteFileW(container_.DosPath.c_str());
  ASSERT_EQ(OpenWholeDiskImage(device(), container_.NtPath, kFileSize), kSuccess);
  EXPECT_EQ(FileSizeOf(container_), kFileSize);
  GET_LENGTH_INFORMATION length{};
  Ioctl(device(), IOCTL_DISK_GET_LENGTH_INFO, nullptr, 0, &length, sizeof(length));
  EXPECT_EQ(length.Length.QuadPart, kDiskSize);
}

TEST_F(WholeDisk, FileWithoutRoomForASectorBesidesTheBackupAreaIsRefused) {
  ASSERT_TRUE(CreateContainerFile(container_, 4096 + 511));
  EXPECT_EQ(OpenWholeDiskImage(device(), container_.NtPath, 0), kUnrecognizedMedia);
  EXPECT_FALSE(IsOpen(device()));
}

TEST_F(WholeDisk, RequestWithoutTheTweakKeyIsRefused) {
  ASSERT_TRUE(CreateContainerFile(container_, kFileSize));
  OPEN_IMAGE_RECORD record = OpenRecord(container_.NtPath, 0);
  record.Generation = cryptdsk::kGenerationWholeDisk;
  EXPECT_EQ(Ioctl(device(), IOCTL_CRYPTDSK_OPEN_IMAGE, &record, sizeof(record), nullptr, 0).Status,
            kInvalidParameter);
  EXPECT_FALSE(IsOpen(device()));
}

}  // namespace
}  // namespace cryptdsk_test
