// cryptdsk.sys: the image cipher for the length of one transfer. Kernel mode
// only; worker thread.
//
// On x64 nothing is saved: the engine uses the XMM registers alone (legacy
// SSE encodings, never AVX), which kernel code may use freely there (the
// volatile ones are saved by the kernel at every interrupt, the others by
// the functions' own prologues). The x86 kernel saves no vector state for a
// driver: around the AES instructions the floating-point state is saved, and
// when that fails the transfer takes the same keys on the software engine.
#pragma once

#include "disk_extension.h"

namespace cryptdsk {

class CipherInUse {
 public:
  explicit CipherInUse(DiskExtension* extension) : cipher_(&extension->Cipher) {
#if defined(__i386__)
    if (ImageCipherUsesAesNi(cipher_)) {
      saved_ = NT_SUCCESS(KeSaveFloatingPointState(&save_));
      if (!saved_) cipher_ = &extension->SoftwareCipher;
    }
#endif
  }
  ~CipherInUse() {
#if defined(__i386__)
    if (saved_) KeRestoreFloatingPointState(&save_);
#endif
  }
  CipherInUse(const CipherInUse&) = delete;
  CipherInUse& operator=(const CipherInUse&) = delete;

  const ImageCipher* Cipher() const { return cipher_; }

 private:
  const ImageCipher* cipher_;
#if defined(__i386__)
  KFLOATING_SAVE save_;
  bool saved_ = false;
#endif
};

}  // namespace cryptdsk
