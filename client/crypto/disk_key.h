// The AES-256 disk key of a user: the first 32 bytes of SHA-512 over the
// 256 bytes of key material. Freestanding: no heap, no exceptions.
#pragma once

#include <stddef.h>
#include <stdint.h>

constexpr size_t kKeyMaterialSize = 256;
constexpr size_t kDiskKeySize = 32;

// Wipes the full digest and the hash state before returning.
void DiskKeyFromKeyMaterial(const uint8_t keyMaterial[kKeyMaterialSize],
                            uint8_t diskKey[kDiskKeySize]);
