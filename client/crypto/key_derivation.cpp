#include "key_derivation.h"

#include <string.h>

#include "byte_order.h"
#include "hmac_md5.h"
#include "secure_wipe.h"

void DeriveKeyBlock(const uint8_t* password, size_t passwordLength,
                    const uint8_t salt[kKdfSaltSize], uint32_t blockNumber,
                    uint8_t out[kKdfBlockSize]) {
  uint8_t saltAndCounter[kKdfSaltSize + 4];
  memcpy(saltAndCounter, salt, kKdfSaltSize);
  StoreBe32(saltAndCounter + kKdfSaltSize, blockNumber);

  // Keys of 24 and 16 bytes are within HmacMd5's limit, so it cannot refuse.
  uint8_t u[kKdfBlockSize];
  uint8_t t[kKdfBlockSize];
  HmacMd5(saltAndCounter, sizeof(saltAndCounter), password, passwordLength, u);
  memcpy(t, u, sizeof(t));
  for (uint32_t j = 2; j <= kKdfIterations; ++j) {
    HmacMd5(u, sizeof(u), password, passwordLength, u);
    for (size_t b = 0; b < kKdfBlockSize; ++b) t[b] ^= u[b];
  }
  memcpy(out, t, sizeof(t));

  SecureWipe(u, sizeof(u));
  SecureWipe(t, sizeof(t));
  SecureWipe(saltAndCounter, sizeof(saltAndCounter));
}

void DerivePasswordKey(const uint8_t* password, size_t passwordLength,
                       const uint8_t salt[kKdfSaltSize], uint8_t out[kDerivedKeySize]) {
  for (uint32_t i = 1; i <= kKdfBlockCount; ++i)
    DeriveKeyBlock(password, passwordLength, salt, i, out + kKdfBlockSize * (i - 1));
}

void DeriveUsedKeyBytes(const uint8_t* password, size_t passwordLength,
                        const uint8_t salt[kKdfSaltSize], uint8_t out[kUsedKeySize]) {
  for (uint32_t i = 1; i <= kUsedKeySize / kKdfBlockSize; ++i)
    DeriveKeyBlock(password, passwordLength, salt, i, out + kKdfBlockSize * (i - 1));
}
