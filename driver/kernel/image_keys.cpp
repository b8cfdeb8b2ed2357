// cryptdsk.sys: keying and releasing the attached container's image cipher
// and its bounce buffer. Kernel mode only; worker thread at PASSIVE_LEVEL.
#include "disk_extension.h"
#include "secure_wipe.h"

namespace cryptdsk {
namespace {

// Keys the extension's cipher for `generation`, on the AES instructions when
// the processor has them.
int KeyCipher(DiskExtension* extension, uint32_t generation, const uint8_t* key, size_t size) {
#if defined(__i386__)
  // The software copy first: a transfer falls back to it when it cannot save
  // the vector state. The AES instructions' key expansion needs that state
  // saved as much as their use does.
  int keyed = ImageCipherSetKey(&extension->SoftwareCipher, generation, key, size,
                                kXtsEngineSoftware);
  if (keyed != 1) return keyed;
  KFLOATING_SAVE save;
  if (!NT_SUCCESS(KeSaveFloatingPointState(&save))) {
    return ImageCipherSetKey(&extension->Cipher, generation, key, size, kXtsEngineSoftware);
  }
  keyed = ImageCipherSetKey(&extension->Cipher, generation, key, size, kXtsEngineBest);
  KeRestoreFloatingPointState(&save);
  return keyed;
#else
  return ImageCipherSetKey(&extension->Cipher, generation, key, size, kXtsEngineBest);
#endif
}

// The second generation's 64-byte key: the record's data key, then the
// tweak key that follows the record.
int KeyWholeDisk(DiskExtension* extension, const OpenImageParameters& open) {
  Wiped<uint8_t[kXtsKeySize]> key;
  RtlCopyMemory(key.get(), open.Key, kOpenImageKeySize);
  RtlCopyMemory(key.get() + kOpenImageKeySize, open.TweakKey, kOpenImageTweakKeySize);
  return KeyCipher(extension, kGenerationWholeDisk, key.get(), kXtsKeySize);
}

}  // namespace

NTSTATUS KeyImageCipher(DiskExtension* extension, const OpenImageParameters& open) {
  const int keyed = open.Generation == kGenerationWholeDisk
                        ? KeyWholeDisk(extension, open)
                        : KeyCipher(extension, kGenerationHeadOnly, open.Key,
                                    kOpenImageKeySize);
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
