#include "crc32.h"

#include <gtest/gtest.h>

#include "crypto_test_bytes.h"

namespace {

TEST(Crc32, FourZeroBytesFromZeroGiveZero) {
  const uint8_t zeros[4] = {};
  EXPECT_EQ(Crc32UpdateBuffer(0, zeros, 4), 0u);
}

TEST(Crc32, TableGivesTheStandardCheckValueUnderTheCommonConvention) {
  // The common checksum (start ~0, invert at the end) of "123456789".
  const std::vector<uint8_t> text = Bytes("123456789");
  EXPECT_EQ(~Crc32UpdateBuffer(0xFFFFFFFF, text.data(), text.size()), 0xCBF43926u);
}

TEST(Crc32, RegisterStartsAtZeroWithoutInversion) {
  // With start 0 and no inversion, one byte b leaves exactly table[b].
  for (int b = 0; b < 256; ++b) EXPECT_EQ(Crc32Update(0, static_cast<uint8_t>(b)), kCrc32Table[b]);
  EXPECT_EQ(kCrc32Table[128], 0xEDB88320u);  // reflected polynomial
}

TEST(Crc32, IsLinearOverXorWhenStartingFromZero) {
  const std::vector<uint8_t> a = Bytes("mouse at 120,45");
  const std::vector<uint8_t> b = Bytes("key 0x41 t=1234");
  std::vector<uint8_t> both(a.size());
  for (size_t i = 0; i < a.size(); ++i) both[i] = a[i] ^ b[i];
  EXPECT_EQ(Crc32UpdateBuffer(0, both.data(), both.size()),
            Crc32UpdateBuffer(0, a.data(), a.size()) ^ Crc32UpdateBuffer(0, b.data(), b.size()));
}

TEST(Crc32, BufferEqualsByteByByte) {
  const std::vector<uint8_t> data = CountingBytes(300);
  uint32_t crc = 0x12345678;
  for (uint8_t byte : data) crc = Crc32Update(crc, byte);
  EXPECT_EQ(Crc32UpdateBuffer(0x12345678, data.data(), data.size()), crc);
}

}  // namespace
