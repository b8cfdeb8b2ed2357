#include "recovery_file_v2.h"

#include <string.h>

#include "sealed_file_v2.h"
#include "secure_wipe.h"

namespace {

constexpr uint8_t kMagic[kSealedFileV2MagicSize] = {'C', 'R', 'Y', 'P', 'T', 'R', 'F', '2'};
constexpr size_t kPayloadSize = 576;
constexpr SealedFileV2Layout kLayout = {kMagic, kPayloadSize};
static_assert(SealedFileV2Size(kPayloadSize) == kRecoveryFileV2Size, "recovery file v2 layout");
static_assert(2 + 2 * kMaxPathUnits <= kPayloadSize, "the longest password fits");

// Each answer as LE16(units) || UTF-16LE, so no answer can run into the next.
struct JoinedAnswers {
  uint8_t bytes[kRecoveryFileV2AnswerCount * (2 + 2 * kMaxPathUnits)];
  size_t length;
};

// false when an answer is longer than 260 units.
bool JoinAnswers(const char16_t* const answers[kRecoveryFileV2AnswerCount], JoinedAnswers* out) {
  out->length = 0;
  for (size_t k = 0; k < kRecoveryFileV2AnswerCount; ++k) {
    const size_t units = Utf16Length(answers[k]);
    if (units > kMaxPathUnits) return false;
    StoreCountedText(answers[k], units, out->bytes + out->length);
    out->length += 2 + 2 * units;
  }
  return true;
}

}  // namespace

bool IsRecoveryFileV2(const uint8_t* bytes, size_t size) {
  return IsSealedFileV2(kLayout, bytes, size);
}

int BuildRecoveryFileV2(const Argon2idParameters& parameters,
                        const uint8_t salt[kKeyFileV2SaltSize], const char16_t* password,
                        const char16_t* const answers[kRecoveryFileV2AnswerCount], KdfMemory memory,
                        uint8_t out[kRecoveryFileV2Size]) {
  memset(out, 0, kRecoveryFileV2Size);
  const size_t units = Utf16Length(password);
  Wiped<JoinedAnswers> secret;
  if (units > kMaxPathUnits || !JoinAnswers(answers, &secret.get())) return -1;

  Wiped<uint8_t[kPayloadSize]> payload;
  StoreCountedText(password, units, payload.get());
  return SealFileV2(kLayout, parameters, salt, secret->bytes, secret->length, payload.get(), memory,
                    out);
}

int OpenRecoveryFileV2(const uint8_t* bytes, size_t size,
                       const char16_t* const answers[kRecoveryFileV2AnswerCount], KdfMemory memory,
                       char16_t password[kPathBufferUnits]) {
  Wiped<JoinedAnswers> secret;
  if (!JoinAnswers(answers, &secret.get())) return -1;
  Wiped<uint8_t[kPayloadSize]> payload;
  const int unsealed =
      UnsealFileV2(kLayout, bytes, size, secret->bytes, secret->length, memory, payload.get());
  if (unsealed != 1) return unsealed;
  Wiped<char16_t[kPathBufferUnits]> stored;
  // A password of 0 to 260 units.
  if (!LoadCountedText(payload.get(), payload.get() + kPayloadSize, 0, stored.get())) return 0;
  memcpy(password, stored.get(), sizeof(stored.get()));
  return 1;
}
