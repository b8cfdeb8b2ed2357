#include "key_file_v2.h"

#include <string.h>

#include "sealed_file_v2.h"
#include "secure_wipe.h"

namespace {

constexpr uint8_t kMagic[kSealedFileV2MagicSize] = {'C', 'R', 'Y', 'P', 'T', 'K', 'F', '2'};
constexpr size_t kPayloadSize = 640;
constexpr SealedFileV2Layout kLayout = {kMagic, kPayloadSize};
constexpr size_t kPathLengthOffset = kKeyFileV2KeysSize;  // in the payload
static_assert(SealedFileV2Size(kPayloadSize) == kKeyFileV2Size, "key file v2 layout");
static_assert(kPathLengthOffset + 2 + 2 * kMaxPathUnits <= kPayloadSize, "the longest path fits");

struct PasswordBytes {
  uint8_t bytes[2 * kMaxPathUnits];
  size_t length;
};

// The password as Argon2id takes it. false when it is longer than 260 units.
bool StorePassword(const char16_t* password, PasswordBytes* out) {
  const size_t units = Utf16Length(password);
  if (units > kMaxPathUnits) return false;
  StoreUtf16Le(password, units, out->bytes);
  out->length = 2 * units;
  return true;
}

}  // namespace

bool IsKeyFileV2(const uint8_t* bytes, size_t size) {
  return IsSealedFileV2(kLayout, bytes, size);
}

bool KeyFileV2HeaderAccepted(const uint8_t* bytes, size_t size) {
  return SealedFileV2HeaderAccepted(kLayout, bytes, size);
}

Argon2idParameters KeyFileV2Parameters(const uint8_t bytes[kKeyFileV2Size]) {
  return SealedFileV2Parameters(bytes);
}

int BuildKeyFileV2(const Argon2idParameters& parameters, const uint8_t salt[kKeyFileV2SaltSize],
                   const uint8_t keys[kKeyFileV2KeysSize], const char16_t* storagePath,
                   const char16_t* password, KdfMemory memory, uint8_t out[kKeyFileV2Size]) {
  memset(out, 0, kKeyFileV2Size);
  const size_t units = Utf16Length(storagePath);
  Wiped<PasswordBytes> secret;
  if (units == 0 || units > kMaxPathUnits || !StorePassword(password, &secret.get())) return -1;

  Wiped<uint8_t[kPayloadSize]> payload;
  memcpy(payload.get(), keys, kKeyFileV2KeysSize);
  StoreCountedText(storagePath, units, payload.get() + kPathLengthOffset);
  return SealFileV2(kLayout, parameters, salt, secret->bytes, secret->length, payload.get(), memory,
                    out);
}

int OpenKeyFileV2(const uint8_t* bytes, size_t size, const char16_t* password, KdfMemory memory,
                  uint8_t keys[kKeyFileV2KeysSize], char16_t path[kPathBufferUnits]) {
  Wiped<PasswordBytes> secret;
  if (!StorePassword(password, &secret.get())) return -1;
  Wiped<uint8_t[kPayloadSize]> payload;
  const int unsealed =
      UnsealFileV2(kLayout, bytes, size, secret->bytes, secret->length, memory, payload.get());
  if (unsealed != 1) return unsealed;
  Wiped<char16_t[kPathBufferUnits]> storedPath;
  // A path of 1 to 260 units.
  if (!LoadCountedText(payload.get() + kPathLengthOffset, payload.get() + kPayloadSize, 1,
                       storedPath.get()))
    return 0;
  memcpy(keys, payload.get(), kKeyFileV2KeysSize);
  memcpy(path, storedPath.get(), sizeof(storedPath.get()));
  return 1;
}
