#include "image_cipher.h"

#include "secure_wipe.h"

namespace cryptdsk {

int ImageCipherSetKey(ImageCipher* cipher, uint32_t generation, const uint8_t* key,
                      size_t keySize, XtsEngine engine) {
  SecureWipeObject(*cipher);
  bool keyed = false;
  if (generation == kGenerationHeadOnly && keySize == kOpenImageKeySize) {
    keyed = AesEngineSetKey(&cipher->Head, key, engine) == 1;
  } else if (generation == kGenerationWholeDisk && keySize == kXtsKeySize) {
    keyed = XtsSetKey(&cipher->Xts, key, engine) == 1;
  }
  if (!keyed) {
    SecureWipeObject(*cipher);
    return -1;
  }
  cipher->Generation = generation;
  return 1;
}

void ImageCipherWipe(ImageCipher* cipher) {
  SecureWipeObject(*cipher);
}

bool ImageCipherUsesAesNi(const ImageCipher* cipher) {
  if (cipher->Generation == kGenerationHeadOnly) return cipher->Head.Engine == kXtsEngineAesNi;
  if (cipher->Generation == kGenerationWholeDisk) return cipher->Xts.Engine == kXtsEngineAesNi;
  return false;
}

int64_t DiskSizeOfContainer(uint32_t generation, int64_t fileSize) {
  if (fileSize < 0) return -1;
  if (generation != kGenerationWholeDisk) return fileSize;
  // Whole sectors only: XTS has no partial data unit.
  const int64_t disk = fileSize - kWholeDiskBackupAreaBytes;
  const int64_t whole = disk - disk % static_cast<int64_t>(kXtsSectorSize);
  return whole < static_cast<int64_t>(kXtsSectorSize) ? -1 : whole;
}

}  // namespace cryptdsk
