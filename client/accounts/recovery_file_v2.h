// The second-generation password recovery file: the password sealed under
// an Argon2id key of the three answers, authenticated with keyed BLAKE2b
// (layout in docs/formats.md). It goes with a second-generation key file.
// No OS calls: the Windows client and the Linux tool share it. Every
// function wipes its own temporaries (joined answers, derived keys,
// decrypted payload) on every path.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "argon2id.h"
#include "key_file_v2.h"
#include "path_buffer.h"

constexpr size_t kRecoveryFileV2Size = 672;
constexpr size_t kRecoveryFileV2AnswerCount = 3;

// Whether the bytes are a second-generation recovery file (size and magic only).
bool IsRecoveryFileV2(const uint8_t* bytes, size_t size);

// Builds a whole recovery file. 1 built; -1 parameters out of range, the
// password or an answer longer than 260 units, or no memory (out all zero).
int BuildRecoveryFileV2(const Argon2idParameters& parameters,
                        const uint8_t salt[kKeyFileV2SaltSize], const char16_t* password,
                        const char16_t* const answers[kRecoveryFileV2AnswerCount], KdfMemory memory,
                        uint8_t out[kRecoveryFileV2Size]);

// Opens a recovery file. 1 password written; 0 wrong answers or altered file
// (nothing written); -1 not a second-generation recovery file, parameters out
// of range, an answer longer than 260 units, or no memory (nothing written).
int OpenRecoveryFileV2(const uint8_t* bytes, size_t size,
                       const char16_t* const answers[kRecoveryFileV2AnswerCount], KdfMemory memory,
                       char16_t password[kPathBufferUnits]);
