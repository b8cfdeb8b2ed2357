#include "account_records.h"

#include <string.h>

#include "blowfish.h"
#include "disk_key.h"
#include "key_derivation.h"
#include "secure_wipe.h"

static_assert(kUsedKeySize == 32 && kBlowfishKeySize == 32, "Blowfish keys are 32 bytes");
static_assert(kKdfSaltSize == kAccountSaltSize, "one salt size");
static_assert(kKeyMaterialSize == kUserKeyMaterialSize, "one key material size");

namespace {

constexpr size_t kMaxTextBytes = 2 * kMaxStoredTextUnits;

// A password or answer as the UTF-16LE bytes the derivation hashes.
struct Utf16LeText {
  uint8_t bytes[kMaxTextBytes];
  size_t length;
};

// -1 when text is longer than 260 units.
int ToUtf16Le(const char16_t* text, Utf16LeText* out) {
  const size_t units = Utf16Length(text);
  if (units > kMaxStoredTextUnits) return -1;
  for (size_t i = 0; i < units; ++i) {
    out->bytes[2 * i] = static_cast<uint8_t>(text[i] & 0xFF);
    out->bytes[2 * i + 1] = static_cast<uint8_t>(text[i] >> 8);
  }
  out->length = 2 * units;
  return 1;
}

// Blowfish key from a text and a salt; -1 when the text is too long.
int TextKeySchedule(const char16_t* text, const uint8_t salt[kAccountSaltSize],
                    PasswordKeyFunction derive, BlowfishContext* context) {
  Wiped<Utf16LeText> encoded;
  if (ToUtf16Le(text, &encoded.get()) != 1) return -1;
  Wiped<uint8_t[32]> key;
  derive(encoded->bytes, encoded->length, salt, key.get());
  BlowfishKeySetup(key.get(), context);
  return 1;
}

}  // namespace

void DeriveAccountKey(const uint8_t* text, size_t length, const uint8_t salt[kAccountSaltSize],
                      uint8_t out[32]) {
  DeriveUsedKeyBytes(text, length, salt, out);
}

int StoreNarrowText(const char16_t* text, uint8_t record[kTextRecordSize]) {
  memset(record, 0, kTextRecordSize);
  size_t i = 0;
  for (; text[i] != 0; ++i) {
    if (i == kMaxStoredTextUnits) {
      SecureWipe(record, kTextRecordSize);
      return -1;
    }
    if (text[i] > 0x00FF) {
      SecureWipe(record, kTextRecordSize);
      return 0;
    }
    record[i] = static_cast<uint8_t>(text[i]);
  }
  return 1;
}

void WidenNarrowText(const uint8_t* record, size_t maxUnits, char16_t out[kPathBufferUnits]) {
  if (maxUnits > kMaxStoredTextUnits) maxUnits = kMaxStoredTextUnits;
  size_t i = 0;
  for (; i < maxUnits && record[i] != 0; ++i) out[i] = record[i];
  out[i] = 0;
}

int BuildUserKeyFile(const uint8_t salt[kAccountSaltSize],
                     const uint8_t keyMaterial[kUserKeyMaterialSize], const char16_t* storagePath,
                     const char16_t* password, PasswordKeyFunction derive,
                     uint8_t out[kUserKeyFileSize]) {
  memset(out, 0, kUserKeyFileSize);
  const int stored = StoreNarrowText(storagePath, out + kUserKeyPathOffset);
  if (stored != 1) return stored;

  Wiped<BlowfishContext> context;
  BlowfishKeySetup(keyMaterial, &context.get());
  BlowfishEncryptEcb(&context.get(), out + kUserKeyPathOffset, kTextRecordSize);

  if (TextKeySchedule(password, salt, derive, &context.get()) != 1) {
    SecureWipe(out, kUserKeyFileSize);
    return -1;
  }
  memcpy(out, salt, kAccountSaltSize);
  memcpy(out + kUserKeyMaterialOffset, keyMaterial, kUserKeyMaterialSize);
  BlowfishEncryptEcb(&context.get(), out + kUserKeyMaterialOffset, kUserKeyMaterialSize);
  return 1;
}

int UnwrapKeyMaterial(const uint8_t file[kUserKeyFileSize], const char16_t* password,
                      PasswordKeyFunction derive, uint8_t keyMaterial[kUserKeyMaterialSize]) {
  Wiped<BlowfishContext> context;
  if (TextKeySchedule(password, file, derive, &context.get()) != 1) return -1;
  memcpy(keyMaterial, file + kUserKeyMaterialOffset, kUserKeyMaterialSize);
  BlowfishDecryptEcb(&context.get(), keyMaterial, kUserKeyMaterialSize);
  return 1;
}

namespace {

void DecryptPathRecord(const uint8_t file[kUserKeyFileSize],
                       const uint8_t keyMaterial[kUserKeyMaterialSize],
                       uint8_t record[kTextRecordSize]) {
  Wiped<BlowfishContext> context;
  BlowfishKeySetup(keyMaterial, &context.get());
  memcpy(record, file + kUserKeyPathOffset, kTextRecordSize);
  BlowfishDecryptEcb(&context.get(), record, kTextRecordSize);
}

}  // namespace

void DecryptStoredPath(const uint8_t file[kUserKeyFileSize],
                       const uint8_t keyMaterial[kUserKeyMaterialSize],
                       char16_t path[kPathBufferUnits]) {
  Wiped<uint8_t[kTextRecordSize]> record;
  DecryptPathRecord(file, keyMaterial, record.get());
  WidenNarrowText(record.get(), kMaxStoredTextUnits, path);
}

bool StoredPathLooksValid(const uint8_t file[kUserKeyFileSize],
                          const uint8_t keyMaterial[kUserKeyMaterialSize]) {
  Wiped<uint8_t[kTextRecordSize]> record;
  DecryptPathRecord(file, keyMaterial, record.get());
  if (record.get()[0] == 0) return false;
  uint8_t tail = 0;
  for (size_t i = kMaxStoredTextUnits; i < kTextRecordSize; ++i) tail |= record.get()[i];
  return tail == 0;
}

int RewrapUserKeyFile(const uint8_t file[kUserKeyFileSize],
                      const uint8_t keyMaterial[kUserKeyMaterialSize], const char16_t* newPassword,
                      PasswordKeyFunction derive, uint8_t out[kUserKeyFileSize]) {
  Wiped<BlowfishContext> context;
  if (TextKeySchedule(newPassword, file, derive, &context.get()) != 1) {
    memset(out, 0, kUserKeyFileSize);
    return -1;
  }
  memmove(out, file, kUserKeyMaterialOffset);
  memcpy(out + kUserKeyMaterialOffset, keyMaterial, kUserKeyMaterialSize);
  BlowfishEncryptEcb(&context.get(), out + kUserKeyMaterialOffset, kUserKeyMaterialSize);
  return 1;
}

int OpenUserKeyFile(UserKeyFileView file, const char16_t* password, PasswordKeyFunction derive,
                    uint8_t keyMaterial[kUserKeyMaterialSize]) {
  if (file.bytes == nullptr || file.size < kUserKeyFileSize) return -1;
  return UnwrapKeyMaterial(file.bytes, password, derive, keyMaterial);
}

int BuildRecoveryFile(const uint8_t salt[kAccountSaltSize], const char16_t* password,
                      const char16_t* const answers[kRecoveryAnswerCount],
                      PasswordKeyFunction derive, uint8_t out[kRecoveryFileSize]) {
  memset(out, 0, kRecoveryFileSize);
  Wiped<uint8_t[kTextRecordSize]> record;
  const int stored = StoreNarrowText(password, record.get());
  if (stored != 1) return stored;

  Wiped<BlowfishContext> context;
  for (size_t k = 0; k < kRecoveryAnswerCount; ++k) {
    if (TextKeySchedule(answers[k], salt, derive, &context.get()) != 1) {
      SecureWipe(out, kRecoveryFileSize);
      return -1;
    }
    uint8_t* copy = out + kRecoveryCopyOffset + k * kTextRecordSize;
    memcpy(copy, record.get(), kTextRecordSize);
    BlowfishEncryptEcb(&context.get(), copy, kTextRecordSize);
  }
  memcpy(out, salt, kAccountSaltSize);
  return 1;
}

namespace {

// Texts of a decrypted copy end at their first zero byte (at most 528).
bool SameText(const uint8_t* a, const uint8_t* b) {
  for (size_t i = 0; i < kTextRecordSize; ++i) {
    if (a[i] != b[i]) return false;
    if (a[i] == 0) return true;
  }
  return true;
}

}  // namespace

int OpenRecoveryFile(const uint8_t file[kRecoveryFileSize],
                     const char16_t* const answers[kRecoveryAnswerCount],
                     PasswordKeyFunction derive, char16_t password[kPathBufferUnits]) {
  Wiped<uint8_t[kRecoveryAnswerCount][kTextRecordSize]> copies;
  Wiped<BlowfishContext> context;
  for (size_t k = 0; k < kRecoveryAnswerCount; ++k) {
    if (TextKeySchedule(answers[k], file, derive, &context.get()) != 1) return -1;
    memcpy(copies.get()[k], file + kRecoveryCopyOffset + k * kTextRecordSize, kTextRecordSize);
    BlowfishDecryptEcb(&context.get(), copies.get()[k], kTextRecordSize);
  }
  if (!SameText(copies.get()[0], copies.get()[1]) || !SameText(copies.get()[1], copies.get()[2]))
    return 0;
  // The agreed text must fit a 260-unit password buffer.
  size_t length = 0;
  while (length < kTextRecordSize && copies.get()[0][length] != 0) ++length;
  if (length > kMaxStoredTextUnits) return -1;
  WidenNarrowText(copies.get()[0], kMaxStoredTextUnits, password);
  return 1;
}
