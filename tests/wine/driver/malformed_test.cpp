#include <gtest/gtest.h>

#include <random>

#include "driver_harness.h"

namespace cryptdsk_test {
namespace {

class Malformed : public ::testing::Test {
 protected:
  void SetUp() override {
    device_ = OpenDevice();
    ASSERT_TRUE(device_.valid());
    if (IsOpen(device_.get())) CloseImage(device_.get());
    container_ = ContainerNamed(L"malformed.cryptdsk");
    ASSERT_TRUE(CreateContainerFile(container_, 1 << 20));
  }
  void TearDown() override {
    if (device_.valid() && IsOpen(device_.get())) CloseImage(device_.get());
  }
  HANDLE device() const { return device_.get(); }
  void Attach() { ASSERT_EQ(OpenImage(device(), container_.NtPath, 0), kSuccess); }

  Handle device_;
  Container container_;
};

// Stands for "any failure": an open whose random name reaches the file system.
constexpr NTSTATUS kAnyFailure = 1;

// What a request with random bytes must end with, by code, sizes and state.
NTSTATUS Expected(uint32_t code, uint32_t in, uint32_t out, bool attached, const Bytes& input) {
  switch (code) {
    case IOCTL_CRYPTDSK_IS_OPEN:
      return out >= 1 ? kSuccess : kBufferTooSmall;
    case IOCTL_CRYPTDSK_OPEN_IMAGE: {
      if (attached) return kInvalidDeviceRequest;
      if (in < 576) return kInvalidParameter;
      const uint32_t units = input[34] | (input[35] << 8);
      if (units == 0 || 50 + 2 * units > in) return kInvalidParameter;
      return kAnyFailure;
    }
    case IOCTL_CRYPTDSK_QUERY_IMAGE:
      if (!attached) return kNoMedia;
      return out >= 576 ? kSuccess : kBufferTooSmall;
    case IOCTL_CRYPTDSK_SET_DRIVE_LETTER:
      if (!attached) return kNoMedia;
      return in >= 2 ? kSuccess : kBufferTooSmall;
    default:
      return attached ? kInvalidDeviceRequest : kNoMedia;
  }
}

TEST_F(Malformed, OwnCodesWithEverySizeAndRandomBytesEndWithTheRightStatus) {
  std::mt19937 random(77);
  const uint32_t codes[] = {IOCTL_CRYPTDSK_OPEN_IMAGE, IOCTL_CRYPTDSK_IS_OPEN,
                            IOCTL_CRYPTDSK_QUERY_IMAGE, IOCTL_CRYPTDSK_SET_DRIVE_LETTER};
  int checked = 0;
  for (const bool attached : {false, true}) {
    if (attached) Attach();
    for (const uint32_t code : codes) {
      for (uint32_t in = 0; in <= 600; in += (in < 8 || (in > 570 && in < 580)) ? 1 : 37) {
        for (uint32_t out = 0; out <= 600; out += (out < 4 || (out > 570 && out < 580)) ? 1 : 53) {
          Bytes input(in + 8);
          for (auto& b : input) b = static_cast<uint8_t>(random());
          Bytes output(out + 8, 0);
          const Answer answer = Ioctl(device(), code, in ? input.data() : nullptr, in,
                                      out ? output.data() : nullptr, out);
          const NTSTATUS expected = Expected(code, in, out, attached, input);
          if (expected == kAnyFailure) {
            EXPECT_LT(answer.Status, 0) << std::hex << code << std::dec << " in " << in;
            if (IsOpen(device())) CloseImage(device());
          } else {
            ASSERT_EQ(answer.Status, expected)
                << std::hex << code << std::dec << " in " << in << " out " << out;
          }
          ++checked;
        }
      }
    }
  }
  // Close, with random bytes around it, still detaches exactly once.
  Bytes junk(600, 0x5A);
  EXPECT_EQ(Ioctl(device(), IOCTL_CRYPTDSK_CLOSE_IMAGE, junk.data(), 600, junk.data(), 600).Status,
            kSuccess);
  EXPECT_EQ(Ioctl(device(), IOCTL_CRYPTDSK_CLOSE_IMAGE, junk.data(), 600, junk.data(), 600).Status,
            kNoMedia);
  EXPECT_GT(checked, 1000);
  EXPECT_FALSE(IsOpen(device()));
}

TEST_F(Malformed, OpenRecordWhoseNameRunsPastTheInputIsRefused) {
  struct Case {
    uint32_t InputLength;
    uint16_t FileNameLength;
  };
  for (const Case c :
       {Case{576, 264}, Case{576, 1000}, Case{576, 0xFFFF}, Case{700, 326}, Case{576, 0}}) {
    Bytes record(c.InputLength, 0);
    OPEN_IMAGE_RECORD base = OpenRecord(container_.NtPath, 0);
    memcpy(record.data(), &base, sizeof(base));
    memcpy(&record[34], &c.FileNameLength, 2);
    EXPECT_EQ(
        Ioctl(device(), IOCTL_CRYPTDSK_OPEN_IMAGE, record.data(), c.InputLength, nullptr, 0).Status,
        kInvalidParameter)
        << c.InputLength << "/" << c.FileNameLength;
  }
  EXPECT_FALSE(IsOpen(device()));
}

// A name past 32766 units, inside an input long enough to hold it, is
// refused: its byte count once wrapped to 16 bits gave an empty name, or a
// shorter path (66000 bytes wrap to 464, the first 232 units) that was then
// opened and created.
TEST_F(Malformed, NameLengthsPast32766UnitsAreRefusedAndCreateNothing) {
  const Container wrapped = ContainerNamed(std::wstring(201, L'w') + L".cryptdsk");
  ASSERT_EQ(wrapped.NtPath.size(), 232u);
  for (const uint16_t units :
       {uint16_t{32767}, uint16_t{32768}, uint16_t{33000}, uint16_t{0xFFFF}}) {
    Bytes record(50 + 2 * size_t{units}, 0);
    const OPEN_IMAGE_RECORD base = OpenRecord(wrapped.NtPath, 1 << 20);
    memcpy(record.data(), &base, 50);
    memcpy(&record[34], &units, 2);
    std::wstring name = wrapped.NtPath;
    name.resize(units, L'x');
    memcpy(&record[50], name.data(), 2 * name.size());
    EXPECT_EQ(Ioctl(device(), IOCTL_CRYPTDSK_OPEN_IMAGE, record.data(),
                    static_cast<uint32_t>(record.size()), nullptr, 0)
                  .Status,
              kInvalidParameter)
        << units;
  }
  EXPECT_EQ(FileSizeOf(wrapped), -1) << "the wrapped path was created";
  EXPECT_FALSE(IsOpen(device()));
}

TEST_F(Malformed, NameContinuingPastTheRecordInsideALongerInputIsAccepted) {
  std::wstring ntPath = container_.NtPath;
  const std::wstring longName =
      ContainerNamed(std::wstring(200, L'l') + L"-" + std::wstring(54, L'm') + L".cryptdsk").NtPath;
  ASSERT_GT(longName.size(), 263u);
  Bytes record(50 + 2 * longName.size(), 0);
  OPEN_IMAGE_RECORD base = OpenRecord(longName, 1 << 20);
  memcpy(record.data(), &base, 50);
  memcpy(&record[50], longName.data(), 2 * longName.size());
  const Answer answer = Ioctl(device(), IOCTL_CRYPTDSK_OPEN_IMAGE, record.data(),
                              static_cast<uint32_t>(record.size()), nullptr, 0);
  // Long file names can exceed what the host file system allows; either way
  // the driver answers and keeps serving.
  if (answer.Status == kSuccess) {
    Bytes query(1200, 0);
    const Answer q = Ioctl(device(), IOCTL_CRYPTDSK_QUERY_IMAGE, nullptr, 0, query.data(), 1200);
    EXPECT_EQ(q.Status, kSuccess);
    EXPECT_EQ(query[34] | (query[35] << 8), static_cast<int>(longName.size()));
    EXPECT_EQ(CloseImage(device()), kSuccess);
  }
  EXPECT_FALSE(IsOpen(device()));
  static_cast<void>(ntPath);
}

TEST_F(Malformed, UnknownCodesAreRefusedAndTheDriverKeepsServing) {
  std::mt19937 random(99);
  for (const bool attached : {false, true}) {
    if (attached) Attach();
    for (int i = 0; i < 400; ++i) {
      const uint32_t type = 0x8000 + random() % 0x8000;
      const uint32_t code =
          (type << 16) | ((random() % 4) << 14) | ((random() % 0x1000) << 2) | (random() % 4);
      if (code == IOCTL_CRYPTDSK_OPEN_IMAGE || code == IOCTL_CRYPTDSK_CLOSE_IMAGE ||
          code == IOCTL_CRYPTDSK_IS_OPEN || code == IOCTL_CRYPTDSK_QUERY_IMAGE ||
          code == IOCTL_CRYPTDSK_SET_DRIVE_LETTER) {
        continue;
      }
      Bytes buffer(64, 0x11);
      const Answer answer = Ioctl(device(), code, buffer.data(), 32, buffer.data() + 32, 32);
      ASSERT_EQ(answer.Status, attached ? kInvalidDeviceRequest : kNoMedia) << std::hex << code;
    }
    EXPECT_EQ(IsOpen(device()), attached);
  }
}

}  // namespace
}  // namespace cryptdsk_test
