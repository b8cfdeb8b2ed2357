#include "recovery_file_v2.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <array>
#include <string>

namespace {

using std::u16string;
using RecoveryFile = std::array<uint8_t, kRecoveryFileV2Size>;

constexpr Argon2idParameters kCheap = {1, 64, 1};
const KdfMemory kHeap = {malloc, [](void* memory, size_t) { free(memory); }};
const char16_t kPassword[] = u"h\u00e9llo \u4e16\u754c";
const char16_t* const kAnswers[] = {u"Rex", u"Lyon", u"blue"};

class RecoveryFileV2 : public ::testing::Test {
 protected:
  void SetUp() override {
    std::array<uint8_t, kKeyFileV2SaltSize> salt;
    for (size_t i = 0; i < salt.size(); ++i) salt[i] = static_cast<uint8_t>(7 * i + 1);
    ASSERT_EQ(BuildRecoveryFileV2(kCheap, salt.data(), kPassword, kAnswers, kHeap, file_.data()),
              1);
  }

  int Open(const RecoveryFile& file, const char16_t* const answers[3]) {
    return OpenRecoveryFileV2(file.data(), file.size(), answers, kHeap, password_);
  }

  RecoveryFile file_;
  char16_t password_[kPathBufferUnits] = {};
};

TEST_F(RecoveryFileV2, GivesBackThePasswordForTheSameAnswers) {
  EXPECT_TRUE(IsRecoveryFileV2(file_.data(), file_.size()));
  EXPECT_FALSE(IsKeyFileV2(file_.data(), file_.size()));
  ASSERT_EQ(Open(file_, kAnswers), 1);
  EXPECT_EQ(u16string(password_), u16string(kPassword));
}

TEST_F(RecoveryFileV2, RefusesAWrongAnswerWithoutWriting) {
  const char16_t* const wrong[] = {u"Rex", u"Lyon", u"Blue"};
  EXPECT_EQ(Open(file_, wrong), 0);
  EXPECT_EQ(password_[0], 0);
}

TEST_F(RecoveryFileV2, AnswersDoNotRunIntoEachOther) {
  const char16_t* const shifted[] = {u"ReL", u"xyon", u"blue"};
  EXPECT_EQ(Open(file_, shifted), 0);
}

TEST_F(RecoveryFileV2, RefusesEveryAlteredByte) {
  for (size_t i = 0; i < file_.size(); ++i) {
    RecoveryFile altered = file_;
    altered[i] ^= 0x01;
    EXPECT_NE(Open(altered, kAnswers), 1) << "byte " << i;
  }
  EXPECT_EQ(password_[0], 0);
  EXPECT_EQ(OpenRecoveryFileV2(file_.data(), file_.size() - 1, kAnswers, kHeap, password_), -1);
}

TEST_F(RecoveryFileV2, RefusesAnAnswerTooLong) {
  const u16string tooLong(kMaxPathUnits + 1, u'a');
  const char16_t* const answers[] = {u"Rex", tooLong.c_str(), u"blue"};
  EXPECT_EQ(Open(file_, answers), -1);
  RecoveryFile out;
  out.fill(0xAA);
  EXPECT_EQ(BuildRecoveryFileV2(kCheap, file_.data(), kPassword, answers, kHeap, out.data()), -1);
  EXPECT_EQ(out, RecoveryFile{});
}

TEST_F(RecoveryFileV2, KeepsAnEmptyPassword) {
  RecoveryFile file;
  ASSERT_EQ(BuildRecoveryFileV2(kCheap, file_.data(), u"", kAnswers, kHeap, file.data()), 1);
  password_[0] = u'x';
  ASSERT_EQ(Open(file, kAnswers), 1);
  EXPECT_EQ(password_[0], 0);
}

}  // namespace
