// The sealing both second-generation account files share (docs/formats.md):
// a 32-byte header (magic, version, KDF id, Argon2id parameters, reserved),
// a 32-byte salt, a payload XORed with a BLAKE2b keystream, and a keyed
// BLAKE2b-256 MAC over everything before it. The two files differ only in
// magic, payload size and what feeds Argon2id; their own modules parse the
// payload. Internal to the two files' modules.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "argon2id.h"
#include "key_file_v2.h"

constexpr size_t kSealedFileV2MagicSize = 8;
constexpr size_t kSealedFileV2PayloadOffset = 64;  // header, then salt
constexpr size_t kSealedFileV2MacSize = 32;
constexpr size_t kSealedFileV2MaxPayloadSize = 640;

struct SealedFileV2Layout {
  const uint8_t* Magic;  // kSealedFileV2MagicSize bytes
  size_t PayloadSize;    // a multiple of 64, at most kSealedFileV2MaxPayloadSize
};

constexpr size_t SealedFileV2Size(size_t payloadSize) {
  return kSealedFileV2PayloadOffset + payloadSize + kSealedFileV2MacSize;
}

// Size and magic only.
bool IsSealedFileV2(const SealedFileV2Layout& layout, const uint8_t* bytes, size_t size);

// Writes the whole file: header, salt, the sealed payload, the MAC. `secret`
// is what Argon2id hashes as its password. 1 built; -1 parameters out of
// range or no memory (out all zero).
int SealFileV2(const SealedFileV2Layout& layout, const Argon2idParameters& parameters,
               const uint8_t salt[kKeyFileV2SaltSize], const uint8_t* secret, size_t secretSize,
               const uint8_t* plainPayload, KdfMemory memory, uint8_t* out);

// Whether the header is one UnsealFileV2 goes on from: size, magic,
// version, KDF id, reserved word and parameters in range. Derives nothing.
bool SealedFileV2HeaderAccepted(const SealedFileV2Layout& layout, const uint8_t* bytes,
                                size_t size);

// Checks the header before deriving anything, then the MAC, and only then
// decrypts. 1 payload written; 0 wrong secret or altered file (nothing
// written); -1 not this kind of file, header or parameters not as written,
// or no memory (nothing written).
int UnsealFileV2(const SealedFileV2Layout& layout, const uint8_t* bytes, size_t size,
                 const uint8_t* secret, size_t secretSize, KdfMemory memory, uint8_t* plainPayload);

// The Argon2id parameters a sealed file stores (not checked).
Argon2idParameters SealedFileV2Parameters(const uint8_t* file);

// Text as UTF-16LE bytes, two per unit.
void StoreUtf16Le(const char16_t* text, size_t units, uint8_t* out);

// A counted text in a payload: LE16(units) at `at`, then the units as
// UTF-16LE; the payload is zero after it (a fresh payload already is).
void StoreCountedText(const char16_t* text, size_t units, uint8_t* at);

// Reads one back, as a writer leaves it: minUnits to 260 units, none of them
// zero, and only zero bytes after them up to payloadEnd. false otherwise.
bool LoadCountedText(const uint8_t* at, const uint8_t* payloadEnd, size_t minUnits,
                     char16_t text[kPathBufferUnits]);
