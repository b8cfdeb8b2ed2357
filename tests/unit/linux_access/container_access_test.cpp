#include "container_access.h"

#include <errno.h>
#include <gtest/gtest.h>
#include <string.h>

#include <thread>
#include <vector>

#include "linux_access_fixture.h"
#include "xts.h"

namespace {

using namespace linux_access_test;

constexpr uint32_t kFirst = cryptdsk::kGenerationHeadOnly;

class ContainerAccessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(scratch_.path().empty());
    ASSERT_TRUE(MakeKeyFile(KeyFile(), kPassword, keyMaterial_));
  }

  std::string KeyFile() const { return scratch_ / "alice.user"; }

  int Unlock(const char* password, std::string* reason) {
    return UnlockDisk(KeyFile().c_str(), password, strlen(password), &cipher_, reason);
  }

  bool CipherIsZero() const {
    const cryptdsk::ImageCipher zero{};
    return memcmp(&zero, &cipher_, sizeof(zero)) == 0;
  }

  ScratchFolder scratch_;
  Bytes keyMaterial_ = FixedKeyMaterial();
  Bytes key_ = DiskKeyOf(keyMaterial_);
  cryptdsk::ImageCipher cipher_{};
};

TEST_F(ContainerAccessTest, RightPasswordGivesTheHeadCipherOfTheDiskKey) {
  std::string reason;
  ASSERT_EQ(Unlock(kPassword, &reason), 1) << reason;
  EXPECT_EQ(cipher_.Generation, cryptdsk::kGenerationHeadOnly);
  AesEngine expected{};
  ASSERT_EQ(AesEngineSetKey(&expected, key_.data(), kXtsEngineBest), 1);
  EXPECT_EQ(memcmp(&expected, &cipher_.Head, sizeof(expected)), 0);
}

TEST_F(ContainerAccessTest, WrongPasswordIsARefusalWithAZeroCipher) {
  std::string reason;
  EXPECT_EQ(Unlock("correct horse e", &reason), 0);
  EXPECT_EQ(Unlock("not it", &reason), 0);
  EXPECT_NE(reason.find("wrong password"), std::string::npos);
  EXPECT_TRUE(CipherIsZero());
}

TEST_F(ContainerAccessTest, SecondGenerationKeyFileGivesItsXtsCipher) {
  const Bytes keys = FixedXtsKeys();
  ASSERT_TRUE(MakeKeyFileV2(KeyFile(), kPassword, keys));
  std::string reason;
  ASSERT_EQ(Unlock(kPassword, &reason), 1) << reason;
  EXPECT_EQ(cipher_.Generation, cryptdsk::kGenerationWholeDisk);
  const Bytes plain = RandomBytes(1024, 8);
  Bytes stored(plain.size());
  XtsEncryptSectors(&cipher_.Xts, 41, plain.data(), stored.data(), 2);
  EXPECT_EQ(stored, XtsSectors(keys, plain.data(), plain.size(), 41, true));
}

TEST_F(ContainerAccessTest, AlteredSecondGenerationKeyFileIsRefusedAsWrongOrDamaged) {
  ASSERT_TRUE(MakeKeyFileV2(KeyFile(), kPassword, FixedXtsKeys()));
  Bytes file = ReadFile(KeyFile());
  file[100] ^= 1;
  WriteFile(KeyFile(), file);
  std::string reason;
  EXPECT_EQ(Unlock(kPassword, &reason), 0);
  EXPECT_NE(reason.find("wrong password or damaged key file"), std::string::npos) << reason;
  EXPECT_TRUE(CipherIsZero());
}

TEST_F(ContainerAccessTest, ShortOrMissingKeyFileIsAnError) {
  Bytes file = ReadFile(KeyFile());
  file.pop_back();
  WriteFile(KeyFile(), file);
  std::string reason;
  EXPECT_EQ(Unlock(kPassword, &reason), -1);
  EXPECT_NE(reason.find("shorter than 804"), std::string::npos);
  ASSERT_EQ(unlink(KeyFile().c_str()), 0);
  EXPECT_EQ(Unlock(kPassword, &reason), -1);
  EXPECT_NE(reason.find("cannot read key file"), std::string::npos);
}

TEST_F(ContainerAccessTest, PasswordThatIsNotUtf8IsAnError) {
  std::string reason;
  EXPECT_EQ(Unlock("bad \xff byte", &reason), -1);
  EXPECT_NE(reason.find("not UTF-8"), std::string::npos);
}

class ContainerFileTest : public ContainerAccessTest {
 protected:
  void SetUp() override {
    ContainerAccessTest::SetUp();
    std::string reason;
    ASSERT_EQ(Unlock(kPassword, &reason), 1);
    WriteSparseContainer(Container(), key_, plain_);
    ASSERT_EQ(file_.Open(Container().c_str(), kFirst, ContainerFile::Access::kReadWrite, &reason),
              1)
        << reason;
  }

  std::string Container() const { return scratch_ / "alice.cryptdsk"; }

  Bytes plain_ = SamplePlainDisk(4u << 20, 7);
  ContainerFile file_;
};

TEST_F(ContainerFileTest, ReadsTheHeadDecryptedAndTheRestAsStored) {
  Bytes buffer(8192);
  ASSERT_EQ(file_.Read(cipher_, 0, buffer.data(), 8192), 0);
  EXPECT_TRUE(std::equal(buffer.begin(), buffer.end(), plain_.begin()));
  ASSERT_EQ(file_.Read(cipher_, 1536, buffer.data(), 1024), 0);
  EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + 1024, plain_.begin() + 1536));
}

TEST_F(ContainerFileTest, WritesStoreTheHeadEncryptedByItsSectorNumbers) {
  const Bytes data = RandomBytes(3072, 11);
  ASSERT_EQ(file_.Write(cipher_, 1024, data.data(), 3072), 0);
  std::copy(data.begin(), data.end(), plain_.begin() + 1024);
  EXPECT_EQ(ReadFile(Container()), StoredForm(key_, plain_));
}

TEST_F(ContainerFileTest, UnalignedOffsetsAndLengthsAreRefusedWithoutTouchingTheFile) {
  const Bytes before = ReadFile(Container());
  Bytes buffer(4096, 0xAA);
  EXPECT_EQ(file_.Read(cipher_, 100, buffer.data(), 512), EINVAL);
  EXPECT_EQ(file_.Read(cipher_, 512, buffer.data(), 100), EINVAL);
  EXPECT_EQ(file_.Write(cipher_, 4096 + 1, buffer.data(), 512), EINVAL);
  EXPECT_EQ(file_.Write(cipher_, 4096, buffer.data(), 513), EINVAL);
  EXPECT_EQ(file_.Write(cipher_, -512, buffer.data(), 512), EINVAL);
  EXPECT_EQ(ReadFile(Container()), before);
}

TEST_F(ContainerFileTest, RangesPastTheEndAreRefusedAndOneEndingThereIsServed) {
  Bytes buffer(1024);
  const int64_t size = file_.size();
  EXPECT_EQ(file_.Read(cipher_, size - 512, buffer.data(), 1024), EINVAL);
  EXPECT_EQ(file_.Read(cipher_, size, buffer.data(), 512), EINVAL);
  ASSERT_EQ(file_.Read(cipher_, size - 1024, buffer.data(), 1024), 0);
  EXPECT_TRUE(std::equal(buffer.begin(), buffer.end(), plain_.end() - 1024));
}

TEST_F(ContainerFileTest, ContainerOfOddSizeServesItsLastPartialSector) {
  file_.Close();
  plain_.resize(plain_.size() + 100, 0x5c);
  WriteSparseContainer(Container(), key_, plain_);
  std::string reason;
  ASSERT_EQ(file_.Open(Container().c_str(), kFirst, ContainerFile::Access::kReadOnly, &reason), 1);
  Bytes buffer(612);
  ASSERT_EQ(file_.Read(cipher_, file_.size() - 612, buffer.data(), 612), 0);
  EXPECT_TRUE(std::equal(buffer.begin(), buffer.end(), plain_.end() - 612));
}

TEST_F(ContainerFileTest, AWriterExcludesEveryOtherOpenAndReadersShare) {
  ContainerFile other;
  std::string reason;
  EXPECT_EQ(other.Open(Container().c_str(), kFirst, ContainerFile::Access::kReadOnly, &reason), -1);
  EXPECT_NE(reason.find("in use"), std::string::npos);
  file_.Close();
  ContainerFile reader;
  ASSERT_EQ(reader.Open(Container().c_str(), kFirst, ContainerFile::Access::kReadOnly, &reason), 1);
  EXPECT_EQ(other.Open(Container().c_str(), kFirst, ContainerFile::Access::kReadOnly, &reason), 1);
  ContainerFile writer;
  EXPECT_EQ(writer.Open(Container().c_str(), kFirst, ContainerFile::Access::kReadWrite, &reason),
            -1);
}

TEST_F(ContainerFileTest, FileShorterThanTheHeadIsNotAContainer) {
  file_.Close();
  WriteFile(Container(), Bytes(2047, 1));
  std::string reason;
  EXPECT_EQ(file_.Open(Container().c_str(), kFirst, ContainerFile::Access::kReadOnly, &reason), -1);
  EXPECT_NE(reason.find("shorter than 2048"), std::string::npos);
}

class SecondGenerationFileTest : public ContainerAccessTest {
 protected:
  void SetUp() override {
    ContainerAccessTest::SetUp();
    ASSERT_TRUE(MakeKeyFileV2(KeyFile(), kPassword, keys_));
    std::string reason;
    ASSERT_EQ(Unlock(kPassword, &reason), 1) << reason;
    WriteFile(Container(), StoredFormV2(keys_, plain_));
    ASSERT_EQ(file_.Open(Container().c_str(), cryptdsk::kGenerationWholeDisk,
                         ContainerFile::Access::kReadWrite, &reason),
              1)
        << reason;
  }

  std::string Container() const { return scratch_ / "bob.cryptdsk"; }

  Bytes keys_ = FixedXtsKeys();
  Bytes plain_ = SamplePlainDisk(2u << 20, 9);
  ContainerFile file_;
};

TEST_F(SecondGenerationFileTest, TheDiskEndsBeforeTheBackupAreaAndReadsPlain) {
  ASSERT_EQ(file_.size(), static_cast<int64_t>(plain_.size()));
  Bytes disk(plain_.size());
  ASSERT_EQ(file_.Read(cipher_, 0, disk.data(), static_cast<uint32_t>(disk.size())), 0);
  EXPECT_EQ(disk, plain_);
  EXPECT_EQ(file_.Read(cipher_, file_.size(), disk.data(), 512), EINVAL);
}

// Every writer encrypts in a bounce buffer of its own: interleaved writes of
// many threads each store exactly their sectors.
TEST_F(SecondGenerationFileTest, ConcurrentWritesStoreEverySectorUnderItsNumber) {
  constexpr size_t kThreads = 4;
  const size_t share = plain_.size() / kThreads;
  const Bytes fresh = RandomBytes(plain_.size(), 12);
  std::vector<int> errors(kThreads, 0);
  std::vector<std::thread> writers;
  for (size_t k = 0; k < kThreads; ++k)
    writers.emplace_back([&, k] {
      for (size_t at = k * share; at < (k + 1) * share; at += 3 * 4096) {
        const uint32_t length =
            static_cast<uint32_t>(std::min<size_t>(3 * 4096, (k + 1) * share - at));
        errors[k] |= file_.Write(cipher_, static_cast<int64_t>(at), fresh.data() + at, length);
      }
    });
  for (std::thread& writer : writers) writer.join();
  EXPECT_EQ(errors, std::vector<int>(kThreads, 0));
  EXPECT_EQ(ReadFile(Container()), StoredFormV2(keys_, fresh));
}

TEST_F(SecondGenerationFileTest, ACipherOfTheOtherGenerationIsRefused) {
  cryptdsk::ImageCipher head{};
  ASSERT_EQ(cryptdsk::ImageCipherSetKey(&head, kFirst, key_.data(), 32, kXtsEngineBest), 1);
  Bytes buffer(512);
  EXPECT_EQ(file_.Read(head, 0, buffer.data(), 512), EINVAL);
  EXPECT_EQ(file_.Write(head, 0, buffer.data(), 512), EINVAL);
}

TEST_F(SecondGenerationFileTest, FileWithoutRoomForADiskBeforeItsBackupAreaIsNotAContainer) {
  file_.Close();
  WriteFile(Container(), Bytes(4096 + 2047, 1));
  std::string reason;
  EXPECT_EQ(file_.Open(Container().c_str(), cryptdsk::kGenerationWholeDisk,
                       ContainerFile::Access::kReadOnly, &reason),
            -1);
  EXPECT_NE(reason.find("shorter than 6144"), std::string::npos) << reason;
}

}  // namespace
