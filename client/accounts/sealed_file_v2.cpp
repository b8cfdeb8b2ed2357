#include "sealed_file_v2.h"

#include <string.h>

#include "blake2b.h"
#include "byte_order.h"
#include "secure_wipe.h"

namespace {

constexpr uint32_t kVersion = 1;
constexpr uint32_t kKdfArgon2id = 1;
constexpr uint32_t kMaxPasses = 16;
constexpr uint32_t kMaxLanes = 16;
constexpr uint32_t kMaxMemoryKiB = 4194304;  // 4 GiB

constexpr size_t kSaltOffset = 32;
constexpr size_t kWrapKeySize = 32;
constexpr size_t kKeystreamBlockSize = kBlake2bMaxDigestSize;
static_assert(kSaltOffset + kKeyFileV2SaltSize == kSealedFileV2PayloadOffset, "sealed layout");

// Payload key, then MAC key.
struct WrapKeys {
  uint8_t payload[kWrapKeySize];
  uint8_t mac[kWrapKeySize];
};

bool ParametersInRange(const Argon2idParameters& parameters) {
  return parameters.Passes >= 1 && parameters.Passes <= kMaxPasses && parameters.Lanes >= 1 &&
         parameters.Lanes <= kMaxLanes && parameters.MemoryKiB >= 8 * parameters.Lanes &&
         parameters.MemoryKiB <= kMaxMemoryKiB && Argon2idMemorySize(parameters) != 0;
}

bool LayoutValid(const SealedFileV2Layout& layout) {
  return layout.Magic != nullptr && layout.PayloadSize != 0 &&
         layout.PayloadSize % kKeystreamBlockSize == 0 &&
         layout.PayloadSize <= kSealedFileV2MaxPayloadSize;
}

size_t MacOffset(const SealedFileV2Layout& layout) {
  return kSealedFileV2PayloadOffset + layout.PayloadSize;
}

// Argon2id of the secret into the two wrapping keys. 1 or -1.
int DeriveWrapKeys(const Argon2idParameters& parameters, const uint8_t* salt, const uint8_t* secret,
                   size_t secretSize, KdfMemory memory, WrapKeys* keys) {
  const size_t memorySize = Argon2idMemorySize(parameters);
  void* work = memorySize == 0 ? nullptr : memory.Allocate(memorySize);
  if (work == nullptr) return -1;
  const Argon2idInputs inputs = {secret,  secretSize, salt,    kKeyFileV2SaltSize,
                                 nullptr, 0,          nullptr, 0};
  const int derived = Argon2id(parameters, inputs, work, memorySize,
                               reinterpret_cast<uint8_t*>(keys), sizeof(WrapKeys));
  SecureWipe(work, memorySize);
  memory.Release(work, memorySize);
  return derived == 1 ? 1 : -1;
}

// XORs the payload with BLAKE2b-512(key, LE64(block number)), block by block.
void XorKeystream(const uint8_t key[kWrapKeySize], uint8_t* payload, size_t payloadSize) {
  Wiped<uint8_t[kKeystreamBlockSize]> stream;
  Blake2bContext context;
  for (size_t block = 0; block * kKeystreamBlockSize < payloadSize; ++block) {
    uint8_t counter[8] = {};
    StoreLe32(counter, static_cast<uint32_t>(block));
    Blake2bInit(&context, kKeystreamBlockSize, key, kWrapKeySize);
    Blake2bUpdate(&context, counter, sizeof(counter));
    Blake2bFinal(&context, stream.get());
    uint8_t* part = payload + block * kKeystreamBlockSize;
    for (size_t i = 0; i < kKeystreamBlockSize; ++i) part[i] ^= stream.get()[i];
  }
}

void ComputeMac(const uint8_t key[kWrapKeySize], const uint8_t* file, size_t macOffset,
                uint8_t mac[kSealedFileV2MacSize]) {
  Blake2bContext context;
  Blake2bInit(&context, kSealedFileV2MacSize, key, kWrapKeySize);
  Blake2bUpdate(&context, file, macOffset);
  Blake2bFinal(&context, mac);
}

bool SameMac(const uint8_t* a, const uint8_t* b) {
  uint8_t difference = 0;
  for (size_t i = 0; i < kSealedFileV2MacSize; ++i) difference |= a[i] ^ b[i];
  return difference == 0;
}

}  // namespace

bool IsSealedFileV2(const SealedFileV2Layout& layout, const uint8_t* bytes, size_t size) {
  return LayoutValid(layout) && bytes != nullptr && size == SealedFileV2Size(layout.PayloadSize) &&
         memcmp(bytes, layout.Magic, kSealedFileV2MagicSize) == 0;
}

int SealFileV2(const SealedFileV2Layout& layout, const Argon2idParameters& parameters,
               const uint8_t salt[kKeyFileV2SaltSize], const uint8_t* secret, size_t secretSize,
               const uint8_t* plainPayload, KdfMemory memory, uint8_t* out) {
  if (!LayoutValid(layout)) return -1;
  memset(out, 0, SealedFileV2Size(layout.PayloadSize));
  if (!ParametersInRange(parameters)) return -1;
  Wiped<WrapKeys> wrap;
  if (DeriveWrapKeys(parameters, salt, secret, secretSize, memory, &wrap.get()) != 1) return -1;

  memcpy(out, layout.Magic, kSealedFileV2MagicSize);
  StoreLe32(out + 8, kVersion);
  StoreLe32(out + 12, kKdfArgon2id);
  StoreLe32(out + 16, parameters.Passes);
  StoreLe32(out + 20, parameters.MemoryKiB);
  StoreLe32(out + 24, parameters.Lanes);
  memcpy(out + kSaltOffset, salt, kKeyFileV2SaltSize);
  uint8_t* payload = out + kSealedFileV2PayloadOffset;
  memcpy(payload, plainPayload, layout.PayloadSize);
  XorKeystream(wrap->payload, payload, layout.PayloadSize);
  ComputeMac(wrap->mac, out, MacOffset(layout), out + MacOffset(layout));
  return 1;
}

bool SealedFileV2HeaderAccepted(const SealedFileV2Layout& layout, const uint8_t* bytes,
                                size_t size) {
  return IsSealedFileV2(layout, bytes, size) && LoadLe32(bytes + 8) == kVersion &&
         LoadLe32(bytes + 12) == kKdfArgon2id && LoadLe32(bytes + 28) == 0 &&
         ParametersInRange(SealedFileV2Parameters(bytes));
}

int UnsealFileV2(const SealedFileV2Layout& layout, const uint8_t* bytes, size_t size,
                 const uint8_t* secret, size_t secretSize, KdfMemory memory,
                 uint8_t* plainPayload) {
  if (!SealedFileV2HeaderAccepted(layout, bytes, size)) return -1;
  const Argon2idParameters parameters = SealedFileV2Parameters(bytes);
  Wiped<WrapKeys> wrap;
  if (DeriveWrapKeys(parameters, bytes + kSaltOffset, secret, secretSize, memory, &wrap.get()) != 1)
    return -1;

  uint8_t mac[kSealedFileV2MacSize];
  ComputeMac(wrap->mac, bytes, MacOffset(layout), mac);
  if (!SameMac(mac, bytes + MacOffset(layout))) return 0;
  memcpy(plainPayload, bytes + kSealedFileV2PayloadOffset, layout.PayloadSize);
  XorKeystream(wrap->payload, plainPayload, layout.PayloadSize);
  return 1;
}

Argon2idParameters SealedFileV2Parameters(const uint8_t* file) {
  return {LoadLe32(file + 16), LoadLe32(file + 20), LoadLe32(file + 24)};
}

void StoreUtf16Le(const char16_t* text, size_t units, uint8_t* out) {
  for (size_t i = 0; i < units; ++i) {
    out[2 * i] = static_cast<uint8_t>(text[i] & 0xFF);
    out[2 * i + 1] = static_cast<uint8_t>(text[i] >> 8);
  }
}

void StoreCountedText(const char16_t* text, size_t units, uint8_t* at) {
  at[0] = static_cast<uint8_t>(units);
  at[1] = static_cast<uint8_t>(units >> 8);
  StoreUtf16Le(text, units, at + 2);
}

bool LoadCountedText(const uint8_t* at, const uint8_t* payloadEnd, size_t minUnits,
                     char16_t text[kPathBufferUnits]) {
  const size_t units = at[0] | at[1] << 8;
  if (units < minUnits || units > kMaxPathUnits) return false;
  const uint8_t* end = at + 2 + 2 * units;
  uint8_t padding = 0;
  for (const uint8_t* p = end; p < payloadEnd; ++p) padding |= *p;
  if (padding != 0) return false;
  for (size_t i = 0; i < units; ++i) {
    text[i] = static_cast<char16_t>(at[2 + 2 * i] | at[3 + 2 * i] << 8);
    if (text[i] == 0) return false;
  }
  text[units] = 0;
  return true;
}
