#include "image_commands.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <stdio.h>

#include <string>
#include <vector>

#include "linux_access_fixture.h"
#include "tool_core.h"

namespace {

using namespace linux_access_test;

class ImageCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(scratch_.path().empty());
    ASSERT_TRUE(MakeKeyFile(KeyFile(), kPassword, keyMaterial_));
    WriteSparseContainer(Container(), key_, plain_);
  }

  std::string KeyFile() const { return scratch_ / "alice.user"; }
  std::string Container() const { return scratch_ / "alice.cryptdsk"; }
  std::string Image() const { return scratch_ / "alice.img"; }

  // Runs the tool's command with input on standard input; keeps stderr.
  int Run(std::vector<std::string> args, const std::string& input) {
    args.insert(args.begin(), "cryptelle-tool");
    std::vector<const char*> argv;
    for (const std::string& arg : args) argv.push_back(arg.c_str());
    FILE* in = fmemopen(const_cast<char*>(input.data()), input.size(), "r");
    if (input.empty()) in = fopen("/dev/null", "r");
    char* text = nullptr;
    size_t length = 0;
    FILE* err = open_memstream(&text, &length);
    const int status = IsImageCommand(static_cast<int>(argv.size()), argv.data())
                           ? RunImageCommand(static_cast<int>(argv.size()), argv.data(), in, err)
                           : -100;
    fclose(in);
    fclose(err);
    errors_.assign(text, length);
    free(text);
    return status;
  }

  int Export(const std::string& password) {
    return Run({"export", "--key-file", KeyFile(), "--container", Container(), "--out", Image()},
               password + "\n");
  }
  int Import(const std::string& password) {
    return Run({"import", "--key-file", KeyFile(), "--container", Container(), "--in", Image()},
               password + "\n");
  }

  std::vector<std::string> FolderEntries() const {
    std::vector<std::string> names;
    DIR* folder = opendir(scratch_.path().c_str());
    while (dirent* entry = readdir(folder))
      if (entry->d_name[0] != '.') names.push_back(entry->d_name);
    closedir(folder);
    std::sort(names.begin(), names.end());
    return names;
  }

  ScratchFolder scratch_;
  Bytes keyMaterial_ = FixedKeyMaterial();
  Bytes key_ = DiskKeyOf(keyMaterial_);
  Bytes plain_ = SamplePlainDisk(16u << 20, 3);
  std::string errors_;
};

TEST_F(ImageCommandsTest, ExportWritesThePlainDiskByteForByte) {
  ASSERT_EQ(Export(kPassword), kToolSuccess) << errors_;
  EXPECT_EQ(ReadFile(Image()), plain_);
}

TEST_F(ImageCommandsTest, ExportKeepsZeroRunsAsHoles) {
  ASSERT_EQ(Export(kPassword), kToolSuccess) << errors_;
  // 1 MiB at the front and 64 KiB at the back hold data; 15 MiB are zeros.
  EXPECT_LT(AllocatedBytes(Image()), 4 << 20);
}

TEST_F(ImageCommandsTest, ExportIsPrivateToItsOwner) {
  ASSERT_EQ(Export(kPassword), kToolSuccess) << errors_;
  struct stat status;
  ASSERT_EQ(stat(Image().c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0600u);
}

TEST_F(ImageCommandsTest, ExportNeverOverwritesAnExistingImage) {
  WriteFile(Image(), Bytes{1, 2, 3});
  EXPECT_EQ(Export(kPassword), kToolRefused);
  EXPECT_NE(errors_.find("never overwritten"), std::string::npos);
  EXPECT_EQ(ReadFile(Image()), (Bytes{1, 2, 3}));
}

TEST_F(ImageCommandsTest, ExportWithAWrongPasswordLeavesNoFileBehind) {
  const std::vector<std::string> before = FolderEntries();
  EXPECT_EQ(Export("not it"), kToolRefused);
  EXPECT_NE(errors_.find("wrong password"), std::string::npos);
  EXPECT_EQ(FolderEntries(), before);
}

TEST_F(ImageCommandsTest, ExportIntoAMissingFolderFailsCleanly) {
  const int status = Run({"export", "--key-file", KeyFile(), "--container", Container(), "--out",
                          scratch_ / "missing/alice.img"},
                         std::string(kPassword) + "\n");
  EXPECT_EQ(status, kToolBadInput);
  EXPECT_NE(errors_.find("cannot create"), std::string::npos);
}

TEST_F(ImageCommandsTest, ImportRewritesTheContainerWithTheHeadProtected) {
  Bytes changed = SamplePlainDisk(plain_.size(), 99);
  WriteFile(Image(), changed);
  ASSERT_EQ(Import(kPassword), kToolSuccess) << errors_;
  EXPECT_EQ(ReadFile(Container()), StoredForm(key_, changed));
  ASSERT_EQ(unlink(Image().c_str()), 0);
  ASSERT_EQ(Export(kPassword), kToolSuccess) << errors_;
  EXPECT_EQ(ReadFile(Image()), changed);
}

TEST_F(ImageCommandsTest, ImportOfZerosLeavesHolesButStoresAnEncryptedHead) {
  WriteFile(Container(), StoredForm(key_, plain_));  // fully allocated
  WriteFile(Image(), Bytes(plain_.size(), 0));
  ASSERT_EQ(Import(kPassword), kToolSuccess) << errors_;
  EXPECT_EQ(ReadFile(Container()), StoredForm(key_, Bytes(plain_.size(), 0)));
  EXPECT_LT(AllocatedBytes(Container()), 1 << 20);
}

TEST_F(ImageCommandsTest, ImportRefusesAnImageOfAnotherSizeAndWritesNothing) {
  const Bytes before = ReadFile(Container());
  WriteFile(Image(), Bytes(plain_.size() + 512, 7));
  EXPECT_EQ(Import(kPassword), kToolRefused);
  EXPECT_NE(errors_.find("nothing was written"), std::string::npos);
  EXPECT_EQ(ReadFile(Container()), before);
}

TEST_F(ImageCommandsTest, ImportWithAWrongPasswordWritesNothing) {
  const Bytes before = ReadFile(Container());
  WriteFile(Image(), Bytes(plain_.size(), 7));
  EXPECT_EQ(Import("not it"), kToolRefused);
  EXPECT_EQ(ReadFile(Container()), before);
}

TEST_F(ImageCommandsTest, ImportRefusesTheContainerAsItsOwnImage) {
  const Bytes before = ReadFile(Container());
  EXPECT_EQ(
      Run({"import", "--key-file", KeyFile(), "--container", Container(), "--in", Container()},
          std::string(kPassword) + "\n"),
      kToolRefused);
  EXPECT_EQ(ReadFile(Container()), before);
}

TEST_F(ImageCommandsTest, MissingPasswordOrOptionsAreBadInput) {
  EXPECT_EQ(
      Run({"export", "--key-file", KeyFile(), "--container", Container(), "--out", Image()}, ""),
      kToolBadInput);
  EXPECT_NE(errors_.find("ended before the password"), std::string::npos);
  EXPECT_FALSE(FileExists(Image()));
  EXPECT_EQ(Run({"export", "--key-file", KeyFile(), "--container", Container()}, "x\n"),
            kToolBadInput);
  EXPECT_NE(errors_.find("usage"), std::string::npos);
  EXPECT_EQ(
      Run({"import", "--key-file", KeyFile(), "--container", Container(), "--out", Image()}, "x\n"),
      kToolBadInput);
}

TEST_F(ImageCommandsTest, PasswordLineMayEndInCarriageReturn) {
  EXPECT_EQ(Run({"export", "--key-file", KeyFile(), "--container", Container(), "--out", Image()},
                std::string(kPassword) + "\r\n"),
            kToolSuccess)
      << errors_;
}

class SecondGenerationImageTest : public ImageCommandsTest {
 protected:
  void SetUp() override {
    ASSERT_FALSE(scratch_.path().empty());
    ASSERT_TRUE(MakeKeyFileV2(KeyFile(), kPassword, keys_));
    WriteFile(Container(), StoredFormV2(keys_, plain_));
  }

  Bytes keys_ = FixedXtsKeys();
};

TEST_F(SecondGenerationImageTest, ExportWritesThePlainDiskWithoutTheBackupArea) {
  ASSERT_EQ(Export(kPassword), kToolSuccess) << errors_;
  EXPECT_EQ(ReadFile(Image()), plain_);
}

// Zeros are stored encrypted like any data: no block of the disk may
// become a hole, which would read back as zeros that decrypt to noise.
TEST_F(SecondGenerationImageTest, ImportEncryptsEverySectorZerosIncluded) {
  const Bytes changed = SamplePlainDisk(plain_.size(), 98);
  WriteFile(Image(), changed);
  ASSERT_EQ(Import(kPassword), kToolSuccess) << errors_;
  EXPECT_EQ(ReadFile(Container()), StoredFormV2(keys_, changed));
  ASSERT_EQ(unlink(Image().c_str()), 0);
  ASSERT_EQ(Export(kPassword), kToolSuccess) << errors_;
  EXPECT_EQ(ReadFile(Image()), changed);
}

TEST_F(SecondGenerationImageTest, ImportOfAnImageAsLargeAsTheFileIsRefused) {
  const Bytes before = ReadFile(Container());
  WriteFile(Image(), Bytes(before.size(), 7));
  EXPECT_EQ(Import(kPassword), kToolRefused);
  EXPECT_NE(errors_.find("nothing was written"), std::string::npos);
  EXPECT_EQ(ReadFile(Container()), before);
}

}  // namespace
