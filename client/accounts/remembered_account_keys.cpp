// The log-in's memo of derived account keys (first generation) and opened
// key files (second generation), alive only inside a
// RememberedAccountKeyScope. Kept apart from the pure formats, which the
// fuzzer builds alone.
#include <string.h>

#include "account_records.h"
#include "secure_wipe.h"

namespace {

constexpr size_t kMaxTextBytes = 2 * kMaxStoredTextUnits;

struct RememberedKey {
  bool valid;
  uint8_t salt[kAccountSaltSize];
  uint8_t text[kMaxTextBytes];
  size_t length;
  uint8_t key[32];
};
Wiped<RememberedKey> g_rememberedKey;

// A key file v2 as it opened: the memo hits only for the same bytes and the
// same password, so its result is the one Argon2id would give again.
struct RememberedKeyFileV2 {
  bool valid;
  uint8_t file[kKeyFileV2Size];
  char16_t password[kPathBufferUnits];
  uint8_t keys[kKeyFileV2KeysSize];
  char16_t path[kPathBufferUnits];
};
Wiped<RememberedKeyFileV2> g_rememberedKeyFileV2;
bool g_rememberingKeys;  // a RememberedAccountKeyScope lives

bool SameUtf16(const char16_t* a, const char16_t* b) {
  size_t i = 0;
  while (a[i] != 0 && a[i] == b[i]) ++i;
  return a[i] == b[i];
}

}  // namespace

RememberedAccountKeyScope::RememberedAccountKeyScope() {
  g_rememberingKeys = true;
}

RememberedAccountKeyScope::~RememberedAccountKeyScope() {
  ForgetRememberedAccountKey();
  g_rememberingKeys = false;
}

void DeriveAccountKeyRemembered(const uint8_t* text, size_t length,
                                const uint8_t salt[kAccountSaltSize], uint8_t out[32]) {
  RememberedKey& memo = g_rememberedKey.get();
  if (memo.valid && length == memo.length && length <= kMaxTextBytes &&
      memcmp(memo.salt, salt, kAccountSaltSize) == 0 && memcmp(memo.text, text, length) == 0) {
    memcpy(out, memo.key, 32);
    return;
  }
  DeriveAccountKey(text, length, salt, out);
  if (!g_rememberingKeys || length > kMaxTextBytes) return;
  memo.valid = true;
  memcpy(memo.salt, salt, kAccountSaltSize);
  memcpy(memo.text, text, length);
  memo.length = length;
  memcpy(memo.key, out, 32);
}

void ForgetRememberedAccountKey() {
  SecureWipeObject(g_rememberedKey.get());
  SecureWipeObject(g_rememberedKeyFileV2.get());
}

bool AccountKeyRemembered() {
  return g_rememberedKey->valid || g_rememberedKeyFileV2->valid;
}

void RememberKeyFileV2(const uint8_t bytes[kKeyFileV2Size], const char16_t* password,
                       const uint8_t keys[kKeyFileV2KeysSize], const char16_t* path) {
  if (!g_rememberingKeys || Utf16Length(password) > kMaxPathUnits ||
      Utf16Length(path) > kMaxPathUnits)
    return;
  RememberedKeyFileV2& memo = g_rememberedKeyFileV2.get();
  memcpy(memo.file, bytes, kKeyFileV2Size);
  memcpy(memo.password, password, (Utf16Length(password) + 1) * sizeof(char16_t));
  memcpy(memo.keys, keys, kKeyFileV2KeysSize);
  memcpy(memo.path, path, (Utf16Length(path) + 1) * sizeof(char16_t));
  memo.valid = true;
}

int OpenKeyFileV2Remembered(const uint8_t* bytes, size_t size, const char16_t* password,
                            KdfMemory memory, uint8_t keys[kKeyFileV2KeysSize],
                            char16_t path[kPathBufferUnits]) {
  const RememberedKeyFileV2& memo = g_rememberedKeyFileV2.get();
  if (memo.valid && size == kKeyFileV2Size && memcmp(memo.file, bytes, kKeyFileV2Size) == 0 &&
      SameUtf16(memo.password, password)) {
    memcpy(keys, memo.keys, kKeyFileV2KeysSize);
    memcpy(path, memo.path, sizeof(memo.path));
    return 1;
  }
  const int opened = OpenKeyFileV2(bytes, size, password, memory, keys, path);
  if (opened == 1) RememberKeyFileV2(bytes, password, keys, path);
  return opened;
}
