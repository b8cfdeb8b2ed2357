#include "key_file_v2.h"

#include <string.h>

#include "sealed_file_v2.h"
#include "secure_wipe.h"

namespace {

constexpr uint8_t kMagic[kSealedFileV2MagicSize] = {'C', 'R', 'Y', 'P', 'T', 'K', 'F', '2'};
constexpr size_t kPayloadSize = 640;
constexpr SealedFileV2Layout kLayout = {kMagic, kPayloadSize};
constexpr size_t kPathLengthOffset = kKeyFileV2KeysSize;  // in the payload
constexpr size_t kPathOffset = kPathLengthOffset + 2;
static_assert(SealedFileV2Size(kPayloadSize) == kKeyFileV2Size, "key file v2 layout");
static_assert(kPathOffset + 2 * kMaxPathUnits <= kPayloadSize, "the longest path fits");

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

// The path of a decrypted payload: 1 to 260 non-zero units, zero after them.
bool ReadPath(const uint8_t* payload, char16_t path[kPathBufferUnits]) {
  const size_t units = payload[kPathLengthOffset] | payload[kPathLengthOffset + 1] << 8;
  if (units == 0 || units > kMaxPathUnits) return false;
  uint8_t padding = 0;
  for (size_t i = kPathOffset + 2 * units; i < kPayloadSize; ++i) padding |= payload[i];
  if (padding != 0) return false;
  LoadUtf16Le(payload + kPathOffset, units, path);
  for (size_t i = 0; i < units; ++i)
    if (path[i] == 0) return false;
  path[units] = 0;
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
  payload.get()[kPathLengthOffset] = static_cast<uint8_t>(units);
  payload.get()[kPathLengthOffset + 1] = static_cast<uint8_t>(units >> 8);
  StoreUtf16Le(storagePath, units, payload.get() + kPathOffset);
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
  if (!ReadPath(payload.get(), storedPath.get())) return 0;
  memcpy(keys, payload.get(), kKeyFileV2KeysSize);
  memcpy(path, storedPath.get(), sizeof(storedPath.get()));
  return 1;
}
