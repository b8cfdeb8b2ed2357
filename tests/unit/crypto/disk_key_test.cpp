#include "disk_key.h"

#include <gtest/gtest.h>

#include "crypto_test_bytes.h"
#include "sha512.h"

namespace {

TEST(DiskKeyFromKeyMaterial, ZeroMaterialGivesFirstHalfOfSha512OfZeros) {
  const uint8_t material[kKeyMaterialSize] = {};
  uint8_t key[kDiskKeySize];
  DiskKeyFromKeyMaterial(material, key);
  EXPECT_EQ(ToHex(key, sizeof(key)),
            "693f95d58383a6162d2aab49eb60395dcc4bb22295120caf3f21e3039003230b");
}

TEST(DiskKeyFromKeyMaterial, EqualsDigestBytes0To31AndWritesNoMore) {
  const std::vector<uint8_t> material = CountingBytes(kKeyMaterialSize);
  Sha512Context context;
  Sha512Init(&context);
  Sha512Update(&context, material.data(), material.size());
  uint8_t digest[64];
  Sha512Final(&context, digest);

  uint8_t key[kDiskKeySize + 4];
  memset(key, 0xEE, sizeof(key));
  DiskKeyFromKeyMaterial(material.data(), key);
  EXPECT_EQ(memcmp(key, digest, kDiskKeySize), 0);
  EXPECT_EQ(ToHex(key + kDiskKeySize, 4), "eeeeeeee");
}

}  // namespace
