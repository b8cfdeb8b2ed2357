// The cipher of an attached container, by generation: the first keeps the
// head-only rule (sectors 0 to 3 AES-256-CBC, the rest as written), the
// second encrypts every sector with AES-256-XTS. The transfer procedures take
// one of these, so the driver and the Linux tools store sectors alike.
// Key material: ImageCipherWipe it when done.
// Freestanding.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "aes_engine.h"
#include "cryptdsk_protocol.h"
#include "xts.h"

namespace cryptdsk {

struct ImageCipher {
  uint32_t Generation;  // kGenerationHeadOnly or kGenerationWholeDisk once keyed
  AesEngine Head;       // the first generation's
  XtsContext Xts;       // the second generation's
};

// Keys the cipher: the first generation from 32 bytes, the second from 64
// (data key, then tweak key), either on `engine`. 1 keyed; -1 an unknown
// generation, a wrong key size or an engine the processor lacks (the cipher
// left all zero).
int ImageCipherSetKey(ImageCipher* cipher, uint32_t generation, const uint8_t* key,
                      size_t keySize, XtsEngine engine);

void ImageCipherWipe(ImageCipher* cipher);

// The keyed cipher runs on the AES instructions (which x86 kernels bracket
// with a floating-point save, see aes_ni.h).
bool ImageCipherUsesAesNi(const ImageCipher* cipher);

// The disk a container file of fileSize bytes holds: the whole file for the
// first generation (and for 0, the generation field of earlier clients), the
// file less the backup area rounded down to whole sectors for the second (-1
// when that leaves less than one sector, or for a negative size).
int64_t DiskSizeOfContainer(uint32_t generation, int64_t fileSize);

}  // namespace cryptdsk
