#include <errno.h>
#include <gtest/gtest.h>
#include <libnbd.h>
#include <stdio.h>
#include <stdlib.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "linux_access_fixture.h"
#include "nbdkit_server.h"

namespace {

using namespace linux_access_test;

struct HandleCloser {
  void operator()(nbd_handle* handle) const { nbd_close(handle); }
};
using NbdHandle = std::unique_ptr<nbd_handle, HandleCloser>;

// The output of a shell command, and its exit status in *status.
std::string Shell(const std::string& command, int* status) {
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return output;
  char buffer[4096];
  size_t got = 0;
  while ((got = fread(buffer, 1, sizeof(buffer), pipe)) > 0) output.append(buffer, got);
  const int raw = pclose(pipe);
  *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return output;
}

class NbdPluginTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(scratch_.path().empty());
    ASSERT_TRUE(MakeKeyFile(KeyFile(), kPassword, keyMaterial_));
    WriteFile(PasswordFile(), Bytes(kPassword, kPassword + strlen(kPassword)));
    WriteSparseContainer(Container(), key_, plain_);
  }

  std::string KeyFile() const { return scratch_ / "alice.user"; }
  std::string Container() const { return scratch_ / "alice.cryptdsk"; }
  std::string PasswordFile() const { return scratch_ / "password"; }

  void Serve(std::vector<std::string> extra = {}) {
    std::vector<std::string> params = {"key-file=" + KeyFile(), "container=" + Container(),
                                       "password=+" + PasswordFile()};
    params.insert(params.end(), extra.begin(), extra.end());
    ASSERT_TRUE(server_.Start(params)) << server_.log();
  }

  NbdHandle Connect() {
    NbdHandle handle(nbd_create());
    if (handle == nullptr || nbd_connect_unix(handle.get(), server_.socket().c_str()) != 0) {
      ADD_FAILURE() << "cannot connect: " << nbd_get_error();
      return nullptr;
    }
    return handle;
  }

  // The plain disk as cryptelle-tool exports it, after the server has gone.
  Bytes Exported() {
    server_.Stop();
    const std::string image = scratch_ / "exported.img";
    unlink(image.c_str());
    int status = -1;
    const std::string output =
        Shell(std::string(CRYPTELLE_TOOL) + " export --key-file '" + KeyFile() + "' --container '" +
                  Container() + "' --out '" + image + "' < '" + PasswordFile() + "' 2>&1",
              &status);
    EXPECT_EQ(status, 0) << output;
    return ReadFile(image);
  }

  ScratchFolder scratch_;
  NbdkitServer server_{scratch_.path()};
  Bytes keyMaterial_ = FixedKeyMaterial();
  Bytes key_ = DiskKeyOf(keyMaterial_);
  Bytes plain_ = SamplePlainDisk(8u << 20, 21);
};

TEST_F(NbdPluginTest, ServesThePlainDiskByteForByteAsTheExportHasIt) {
  Serve();
  NbdHandle nbd = Connect();
  ASSERT_NE(nbd, nullptr);
  ASSERT_EQ(nbd_get_size(nbd.get()), static_cast<int64_t>(plain_.size()));
  Bytes served(plain_.size());
  for (size_t at = 0; at < served.size(); at += 1u << 20)
    ASSERT_EQ(nbd_pread(nbd.get(), served.data() + at, 1u << 20, at, 0), 0) << nbd_get_error();
  EXPECT_EQ(served, plain_);
  nbd.reset();
  EXPECT_EQ(Exported(), served);
}

TEST_F(NbdPluginTest, WritesLandUnderTheSectorRuleAndReadBack) {
  Serve();
  NbdHandle nbd = Connect();
  ASSERT_NE(nbd, nullptr);
  const Bytes head = RandomBytes(4096, 5);  // the protected head and two plain sectors
  const Bytes middle = RandomBytes(65536, 6);
  ASSERT_EQ(nbd_pwrite(nbd.get(), head.data(), head.size(), 0, 0), 0) << nbd_get_error();
  ASSERT_EQ(nbd_pwrite(nbd.get(), middle.data(), middle.size(), 3u << 20, LIBNBD_CMD_FLAG_FUA), 0);
  ASSERT_EQ(nbd_flush(nbd.get(), 0), 0);
  std::copy(head.begin(), head.end(), plain_.begin());
  std::copy(middle.begin(), middle.end(), plain_.begin() + (3u << 20));

  Bytes back(head.size());
  ASSERT_EQ(nbd_pread(nbd.get(), back.data(), back.size(), 0, 0), 0);
  EXPECT_EQ(back, head);
  nbd.reset();
  EXPECT_EQ(ReadFile(Container()), StoredForm(key_, plain_));
  EXPECT_EQ(Exported(), plain_);
}

TEST_F(NbdPluginTest, UnalignedRequestsAreRefusedAndChangeNothing) {
  Serve();
  NbdHandle nbd = Connect();
  ASSERT_NE(nbd, nullptr);
  // The server's own check, not libnbd's, is under test.
  ASSERT_EQ(nbd_set_strict_mode(nbd.get(), 0), 0);
  const Bytes before = ReadFile(Container());
  Bytes buffer(1024, 0x77);
  EXPECT_EQ(nbd_pread(nbd.get(), buffer.data(), 512, 100, 0), -1);
  EXPECT_EQ(nbd_get_errno(), EINVAL);
  EXPECT_EQ(nbd_pread(nbd.get(), buffer.data(), 700, 512, 0), -1);
  EXPECT_EQ(nbd_pwrite(nbd.get(), buffer.data(), 512, 1, 0), -1);
  EXPECT_EQ(nbd_get_errno(), EINVAL);
  EXPECT_EQ(nbd_pwrite(nbd.get(), buffer.data(), 1000, 4096, 0), -1);
  ASSERT_EQ(nbd_flush(nbd.get(), 0), 0);
  EXPECT_EQ(ReadFile(Container()), before);
  EXPECT_NE(server_.log().find("refused write"), std::string::npos);
}

TEST_F(NbdPluginTest, ConcurrentClientsEachSeeAndKeepTheirOwnWrites) {
  Serve();
  constexpr int kClients = 4;
  constexpr size_t kRegion = 1u << 20;
  std::vector<Bytes> written;
  for (int k = 0; k < kClients; ++k) written.push_back(RandomBytes(kRegion, 100 + k));
  std::vector<int> failures(kClients, 0);
  std::vector<std::thread> clients;
  for (int k = 0; k < kClients; ++k) {
    clients.emplace_back([&, k] {
      NbdHandle nbd(nbd_create());
      if (nbd == nullptr || nbd_connect_unix(nbd.get(), server_.socket().c_str()) != 0) {
        failures[k] = 1;
        return;
      }
      // Each client writes its region in 64 KiB pieces and reads them back,
      // interleaving with the others; client 0's region holds the head.
      Bytes back(65536);
      for (size_t at = 0; at < kRegion; at += back.size()) {
        const uint64_t offset = k * kRegion + at;
        if (nbd_pwrite(nbd.get(), written[k].data() + at, back.size(), offset, 0) != 0 ||
            nbd_pread(nbd.get(), back.data(), back.size(), offset, 0) != 0 ||
            !std::equal(back.begin(), back.end(), written[k].begin() + at))
          failures[k] += 1;
      }
      if (nbd_flush(nbd.get(), 0) != 0) failures[k] += 1;
    });
  }
  for (std::thread& client : clients) client.join();
  for (int k = 0; k < kClients; ++k) {
    EXPECT_EQ(failures[k], 0) << "client " << k;
    std::copy(written[k].begin(), written[k].end(), plain_.begin() + k * kRegion);
  }
  EXPECT_EQ(Exported(), plain_);
}

TEST_F(NbdPluginTest, WrongPasswordStopsNbdkitBeforeItServes) {
  WriteFile(PasswordFile(), Bytes{'n', 'o', 't', ' ', 'i', 't'});
  EXPECT_FALSE(server_.Start(
      {"key-file=" + KeyFile(), "container=" + Container(), "password=+" + PasswordFile()}));
  EXPECT_NE(server_.exitStatus(), 0);
  EXPECT_NE(server_.log().find("wrong password"), std::string::npos) << server_.log();
  EXPECT_FALSE(FileExists(server_.socket()));
}

TEST_F(NbdPluginTest, PasswordFromAnInheritedDescriptorUnlocks) {
  const int fd = open(PasswordFile().c_str(), O_RDONLY);  // inherited by nbdkit
  ASSERT_GT(fd, 2);
  const bool started = server_.Start(
      {"key-file=" + KeyFile(), "container=" + Container(), "password=-" + std::to_string(fd)});
  close(fd);
  ASSERT_TRUE(started) << server_.log();
  NbdHandle nbd = Connect();
  ASSERT_NE(nbd, nullptr);
  Bytes head(kHead);
  ASSERT_EQ(nbd_pread(nbd.get(), head.data(), head.size(), 0, 0), 0);
  EXPECT_TRUE(std::equal(head.begin(), head.end(), plain_.begin()));
}

TEST_F(NbdPluginTest, PasswordOnTheCommandLineIsRefused) {
  EXPECT_FALSE(server_.Start(
      {"key-file=" + KeyFile(), "container=" + Container(), std::string("password=") + kPassword}));
  EXPECT_NE(server_.log().find("never taken from the command line"), std::string::npos)
      << server_.log();
}

TEST_F(NbdPluginTest, MissingPasswordWithoutATerminalIsRefused) {
  EXPECT_FALSE(server_.Start({"key-file=" + KeyFile(), "container=" + Container()}));
  EXPECT_NE(server_.exitStatus(), 0);
}

TEST_F(NbdPluginTest, ReadOnlyServeRefusesWritesAndKeepsTheContainer) {
  Serve({"readonly=true"});
  const Bytes before = ReadFile(Container());
  NbdHandle nbd = Connect();
  ASSERT_NE(nbd, nullptr);
  EXPECT_EQ(nbd_is_read_only(nbd.get()), 1);
  ASSERT_EQ(nbd_set_strict_mode(nbd.get(), 0), 0);
  const Bytes data(4096, 0x42);
  EXPECT_EQ(nbd_pwrite(nbd.get(), data.data(), data.size(), 0, 0), -1);
  EXPECT_TRUE(nbd_get_errno() == EPERM || nbd_get_errno() == EROFS) << nbd_get_errno();
  Bytes back(4096);
  ASSERT_EQ(nbd_pread(nbd.get(), back.data(), back.size(), 0, 0), 0);
  EXPECT_TRUE(std::equal(back.begin(), back.end(), plain_.begin()));
  nbd.reset();
  server_.Stop();
  EXPECT_EQ(ReadFile(Container()), before);
}

TEST_F(NbdPluginTest, AContainerBeingServedCannotBeImportedOver) {
  Serve();
  int status = -1;
  const std::string output =
      Shell(std::string(CRYPTELLE_TOOL) + " import --key-file '" + KeyFile() + "' --container '" +
                Container() + "' --in '" + Container() + "' < '" + PasswordFile() + "' 2>&1",
            &status);
  EXPECT_NE(status, 0);
  EXPECT_NE(output.find("in use"), std::string::npos) << output;
}

TEST_F(NbdPluginTest, NbdinfoAndNbdcopySeeThePlainDisk) {
  Serve();
  int status = -1;
  const std::string size = Shell("nbdinfo --size '" + server_.uri() + "'", &status);
  ASSERT_EQ(status, 0);
  EXPECT_EQ(std::stoll(size), static_cast<long long>(plain_.size()));
  const std::string copy = scratch_ / "copy.img";
  Shell("nbdcopy '" + server_.uri() + "' '" + copy + "' 2>&1", &status);
  ASSERT_EQ(status, 0);
  EXPECT_EQ(ReadFile(copy), plain_);
}

TEST_F(NbdPluginTest, NbdcopyWritesAWholeDiskThatTheExportReturns) {
  Serve();
  const Bytes fresh = SamplePlainDisk(plain_.size(), 77);
  const std::string source = scratch_ / "fresh.img";
  WriteFile(source, fresh);
  int status = -1;
  const std::string output =
      Shell("nbdcopy '" + source + "' '" + server_.uri() + "' 2>&1", &status);
  ASSERT_EQ(status, 0) << output;
  EXPECT_EQ(Exported(), fresh);
  EXPECT_EQ(ReadFile(Container()), StoredForm(key_, fresh));
}

// A second-generation user: the disk ends before the backup area, every
// sector lands as its XTS encryption, and reads give the plain data back.
TEST_F(NbdPluginTest, SecondGenerationDiskIsStoredAsXtsAndReadsBackPlain) {
  const Bytes keys = FixedXtsKeys();
  ASSERT_TRUE(MakeKeyFileV2(KeyFile(), kPassword, keys));
  WriteFile(Container(), StoredFormV2(keys, plain_));
  Serve();
  NbdHandle nbd = Connect();
  ASSERT_NE(nbd, nullptr);
  ASSERT_EQ(nbd_get_size(nbd.get()), static_cast<int64_t>(plain_.size()));
  const Bytes data = RandomBytes(3u << 20, 31);
  ASSERT_EQ(nbd_pwrite(nbd.get(), data.data(), data.size(), 1u << 20, 0), 0) << nbd_get_error();
  ASSERT_EQ(nbd_flush(nbd.get(), 0), 0);
  std::copy(data.begin(), data.end(), plain_.begin() + (1u << 20));
  Bytes back(plain_.size());
  for (size_t at = 0; at < back.size(); at += 1u << 20)
    ASSERT_EQ(nbd_pread(nbd.get(), back.data() + at, 1u << 20, at, 0), 0) << nbd_get_error();
  EXPECT_EQ(back, plain_);
  nbd.reset();
  server_.Stop();
  EXPECT_EQ(ReadFile(Container()), StoredFormV2(keys, plain_));
}

}  // namespace
