#include "argon2id.h"

#include <gtest/gtest.h>

#include "crypto_test_bytes.h"

namespace {

struct HashRun {
  std::vector<uint64_t> memory;  // 8-byte aligned
  std::vector<uint8_t> tag;
  int result = 0;
};

HashRun Hash(const Argon2idParameters& parameters, const Argon2idInputs& inputs, size_t tagSize) {
  HashRun run;
  const size_t size = Argon2idMemorySize(parameters);
  run.memory.assign(size / 8 + 1, 0x5A5A5A5A5A5A5A5Aull);
  run.tag.assign(tagSize, 0xEE);
  run.result = Argon2id(parameters, inputs, run.memory.data(), size, run.tag.data(), tagSize);
  return run;
}

Argon2idInputs PasswordAndSalt(const std::vector<uint8_t>& password,
                               const std::vector<uint8_t>& salt) {
  return {password.data(), password.size(), salt.data(), salt.size(), nullptr, 0, nullptr, 0};
}

TEST(Argon2id, Rfc9106Vector) {
  const std::vector<uint8_t> password(32, 0x01), salt(16, 0x02), secret(8, 0x03), data(12, 0x04);
  const Argon2idInputs inputs{password.data(), password.size(), salt.data(), salt.size(),
                              secret.data(),   secret.size(),   data.data(), data.size()};
  const HashRun run = Hash({3, 32, 4}, inputs, 32);
  ASSERT_EQ(run.result, 1);
  EXPECT_EQ(ToHex(run.tag.data(), run.tag.size()),
            "0d640df58d78766c08c037a34a8b53c9d01ef0452d75b65eb52520e96b01e659");
}

// Answers of Debian's argon2 command (-id -r) for the same inputs: one and
// several lanes, memory not a multiple of 4 lanes, segments longer than one
// block of addresses, tags shorter and longer than one BLAKE2b digest.
TEST(Argon2id, MatchesTheReferenceCommand) {
  const std::vector<uint8_t> password = Bytes("correct horse battery staple");
  const std::vector<uint8_t> salt = Bytes("saltsalt1234");
  const struct {
    Argon2idParameters parameters;
    size_t tagSize;
    const char* tag;
  } cases[] = {
      {{2, 256, 1}, 32, "9a0f8da724e530348ff2c7781295f25527afdcdb6fc17d85794a42898a5346c0"},
      {{1, 4096, 1}, 32, "d2c8b7d250ee6e9ca0620194abed2c37b14358be97e7fd4e3d85497c5b436aa5"},
      {{3, 1024, 4},
       100,
       "470af298c0e58ba8a35462e56c5bbeb76f3e8b8891b69725cb00fce7987045b7baec6548a787ab27fce74a"
       "a86fb811f6b99c7a156c7a3f92e41214efd2ddeaf147301ba5d088546517c62efc532c4f06ce996161dbe7"
       "7952fbf61b154eac797087ac0a0d"},
      {{2, 2048, 3}, 16, "308a30e79eaaff6a6ec5d13bbc271aed"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.tag);
    const HashRun run = Hash(c.parameters, PasswordAndSalt(password, salt), c.tagSize);
    ASSERT_EQ(run.result, 1);
    EXPECT_EQ(ToHex(run.tag.data(), run.tag.size()), c.tag);
  }
}

TEST(Argon2id, WipesItsMemoryAndNothingBeyond) {
  const std::vector<uint8_t> password = Bytes("pw"), salt = Bytes("saltsalt");
  const HashRun run = Hash({1, 64, 2}, PasswordAndSalt(password, salt), 32);
  ASSERT_EQ(run.result, 1);
  for (size_t i = 0; i + 1 < run.memory.size(); ++i) ASSERT_EQ(run.memory[i], 0u) << i;
  EXPECT_EQ(run.memory.back(), 0x5A5A5A5A5A5A5A5Aull);
}

TEST(Argon2id, RefusesParametersSizesAndMemoryOutOfRange) {
  const std::vector<uint8_t> password = Bytes("pw"), salt = Bytes("saltsalt"),
                             shortSalt = Bytes("salt");
  EXPECT_EQ(Argon2idMemorySize({0, 64, 1}), 0u);
  EXPECT_EQ(Argon2idMemorySize({1, 15, 2}), 0u);
  EXPECT_EQ(Argon2idMemorySize({1, 64, 0}), 0u);
  EXPECT_EQ(Argon2idMemorySize({1, 64, 1u << 24}), 0u);
  EXPECT_EQ(Argon2idMemorySize({1, 19, 2}), 16u * 1024);  // rounded down to 4 blocks per lane

  const Argon2idParameters parameters{1, 64, 1};
  EXPECT_EQ(Hash(parameters, PasswordAndSalt(password, shortSalt), 32).result, -1);
  EXPECT_EQ(Hash(parameters, PasswordAndSalt(password, salt), 3).result, -1);

  std::vector<uint64_t> memory(Argon2idMemorySize(parameters) / 8 + 1, 7);
  uint8_t tag[32] = {};
  const Argon2idInputs inputs = PasswordAndSalt(password, salt);
  EXPECT_EQ(Argon2id(parameters, inputs, memory.data(), 64 * 1024 - 8, tag, 32), -1);
  EXPECT_EQ(Argon2id(parameters, inputs, reinterpret_cast<uint8_t*>(memory.data()) + 4, 64 * 1024,
                     tag, 32),
            -1);
  EXPECT_EQ(memory[0], 7u);
  EXPECT_EQ(ToHex(tag, sizeof(tag)), std::string(64, '0'));
}

}  // namespace
