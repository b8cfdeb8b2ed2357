#include "hmac_md5.h"

#include <string.h>

#include "md5.h"
#include "secure_wipe.h"

bool HmacMd5(const uint8_t* key, size_t keyLength, const uint8_t* message, size_t messageLength,
             uint8_t out[16]) {
  if (keyLength > kHmacMd5MaxKeySize) return false;

  // The key, zero-extended to one block, XORed with each pad byte.
  uint8_t innerPad[kMd5BlockSize];
  uint8_t outerPad[kMd5BlockSize];
  memset(innerPad, 0, sizeof(innerPad));
  if (keyLength != 0) memcpy(innerPad, key, keyLength);
  for (size_t i = 0; i < kMd5BlockSize; ++i) {
    outerPad[i] = innerPad[i] ^ 0x5C;
    innerPad[i] ^= 0x36;
  }

  Md5Context context;
  uint8_t innerDigest[kMd5DigestSize];
  Md5Init(&context);
  Md5Update(&context, innerPad, sizeof(innerPad));
  Md5Update(&context, message, messageLength);
  Md5Final(&context, innerDigest);

  Md5Init(&context);
  Md5Update(&context, outerPad, sizeof(outerPad));
  Md5Update(&context, innerDigest, sizeof(innerDigest));
  Md5Final(&context, out);

  SecureWipe(innerPad, sizeof(innerPad));
  SecureWipe(outerPad, sizeof(outerPad));
  SecureWipe(innerDigest, sizeof(innerDigest));
  return true;
}
