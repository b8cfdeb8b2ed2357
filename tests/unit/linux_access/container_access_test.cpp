#include "container_access.h"

#include <errno.h>
#include <gtest/gtest.h>
#include <string.h>

#include "linux_access_fixture.h"

namespace {

using namespace linux_access_test;

class ContainerAccessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(scratch_.path().empty());
    ASSERT_TRUE(MakeKeyFile(KeyFile(), kPassword, keyMaterial_));
  }

  std::string KeyFile() const { return scratch_ / "alice.user"; }

  int Unlock(const char* password, std::string* reason) {
    return UnlockDiskKey(KeyFile().c_str(), password, strlen(password), &schedule_, reason);
  }

  ScratchFolder scratch_;
  Bytes keyMaterial_ = FixedKeyMaterial();
  Bytes key_ = DiskKeyOf(keyMaterial_);
  AesKeySchedule schedule_{};
};

TEST_F(ContainerAccessTest, RightPasswordGivesTheScheduleOfTheDiskKey) {
  std::string reason;
  ASSERT_EQ(Unlock(kPassword, &reason), 1) << reason;
  AesKeySchedule expected{};
  ASSERT_EQ(AesSetKey(key_.data(), 32, 0, &expected), kAesOk);
  EXPECT_EQ(memcmp(&expected, &schedule_, sizeof(expected)), 0);
}

TEST_F(ContainerAccessTest, WrongPasswordIsARefusalWithAZeroSchedule) {
  std::string reason;
  EXPECT_EQ(Unlock("correct horse e", &reason), 0);
  EXPECT_EQ(Unlock("not it", &reason), 0);
  EXPECT_NE(reason.find("wrong password"), std::string::npos);
  const AesKeySchedule zero{};
  EXPECT_EQ(memcmp(&zero, &schedule_, sizeof(zero)), 0);
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
    ASSERT_EQ(file_.Open(Container().c_str(), ContainerFile::Access::kReadWrite, &reason), 1)
        << reason;
  }

  std::string Container() const { return scratch_ / "alice.cryptdsk"; }

  Bytes plain_ = SamplePlainDisk(4u << 20, 7);
  ContainerFile file_;
};

TEST_F(ContainerFileTest, ReadsTheHeadDecryptedAndTheRestAsStored) {
  Bytes buffer(8192);
  ASSERT_EQ(file_.Read(schedule_, 0, buffer.data(), 8192), 0);
  EXPECT_TRUE(std::equal(buffer.begin(), buffer.end(), plain_.begin()));
  ASSERT_EQ(file_.Read(schedule_, 1536, buffer.data(), 1024), 0);
  EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + 1024, plain_.begin() + 1536));
}

TEST_F(ContainerFileTest, WritesStoreTheHeadEncryptedByItsSectorNumbers) {
  const Bytes data = RandomBytes(3072, 11);
  ASSERT_EQ(file_.Write(schedule_, 1024, data.data(), 3072), 0);
  std::copy(data.begin(), data.end(), plain_.begin() + 1024);
  EXPECT_EQ(ReadFile(Container()), StoredForm(key_, plain_));
}

TEST_F(ContainerFileTest, UnalignedOffsetsAndLengthsAreRefusedWithoutTouchingTheFile) {
  const Bytes before = ReadFile(Container());
  Bytes buffer(4096, 0xAA);
  EXPECT_EQ(file_.Read(schedule_, 100, buffer.data(), 512), EINVAL);
  EXPECT_EQ(file_.Read(schedule_, 512, buffer.data(), 100), EINVAL);
  EXPECT_EQ(file_.Write(schedule_, 4096 + 1, buffer.data(), 512), EINVAL);
  EXPECT_EQ(file_.Write(schedule_, 4096, buffer.data(), 513), EINVAL);
  EXPECT_EQ(file_.Write(schedule_, -512, buffer.data(), 512), EINVAL);
  EXPECT_EQ(ReadFile(Container()), before);
}

TEST_F(ContainerFileTest, RangesPastTheEndAreRefusedAndOneEndingThereIsServed) {
  Bytes buffer(1024);
  const int64_t size = file_.size();
  EXPECT_EQ(file_.Read(schedule_, size - 512, buffer.data(), 1024), EINVAL);
  EXPECT_EQ(file_.Read(schedule_, size, buffer.data(), 512), EINVAL);
  ASSERT_EQ(file_.Read(schedule_, size - 1024, buffer.data(), 1024), 0);
  EXPECT_TRUE(std::equal(buffer.begin(), buffer.end(), plain_.end() - 1024));
}

TEST_F(ContainerFileTest, ContainerOfOddSizeServesItsLastPartialSector) {
  file_.Close();
  plain_.resize(plain_.size() + 100, 0x5c);
  WriteSparseContainer(Container(), key_, plain_);
  std::string reason;
  ASSERT_EQ(file_.Open(Container().c_str(), ContainerFile::Access::kReadOnly, &reason), 1);
  Bytes buffer(612);
  ASSERT_EQ(file_.Read(schedule_, file_.size() - 612, buffer.data(), 612), 0);
  EXPECT_TRUE(std::equal(buffer.begin(), buffer.end(), plain_.end() - 612));
}

TEST_F(ContainerFileTest, AWriterExcludesEveryOtherOpenAndReadersShare) {
  ContainerFile other;
  std::string reason;
  EXPECT_EQ(other.Open(Container().c_str(), ContainerFile::Access::kReadOnly, &reason), -1);
  EXPECT_NE(reason.find("in use"), std::string::npos);
  file_.Close();
  ContainerFile reader;
  ASSERT_EQ(reader.Open(Container().c_str(), ContainerFile::Access::kReadOnly, &reason), 1);
  EXPECT_EQ(other.Open(Container().c_str(), ContainerFile::Access::kReadOnly, &reason), 1);
  ContainerFile writer;
  EXPECT_EQ(writer.Open(Container().c_str(), ContainerFile::Access::kReadWrite, &reason), -1);
}

TEST_F(ContainerFileTest, FileShorterThanTheHeadIsNotAContainer) {
  file_.Close();
  WriteFile(Container(), Bytes(2047, 1));
  std::string reason;
  EXPECT_EQ(file_.Open(Container().c_str(), ContainerFile::Access::kReadOnly, &reason), -1);
  EXPECT_NE(reason.find("shorter than 2048"), std::string::npos);
}

}  // namespace
