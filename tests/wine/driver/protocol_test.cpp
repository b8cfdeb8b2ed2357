#include <gtest/gtest.h>

#include "driver_harness.h"
// clang-format off
#include <winioctl.h>
// clang-format on

namespace cryptdsk_test {
namespace {

constexpr int64_t k100MiB = 104857600;

class Protocol : public ::testing::Test {
 protected:
  void SetUp() override {
    device_ = OpenDevice();
    ASSERT_TRUE(device_.valid()) << GetLastError();
    if (IsOpen(device_.get())) CloseImage(device_.get());
  }
  void TearDown() override {
    if (device_.valid() && IsOpen(device_.get())) CloseImage(device_.get());
  }
  HANDLE device() const { return device_.get(); }

  Handle device_;
};

TEST_F(Protocol, IdleDeviceServesOnlyOpenAndIsOpen) {
  uint8_t byte = 0xEE;
  const Answer isOpen = Ioctl(device(), IOCTL_CRYPTDSK_IS_OPEN, nullptr, 0, &byte, 1);
  EXPECT_EQ(isOpen.Status, kSuccess);
  EXPECT_EQ(isOpen.Information, 1u);
  EXPECT_EQ(byte, 0);
  uint8_t out[600];
  const uint32_t needMedia[] = {IOCTL_CRYPTDSK_CLOSE_IMAGE,
                                IOCTL_CRYPTDSK_QUERY_IMAGE,
                                IOCTL_CRYPTDSK_SET_DRIVE_LETTER,
                                0x00070000,
                                0x0007405C,
                                0x004D0000,
                                0x004D0008,
                                0x80001234};
  for (const uint32_t code : needMedia) {
    EXPECT_EQ(Ioctl(device(), code, out, 2, out, sizeof(out)).Status, kNoMedia) << std::hex << code;
  }
  EXPECT_EQ(ReadAt(device(), 0, out, 512).Status, kNoMedia);
  EXPECT_EQ(WriteAt(device(), 0, out, 512).Status, kNoMedia);
}

TEST_F(Protocol, OpenRecordOf575BytesIsRefused) {
  OPEN_IMAGE_RECORD record = OpenRecord(ContainerNamed(L"short.cryptdsk").NtPath, 1 << 20);
  EXPECT_EQ(Ioctl(device(), IOCTL_CRYPTDSK_OPEN_IMAGE, &record, 575, nullptr, 0).Status,
            kInvalidParameter);
  EXPECT_FALSE(IsOpen(device()));
}

struct StandardCase {
  const char* Name;
  uint32_t Code;
  uint32_t In;
  uint32_t Out;
  NTSTATUS Status;
  ULONG_PTR Information;
};

// Wine returns the Information value only with success and warning statuses.
const StandardCase kStandardCases[] = {
    {"GeometryShort", 0x00070000, 0, 23, kBufferTooSmall, 0},
    {"Geometry", 0x00070000, 0, 24, kSuccess, 24},
    {"VerifyShort", 0x00070014, 15, 0, kBufferTooSmall, 0},
    {"Verify", 0x00070014, 16, 0, kSuccess, 0},
    {"IsWritable", 0x00070024, 0, 0, kSuccess, 0},
    {"PartitionInfoExShort", 0x00070048, 0, 143, kBufferTooSmall, 0},
    {"PartitionInfoEx", 0x00070048, 0, 144, kSuccess, 144},
    {"PartitionInfoShort", 0x00074004, 0, 31, kBufferTooSmall, 0},
    {"PartitionInfo", 0x00074004, 0, 32, kSuccess, 32},
    {"LengthShort", 0x0007405C, 0, 7, kBufferTooSmall, 0},
    {"Length", 0x0007405C, 0, 8, kSuccess, 8},
    {"DiskCheckVerify", 0x00074800, 0, 0, kSuccess, 0},
    {"DiskMediaRemoval", 0x00074804, 1, 0, kSuccess, 0},
    {"SetPartitionEmpty", 0x0007C008, 0, 0, kInvalidParameter, 0},
    {"SetPartition", 0x0007C008, 1, 0, kSuccess, 0},
    {"StorageCheckVerify2", 0x002D0800, 0, 0, kSuccess, 0},
    {"StorageCheckVerify", 0x002D4800, 0, 0, kSuccess, 0},
    {"StorageMediaRemoval", 0x002D4804, 1, 0, kSuccess, 0},
    {"UniqueIdUnder4", 0x004D0000, 0, 3, kInvalidParameter, 0},
    {"UniqueIdLengthOnly", 0x004D0000, 0, 4, kBufferOverflow, 4},
    {"UniqueId", 0x004D0000, 0, 53, kSuccess, 51},
    {"DeviceNameUnder4", 0x004D0008, 0, 3, kInvalidParameter, 0},
    {"DeviceName39", 0x004D0008, 0, 39, kBufferOverflow, 4},
    {"DeviceName40", 0x004D0008, 0, 40, kSuccess, 38},
    {"IsOpenEmpty", IOCTL_CRYPTDSK_IS_OPEN, 0, 0, kBufferTooSmall, 0},
    {"QueryShort", IOCTL_CRYPTDSK_QUERY_IMAGE, 0, 575, kBufferTooSmall, 0},
    {"Query", IOCTL_CRYPTDSK_QUERY_IMAGE, 0, 576, kSuccess, 576},
    {"SetLetterShort", IOCTL_CRYPTDSK_SET_DRIVE_LETTER, 1, 0, kBufferTooSmall, 0},
    {"OpenWhileAttached", IOCTL_CRYPTDSK_OPEN_IMAGE, 576, 0, kInvalidDeviceRequest, 0},
    {"Unknown", 0x80001234, 0, 0, kInvalidDeviceRequest, 0},
};

TEST_F(Protocol, EveryStandardAnswerHasTheTablesSizesAndStatuses) {
  const Container container = ContainerNamed(L"standard.cryptdsk");
  ASSERT_TRUE(CreateContainerFile(container, k100MiB));
  ASSERT_EQ(OpenImage(device(), container.NtPath, 0), kSuccess);
  for (const StandardCase& c : kStandardCases) {
    std::vector<uint8_t> in(c.In + 1, 'G');
    std::vector<uint8_t> out(c.Out + 1, 0);
    const Answer answer = Ioctl(device(), c.Code, c.In ? in.data() : nullptr, c.In,
                                c.Out ? out.data() : nullptr, c.Out);
    EXPECT_EQ(answer.Status, c.Status) << c.Name;
    EXPECT_EQ(answer.Information, c.Information) << c.Name;
  }
}

TEST_F(Protocol, Container100MiBReportsItsGeometryAndLengths) {
  const Container container = ContainerNamed(L"hundred.cryptdsk");
  ASSERT_TRUE(CreateContainerFile(container, k100MiB));
  ASSERT_EQ(OpenImage(device(), container.NtPath, 0), kSuccess);
  DISK_GEOMETRY geometry{};
  ASSERT_EQ(Ioctl(device(), 0x00070000, nullptr, 0, &geometry, sizeof(geometry)).Status, kSuccess);
  EXPECT_EQ(geometry.Cylinders.QuadPart, 3200);
  EXPECT_EQ(geometry.MediaType, FixedMedia);
  EXPECT_EQ(geometry.TracksPerCylinder, 2u);
  EXPECT_EQ(geometry.SectorsPerTrack, 32u);
  EXPECT_EQ(geometry.BytesPerSector, 512u);
  PARTITION_INFORMATION_EX partition{};
  ASSERT_EQ(Ioctl(device(), 0x00070048, nullptr, 0, &partition, sizeof(partition)).Status,
            kSuccess);
  EXPECT_EQ(partition.StartingOffset.QuadPart, 512);
  EXPECT_EQ(partition.PartitionLength.QuadPart, 104857088);
  EXPECT_EQ(partition.Mbr.HiddenSectors, 1u);
  PARTITION_INFORMATION legacy{};
  ASSERT_EQ(Ioctl(device(), 0x00074004, nullptr, 0, &legacy, sizeof(legacy)).Status, kSuccess);
  EXPECT_EQ(legacy.PartitionLength.QuadPart, 104857088);
  GET_LENGTH_INFORMATION length{};
  ASSERT_EQ(Ioctl(device(), 0x0007405C, nullptr, 0, &length, sizeof(length)).Status, kSuccess);
  EXPECT_EQ(length.Length.QuadPart, k100MiB);
  char unique[53] = {};
  ASSERT_EQ(Ioctl(device(), 0x004D0000, nullptr, 0, unique, sizeof(unique)).Status, kSuccess);
  EXPECT_EQ(*reinterpret_cast<uint16_t*>(unique), 49);
  EXPECT_EQ(std::string(unique + 2, 49), "\\??\\Volume{F9B1D053-4889-4656-9155-7652877B7E58}\\");
  wchar_t name[20] = {};
  ASSERT_EQ(Ioctl(device(), 0x004D0008, nullptr, 0, name, 40).Status, kSuccess);
  EXPECT_EQ(std::wstring(name + 1), L"\\Device\\CryptDsk00");
}

TEST_F(Protocol, ExistingContainerIsAttachedWithItsOwnSize) {
  const Container container = ContainerNamed(L"existing.cryptdsk");
  ASSERT_TRUE(CreateContainerFile(container, 1 << 20));
  ASSERT_EQ(OpenImage(device(), container.NtPath, 10485760), kSuccess);
  GET_LENGTH_INFORMATION length{};
  Ioctl(device(), 0x0007405C, nullptr, 0, &length, sizeof(length));
  EXPECT_EQ(length.Length.QuadPart, 1 << 20);
  EXPECT_EQ(FileSizeOf(container), 1 << 20);
}

TEST_F(Protocol, MissingContainerIsCreatedAtFileSize) {
  const Container container = ContainerNamed(L"created.cryptdsk");
  DeleteFileW(container.DosPath.c_str());
  ASSERT_EQ(OpenImage(device(), container.NtPath, 10485760), kSuccess);
  GET_LENGTH_INFORMATION length{};
  Ioctl(device(), 0x0007405C, nullptr, 0, &length, sizeof(length));
  EXPECT_EQ(length.Length.QuadPart, 10485760);
  EXPECT_EQ(FileSizeOf(container), 10485760);
}

TEST_F(Protocol, MissingContainerWithFileSizeZeroGivesNoSuchFileAndNoFile) {
  const Container container = ContainerNamed(L"absent.cryptdsk");
  DeleteFileW(container.DosPath.c_str());
  EXPECT_EQ(OpenImage(device(), container.NtPath, 0), kNoSuchFile);
  EXPECT_EQ(FileSizeOf(container), -1);
  EXPECT_FALSE(IsOpen(device()));
}

TEST_F(Protocol, NameOf263UnitsFillsTheRecordAndIsQueriedBack) {
  const std::wstring prefix = std::wstring(L"\\??\\") + kTestFolder + L"\\";
  const std::wstring file = std::wstring(263 - prefix.size() - 8, L'n') + L".cryptdk";
  const Container container = ContainerNamed(file);
  ASSERT_EQ(container.NtPath.size(), 263u);
  ASSERT_EQ(OpenImage(device(), container.NtPath, 1 << 20), kSuccess);
  OPEN_IMAGE_RECORD query{};
  const Answer answer =
      Ioctl(device(), IOCTL_CRYPTDSK_QUERY_IMAGE, nullptr, 0, &query, sizeof(query));
  EXPECT_EQ(answer.Status, kSuccess);
  EXPECT_EQ(answer.Information, 576u);
  EXPECT_EQ(query.FileNameLength, 263);
  EXPECT_EQ(std::u16string(query.FileName, 263),
            std::u16string(container.NtPath.begin(), container.NtPath.end()));
}

TEST_F(Protocol, SetDriveLetterThenQueryReturnsLetterSizeAndNameButNoKey) {
  const Container container = ContainerNamed(L"letter.cryptdsk");
  ASSERT_TRUE(CreateContainerFile(container, 1 << 20));
  ASSERT_EQ(OpenImage(device(), container.NtPath, 0), kSuccess);
  const uint16_t letter = 'G';
  const Answer set = Ioctl(device(), IOCTL_CRYPTDSK_SET_DRIVE_LETTER, &letter, 2, nullptr, 0);
  EXPECT_EQ(set.Status, kSuccess);
  OPEN_IMAGE_RECORD query;
  memset(&query, 0xCC, sizeof(query));
  ASSERT_EQ(Ioctl(device(), IOCTL_CRYPTDSK_QUERY_IMAGE, nullptr, 0, &query, sizeof(query)).Status,
            kSuccess);
  EXPECT_EQ(query.DriveLetter, 0x47);
  EXPECT_EQ(query.ValidFlag, 1);
  EXPECT_EQ(query.FileSize, 1u << 20);
  EXPECT_EQ(query.FileNameLength, container.NtPath.size());
  EXPECT_EQ(std::u16string(query.FileName),
            std::u16string(container.NtPath.begin(), container.NtPath.end()));
  for (uint8_t b : query.Key) EXPECT_EQ(b, 0);
}

TEST_F(Protocol, CloseDetachesAndASecondCloseFails) {
  const Container container = ContainerNamed(L"close.cryptdsk");
  ASSERT_TRUE(CreateContainerFile(container, 1 << 20));
  ASSERT_EQ(OpenImage(device(), container.NtPath, 0), kSuccess);
  EXPECT_EQ(OpenImage(device(), container.NtPath, 0), kInvalidDeviceRequest);
  EXPECT_EQ(CloseImage(device()), kSuccess);
  EXPECT_FALSE(IsOpen(device()));
  EXPECT_EQ(CloseImage(device()), kNoMedia);
  // The container is closed: it can be opened without sharing.
  Handle exclusive(CreateFileW(container.DosPath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                               OPEN_EXISTING, 0, nullptr));
  EXPECT_TRUE(exclusive.valid());
}

TEST_F(Protocol, DriveLetterLinkedWithDefineDosDeviceReachesTheDevice) {
  const Container container = ContainerNamed(L"linked.cryptdsk");
  ASSERT_TRUE(CreateContainerFile(container, 1 << 20));
  ASSERT_TRUE(DefineDosDeviceW(DDD_RAW_TARGET_PATH, L"Q:", L"\\Device\\CryptDsk00"));
  {
    Handle letter = OpenDevice(L"\\\\.\\Q:");
    ASSERT_TRUE(letter.valid()) << GetLastError();
    ASSERT_EQ(OpenImage(letter.get(), container.NtPath, 0), kSuccess);
    EXPECT_TRUE(IsOpen(device()));
    const Bytes plain = Pattern(4096, 1);
    EXPECT_EQ(WriteAt(letter.get(), 8192, plain.data(), 4096).Information, 4096u);
    Bytes back(4096);
    EXPECT_EQ(ReadAt(device(), 8192, back.data(), 4096).Information, 4096u);
    EXPECT_EQ(back, plain);
    EXPECT_EQ(CloseImage(letter.get()), kSuccess);
  }
  EXPECT_TRUE(
      DefineDosDeviceW(DDD_RAW_TARGET_PATH | DDD_REMOVE_DEFINITION | DDD_EXACT_MATCH_ON_REMOVE,
                       L"Q:", L"\\Device\\CryptDsk00"));
}

}  // namespace
}  // namespace cryptdsk_test
