#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <malloc.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

#include "account_records.h"
#include "golden_inputs.h"
#include "key_file_v2.h"
#include "recovery_file_v2.h"
#include "tool_core.h"
#include "utf.h"

namespace {

// While the tool runs, every block C++ frees is searched for this text.
const char* g_watched = nullptr;
bool g_watching = false;
int g_freedCopies = 0;

void SearchFreedBlock(void* block) {
  if (!g_watching || g_watched == nullptr || block == nullptr) return;
  if (memmem(block, malloc_usable_size(block), g_watched, strlen(g_watched)) != nullptr)
    ++g_freedCopies;
}

}  // namespace

// The replacements below allocate with malloc and free with free.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(size_t size) {
  if (void* block = malloc(size == 0 ? 1 : size)) return block;
  throw std::bad_alloc();
}
void operator delete(void* block) noexcept {
  SearchFreedBlock(block);
  free(block);
}
void operator delete(void* block, size_t) noexcept {
  SearchFreedBlock(block);
  free(block);
}

namespace {

using Bytes = std::vector<uint8_t>;

Bytes ReadAll(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void WriteAll(const std::string& path, const Bytes& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

bool Exists(const std::string& path) {
  return access(path.c_str(), F_OK) == 0;
}

std::string GoldenPath(const char* name) {
  return std::string(CRYPTELLE_GOLDEN_DIR) + "/" + name;
}

// Fault injection and fixed random bytes for the tool's system calls.
struct Faults {
  GoldenRandomStream stream;
  bool golden = false;
  int failWriteAfter = -1;  // bytes accepted before ENOSPC
  bool failFsync = false;
  bool failRename = false;
  bool failRandom = false;
  bool noKdfMemory = false;
  int openErrno = 0;
};
Faults* g_faults = nullptr;

int FaultRandom(uint8_t* destination, size_t length) {
  if (g_faults->failRandom) return -1;
  if (g_faults->golden) {
    g_faults->stream.Fill(destination, length);
    return 1;
  }
  return DefaultToolSystem().randomBytes(destination, length);
}
int FaultOpen(const char* path, int flags, mode_t mode) {
  if (g_faults->openErrno != 0 && (flags & O_CREAT)) {
    errno = g_faults->openErrno;
    return -1;
  }
  return DefaultToolSystem().open(path, flags, mode);
}
ssize_t FaultWrite(int fd, const void* buffer, size_t length) {
  if (g_faults->failWriteAfter >= 0) {
    if (g_faults->failWriteAfter == 0) {
      errno = ENOSPC;
      return -1;
    }
    const size_t part = std::min(length, static_cast<size_t>(g_faults->failWriteAfter));
    g_faults->failWriteAfter -= static_cast<int>(part);
    return ::write(fd, buffer, part);
  }
  return ::write(fd, buffer, length);
}
int FaultFsync(int fd) {
  if (g_faults->failFsync) {
    errno = EIO;
    return -1;
  }
  return ::fsync(fd);
}
int FaultRename(const char* from, const char* to) {
  if (g_faults->failRename) {
    errno = EIO;  // as if the machine stopped before the rename
    return -1;
  }
  return ::rename(from, to);
}

void* FaultKdfAllocate(size_t size) {
  return g_faults->noKdfMemory ? nullptr : DefaultToolSystem().kdfMemory.Allocate(size);
}

ToolSystem FaultySystem() {
  ToolSystem system = DefaultToolSystem();
  system.kdfMemory.Allocate = FaultKdfAllocate;
  system.randomBytes = FaultRandom;
  system.open = FaultOpen;
  system.write = FaultWrite;
  system.fsync = FaultFsync;
  system.rename = FaultRename;
  return system;
}

struct Result {
  int status;
  std::string out;
  std::string err;
};

class CryptelleTool : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/cryptelle-tool-test.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    g_faults = &faults_;
  }
  void TearDown() override {
    g_faults = nullptr;
    std::string command = "rm -rf '" + dir_ + "'";
    ASSERT_EQ(system(command.c_str()), 0);
  }

  std::string Path(const char* name) const { return dir_ + "/" + name; }

  Result Run(std::initializer_list<std::string> args, const std::string& input) {
    std::vector<std::string> owned{"cryptelle-tool"};
    owned.insert(owned.end(), args.begin(), args.end());
    std::vector<const char*> argv;
    for (const std::string& arg : owned) argv.push_back(arg.c_str());
    std::string inputCopy = input;
    FILE* in = fmemopen(inputCopy.empty() ? nullptr : &inputCopy[0], inputCopy.size(), "r");
    if (in == nullptr) in = fopen("/dev/null", "r");
    char* outText = nullptr;
    size_t outSize = 0;
    char* errText = nullptr;
    size_t errSize = 0;
    FILE* out = open_memstream(&outText, &outSize);
    FILE* err = open_memstream(&errText, &errSize);
    const ToolSystem system = FaultySystem();
    Result result;
    g_watching = true;
    result.status = RunTool(static_cast<int>(argv.size()), argv.data(), in, out, err, system);
    g_watching = false;
    fclose(in);
    fclose(out);
    fclose(err);
    result.out.assign(outText, outSize);
    result.err.assign(errText, errSize);
    free(outText);
    free(errText);
    return result;
  }

  // new-user of the golden inputs with the golden random stream.
  Result NewGoldenUser(bool withRecovery) {
    faults_.golden = true;
    faults_.stream.Reset();
    std::string input = std::string(kGoldenPasswordUtf8) + "\n";
    if (withRecovery) {
      input += kGoldenAnswersUtf8;
      return Run({"new-user", "--key-file", Path("ann.user"), "--storage-path",
                  kGoldenTypedStoragePathUtf8, "--recovery-file", Path("ann.prf")},
                 input);
    }
    return Run(
        {"new-user", "--key-file", Path("ann.user"), "--storage-path", kGoldenTypedStoragePathUtf8},
        input);
  }

  // new-user of a second-generation user at a test's Argon2id cost.
  Result NewWholeDiskUser(const std::string& password, bool withRecovery) {
    std::string input = password + "\n";
    if (!withRecovery)
      return Run({"new-user", "--key-file", Path("w.user"), "--storage-path", "C:\\W.cryptdsk",
                  "--whole-disk", "--kdf-memory", "64", "--kdf-passes", "1"},
                 input);
    return Run({"new-user", "--key-file", Path("w.user"), "--storage-path", "C:\\W.cryptdsk",
                "--whole-disk", "--kdf-memory", "64", "--kdf-passes", "1", "--recovery-file",
                Path("w.prf")},
               input + kGoldenAnswersUtf8);
  }

  // The XTS keys of the second-generation key file at path.
  Bytes WholeDiskKeys(const std::string& path, const std::u16string& password) {
    const Bytes file = ReadAll(path);
    Bytes keys(kKeyFileV2KeysSize);
    char16_t stored[kPathBufferUnits];
    const KdfMemory heap = DefaultToolSystem().kdfMemory;
    EXPECT_EQ(OpenKeyFileV2(file.data(), file.size(), password.c_str(), heap, keys.data(), stored),
              1);
    return keys;
  }

  Result ChangeToPasswordOf(const char* keyFile, const std::string& input) {
    return Run({"change-password", "--key-file", Path(keyFile)}, input);
  }

  Result ChangeToNewPassword() {
    return Run({"change-password", "--key-file", Path("ann.user")},
               std::string(kGoldenPasswordUtf8) + "\n" + kGoldenNewPasswordUtf8 + "\n");
  }

  std::string dir_;
  Faults faults_;
};

// Writes the committed file when asked to, then requires equality.
void ExpectGolden(const char* name, const Bytes& bytes) {
  const std::string path = GoldenPath(name);
  if (getenv("CRYPTELLE_WRITE_GOLDEN") != nullptr && !Exists(path)) WriteAll(path, bytes);
  EXPECT_EQ(ReadAll(path), bytes) << name;
}

TEST_F(CryptelleTool, NewUserWritesTheCommittedKeyAndRecoveryFilesByteForByte) {
  const Result result = NewGoldenUser(true);
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(ReadAll(Path("ann.user")).size(), kUserKeyFileSize);
  EXPECT_EQ(ReadAll(Path("ann.prf")).size(), kRecoveryFileSize);
  ExpectGolden(kGoldenKeyFileName, ReadAll(Path("ann.user")));
  ExpectGolden(kGoldenRecoveryFileName, ReadAll(Path("ann.prf")));
}

TEST_F(CryptelleTool, ChangePasswordWritesTheCommittedFileAndKeepsSaltAndPathBytes) {
  ASSERT_EQ(NewGoldenUser(false).status, 0);
  const Bytes before = ReadAll(Path("ann.user"));
  const Result result = ChangeToNewPassword();
  ASSERT_EQ(result.status, 0) << result.err;
  const Bytes after = ReadAll(Path("ann.user"));
  ASSERT_EQ(after.size(), kUserKeyFileSize);
  EXPECT_TRUE(std::equal(before.begin(), before.begin() + kUserKeyMaterialOffset, after.begin()));
  EXPECT_FALSE(std::equal(before.begin() + kUserKeyMaterialOffset, before.end(),
                          after.begin() + kUserKeyMaterialOffset));
  EXPECT_FALSE(Exists(Path("ann.user.new")));
  ExpectGolden(kGoldenChangedKeyFileName, after);
}

// Files the Windows client wrote under Wine (the same committed bytes, which
// the Wine tests require WriteUserKeyFile and WriteRecoveryFile to produce).
TEST_F(CryptelleTool, OpensTheFilesTheClientWrites) {
  const std::string key = GoldenPath(kGoldenKeyFileName);
  Result result = Run({"verify", "--key-file", key, "--storage-path", kGoldenStoredStoragePathUtf8},
                      std::string(kGoldenPasswordUtf8) + "\n");
  EXPECT_EQ(result.status, 0) << result.err;
  result = Run({"show-path", "--key-file", key}, std::string(kGoldenPasswordUtf8) + "\n");
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, std::string(kGoldenStoredStoragePathUtf8) + "\n");
  result = Run({"show-path", "--key-file", GoldenPath(kGoldenChangedKeyFileName)},
               std::string(kGoldenNewPasswordUtf8) + "\n");
  EXPECT_EQ(result.out, std::string(kGoldenStoredStoragePathUtf8) + "\n");
  result =
      Run({"recover", "--recovery-file", GoldenPath(kGoldenRecoveryFileName)}, kGoldenAnswersUtf8);
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, std::string(kGoldenPasswordUtf8) + "\n");
}

TEST_F(CryptelleTool, VerifyAcceptsThePathInAnyAsciiCaseAndRefusesWrongSecrets) {
  ASSERT_EQ(NewGoldenUser(false).status, 0);
  const std::string password = std::string(kGoldenPasswordUtf8) + "\n";
  EXPECT_EQ(
      Run({"verify", "--key-file", Path("ann.user"), "--storage-path", kGoldenTypedStoragePathUtf8},
          password)
          .status,
      0);
  Result wrong =
      Run({"verify", "--key-file", Path("ann.user"), "--storage-path", kGoldenTypedStoragePathUtf8},
          "pa55-w\xc3\xb6rd\n");
  EXPECT_EQ(wrong.status, 1);
  EXPECT_NE(wrong.err.find("does not match"), std::string::npos);
  EXPECT_EQ(Run({"verify", "--key-file", Path("ann.user"), "--storage-path",
                 "c:\\users\\dej\xc3\xa0\\cryptelle_ann.cryptdsk"},
                password)
                .status,
            1);
}

TEST_F(CryptelleTool, ShowPathWithAWrongPasswordIsRefused) {
  ASSERT_EQ(NewGoldenUser(false).status, 0);
  const Result result = Run({"show-path", "--key-file", Path("ann.user")}, "nope\n");
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, "cryptelle-tool: wrong password\n");
}

TEST_F(CryptelleTool, ShortKeyFileIsMalformedAndAppendedBytesAreIgnored) {
  ASSERT_EQ(NewGoldenUser(false).status, 0);
  Bytes file = ReadAll(Path("ann.user"));
  WriteAll(Path("short.user"), Bytes(file.begin(), file.end() - 1));
  file.resize(900, 0x33);
  WriteAll(Path("long.user"), file);
  const std::string password = std::string(kGoldenPasswordUtf8) + "\n";
  EXPECT_EQ(Run({"show-path", "--key-file", Path("short.user")}, password).status, 2);
  EXPECT_EQ(Run({"show-path", "--key-file", Path("long.user")}, password).status, 0);
  EXPECT_EQ(Run({"show-path", "--key-file", Path("missing.user")}, password).status, 2);
}

TEST_F(CryptelleTool, RecoverRefusesAnAnswerDifferingOnlyInCase) {
  ASSERT_EQ(NewGoldenUser(true).status, 0);
  const Result result = Run({"recover", "--recovery-file", Path("ann.prf")},
                            "m\xc3\xbcller\nchess \xe4\xb8\xad\nPasta\n");
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out, "");
}

TEST_F(CryptelleTool, RecoverNeedsExactly1604Bytes) {
  ASSERT_EQ(NewGoldenUser(true).status, 0);
  Bytes file = ReadAll(Path("ann.prf"));
  WriteAll(Path("short.prf"), Bytes(file.begin(), file.end() - 1));
  file.push_back(0);
  WriteAll(Path("long.prf"), file);
  EXPECT_EQ(Run({"recover", "--recovery-file", Path("short.prf")}, kGoldenAnswersUtf8).status, 2);
  EXPECT_EQ(Run({"recover", "--recovery-file", Path("long.prf")}, kGoldenAnswersUtf8).status, 2);
  EXPECT_EQ(Run({"recover", "--recovery-file", Path("none.prf")}, kGoldenAnswersUtf8).status, 2);
}

TEST_F(CryptelleTool, NewUserNeverOverwritesAndLeavesNothingWhenRefused) {
  ASSERT_EQ(NewGoldenUser(true).status, 0);
  const Bytes key = ReadAll(Path("ann.user"));
  EXPECT_EQ(NewGoldenUser(false).status, 1);
  EXPECT_EQ(ReadAll(Path("ann.user")), key);
  // An existing recovery file: the key file made a moment ago goes again.
  ASSERT_EQ(unlink(Path("ann.user").c_str()), 0);
  EXPECT_EQ(NewGoldenUser(true).status, 1);
  EXPECT_FALSE(Exists(Path("ann.user")));
}

TEST_F(CryptelleTool, UnencodableStoragePathOrRecoveryPasswordCreatesNothing) {
  Result result = Run(
      {"new-user", "--key-file", Path("a.user"), "--storage-path", "c:\\\xe4\xb8\xad\\x.cryptdsk"},
      "pw\n");
  EXPECT_EQ(result.status, 1);
  EXPECT_FALSE(Exists(Path("a.user")));
  result = Run({"new-user", "--key-file", Path("a.user"), "--storage-path", "c:\\x",
                "--recovery-file", Path("a.prf")},
               std::string("5\xe2\x82\xac\n") + kGoldenAnswersUtf8);
  EXPECT_EQ(result.status, 1);
  EXPECT_FALSE(Exists(Path("a.user")));
  EXPECT_FALSE(Exists(Path("a.prf")));
  // Without a recovery file the password may hold any character.
  result =
      Run({"new-user", "--key-file", Path("a.user"), "--storage-path", "c:\\x"}, "5\xe2\x82\xac\n");
  EXPECT_EQ(result.status, 0) << result.err;
}

TEST_F(CryptelleTool, ChangePasswordWithRecoveryFileRewritesItUnderAFreshSalt) {
  ASSERT_EQ(NewGoldenUser(true).status, 0);
  const Bytes before = ReadAll(Path("ann.prf"));
  faults_.golden = false;
  const Result result = Run(
      {"change-password", "--key-file", Path("ann.user"), "--recovery-file", Path("ann.prf")},
      std::string(kGoldenPasswordUtf8) + "\n" + kGoldenNewPasswordUtf8 + "\n" + kGoldenAnswersUtf8);
  ASSERT_EQ(result.status, 0) << result.err;
  const Bytes after = ReadAll(Path("ann.prf"));
  ASSERT_EQ(after.size(), kRecoveryFileSize);
  EXPECT_FALSE(std::equal(before.begin(), before.begin() + kAccountSaltSize, after.begin()));
  const Result recovered = Run({"recover", "--recovery-file", Path("ann.prf")}, kGoldenAnswersUtf8);
  EXPECT_EQ(recovered.out, std::string(kGoldenNewPasswordUtf8) + "\n");
}

TEST_F(CryptelleTool, ChangePasswordWithAWrongOldPasswordChangesNothing) {
  ASSERT_EQ(NewGoldenUser(false).status, 0);
  const Bytes before = ReadAll(Path("ann.user"));
  EXPECT_EQ(Run({"change-password", "--key-file", Path("ann.user")}, "wrong\nnew\n").status, 1);
  EXPECT_EQ(ReadAll(Path("ann.user")), before);
}

TEST_F(CryptelleTool, LeftoverTemporaryFileFailsTheChangeAndKeepsBothFiles) {
  ASSERT_EQ(NewGoldenUser(false).status, 0);
  const Bytes before = ReadAll(Path("ann.user"));
  WriteAll(Path("ann.user.new"), Bytes{1, 2, 3});
  const Result result = ChangeToNewPassword();
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.err.find("ann.user.new"), std::string::npos);
  EXPECT_EQ(ReadAll(Path("ann.user")), before);
  EXPECT_EQ(ReadAll(Path("ann.user.new")), (Bytes{1, 2, 3}));
}

TEST_F(CryptelleTool, EarlierKeyFileSurvivesEveryFaultDuringAChange) {
  ASSERT_EQ(NewGoldenUser(false).status, 0);
  const Bytes before = ReadAll(Path("ann.user"));
  struct Case {
    const char* name;
    void (*inject)(Faults*);
    bool temporaryStays;
  };
  const Case cases[] = {
      {"failed write", [](Faults* f) { f->failWriteAfter = 0; }, false},
      {"full disk after 100 bytes", [](Faults* f) { f->failWriteAfter = 100; }, false},
      {"failed flush", [](Faults* f) { f->failFsync = true; }, false},
      {"read-only folder", [](Faults* f) { f->openErrno = EACCES; }, false},
      {"crash before the replace", [](Faults* f) { f->failRename = true; }, true},
  };
  for (const Case& c : cases) {
    faults_ = Faults{};
    c.inject(&faults_);
    const Result result = ChangeToNewPassword();
    EXPECT_EQ(result.status, 2) << c.name;
    EXPECT_EQ(ReadAll(Path("ann.user")), before) << c.name;
    EXPECT_EQ(Exists(Path("ann.user.new")), c.temporaryStays) << c.name;
    if (c.temporaryStays) {
      EXPECT_EQ(ReadAll(Path("ann.user.new")).size(), kUserKeyFileSize);
      ASSERT_EQ(unlink(Path("ann.user.new").c_str()), 0);
    }
  }
  faults_ = Faults{};
  EXPECT_EQ(ChangeToNewPassword().status, 0);
}

TEST_F(CryptelleTool, FailedWriteOfANewUserLeavesNoPartialFile) {
  faults_.failWriteAfter = 400;
  EXPECT_EQ(NewGoldenUser(true).status, 2);
  EXPECT_FALSE(Exists(Path("ann.user")));
  EXPECT_FALSE(Exists(Path("ann.prf")));
  faults_ = Faults{};
  faults_.failRandom = true;
  EXPECT_EQ(
      Run({"new-user", "--key-file", Path("b.user"), "--storage-path", "c:\\x"}, "pw\n").status, 2);
  EXPECT_FALSE(Exists(Path("b.user")));
}

TEST_F(CryptelleTool, FreshSaltsOnEveryNewUser) {
  ASSERT_EQ(
      Run({"new-user", "--key-file", Path("a.user"), "--storage-path", "c:\\x"}, "pw\n").status, 0);
  ASSERT_EQ(
      Run({"new-user", "--key-file", Path("b.user"), "--storage-path", "c:\\x"}, "pw\n").status, 0);
  const Bytes a = ReadAll(Path("a.user"));
  const Bytes b = ReadAll(Path("b.user"));
  EXPECT_FALSE(std::equal(a.begin(), a.begin() + kAccountSaltSize, b.begin()));
}

TEST_F(CryptelleTool, BadArgumentsAndInputExitWith2) {
  EXPECT_EQ(Run({}, "").status, 2);
  EXPECT_EQ(Run({"verify", "--key-file", Path("a")}, "pw\n").status, 2);
  EXPECT_EQ(Run({"show-path", "--key-file", Path("a"), "--key-file", Path("b")}, "pw\n").status, 2);
  EXPECT_EQ(Run({"recover", "--recovery-file"}, "").status, 2);
  EXPECT_EQ(Run({"new-user", "--key-file", Path("a.user"), "--storage-path", "c:\\x"}, "").status,
            2);
  EXPECT_EQ(Run({"new-user", "--key-file", Path("a.user"), "--storage-path", "c:\\x"}, "\xc0\xaf\n")
                .status,
            2);
  EXPECT_EQ(Run({"new-user", "--key-file", Path("a.user"), "--storage-path", "c:\\x"},
                std::string(261, 'p') + "\n")
                .status,
            2);
  EXPECT_FALSE(Exists(Path("a.user")));
}

TEST_F(CryptelleTool, RecoveredPasswordLeavesNoFreedCopy) {
  const std::string password(100, 'R');
  ASSERT_EQ(Run({"new-user", "--key-file", Path("r.user"), "--storage-path", "c:\\x",
                 "--recovery-file", Path("r.prf")},
                password + "\n" + kGoldenAnswersUtf8)
                .status,
            0);
  g_watched = "RRRRRRRRRRRRRRRR";
  g_freedCopies = 0;
  const Result result = Run({"recover", "--recovery-file", Path("r.prf")}, kGoldenAnswersUtf8);
  g_watched = nullptr;
  EXPECT_EQ(result.out, password + "\n");
  EXPECT_EQ(g_freedCopies, 0);
}

TEST_F(CryptelleTool, KeyFileThatIsASymbolicLinkIsRefused) {
  ASSERT_EQ(NewGoldenUser(false).status, 0);
  const Bytes before = ReadAll(Path("ann.user"));
  ASSERT_EQ(symlink(Path("ann.user").c_str(), Path("link.user").c_str()), 0);
  Result result = Run({"change-password", "--key-file", Path("link.user")},
                      std::string(kGoldenPasswordUtf8) + "\n" + kGoldenNewPasswordUtf8 + "\n");
  EXPECT_EQ(result.status, 2);
  EXPECT_NE(result.err.find("symbolic link"), std::string::npos) << result.err;
  struct stat link;
  ASSERT_EQ(lstat(Path("link.user").c_str(), &link), 0);
  EXPECT_TRUE(S_ISLNK(link.st_mode));
  EXPECT_EQ(ReadAll(Path("ann.user")), before);
  result = Run({"show-path", "--key-file", Path("link.user")}, std::string(kGoldenPasswordUtf8) + "\n");
  EXPECT_EQ(result.status, 2);
}

// As the client does after a change that did not come from a recovery: the
// recovery file beside the key file held the earlier password and goes.
TEST_F(CryptelleTool, ChangePasswordWithoutRecoveryFileRemovesTheEarlierOne) {
  ASSERT_EQ(mkdir(Path("Key").c_str(), 0700), 0);
  ASSERT_EQ(mkdir(Path("PRF").c_str(), 0700), 0);
  const std::string key = Path("Key/ann.user");
  const std::string recovery = Path("PRF/ann.prf");
  ASSERT_EQ(Run({"new-user", "--key-file", key, "--storage-path", "c:\\x", "--recovery-file",
                 recovery},
                std::string(kGoldenPasswordUtf8) + "\n" + kGoldenAnswersUtf8)
                .status,
            0);
  const Result result = Run({"change-password", "--key-file", key},
                            std::string(kGoldenPasswordUtf8) + "\n" + kGoldenNewPasswordUtf8 + "\n");
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_FALSE(Exists(recovery));
  EXPECT_EQ(result.err, "cryptelle-tool: removed recovery file " + recovery +
                            ": it held the earlier password\n");
}

TEST_F(CryptelleTool, HelpPrintsTheWholeUsageOnStandardOutput) {
  for (const std::initializer_list<std::string>& args :
       {std::initializer_list<std::string>{"--help"}, {"change-password", "--help"},
        {"export", "--help"}}) {
    const Result result = Run(args, "");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out, std::string(kToolUsage) + "\n");
  }
  for (const char* command : {"new-user", "verify", "show-path", "change-password", "recover",
                              "export", "import"})
    EXPECT_NE(std::string(kToolUsage).find(std::string("cryptelle-tool ") + command + " "),
              std::string::npos)
        << command;
}

// The euro sign: a password no first-generation recovery file can hold.
constexpr char kEuroPassword[] = "5\xe2\x82\xac";

TEST_F(CryptelleTool, WholeDiskUserOpensWithEveryCommand) {
  const Result made = NewWholeDiskUser(kEuroPassword, true);
  ASSERT_EQ(made.status, 0) << made.err;
  const Bytes key = ReadAll(Path("w.user"));
  const Bytes recovery = ReadAll(Path("w.prf"));
  EXPECT_TRUE(IsKeyFileV2(key.data(), key.size()));
  EXPECT_TRUE(IsRecoveryFileV2(recovery.data(), recovery.size()));
  const std::string password = std::string(kEuroPassword) + "\n";
  Result result =
      Run({"verify", "--key-file", Path("w.user"), "--storage-path", "c:\\w.CRYPTDSK"}, password);
  EXPECT_EQ(result.status, 0) << result.err;
  result = Run({"show-path", "--key-file", Path("w.user")}, password);
  EXPECT_EQ(result.out, "c:\\w.cryptdsk\n");
  result = Run({"recover", "--recovery-file", Path("w.prf")}, kGoldenAnswersUtf8);
  EXPECT_EQ(result.out, password);
  result = Run({"show-path", "--key-file", Path("w.user")}, "5\n");
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.err.find("wrong password or damaged key file"), std::string::npos);
}

TEST_F(CryptelleTool, WholeDiskChangePasswordKeepsKeysAndPathUnderAFreshSalt) {
  ASSERT_EQ(NewWholeDiskUser("old", true).status, 0);
  const Bytes before = ReadAll(Path("w.user"));
  const Bytes keys = WholeDiskKeys(Path("w.user"), u"old");
  const Result result =
      Run({"change-password", "--key-file", Path("w.user"), "--recovery-file", Path("w.prf")},
          std::string("old\nnew\n") + kGoldenAnswersUtf8);
  ASSERT_EQ(result.status, 0) << result.err;
  const Bytes after = ReadAll(Path("w.user"));
  ASSERT_EQ(after.size(), kKeyFileV2Size);
  EXPECT_TRUE(std::equal(before.begin(), before.begin() + 32, after.begin()));  // same cost
  EXPECT_FALSE(std::equal(before.begin() + 32, before.begin() + 64, after.begin() + 32));
  EXPECT_EQ(WholeDiskKeys(Path("w.user"), u"new"), keys);
  EXPECT_EQ(Run({"show-path", "--key-file", Path("w.user")}, "old\n").status, 1);
  EXPECT_EQ(Run({"recover", "--recovery-file", Path("w.prf")}, kGoldenAnswersUtf8).out, "new\n");
}

TEST_F(CryptelleTool, AlteredWholeDiskKeyFileIsRefusedClearlyAndChangesNothing) {
  ASSERT_EQ(NewWholeDiskUser("pw", false).status, 0);
  const Bytes file = ReadAll(Path("w.user"));
  for (size_t i = 0; i < file.size(); ++i) {
    Bytes altered = file;
    altered[i] ^= 0x40;
    WriteAll(Path("w.user"), altered);
    const Result result = ChangeToPasswordOf("w.user", "pw\nnew\n");
    ASSERT_TRUE(result.status == 1 || result.status == 2) << "byte " << i;
    if (result.status == 1)
      EXPECT_NE(result.err.find("wrong password or damaged key file"), std::string::npos) << i;
    else
      EXPECT_NE(result.err.find("key file"), std::string::npos) << i << result.err;
    ASSERT_EQ(ReadAll(Path("w.user")), altered) << "byte " << i;
  }
}

TEST_F(CryptelleTool, KdfOptionsBelongToANewWholeDiskUserAndStayInRange) {
  const std::string key = Path("w.user");
  for (const std::initializer_list<std::string>& args :
       {std::initializer_list<std::string>{"new-user", "--key-file", key, "--storage-path", "c:\\x",
                                           "--kdf-memory", "64"},
        {"new-user", "--key-file", key, "--storage-path", "c:\\x", "--whole-disk", "--kdf-passes",
         "17"},
        {"new-user", "--key-file", key, "--storage-path", "c:\\x", "--whole-disk", "--kdf-memory",
         "7"},
        {"new-user", "--key-file", key, "--storage-path", "c:\\x", "--whole-disk", "--whole-disk"},
        {"show-path", "--key-file", key, "--whole-disk"}})
    EXPECT_EQ(Run(args, "pw\n").status, 2);
  faults_.noKdfMemory = true;
  const Result result = NewWholeDiskUser("pw", false);
  EXPECT_EQ(result.status, 2);
  EXPECT_NE(result.err.find("no memory"), std::string::npos) << result.err;
  EXPECT_FALSE(Exists(key));
}

TEST(Utf8Input, DecodesToUtf16UnitsIncludingSurrogatePairs) {
  char16_t out[kPathBufferUnits];
  ASSERT_EQ(Utf8ToUtf16("a\xc3\xa9\xe2\x82\xac\xf0\x9f\x94\x91", 10, out), 1);
  EXPECT_EQ(std::u16string(out), u"a\u00e9\u20ac\U0001F511");
  EXPECT_EQ(Utf16ToUtf8(out), "a\xc3\xa9\xe2\x82\xac\xf0\x9f\x94\x91");
}

TEST(Utf8Input, RejectsOverlongSurrogateAndTruncatedForms) {
  char16_t out[kPathBufferUnits];
  EXPECT_EQ(Utf8ToUtf16("\xc0\x80", 2, out), -1);
  EXPECT_EQ(Utf8ToUtf16("\xed\xa0\x80", 3, out), -1);
  EXPECT_EQ(Utf8ToUtf16("\xe2\x82", 2, out), -1);
  EXPECT_EQ(Utf8ToUtf16("\xf4\x90\x80\x80", 4, out), -1);
  EXPECT_EQ(Utf8ToUtf16("ab\0cd", 5, out), -1);  // would shorten a password silently
  const std::string longest(260, 'x');
  EXPECT_EQ(Utf8ToUtf16(longest.data(), longest.size(), out), 1);
  const std::string tooLong(261, 'x');
  EXPECT_EQ(Utf8ToUtf16(tooLong.data(), tooLong.size(), out), 0);
}

}  // namespace
