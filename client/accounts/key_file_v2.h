// The second-generation user key file: the two AES-256-XTS keys and the
// storage path, sealed under an Argon2id key of the password and
// authenticated with keyed BLAKE2b (layout in docs/formats.md). No OS calls:
// the Windows client and the Linux tool share it. Every function wipes its
// own temporaries (derived keys, decrypted payload) on every path.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "argon2id.h"
#include "path_buffer.h"

constexpr size_t kKeyFileV2Size = 736;
constexpr size_t kKeyFileV2SaltSize = 32;
constexpr size_t kKeyFileV2KeysSize = 64;  // the XTS data key, then the tweak key

// Default cost of a log-in: about half a second.
constexpr Argon2idParameters kKeyFileV2DefaultParameters = {2, 262144, 1};

// Argon2id's working memory, from the caller: VirtualAlloc in the client,
// malloc in the tool. Allocate returns 8-byte aligned memory or nullptr; the
// memory is wiped before it is released.
struct KdfMemory {
  void* (*Allocate)(size_t size);
  void (*Release)(void* memory, size_t size);
};

// Whether the bytes are a second-generation key file (size and magic only).
bool IsKeyFileV2(const uint8_t* bytes, size_t size);

// Whether OpenKeyFileV2 would go on to derive: a second-generation file
// whose header (version, KDF id, reserved word, parameters) it accepts. A
// file with the magic that fails this has been altered.
bool KeyFileV2HeaderAccepted(const uint8_t* bytes, size_t size);

// The Argon2id parameters the file stores; a password change keeps them.
// Only for a file whose header is accepted.
Argon2idParameters KeyFileV2Parameters(const uint8_t bytes[kKeyFileV2Size]);

// Builds a whole key file. 1 built; -1 parameters out of range, a path empty
// or longer than 260 units, a password longer than 260 units, or no memory
// (out all zero).
int BuildKeyFileV2(const Argon2idParameters& parameters, const uint8_t salt[kKeyFileV2SaltSize],
                   const uint8_t keys[kKeyFileV2KeysSize], const char16_t* storagePath,
                   const char16_t* password, KdfMemory memory, uint8_t out[kKeyFileV2Size]);

// Opens a key file. 1 keys and path written; 0 wrong password or altered
// file (nothing written); -1 not a second-generation key file, parameters out
// of range, a password longer than 260 units, or no memory (nothing written).
int OpenKeyFileV2(const uint8_t* bytes, size_t size, const char16_t* password, KdfMemory memory,
                  uint8_t keys[kKeyFileV2KeysSize], char16_t path[kPathBufferUnits]);
