#include "key_file_v2.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <array>
#include <string>

#include "account_records.h"

namespace {

using std::u16string;
using KeyFile = std::array<uint8_t, kKeyFileV2Size>;
using Keys = std::array<uint8_t, kKeyFileV2KeysSize>;

constexpr Argon2idParameters kCheap = {1, 64, 1};
const KdfMemory kHeap = {malloc, [](void* memory, size_t) { free(memory); }};
const char16_t kPath[] = u"C:\\Storage\\alice\u00e9\u4e2d.cryptdsk";

Keys TestKeys() {
  Keys keys;
  for (size_t i = 0; i < keys.size(); ++i) keys[i] = static_cast<uint8_t>(3 + 11 * i);
  return keys;
}

KeyFile Build(const u16string& password) {
  std::array<uint8_t, kKeyFileV2SaltSize> salt;
  for (size_t i = 0; i < salt.size(); ++i) salt[i] = static_cast<uint8_t>(200 - i);
  KeyFile file;
  EXPECT_EQ(BuildKeyFileV2(kCheap, salt.data(), TestKeys().data(), kPath, password.c_str(), kHeap,
                           file.data()),
            1);
  return file;
}

int Open(const uint8_t* bytes, size_t size, const u16string& password, Keys* keys,
         char16_t path[kPathBufferUnits]) {
  return OpenKeyFileV2(bytes, size, password.c_str(), kHeap, keys->data(), path);
}

TEST(KeyFileV2, OpensWithThePasswordItWasBuiltWith) {
  const KeyFile file = Build(u"correct horse");
  EXPECT_TRUE(IsKeyFileV2(file.data(), file.size()));
  Keys keys{};
  char16_t path[kPathBufferUnits] = {};
  ASSERT_EQ(Open(file.data(), file.size(), u"correct horse", &keys, path), 1);
  EXPECT_EQ(keys, TestKeys());
  EXPECT_EQ(u16string(path), u16string(kPath));
}

TEST(KeyFileV2, RefusesAWrongPasswordWithoutWriting) {
  const KeyFile file = Build(u"correct horse");
  Keys keys{};
  char16_t path[kPathBufferUnits] = {};
  EXPECT_EQ(Open(file.data(), file.size(), u"correct hors", &keys, path), 0);
  EXPECT_EQ(keys, Keys{});
  EXPECT_EQ(path[0], 0);
}

TEST(KeyFileV2, RefusesEveryAlteredByte) {
  const KeyFile file = Build(u"pw");
  Keys keys{};
  char16_t path[kPathBufferUnits] = {};
  for (size_t i = 0; i < file.size(); ++i) {
    KeyFile altered = file;
    altered[i] ^= 0x01;
    EXPECT_NE(Open(altered.data(), altered.size(), u"pw", &keys, path), 1) << "byte " << i;
  }
  EXPECT_EQ(keys, Keys{});
  EXPECT_EQ(Open(file.data(), file.size() - 1, u"pw", &keys, path), -1);
}

TEST(KeyFileV2, RefusesOutOfRangeParametersBeforeDeriving) {
  KeyFile file;
  const Argon2idParameters tooCostly = {17, 64, 1};
  EXPECT_EQ(BuildKeyFileV2(tooCostly, TestKeys().data(), TestKeys().data(), kPath, u"pw", kHeap,
                           file.data()),
            -1);
  const KdfMemory noMemory = {[](size_t) -> void* { return nullptr; }, kHeap.Release};
  EXPECT_EQ(BuildKeyFileV2(kCheap, TestKeys().data(), TestKeys().data(), kPath, u"pw", noMemory,
                           file.data()),
            -1);
  EXPECT_EQ(file, KeyFile{});
}

TEST(KeyFileV2, GenerationsAreNotTakenForEachOther) {
  std::array<uint8_t, kUserKeyFileSize> legacy{};
  const std::array<uint8_t, kAccountSaltSize> salt{};
  const std::array<uint8_t, kUserKeyMaterialSize> material{};
  ASSERT_EQ(BuildUserKeyFile(salt.data(), material.data(), u"C:\\s", u"pw", DeriveAccountKey,
                             legacy.data()),
            1);
  memcpy(legacy.data(), "CRYPTKF2", 8);
  EXPECT_FALSE(IsKeyFileV2(legacy.data(), legacy.size()));
  Keys keys{};
  char16_t path[kPathBufferUnits] = {};
  EXPECT_EQ(Open(legacy.data(), legacy.size(), u"pw", &keys, path), -1);

  const KeyFile file = Build(u"pw");
  uint8_t material2[kUserKeyMaterialSize];
  EXPECT_EQ(OpenUserKeyFile({file.data(), file.size()}, u"pw", DeriveAccountKey, material2), -1);
}

// Parameters altered within their range pass the header check; the MAC
// refuses them.
TEST(KeyFileV2, HeaderCheckRefusesAlteredFixedFieldsAndParametersOutOfRange) {
  const KeyFile file = Build(u"pw");
  EXPECT_TRUE(KeyFileV2HeaderAccepted(file.data(), file.size()));
  for (size_t i : {0, 7, 8, 11, 12, 15, 28, 31}) {
    KeyFile altered = file;
    altered[i] ^= 0x80;
    EXPECT_FALSE(KeyFileV2HeaderAccepted(altered.data(), altered.size())) << "byte " << i;
  }
  KeyFile costly = file;
  costly[16] = 17;  // passes
  EXPECT_FALSE(KeyFileV2HeaderAccepted(costly.data(), costly.size()));
  EXPECT_FALSE(KeyFileV2HeaderAccepted(file.data(), file.size() - 1));
  const Argon2idParameters stored = KeyFileV2Parameters(file.data());
  EXPECT_EQ(stored.Passes, kCheap.Passes);
  EXPECT_EQ(stored.MemoryKiB, kCheap.MemoryKiB);
  EXPECT_EQ(stored.Lanes, kCheap.Lanes);
}

// Each Argon2id run takes its memory once.
int g_allocations = 0;
const KdfMemory kCountingHeap = {[](size_t size) -> void* {
                                   ++g_allocations;
                                   return malloc(size);
                                 },
                                 [](void* memory, size_t) { free(memory); }};

int OpenRemembered(const KeyFile& file, const char16_t* password, Keys* keys,
                   char16_t path[kPathBufferUnits]) {
  return OpenKeyFileV2Remembered(file.data(), file.size(), password, kCountingHeap, keys->data(),
                                 path);
}

TEST(KeyFileV2, OpeningInsideAScopeDerivesOnceForTheSameBytesAndPassword) {
  const KeyFile file = Build(u"pw");
  Keys keys{};
  char16_t path[kPathBufferUnits] = {};
  g_allocations = 0;
  {
    RememberedAccountKeyScope scope;
    ASSERT_EQ(OpenRemembered(file, u"pw", &keys, path), 1);
    keys = Keys{};
    path[0] = 0;
    ASSERT_EQ(OpenRemembered(file, u"pw", &keys, path), 1);
    EXPECT_EQ(g_allocations, 1);
    EXPECT_EQ(keys, TestKeys());
    EXPECT_EQ(u16string(path), u16string(kPath));
    EXPECT_EQ(OpenRemembered(file, u"pw2", &keys, path), 0);
    KeyFile altered = file;
    altered[100] ^= 1;
    EXPECT_EQ(OpenRemembered(altered, u"pw", &keys, path), 0);
    EXPECT_EQ(g_allocations, 3);
    EXPECT_TRUE(AccountKeyRemembered());
  }
  EXPECT_FALSE(AccountKeyRemembered());
  ASSERT_EQ(OpenRemembered(file, u"pw", &keys, path), 1);
  ASSERT_EQ(OpenRemembered(file, u"pw", &keys, path), 1);
  EXPECT_EQ(g_allocations, 5);
  EXPECT_FALSE(AccountKeyRemembered());
}

}  // namespace
