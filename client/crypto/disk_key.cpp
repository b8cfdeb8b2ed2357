#include "disk_key.h"

#include <string.h>

#include "secure_wipe.h"
#include "sha512.h"

void DiskKeyFromKeyMaterial(const uint8_t keyMaterial[kKeyMaterialSize],
                            uint8_t diskKey[kDiskKeySize]) {
  Sha512Context context;
  uint8_t digest[kSha512DigestSize];
  Sha512Init(&context);
  Sha512Update(&context, keyMaterial, kKeyMaterialSize);
  Sha512Final(&context, digest);  // also wipes the context
  memcpy(diskKey, digest, kDiskKeySize);
  SecureWipe(digest, sizeof(digest));
}
