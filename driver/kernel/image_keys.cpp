// cryptdsk.sys: keying and releasing the attached container's image cipher
// and its bounce buffer. Kernel mode only; worker thread at PASSIVE_LEVEL.
#include "disk_extension.h"
#include "secure_wipe.h"

namespace cryptdsk {
namespace {

// The second generation's 64-byte key: the record's data key, then the
// tweak key that follows the record.
int KeyWholeDisk(DiskExtension* extension, const OpenImageParameters& open) {
  Wiped<uint8_t[kXtsKeySize]> key;
  RtlCopyMemory(key.get(), open.Key, kOpenImageKeySize);
  RtlCopyMemory(key.get() + kOpenImageKeySize, open.TweakKey, kOpenImageTweakKeySize);
#if defined(__i386__)
  // The software copy first: a transfer falls back to it when it cannot save
  // the vector state. The AES instructions' key expansion needs that state
  // saved as much as their use does.
  int keyed = ImageCipherSetKey(&extension->SoftwareCipher, kGenerationWholeDisk, key.get(),
                                kXtsKeySize, kXtsEngineSoftware);
  if (keyed != 1) return keyed;
  KFLOATING_SAVE save;
  if (!NT_SUCCESS(KeSaveFloatingPointState(&save))) {
    return ImageCipherSetKey(&extension->Cipher, kGenerationWholeDisk, key.get(), kXtsKeySize,
                             kXtsEngineSoftware);
  }
  keyed = ImageCipherSetKey(&extension->Cipher, kGenerationWholeDisk, key.get(), kXtsKeySize,
                            kXtsEngineBest);
  KeRestoreFloatingPointState(&save);
  return keyed;
#else
  return ImageCipherSetKey(&extension->Cipher, kGenerationWholeDisk, key.get(), kXtsKeySize,
                           kXtsEngineBest);
#endif
}

}  // namespace

NTSTATUS KeyImageCipher(DiskExtension* extension, const OpenImageParameters& open) {
  const int keyed = open.Generation == kGenerationWholeDisk
                        ? KeyWholeDisk(extension, open)
                        : ImageCipherSetKey(&extension->Cipher, kGenerationHeadOnly, open.Key,
                                            kOpenImageKeySize, kXtsEngineBest);
  return keyed == 1 ? STATUS_SUCCESS : STATUS_UNSUCCESSFUL;
}

void ReleaseImageCipher(DiskExtension* extension) {
  ImageCipherWipe(&extension->Cipher);
#if defined(__i386__)
  ImageCipherWipe(&extension->SoftwareCipher);
#endif
  if (extension->Bounce != nullptr) {
    SecureWipe(extension->Bounce, kBounceBytes);
    ExFreePoolWithTag(extension->Bounce, kPoolTag);
    extension->Bounce = nullptr;
  }
}

}  // namespace cryptdsk
