// The two per-user file formats, as pure transformations between plain values
// and file bytes. No OS calls: the Windows client and the Linux tool both write
// and read through these, so a file made by one opens in the other.
//
// User key file, 804 bytes:      salt(20) | path record(528) | key material(256)
// Password recovery file, 1604:  salt(20) | password record(528) x 3
// Records hold one byte per UTF-16 code unit (0x00..0xFF), zero-filled. Both
// ciphertexts are Blowfish ECB with halves read little-endian.
//
// Every function wipes its own temporaries (derived keys, key schedules,
// decrypted records) before returning, on every path.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "key_file_v2.h"
#include "path_buffer.h"

constexpr size_t kAccountSaltSize = 20;
constexpr size_t kTextRecordSize = 528;
constexpr size_t kMaxStoredTextUnits = kMaxPathUnits;  // 260
constexpr size_t kUserKeyMaterialSize = 256;
constexpr size_t kAccountDiskKeySize = 32;
constexpr size_t kUserKeyFileSize = 804;
constexpr size_t kRecoveryFileSize = 1604;
constexpr size_t kRecoveryAnswerCount = 3;

constexpr size_t kUserKeyPathOffset = kAccountSaltSize;                          // 20
constexpr size_t kUserKeyMaterialOffset = kUserKeyPathOffset + kTextRecordSize;  // 548
constexpr size_t kRecoveryCopyOffset = kAccountSaltSize;                         // 20, 548, 1076

static_assert(kUserKeyMaterialOffset + kUserKeyMaterialSize == kUserKeyFileSize, "key file layout");
static_assert(kRecoveryCopyOffset + kRecoveryAnswerCount * kTextRecordSize == kRecoveryFileSize,
              "recovery file layout");

// Derives the 32-byte Blowfish key from a password or answer (UTF-16LE bytes)
// and a salt. Both stored formats use only bytes 0..31 of the 256-byte
// derivation; production passes DeriveUsedKeyBytes, the benchmark compares it
// with the full derivation and the fuzzer passes a cheap stand-in.
using PasswordKeyFunction = void (*)(const uint8_t* text, size_t length,
                                     const uint8_t salt[kAccountSaltSize], uint8_t out[32]);

// The derivation the client and the tool use: the first 32 bytes only.
void DeriveAccountKey(const uint8_t* text, size_t length, const uint8_t salt[kAccountSaltSize],
                      uint8_t out[32]);

// The client's log-in checks the password and then reads the disk key: the
// same derivation twice. The operation that does both holds a
// RememberedAccountKeyScope around them; while it lives the check derives
// through a one-entry memo and the read takes the remembered key if text and
// salt are the same, then forgets it. The scope wipes the memo when it ends,
// on every path; without one nothing is remembered. User-interface thread only.
class RememberedAccountKeyScope {
 public:
  RememberedAccountKeyScope();
  ~RememberedAccountKeyScope();
  RememberedAccountKeyScope(const RememberedAccountKeyScope&) = delete;
  RememberedAccountKeyScope& operator=(const RememberedAccountKeyScope&) = delete;
};
void DeriveAccountKeyRemembered(const uint8_t* text, size_t length,
                                const uint8_t salt[kAccountSaltSize], uint8_t out[32]);
void ForgetRememberedAccountKey();
// Whether the memo holds a key or an opened key file; it is all zero
// whenever it does not.
bool AccountKeyRemembered();

// The second generation's memo under the same scope: a key file v2 that
// opened is remembered with its password, keys and path, and opening the
// same bytes with the same password again takes them without running
// Argon2id. A file that did not open is never remembered. Results as
// OpenKeyFileV2.
int OpenKeyFileV2Remembered(const uint8_t* bytes, size_t size, const char16_t* password,
                            KdfMemory memory, uint8_t keys[kKeyFileV2KeysSize],
                            char16_t path[kPathBufferUnits]);
// A key file v2 just built from these values opens with them: a new user's
// read-back and the mount then derive nothing more. Only inside a scope.
void RememberKeyFileV2(const uint8_t bytes[kKeyFileV2Size], const char16_t* password,
                       const uint8_t keys[kKeyFileV2KeysSize], const char16_t* path);

// Stores text one byte per code unit, zero-filled to 528 bytes.
// 1 stored; 0 a code unit above 0x00FF (record left all zero); -1 text longer
// than 260 units (record left all zero).
int StoreNarrowText(const char16_t* text, uint8_t record[kTextRecordSize]);

// Widens the bytes of a record into out (261 units), stopping at the first
// zero byte or after maxUnits bytes. Always terminates out.
void WidenNarrowText(const uint8_t* record, size_t maxUnits, char16_t out[kPathBufferUnits]);

// Builds a whole key file. password is at most 260 units.
// 1 built; 0 the path has a code unit above 0x00FF; -1 path or password too
// long. On 0 and -1 out is all zero.
int BuildUserKeyFile(const uint8_t salt[kAccountSaltSize],
                     const uint8_t keyMaterial[kUserKeyMaterialSize], const char16_t* storagePath,
                     const char16_t* password, PasswordKeyFunction derive,
                     uint8_t out[kUserKeyFileSize]);

// Unwraps the key material of a key file with a password. A wrong password
// gives wrong key material without any error: only the path tells.
// -1 when the password is longer than 260 units, else 1.
int UnwrapKeyMaterial(const uint8_t file[kUserKeyFileSize], const char16_t* password,
                      PasswordKeyFunction derive, uint8_t keyMaterial[kUserKeyMaterialSize]);

// Decrypts the stored container path with unwrapped key material.
void DecryptStoredPath(const uint8_t file[kUserKeyFileSize],
                       const uint8_t keyMaterial[kUserKeyMaterialSize],
                       char16_t path[kPathBufferUnits]);

// True when the decrypted path record has the shape every writer leaves: a
// non-empty text and zero bytes from offset 260 on. A wrong password leaves
// random bytes there (chance of a false yes: 2^-2144). Used where no expected
// path is at hand (the Linux tool's show-path and change-password).
bool StoredPathLooksValid(const uint8_t file[kUserKeyFileSize],
                          const uint8_t keyMaterial[kUserKeyMaterialSize]);

// Replaces the key-material wrapping with one under newPassword; salt and
// encrypted path bytes are copied unchanged. 1 or -1 (a password too long,
// out all zero).
int RewrapUserKeyFile(const uint8_t file[kUserKeyFileSize],
                      const uint8_t keyMaterial[kUserKeyMaterialSize], const char16_t* newPassword,
                      PasswordKeyFunction derive, uint8_t out[kUserKeyFileSize]);

// Results of opening a key file that is already in memory.
struct UserKeyFileView {
  const uint8_t* bytes;  // the file's first bytes
  size_t size;           // how many were read; only the first 804 are used
};

// Reads as the client does: -1 for fewer than 804 bytes or a password too
// long; otherwise 1 with the key material unwrapped (right or wrong).
int OpenUserKeyFile(UserKeyFileView file, const char16_t* password, PasswordKeyFunction derive,
                    uint8_t keyMaterial[kUserKeyMaterialSize]);

// Builds a whole recovery file: the password three times under the three
// answers. 1 built; 0 the password has a code unit above 0x00FF; -1 password
// or an answer longer than 260 units. On 0 and -1 out is all zero.
int BuildRecoveryFile(const uint8_t salt[kAccountSaltSize], const char16_t* password,
                      const char16_t* const answers[kRecoveryAnswerCount],
                      PasswordKeyFunction derive, uint8_t out[kRecoveryFileSize]);

// Opens a recovery file held in memory (exactly 1604 bytes; the caller checks
// the size). 1 the three copies agree and password holds the text; 0 they
// disagree (password untouched); -1 an answer longer than 260 units or the
// agreed text longer than 260 units (password untouched).
int OpenRecoveryFile(const uint8_t file[kRecoveryFileSize],
                     const char16_t* const answers[kRecoveryAnswerCount],
                     PasswordKeyFunction derive, char16_t password[kPathBufferUnits]);
