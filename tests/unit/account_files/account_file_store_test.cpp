// The write procedures of the account files against a store in memory that
// fails at any step: the earlier key file survives every fault.
#include "account_file_store.h"
#include "path_rules.h"

#include <gtest/gtest.h>
#include <stdint.h>

#include <map>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

class FakeStore final : public AccountFileStore<char> {
 public:
  StoreWrite CreateNewAndWrite(const char* path, const uint8_t* bytes, size_t length) override {
    if (files.count(path) != 0) return StoreWrite::kExists;
    if (refuseCreate) return StoreWrite::kNotCreated;
    const size_t kept = length < writeLimit ? length : writeLimit;
    files[path] = Bytes(bytes, bytes + kept);
    return kept == length ? StoreWrite::kWritten : StoreWrite::kCreatedNotWhole;
  }
  bool Replace(const char* from, const char* to) override {
    if (failReplace || files.count(from) == 0) return false;
    files[to] = files[from];
    files.erase(from);
    return true;
  }
  void Remove(const char* path) override { files.erase(path); }

  std::map<std::string, Bytes> files;
  bool refuseCreate = false;     // as in a read-only folder
  size_t writeLimit = SIZE_MAX;  // bytes written before a full disk
  bool failReplace = false;      // as if the machine stopped before the rename
};

const Bytes kOld(804, 0x11);
const Bytes kNew(804, 0x22);

AccountFileWrite Replace(FakeStore& store) {
  return ReplaceKeyFileSafely(store, "ann.user", "ann2.user", kNew.data(), kNew.size());
}

TEST(AccountFileStore, ReplaceLeavesTheNewKeyFileAndNoTemporary) {
  FakeStore store;
  store.files["ann.user"] = kOld;
  EXPECT_EQ(Replace(store), AccountFileWrite::kDone);
  EXPECT_EQ(store.files, (std::map<std::string, Bytes>{{"ann.user", kNew}}));
}

TEST(AccountFileStore, EarlierKeyFileSurvivesEveryFaultOfAReplace) {
  struct Case {
    const char* name;
    void (*inject)(FakeStore*);
    AccountFileWrite expected;
    const Bytes* temporaryAfter;  // null: no temporary is left
  };
  static const Bytes kLeftover{1, 2, 3};
  const Case cases[] = {
      {"temporary left from earlier", [](FakeStore* s) { s->files["ann2.user"] = kLeftover; },
       AccountFileWrite::kExists, &kLeftover},
      {"read-only folder", [](FakeStore* s) { s->refuseCreate = true; },
       AccountFileWrite::kWriteFailed, nullptr},
      {"failed first write", [](FakeStore* s) { s->writeLimit = 0; },
       AccountFileWrite::kWriteFailed, nullptr},
      {"full disk after 100 bytes", [](FakeStore* s) { s->writeLimit = 100; },
       AccountFileWrite::kWriteFailed, nullptr},
      {"crash before the replace", [](FakeStore* s) { s->failReplace = true; },
       AccountFileWrite::kReplaceFailed, &kNew},
  };
  for (const Case& c : cases) {
    FakeStore store;
    store.files["ann.user"] = kOld;
    c.inject(&store);
    EXPECT_EQ(Replace(store), c.expected) << c.name;
    std::map<std::string, Bytes> expected{{"ann.user", kOld}};
    if (c.temporaryAfter != nullptr) expected["ann2.user"] = *c.temporaryAfter;
    EXPECT_EQ(store.files, expected) << c.name;
  }
}

TEST(AccountFileStore, NewFileIsNeverWrittenOverAndNeverLeftPartial) {
  FakeStore store;
  store.files["ann.prf"] = kOld;
  EXPECT_EQ(WriteNewFileWhole(store, "ann.prf", kNew.data(), kNew.size()),
            AccountFileWrite::kExists);
  EXPECT_EQ(store.files["ann.prf"], kOld);
  store.writeLimit = 500;
  EXPECT_EQ(WriteNewFileWhole(store, "bob.prf", kNew.data(), kNew.size()),
            AccountFileWrite::kWriteFailed);
  EXPECT_EQ(store.files.count("bob.prf"), 0u);
  store.writeLimit = SIZE_MAX;
  EXPECT_EQ(WriteNewFileWhole(store, "bob.prf", kNew.data(), kNew.size()), AccountFileWrite::kDone);
  EXPECT_EQ(store.files["bob.prf"], kNew);
}

TEST(TemporaryKeyFile, NameIsNeverAKeyFileNameAndNeverCountsAsAUser) {
  for (const char16_t* name : {u"Ann", u"Ann2", u"ann_2", u"x.user"}) {
    PathBuffer<char16_t> path;
    ASSERT_EQ(BuildUserKeyFilePath(u"C:\\Program Files\\Cryptelle", name, &path), 1);
    EXPECT_EQ(IsUserKeyFileName(path.c_str()), 1);
    ASSERT_EQ(path.Append(kTemporaryKeyFileSuffix), 1);
    EXPECT_EQ(IsUserKeyFileName(path.c_str()), 0);
  }
}

}  // namespace
