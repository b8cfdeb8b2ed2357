#include "key_file_v2.h"

#include <string.h>

#include "blake2b.h"
#include "byte_order.h"
#include "secure_wipe.h"

namespace {

constexpr uint8_t kMagic[8] = {'C', 'R', 'Y', 'P', 'T', 'K', 'F', '2'};
constexpr uint32_t kVersion = 1;
constexpr uint32_t kKdfArgon2id = 1;
constexpr uint32_t kMaxPasses = 16;
constexpr uint32_t kMaxLanes = 16;
constexpr uint32_t kMaxMemoryKiB = 4194304;  // 4 GiB

constexpr size_t kSaltOffset = 32;
constexpr size_t kPayloadOffset = kSaltOffset + kKeyFileV2SaltSize;  // 64
constexpr size_t kPayloadSize = 640;
constexpr size_t kMacOffset = kPayloadOffset + kPayloadSize;  // 704
constexpr size_t kMacSize = 32;
constexpr size_t kWrapKeySize = 32;
constexpr size_t kPathLengthOffset = kKeyFileV2KeysSize;  // in the payload
constexpr size_t kPathOffset = kPathLengthOffset + 2;
static_assert(kMacOffset + kMacSize == kKeyFileV2Size, "key file v2 layout");
static_assert(kPathOffset + 2 * kMaxPathUnits <= kPayloadSize, "the longest path fits");

// Payload key, then MAC key.
struct WrapKeys {
  uint8_t payload[kWrapKeySize];
  uint8_t mac[kWrapKeySize];
};

struct PasswordBytes {
  uint8_t bytes[2 * kMaxPathUnits];
  size_t length;
};

void StoreUtf16Le(const char16_t* text, size_t units, uint8_t* out) {
  for (size_t i = 0; i < units; ++i) {
    out[2 * i] = static_cast<uint8_t>(text[i] & 0xFF);
    out[2 * i + 1] = static_cast<uint8_t>(text[i] >> 8);
  }
}

bool ParametersInRange(const Argon2idParameters& parameters) {
  return parameters.Passes >= 1 && parameters.Passes <= kMaxPasses && parameters.Lanes >= 1 &&
         parameters.Lanes <= kMaxLanes && parameters.MemoryKiB >= 8 * parameters.Lanes &&
         parameters.MemoryKiB <= kMaxMemoryKiB && Argon2idMemorySize(parameters) != 0;
}

// Argon2id of the password into the two wrapping keys. 1 or -1.
int DeriveWrapKeys(const Argon2idParameters& parameters, const uint8_t* salt,
                   const char16_t* password, KdfMemory memory, WrapKeys* keys) {
  const size_t units = Utf16Length(password);
  if (units > kMaxPathUnits) return -1;
  Wiped<PasswordBytes> text;
  StoreUtf16Le(password, units, text->bytes);
  text->length = 2 * units;

  const size_t memorySize = Argon2idMemorySize(parameters);
  void* work = memorySize == 0 ? nullptr : memory.Allocate(memorySize);
  if (work == nullptr) return -1;
  const Argon2idInputs inputs = {text->bytes, text->length, salt, kKeyFileV2SaltSize,
                                 nullptr,     0,            nullptr, 0};
  const int derived = Argon2id(parameters, inputs, work, memorySize,
                               reinterpret_cast<uint8_t*>(keys), sizeof(WrapKeys));
  SecureWipe(work, memorySize);
  memory.Release(work, memorySize);
  return derived == 1 ? 1 : -1;
}

// XORs the payload with BLAKE2b-512(key, LE64(block number)), block by block.
void XorKeystream(const uint8_t key[kWrapKeySize], uint8_t* payload) {
  Wiped<uint8_t[kBlake2bMaxDigestSize]> stream;
  Blake2bContext context;
  for (size_t block = 0; block * kBlake2bMaxDigestSize < kPayloadSize; ++block) {
    uint8_t counter[8] = {};
    StoreLe32(counter, static_cast<uint32_t>(block));
    Blake2bInit(&context, kBlake2bMaxDigestSize, key, kWrapKeySize);
    Blake2bUpdate(&context, counter, sizeof(counter));
    Blake2bFinal(&context, stream.get());
    uint8_t* part = payload + block * kBlake2bMaxDigestSize;
    for (size_t i = 0; i < kBlake2bMaxDigestSize; ++i) part[i] ^= stream.get()[i];
  }
}

void ComputeMac(const uint8_t key[kWrapKeySize], const uint8_t* file, uint8_t mac[kMacSize]) {
  Blake2bContext context;
  Blake2bInit(&context, kMacSize, key, kWrapKeySize);
  Blake2bUpdate(&context, file, kMacOffset);
  Blake2bFinal(&context, mac);
}

bool SameMac(const uint8_t* a, const uint8_t* b) {
  uint8_t difference = 0;
  for (size_t i = 0; i < kMacSize; ++i) difference |= a[i] ^ b[i];
  return difference == 0;
}

Argon2idParameters ReadParameters(const uint8_t* file) {
  return {LoadLe32(file + 16), LoadLe32(file + 20), LoadLe32(file + 24)};
}

// The path of a decrypted payload: 1 to 260 non-zero units, zero after them.
bool ReadPath(const uint8_t* payload, char16_t path[kPathBufferUnits]) {
  const size_t units = payload[kPathLengthOffset] | payload[kPathLengthOffset + 1] << 8;
  if (units == 0 || units > kMaxPathUnits) return false;
  uint8_t padding = 0;
  for (size_t i = kPathOffset + 2 * units; i < kPayloadSize; ++i) padding |= payload[i];
  if (padding != 0) return false;
  for (size_t i = 0; i < units; ++i) {
    path[i] = static_cast<char16_t>(payload[kPathOffset + 2 * i] |
                                    payload[kPathOffset + 2 * i + 1] << 8);
    if (path[i] == 0) return false;
  }
  path[units] = 0;
  return true;
}

}  // namespace

bool IsKeyFileV2(const uint8_t* bytes, size_t size) {
  return bytes != nullptr && size == kKeyFileV2Size && memcmp(bytes, kMagic, sizeof(kMagic)) == 0;
}

int BuildKeyFileV2(const Argon2idParameters& parameters, const uint8_t salt[kKeyFileV2SaltSize],
                   const uint8_t keys[kKeyFileV2KeysSize], const char16_t* storagePath,
                   const char16_t* password, KdfMemory memory, uint8_t out[kKeyFileV2Size]) {
  memset(out, 0, kKeyFileV2Size);
  const size_t units = Utf16Length(storagePath);
  if (!ParametersInRange(parameters) || units == 0 || units > kMaxPathUnits) return -1;
  Wiped<WrapKeys> wrap;
  if (DeriveWrapKeys(parameters, salt, password, memory, &wrap.get()) != 1) return -1;

  memcpy(out, kMagic, sizeof(kMagic));
  StoreLe32(out + 8, kVersion);
  StoreLe32(out + 12, kKdfArgon2id);
  StoreLe32(out + 16, parameters.Passes);
  StoreLe32(out + 20, parameters.MemoryKiB);
  StoreLe32(out + 24, parameters.Lanes);
  memcpy(out + kSaltOffset, salt, kKeyFileV2SaltSize);
  uint8_t* payload = out + kPayloadOffset;
  memcpy(payload, keys, kKeyFileV2KeysSize);
  payload[kPathLengthOffset] = static_cast<uint8_t>(units);
  payload[kPathLengthOffset + 1] = static_cast<uint8_t>(units >> 8);
  StoreUtf16Le(storagePath, units, payload + kPathOffset);
  XorKeystream(wrap->payload, payload);
  ComputeMac(wrap->mac, out, out + kMacOffset);
  return 1;
}

int OpenKeyFileV2(const uint8_t* bytes, size_t size, const char16_t* password, KdfMemory memory,
                  uint8_t keys[kKeyFileV2KeysSize], char16_t path[kPathBufferUnits]) {
  if (!IsKeyFileV2(bytes, size) || LoadLe32(bytes + 8) != kVersion ||
      LoadLe32(bytes + 12) != kKdfArgon2id || LoadLe32(bytes + 28) != 0)
    return -1;
  const Argon2idParameters parameters = ReadParameters(bytes);
  if (!ParametersInRange(parameters)) return -1;
  Wiped<WrapKeys> wrap;
  if (DeriveWrapKeys(parameters, bytes + kSaltOffset, password, memory, &wrap.get()) != 1)
    return -1;

  uint8_t mac[kMacSize];
  ComputeMac(wrap->mac, bytes, mac);
  if (!SameMac(mac, bytes + kMacOffset)) return 0;
  Wiped<uint8_t[kPayloadSize]> payload;
  memcpy(payload.get(), bytes + kPayloadOffset, kPayloadSize);
  XorKeystream(wrap->payload, payload.get());
  Wiped<char16_t[kPathBufferUnits]> storedPath;
  if (!ReadPath(payload.get(), storedPath.get())) return 0;
  memcpy(keys, payload.get(), kKeyFileV2KeysSize);
  memcpy(path, storedPath.get(), sizeof(storedPath.get()));
  return 1;
}
