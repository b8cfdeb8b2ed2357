#include "control_protocol.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "disk_requests.h"
#include "pnp_state.h"

namespace cryptdsk {
namespace {

constexpr int64_t k100MiB = 104857600;
constexpr uint32_t kUnknownCode = 0x00123456;
const std::u16string kName = u"\\??\\C:\\Cryptelle\\CryptDsks\\alice.cryptdsk";

DiskView Attached(const std::u16string& name = kName, int64_t size = k100MiB) {
  DiskView view{};
  view.ImageAttached = true;
  view.ImageSize = size;
  view.DriveLetter = 'K';
  view.ImageFileName = name.data();
  view.ImageFileNameUnits = static_cast<uint32_t>(name.size());
  return view;
}

DiskView Detached() {
  DiskView view{};
  return view;
}

std::vector<uint8_t> OpenRecord(const std::u16string& name, uint64_t fileSize,
                                size_t totalSize = 576) {
  std::vector<uint8_t> record(totalSize, 0);
  for (int i = 0; i < 32; ++i) record[i] = static_cast<uint8_t>(i + 1);
  StoreU16(&record[32], 1);
  StoreU16(&record[34], static_cast<uint16_t>(name.size()));
  StoreU64(&record[40], fileSize);
  StoreU16(&record[48], 'H');
  for (size_t i = 0; i < name.size() && 50 + 2 * i + 1 < totalSize; ++i)
    StoreU16(&record[50 + 2 * i], name[i]);
  return record;
}

struct Exchange {
  ControlAnswer Answer;
  std::vector<uint8_t> Buffer;
};

// Runs one request with a system buffer of max(in, out) bytes filled with
// 0xAA, plus a guard area that must stay untouched.
Exchange Ask(uint32_t code, uint32_t in, uint32_t out, const DiskView& disk,
             const std::vector<uint8_t>& input = {}) {
  constexpr size_t kGuard = 64;
  const size_t size = std::max(in, out);
  std::vector<uint8_t> buffer(size + kGuard, 0xAA);
  if (!input.empty()) std::memcpy(buffer.data(), input.data(), std::min<size_t>(input.size(), in));
  ControlRequest request{code, in, out, buffer.data()};
  Exchange exchange{AnswerControlRequest(request, disk), {}};
  for (size_t i = std::max<size_t>(size, out); i < buffer.size(); ++i) {
    EXPECT_EQ(buffer[i], 0xAA) << "written past the system buffer at " << i;
  }
  buffer.resize(size);
  exchange.Buffer = buffer;
  return exchange;
}

struct AnswerCase {
  const char* Name;
  bool ImageAttached;
  uint32_t Code;
  uint32_t InputLength;
  uint32_t OutputLength;
  NtStatus Status;
  uint32_t Information;
  ControlAction Action;
};

constexpr ControlAction kNow = ControlAction::kComplete;

const AnswerCase kAnswerCases[] = {
    // Nothing attached: only open and is-open are served.
    {"IsOpenIdleAnswersZero", false, IOCTL_CRYPTDSK_IS_OPEN, 0, 1, kStatusSuccess, 1, kNow},
    {"IsOpenIdleEmptyOutput", false, IOCTL_CRYPTDSK_IS_OPEN, 0, 0, kStatusBufferTooSmall, 1, kNow},
    {"OpenIdleQueues", false, IOCTL_CRYPTDSK_OPEN_IMAGE, 576, 0, kStatusPending, 0,
     ControlAction::kQueueOpen},
    {"OpenIdleLongerInputQueues", false, IOCTL_CRYPTDSK_OPEN_IMAGE, 700, 0, kStatusPending, 0,
     ControlAction::kQueueOpen},
    {"OpenRecordOf575Bytes", false, IOCTL_CRYPTDSK_OPEN_IMAGE, 575, 0, kStatusInvalidParameter, 0,
     kNow},
    {"OpenEmptyInput", false, IOCTL_CRYPTDSK_OPEN_IMAGE, 0, 0, kStatusInvalidParameter, 0, kNow},
    {"CloseIdle", false, IOCTL_CRYPTDSK_CLOSE_IMAGE, 0, 0, kStatusNoMediaInDevice, 0, kNow},
    {"QueryIdle", false, IOCTL_CRYPTDSK_QUERY_IMAGE, 0, 576, kStatusNoMediaInDevice, 0, kNow},
    {"SetLetterIdle", false, IOCTL_CRYPTDSK_SET_DRIVE_LETTER, 2, 0, kStatusNoMediaInDevice, 0,
     kNow},
    {"GeometryIdle", false, kIoctlDiskGetDriveGeometry, 0, 24, kStatusNoMediaInDevice, 0, kNow},
    {"VerifyIdle", false, kIoctlDiskVerify, 16, 0, kStatusNoMediaInDevice, 0, kNow},
    {"IsWritableIdle", false, kIoctlDiskIsWritable, 0, 0, kStatusNoMediaInDevice, 0, kNow},
    {"PartitionInfoExIdle", false, kIoctlDiskGetPartitionInfoEx, 0, 144, kStatusNoMediaInDevice, 0,
     kNow},
    {"PartitionInfoIdle", false, kIoctlDiskGetPartitionInfo, 0, 32, kStatusNoMediaInDevice, 0,
     kNow},
    {"LengthIdle", false, kIoctlDiskGetLengthInfo, 0, 8, kStatusNoMediaInDevice, 0, kNow},
    {"DiskCheckVerifyIdle", false, kIoctlDiskCheckVerify, 0, 0, kStatusNoMediaInDevice, 0, kNow},
    {"DiskMediaRemovalIdle", false, kIoctlDiskMediaRemoval, 1, 0, kStatusNoMediaInDevice, 0, kNow},
    {"SetPartitionIdle", false, kIoctlDiskSetPartitionInfo, 1, 0, kStatusNoMediaInDevice, 0, kNow},
    {"StorageCheckVerify2Idle", false, kIoctlStorageCheckVerify2, 0, 0, kStatusNoMediaInDevice, 0,
     kNow},
    {"StorageCheckVerifyIdle", false, kIoctlStorageCheckVerify, 0, 0, kStatusNoMediaInDevice, 0,
     kNow},
    {"StorageMediaRemovalIdle", false, kIoctlStorageMediaRemoval, 0, 0, kStatusNoMediaInDevice, 0,
     kNow},
    {"UniqueIdIdle", false, kIoctlMountdevQueryUniqueId, 0, 53, kStatusNoMediaInDevice, 0, kNow},
    {"DeviceNameIdle", false, kIoctlMountdevQueryDeviceName, 0, 40, kStatusNoMediaInDevice, 0,
     kNow},
    {"UnknownIdle", false, kUnknownCode, 0, 0, kStatusNoMediaInDevice, 0, kNow},
    // Attached: everything but open.
    {"OpenAttached", true, IOCTL_CRYPTDSK_OPEN_IMAGE, 576, 0, kStatusInvalidDeviceRequest, 0, kNow},
    {"CloseAttachedQueues", true, IOCTL_CRYPTDSK_CLOSE_IMAGE, 0, 0, kStatusPending, 0,
     ControlAction::kQueueClose},
    {"IsOpenAttachedAnswersOne", true, IOCTL_CRYPTDSK_IS_OPEN, 0, 1, kStatusSuccess, 1, kNow},
    {"IsOpenAttachedEmptyOutput", true, IOCTL_CRYPTDSK_IS_OPEN, 0, 0, kStatusBufferTooSmall, 1,
     kNow},
    {"QueryShortOutput", true, IOCTL_CRYPTDSK_QUERY_IMAGE, 0, 575, kStatusBufferTooSmall, 0, kNow},
    {"Query", true, IOCTL_CRYPTDSK_QUERY_IMAGE, 0, 576, kStatusSuccess, 576, kNow},
    {"SetLetterOneByte", true, IOCTL_CRYPTDSK_SET_DRIVE_LETTER, 1, 0, kStatusBufferTooSmall, 4,
     kNow},
    {"SetLetterEmpty", true, IOCTL_CRYPTDSK_SET_DRIVE_LETTER, 0, 0, kStatusBufferTooSmall, 4, kNow},
    {"SetLetter", true, IOCTL_CRYPTDSK_SET_DRIVE_LETTER, 2, 0, kStatusSuccess, 1, kNow},
    {"GeometryShort", true, kIoctlDiskGetDriveGeometry, 0, 23, kStatusBufferTooSmall, 24, kNow},
    {"Geometry", true, kIoctlDiskGetDriveGeometry, 0, 24, kStatusSuccess, 24, kNow},
    {"GeometryLargerOutput", true, kIoctlDiskGetDriveGeometry, 0, 100, kStatusSuccess, 24, kNow},
    {"VerifyShort", true, kIoctlDiskVerify, 15, 0, kStatusBufferTooSmall, 16, kNow},
    {"Verify", true, kIoctlDiskVerify, 16, 0, kStatusSuccess, 0, kNow},
    {"IsWritable", true, kIoctlDiskIsWritable, 0, 0, kStatusSuccess, 0, kNow},
    {"PartitionInfoExShort", true, kIoctlDiskGetPartitionInfoEx, 0, 143, kStatusBufferTooSmall, 144,
     kNow},
    {"PartitionInfoEx", true, kIoctlDiskGetPartitionInfoEx, 0, 144, kStatusSuccess, 144, kNow},
    {"PartitionInfoShort", true, kIoctlDiskGetPartitionInfo, 0, 31, kStatusBufferTooSmall, 32,
     kNow},
    {"PartitionInfo", true, kIoctlDiskGetPartitionInfo, 0, 32, kStatusSuccess, 32, kNow},
    {"LengthShort", true, kIoctlDiskGetLengthInfo, 0, 7, kStatusBufferTooSmall, 8, kNow},
    {"Length", true, kIoctlDiskGetLengthInfo, 0, 8, kStatusSuccess, 8, kNow},
    {"DiskCheckVerify", true, kIoctlDiskCheckVerify, 0, 0, kStatusSuccess, 0, kNow},
    {"DiskMediaRemoval", true, kIoctlDiskMediaRemoval, 1, 0, kStatusSuccess, 0, kNow},
    {"SetPartitionEmpty", true, kIoctlDiskSetPartitionInfo, 0, 0, kStatusInvalidParameter, 0, kNow},
    {"SetPartition", true, kIoctlDiskSetPartitionInfo, 1, 0, kStatusSuccess, 0, kNow},
    {"StorageCheckVerify2", true, kIoctlStorageCheckVerify2, 0, 0, kStatusSuccess, 0, kNow},
    {"StorageCheckVerify", true, kIoctlStorageCheckVerify, 0, 0, kStatusSuccess, 0, kNow},
    {"StorageMediaRemoval", true, kIoctlStorageMediaRemoval, 0, 0, kStatusSuccess, 0, kNow},
    {"UniqueIdUnder4", true, kIoctlMountdevQueryUniqueId, 0, 3, kStatusInvalidParameter, 0, kNow},
    {"UniqueIdLengthOnly", true, kIoctlMountdevQueryUniqueId, 0, 4, kStatusBufferOverflow, 4, kNow},
    {"UniqueIdOneShort", true, kIoctlMountdevQueryUniqueId, 0, 52, kStatusBufferOverflow, 4, kNow},
    {"UniqueId", true, kIoctlMountdevQueryUniqueId, 0, 53, kStatusSuccess, 51, kNow},
    {"DeviceNameUnder4", true, kIoctlMountdevQueryDeviceName, 0, 3, kStatusInvalidParameter, 0,
     kNow},
    {"DeviceNameLengthOnly", true, kIoctlMountdevQueryDeviceName, 0, 4, kStatusBufferOverflow, 4,
     kNow},
    {"DeviceNameOneShort", true, kIoctlMountdevQueryDeviceName, 0, 39, kStatusBufferOverflow, 4,
     kNow},
    {"DeviceName", true, kIoctlMountdevQueryDeviceName, 0, 40, kStatusSuccess, 38, kNow},
    {"UnknownAttached", true, kUnknownCode, 0, 0, kStatusInvalidDeviceRequest, 0, kNow},
    {"FsctlDismountAttached", true, 0x00090020, 0, 0, kStatusInvalidDeviceRequest, 0, kNow},
};

class ControlAnswerTable : public ::testing::TestWithParam<AnswerCase> {};

TEST_P(ControlAnswerTable, AnswersWithTheTablesStatusAndInformation) {
  const AnswerCase& c = GetParam();
  const std::vector<uint8_t> record = OpenRecord(kName, 0, std::max<uint32_t>(c.InputLength, 576));
  const Exchange e =
      Ask(c.Code, c.InputLength, c.OutputLength, c.ImageAttached ? Attached() : Detached(), record);
  EXPECT_EQ(e.Answer.Status, c.Status);
  EXPECT_EQ(e.Answer.Information, c.Information);
  EXPECT_EQ(e.Answer.Action, c.Action);
  EXPECT_EQ(RequiresImage(c.Code),
            c.Code != IOCTL_CRYPTDSK_OPEN_IMAGE && c.Code != IOCTL_CRYPTDSK_IS_OPEN);
}

INSTANTIATE_TEST_SUITE_P(EveryRow, ControlAnswerTable, ::testing::ValuesIn(kAnswerCases),
                         [](const ::testing::TestParamInfo<AnswerCase>& info) {
                           return info.param.Name;
                         });

TEST(ControlAnswers, IsOpenByteTellsWhetherAContainerIsAttached) {
  EXPECT_EQ(Ask(IOCTL_CRYPTDSK_IS_OPEN, 0, 1, Detached()).Buffer[0], 0);
  EXPECT_EQ(Ask(IOCTL_CRYPTDSK_IS_OPEN, 0, 1, Attached()).Buffer[0], 1);
}

TEST(ControlAnswers, GeometryOf100MiBContainerHas3200Cylinders) {
  const Exchange e = Ask(kIoctlDiskGetDriveGeometry, 0, 24, Attached());
  EXPECT_EQ(LoadU64(&e.Buffer[0]), 3200u);
  EXPECT_EQ(e.Buffer[8], kFixedMedia);
  EXPECT_EQ(e.Buffer[12], 2);
  EXPECT_EQ(e.Buffer[16], 32);
  EXPECT_EQ(LoadU16(&e.Buffer[20]), 512);
}

TEST(ControlAnswers, CylindersAreALogicalShiftOfTheSize) {
  const Exchange e =
      Ask(kIoctlDiskGetDriveGeometry, 0, 24, Attached(kName, INT64_C(0x7FFFFFFFFFFF8000)));
  EXPECT_EQ(LoadU64(&e.Buffer[0]), UINT64_C(0xFFFFFFFFFFFF));
}

TEST(ControlAnswers, PartitionStartsAtSecondSectorAndCoversTheRest) {
  const Exchange ex = Ask(kIoctlDiskGetPartitionInfoEx, 0, 144, Attached());
  EXPECT_EQ(LoadU16(&ex.Buffer[0]), 0);  // MBR
  EXPECT_EQ(LoadU64(&ex.Buffer[8]), 512u);
  EXPECT_EQ(LoadU64(&ex.Buffer[16]), 104857088u);
  EXPECT_EQ(LoadU64(&ex.Buffer[24]) & 0xFFFF, 0u);  // number 0, rewrite false
  EXPECT_EQ(ex.Buffer[32], 0);                      // partition type
  EXPECT_EQ(ex.Buffer[33], 0);                      // boot indicator
  EXPECT_EQ(ex.Buffer[34], 0);                      // recognized
  EXPECT_EQ(LoadU16(&ex.Buffer[36]), 1);            // hidden sectors
  for (size_t i = 40; i < 144; ++i) EXPECT_EQ(ex.Buffer[i], 0) << i;

  const Exchange e = Ask(kIoctlDiskGetPartitionInfo, 0, 32, Attached());
  EXPECT_EQ(LoadU64(&e.Buffer[0]), 512u);
  EXPECT_EQ(LoadU64(&e.Buffer[8]), 104857088u);
  EXPECT_EQ(LoadU16(&e.Buffer[16]), 1);
  for (size_t i = 20; i < 32; ++i) EXPECT_EQ(e.Buffer[i], 0) << i;
}

TEST(ControlAnswers, LengthIsTheImageSize) {
  EXPECT_EQ(LoadU64(Ask(kIoctlDiskGetLengthInfo, 0, 8, Attached()).Buffer.data()), 104857600u);
}

TEST(ControlAnswers, UniqueIdWithLengthOnlyOutputReturnsLength49) {
  const Exchange e = Ask(kIoctlMountdevQueryUniqueId, 0, 4, Attached());
  EXPECT_EQ(LoadU16(e.Buffer.data()), 49);
}

TEST(ControlAnswers, UniqueIdIsTheFixedVolumeIdFollowedByAZeroByte) {
  const Exchange e = Ask(kIoctlMountdevQueryUniqueId, 0, 53, Attached());
  EXPECT_EQ(LoadU16(e.Buffer.data()), 49);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&e.Buffer[2]), 49),
            "\\??\\Volume{F9B1D053-4889-4656-9155-7652877B7E58}\\");
  EXPECT_EQ(e.Buffer[51], 0);
}

TEST(ControlAnswers, DeviceNameIsTheUtf16NameWithTerminator) {
  EXPECT_EQ(LoadU16(Ask(kIoctlMountdevQueryDeviceName, 0, 39, Attached()).Buffer.data()), 36);
  const Exchange e = Ask(kIoctlMountdevQueryDeviceName, 0, 40, Attached());
  EXPECT_EQ(LoadU16(e.Buffer.data()), 36);
  std::u16string name;
  for (int i = 0; i < 18; ++i) name.push_back(static_cast<char16_t>(LoadU16(&e.Buffer[2 + 2 * i])));
  EXPECT_EQ(name, u"\\Device\\CryptDsk00");
  EXPECT_EQ(LoadU16(&e.Buffer[38]), 0);
}

TEST(ControlAnswers, SetDriveLetterCarriesTheFirstU16) {
  const Exchange e = Ask(IOCTL_CRYPTDSK_SET_DRIVE_LETTER, 4, 0, Attached(), {'G', 0, 'X', 0});
  EXPECT_TRUE(e.Answer.DriveLetterChanged);
  EXPECT_EQ(e.Answer.NewDriveLetter, 0x47);
  EXPECT_FALSE(
      Ask(IOCTL_CRYPTDSK_SET_DRIVE_LETTER, 1, 0, Attached(), {'G'}).Answer.DriveLetterChanged);
}

TEST(ControlAnswers, QueryReturnsSizeLetterAndTerminatedNameButNeverTheKey) {
  std::vector<uint8_t> echo(576, 0x5C);  // what the caller's input left in the shared buffer
  const Exchange e = Ask(IOCTL_CRYPTDSK_QUERY_IMAGE, 576, 576, Attached(), echo);
  for (int i = 0; i < 32; ++i) EXPECT_EQ(e.Buffer[i], 0) << i;
  EXPECT_EQ(LoadU16(&e.Buffer[32]), 1);
  EXPECT_EQ(LoadU16(&e.Buffer[34]), kName.size());
  EXPECT_EQ(LoadU64(&e.Buffer[40]), 104857600u);
  EXPECT_EQ(LoadU16(&e.Buffer[48]), 'K');
  for (size_t i = 0; i < kName.size(); ++i) EXPECT_EQ(LoadU16(&e.Buffer[50 + 2 * i]), kName[i]);
  for (size_t i = 50 + 2 * kName.size(); i < 576; ++i) EXPECT_EQ(e.Buffer[i], 0) << i;
}

TEST(ControlAnswers, QueryOf263UnitNameFillsTheRecordWithoutTerminator) {
  const std::u16string name = u"\\??\\C:\\" + std::u16string(256, u'n');
  ASSERT_EQ(name.size(), 263u);
  const Exchange e = Ask(IOCTL_CRYPTDSK_QUERY_IMAGE, 0, 576, Attached(name));
  EXPECT_EQ(e.Answer.Status, kStatusSuccess);
  EXPECT_EQ(e.Answer.Information, 576u);
  EXPECT_EQ(LoadU16(&e.Buffer[34]), 263);
  EXPECT_EQ(LoadU16(&e.Buffer[574]), u'n');
  const Exchange roomy = Ask(IOCTL_CRYPTDSK_QUERY_IMAGE, 0, 600, Attached(name));
  EXPECT_EQ(roomy.Answer.Information, 578u);
  EXPECT_EQ(LoadU16(&roomy.Buffer[576]), 0);
}

TEST(ControlAnswers, QueryOfNameLongerThanTheOutputIsCutWithBufferOverflow) {
  const std::u16string name = u"\\??\\C:\\" + std::u16string(400, u'n');
  const Exchange e = Ask(IOCTL_CRYPTDSK_QUERY_IMAGE, 0, 576, Attached(name));
  EXPECT_EQ(e.Answer.Status, kStatusBufferOverflow);
  EXPECT_EQ(e.Answer.Information, 576u);
  EXPECT_EQ(LoadU16(&e.Buffer[34]), name.size());
}

struct RecordCase {
  const char* Name;
  uint32_t InputLength;
  uint16_t FileNameLength;
  NtStatus Status;
};

const RecordCase kRecordCases[] = {
    {"ShortRecord", 575, 10, kStatusInvalidParameter},
    {"EmptyName", 576, 0, kStatusInvalidParameter},
    {"OneUnit", 576, 1, kStatusSuccess},
    {"NameFillsTheRecord", 576, 263, kStatusSuccess},
    {"NamePastTheRecord", 576, 264, kStatusInvalidParameter},
    {"NameInsideLongerInput", 1000, 475, kStatusSuccess},
    {"NamePastLongerInput", 1000, 476, kStatusInvalidParameter},
    {"LargestLength", 576, 0xFFFF, kStatusInvalidParameter},
    // Past 32766 units the name's byte count and terminator overflow 16 bits.
    {"LongestNameInLargeInput", 50 + 2 * 32766, 32766, kStatusSuccess},
    {"OneUnitPastLongestInLargeInput", 50 + 2 * 32767, 32767, kStatusInvalidParameter},
    {"ByteCountWrapsToEmptyName", 50 + 2 * 32768, 32768, kStatusInvalidParameter},
    {"ByteCountWrapsToShorterName", 50 + 2 * 33000, 33000, kStatusInvalidParameter},
    {"LargestLengthInLargestInput", 50 + 2 * 0xFFFF, 0xFFFF, kStatusInvalidParameter},
};

class OpenRecordTable : public ::testing::TestWithParam<RecordCase> {};

TEST_P(OpenRecordTable, NameMustLieInsideTheInput) {
  const RecordCase& c = GetParam();
  std::vector<uint8_t> record = OpenRecord(u"x", 4096, std::max<uint32_t>(c.InputLength, 576));
  StoreU16(&record[34], c.FileNameLength);
  OpenImageParameters p{};
  EXPECT_EQ(ParseOpenImageRecord(record.data(), c.InputLength, &p), c.Status);
  const Exchange e = Ask(IOCTL_CRYPTDSK_OPEN_IMAGE, c.InputLength, 0, Detached(), record);
  EXPECT_EQ(e.Answer.Status, c.Status == kStatusSuccess ? kStatusPending : c.Status);
}

INSTANTIATE_TEST_SUITE_P(Records, OpenRecordTable, ::testing::ValuesIn(kRecordCases),
                         [](const ::testing::TestParamInfo<RecordCase>& info) {
                           return info.param.Name;
                         });

TEST(OpenImageRecord, ParsesKeySizeLetterAndName) {
  const std::vector<uint8_t> record = OpenRecord(kName, 10485760);
  OpenImageParameters p{};
  ASSERT_EQ(ParseOpenImageRecord(record.data(), 576, &p), kStatusSuccess);
  EXPECT_EQ(p.Key, record.data());
  EXPECT_EQ(p.FileSize, 10485760u);
  EXPECT_EQ(p.DriveLetter, 'H');
  EXPECT_EQ(p.FileNameUnits, kName.size());
  EXPECT_EQ(p.FileName, record.data() + 50);
}

DiskView InState(uint32_t pnpState) {
  DiskView view = Detached();
  view.PnpState = pnpState;
  return view;
}

struct RefusedOpenCase {
  const char* Name;
  uint32_t InputLength;
  uint16_t FileNameLength;
  DiskView Disk;
  NtStatus Status;
};

const RefusedOpenCase kRefusedOpens[] = {
    {"AlreadyAttached", 576, 10, Attached(), kStatusInvalidDeviceRequest},
    {"ShortRecord", 575, 10, Detached(), kStatusInvalidParameter},
    {"InputShorterThanTheKey", 20, 10, Detached(), kStatusInvalidParameter},
    {"EmptyName", 576, 0, Detached(), kStatusInvalidParameter},
    {"NamePastTheInput", 576, 264, Detached(), kStatusInvalidParameter},
    {"NameTooLong", 50 + 2 * 33000, 33000, Detached(), kStatusInvalidParameter},
    {"SurpriseRemoved", 576, 10, InState(kPnpSurpriseRemoved), kStatusNoSuchDevice},
    {"Removed", 576, 10, InState(kPnpRemoved), kStatusDeletePending},
};

class RefusedOpen : public ::testing::TestWithParam<RefusedOpenCase> {};

// The I/O manager frees the system buffer unwiped: a refused open takes the
// key out of it (and bytes 576 to 607, where a whole-disk request has its
// tweak key; zero in these records), and nothing else.
TEST_P(RefusedOpen, EndsAtOnceWithTheKeyWiped) {
  const RefusedOpenCase& c = GetParam();
  std::vector<uint8_t> record = OpenRecord(kName, 4096, std::max<uint32_t>(c.InputLength, 576));
  StoreU16(&record[34], c.FileNameLength);
  const Exchange e = Ask(IOCTL_CRYPTDSK_OPEN_IMAGE, c.InputLength, 0, c.Disk, record);
  EXPECT_EQ(e.Answer.Status, c.Status);
  EXPECT_EQ(e.Answer.Action, ControlAction::kComplete);
  const size_t keyBytes = std::min<size_t>(32, c.InputLength);
  EXPECT_EQ(std::vector<uint8_t>(e.Buffer.begin(), e.Buffer.begin() + keyBytes),
            std::vector<uint8_t>(keyBytes, 0));
  EXPECT_TRUE(std::equal(e.Buffer.begin() + keyBytes, e.Buffer.end(), record.begin() + keyBytes));
}

INSTANTIATE_TEST_SUITE_P(EveryRefusal, RefusedOpen, ::testing::ValuesIn(kRefusedOpens),
                         [](const ::testing::TestParamInfo<RefusedOpenCase>& info) {
                           return info.param.Name;
                         });

TEST(ControlAnswers, QueuedOpenKeepsTheKeyForTheWorker) {
  const std::vector<uint8_t> record = OpenRecord(kName, 4096);
  const Exchange e = Ask(IOCTL_CRYPTDSK_OPEN_IMAGE, 576, 0, Detached(), record);
  EXPECT_EQ(e.Answer.Action, ControlAction::kQueueOpen);
  EXPECT_EQ(e.Buffer, record);
}

// The kernel's own refusals of an open (no remove lock, no token captured)
// and the worker's end of every open wipe the same way.
TEST(ControlAnswers, FailedTokenCaptureEndsWithUnsuccessfulAndTheKeyWiped) {
  std::vector<uint8_t> record = OpenRecord(kName, 4096);
  ControlRequest open{IOCTL_CRYPTDSK_OPEN_IMAGE, 576, 0, record.data()};
  const ControlAnswer a = RefuseControlRequest(open, kStatusUnsuccessful);
  EXPECT_EQ(a.Status, kStatusUnsuccessful);
  EXPECT_EQ(a.Information, 0u);
  EXPECT_EQ(a.Action, ControlAction::kComplete);
  EXPECT_EQ(std::vector<uint8_t>(record.begin(), record.begin() + 32), std::vector<uint8_t>(32, 0));
  EXPECT_EQ(LoadU64(&record[40]), 4096u);

  std::vector<uint8_t> other(576, 0x5A);
  ControlRequest query{IOCTL_CRYPTDSK_QUERY_IMAGE, 576, 576, other.data()};
  EXPECT_EQ(RefuseControlRequest(query, kStatusDeletePending).Status, kStatusDeletePending);
  EXPECT_EQ(other, std::vector<uint8_t>(576, 0x5A));
}

// Every code, every size up to 600: no answer writes beyond the output it was
// given, and every answer is one of the protocol's statuses.
TEST(ControlAnswers, NoAnswerWritesPastItsOutputLength) {
  const uint32_t codes[] = {
      IOCTL_CRYPTDSK_OPEN_IMAGE,  IOCTL_CRYPTDSK_CLOSE_IMAGE,      IOCTL_CRYPTDSK_IS_OPEN,
      IOCTL_CRYPTDSK_QUERY_IMAGE, IOCTL_CRYPTDSK_SET_DRIVE_LETTER, kIoctlDiskGetDriveGeometry,
      kIoctlDiskVerify,           kIoctlDiskGetPartitionInfoEx,    kIoctlDiskGetPartitionInfo,
      kIoctlDiskGetLengthInfo,    kIoctlMountdevQueryUniqueId,     kIoctlMountdevQueryDeviceName};
  for (const uint32_t code : codes) {
    for (uint32_t out = 0; out <= 600; out += 1) {
      const uint32_t in = 600 - out;
      std::vector<uint8_t> buffer(std::max(in, out) + 8, 0xEE);
      ControlRequest request{code, in, out, buffer.data()};
      const ControlAnswer a = AnswerControlRequest(request, Attached());
      const bool copies = a.Status == kStatusSuccess || a.Status == kStatusBufferOverflow;
      // The set request's Information 1 is the table's, with nothing to copy.
      if (copies && code != IOCTL_CRYPTDSK_SET_DRIVE_LETTER) {
        EXPECT_LE(a.Information, out) << code;
      }
      for (size_t i = std::max(in, out); i < buffer.size(); ++i) ASSERT_EQ(buffer[i], 0xEE) << code;
    }
  }
}

// A second-generation request: the record with Generation = 2, then the
// 32-byte tweak key.
std::vector<uint8_t> WholeDiskRequest(const std::u16string& name, size_t totalSize = 608) {
  std::vector<uint8_t> request = OpenRecord(name, 10485760, totalSize);
  StoreU32(&request[36], kGenerationWholeDisk);
  for (size_t i = 576; i < 608 && i < totalSize; ++i) request[i] = static_cast<uint8_t>(0xC0 + i);
  return request;
}

TEST(OpenImageRecord, EarlierClientsZeroAndTheFirstGenerationAreHeadOnlyWithoutTweakKey) {
  for (const uint32_t generation : {0u, 1u}) {
    for (const uint32_t input : {576u, 1000u}) {
      std::vector<uint8_t> record = OpenRecord(kName, 4096, input);
      StoreU32(&record[36], generation);
      OpenImageParameters p{};
      ASSERT_EQ(ParseOpenImageRecord(record.data(), input, &p), kStatusSuccess) << generation;
      EXPECT_EQ(p.Generation, kGenerationHeadOnly);
      EXPECT_EQ(p.TweakKey, nullptr);
    }
  }
}

TEST(OpenImageRecord, WholeDiskRequestOf608BytesGivesBothKeys) {
  const std::vector<uint8_t> request = WholeDiskRequest(kName);
  OpenImageParameters p{};
  ASSERT_EQ(ParseOpenImageRecord(request.data(), 608, &p), kStatusSuccess);
  EXPECT_EQ(p.Generation, kGenerationWholeDisk);
  EXPECT_EQ(p.Key, request.data());
  EXPECT_EQ(p.TweakKey, request.data() + 576);
  EXPECT_EQ(p.FileSize, 10485760u);
  EXPECT_EQ(p.FileNameUnits, kName.size());
}

const RecordCase kWholeDiskRefusals[] = {
    {"RecordWithoutTweakKey", 576, 10, kStatusInvalidParameter},
    {"TweakKeyCut", 607, 10, kStatusInvalidParameter},
    // The name would run into the tweak key.
    {"NamePastTheRecord", 608, 264, kStatusInvalidParameter},
    {"NamePastTheRecordInLongerInput", 1000, 300, kStatusInvalidParameter},
};

class WholeDiskRefused : public ::testing::TestWithParam<RecordCase> {};

TEST_P(WholeDiskRefused, IsAnInvalidParameter) {
  const RecordCase& c = GetParam();
  std::vector<uint8_t> request = WholeDiskRequest(kName, std::max<uint32_t>(c.InputLength, 608));
  StoreU16(&request[34], c.FileNameLength);
  OpenImageParameters p{};
  EXPECT_EQ(ParseOpenImageRecord(request.data(), c.InputLength, &p), c.Status);
}

INSTANTIATE_TEST_SUITE_P(Requests, WholeDiskRefused, ::testing::ValuesIn(kWholeDiskRefusals),
                         [](const ::testing::TestParamInfo<RecordCase>& info) {
                           return info.param.Name;
                         });

TEST(OpenImageRecord, UnknownGenerationIsRefused) {
  for (const uint32_t generation : {3u, 0xFFFFFFFFu}) {
    std::vector<uint8_t> request = WholeDiskRequest(kName);
    StoreU32(&request[36], generation);
    OpenImageParameters p{};
    EXPECT_EQ(ParseOpenImageRecord(request.data(), 608, &p), kStatusInvalidParameter);
  }
}

TEST(ControlAnswers, RefusedWholeDiskOpenWipesBothKeysAndNothingElse) {
  std::vector<uint8_t> request = WholeDiskRequest(kName);
  StoreU32(&request[36], 3);
  const Exchange e = Ask(IOCTL_CRYPTDSK_OPEN_IMAGE, 608, 0, Detached(), request);
  EXPECT_EQ(e.Answer.Status, kStatusInvalidParameter);
  std::vector<uint8_t> expected = request;
  std::fill(expected.begin(), expected.begin() + 32, 0);
  std::fill(expected.begin() + 576, expected.end(), 0);
  EXPECT_EQ(std::vector<uint8_t>(e.Buffer.begin(), e.Buffer.begin() + 608), expected);
}

TEST(ControlAnswers, WorkersEndOfAWholeDiskOpenWipesBothKeys) {
  std::vector<uint8_t> request = WholeDiskRequest(kName);
  WipeOpenRecordKey(request.data(), 608);
  EXPECT_EQ(std::vector<uint8_t>(request.begin(), request.begin() + 32),
            std::vector<uint8_t>(32, 0));
  EXPECT_EQ(std::vector<uint8_t>(request.begin() + 576, request.end()),
            std::vector<uint8_t>(32, 0));
  EXPECT_EQ(LoadU16(&request[34]), kName.size());
}

TEST(ControlAnswers, QueryReportsTheAttachedGeneration) {
  for (const uint32_t generation : {kGenerationHeadOnly, kGenerationWholeDisk}) {
    DiskView disk = Attached();
    disk.Generation = generation;
    const Exchange e = Ask(IOCTL_CRYPTDSK_QUERY_IMAGE, 576, 576, disk, WholeDiskRequest(kName));
    ASSERT_EQ(e.Answer.Status, kStatusSuccess);
    EXPECT_EQ(LoadU32(&e.Buffer[36]), generation);
    for (int i = 0; i < 32; ++i) EXPECT_EQ(e.Buffer[i], 0) << i;
  }
}

}  // namespace
}  // namespace cryptdsk
