// Test fixtures for the Linux access programs: a scratch folder, key files
// of both generations made with the account formats, and containers whose
// stored form is computed with OpenSSL, independently of the driver's cipher
// code.
#pragma once

#include <fcntl.h>
#include <ftw.h>
#include <openssl/evp.h>
#include <openssl/sha.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "account_records.h"
#include "key_file_v2.h"
#include "utf.h"

namespace linux_access_test {

using Bytes = std::vector<uint8_t>;

constexpr size_t kSector = 512;
constexpr size_t kHead = 2048;
constexpr const char* kPassword = "correct horse \xc3\xa9";  // one non-ASCII letter

// A folder under TMPDIR, removed with everything in it.
class ScratchFolder {
 public:
  ScratchFolder() {
    const char* base = getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr ? base : "/tmp") + "/cryptelle-XXXXXX";
    path_ = mkdtemp(&pattern[0]) != nullptr ? pattern : std::string();
  }
  ~ScratchFolder() {
    if (path_.empty()) return;
    nftw(
        path_.c_str(),
        [](const char* path, const struct stat*, int, struct FTW*) { return remove(path); }, 16,
        FTW_DEPTH | FTW_PHYS);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  std::string operator/(const std::string& name) const { return path_ + "/" + name; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

inline Bytes ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::string& path, const Bytes& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

inline bool FileExists(const std::string& path) {
  return access(path.c_str(), F_OK) == 0;
}

inline int64_t AllocatedBytes(const std::string& path) {
  struct stat status;
  return stat(path.c_str(), &status) == 0 ? static_cast<int64_t>(status.st_blocks) * 512 : -1;
}

inline Bytes RandomBytes(size_t length, uint32_t seed) {
  std::mt19937 generator(seed);
  Bytes bytes(length);
  for (uint8_t& byte : bytes) byte = static_cast<uint8_t>(generator());
  return bytes;
}

inline Bytes FixedKeyMaterial() {
  return RandomBytes(kUserKeyMaterialSize, 0x6b6579);
}

// The disk key as the client defines it: SHA-512 of the key material, first
// 32 bytes.
inline Bytes DiskKeyOf(const Bytes& keyMaterial) {
  uint8_t digest[SHA512_DIGEST_LENGTH];
  SHA512(keyMaterial.data(), keyMaterial.size(), digest);
  return Bytes(digest, digest + 32);
}

// Writes a key file for keyMaterial under password, as new-user would.
inline bool MakeKeyFile(const std::string& path, const char* password, const Bytes& keyMaterial) {
  char16_t text[kPathBufferUnits];
  char16_t storage[kPathBufferUnits];
  const std::string where = "c:\\cryptelle\\alice.cryptdsk";
  if (Utf8ToUtf16(password, strlen(password), text) != 1 ||
      Utf8ToUtf16(where.data(), where.size(), storage) != 1)
    return false;
  const Bytes salt = RandomBytes(kAccountSaltSize, 0x73616c74);
  Bytes file(kUserKeyFileSize);
  if (BuildUserKeyFile(salt.data(), keyMaterial.data(), storage, text, DeriveAccountKey,
                       file.data()) != 1)
    return false;
  WriteFile(path, file);
  return true;
}

constexpr size_t kBackupArea = 4096;  // after a second-generation disk
constexpr Argon2idParameters kCheapKdf = {1, 64, 1};

inline Bytes FixedXtsKeys() {
  return RandomBytes(kKeyFileV2KeysSize, 0x787473);
}

// Writes a second-generation key file for keys under password, at a test's
// Argon2id cost.
inline bool MakeKeyFileV2(const std::string& path, const char* password, const Bytes& keys) {
  char16_t text[kPathBufferUnits];
  if (Utf8ToUtf16(password, strlen(password), text) != 1) return false;
  const Bytes salt = RandomBytes(kKeyFileV2SaltSize, 0x73616c74);
  const KdfMemory heap = {malloc, [](void* memory, size_t) { free(memory); }};
  Bytes file(kKeyFileV2Size);
  if (BuildKeyFileV2(kCheapKdf, salt.data(), keys.data(), u"c:\\cryptelle\\bob.cryptdsk", text,
                     heap, file.data()) != 1)
    return false;
  WriteFile(path, file);
  return true;
}

// Sectors of a second-generation disk: AES-256-XTS under the 64-byte key,
// the tweak the sector number as a 128-bit little-endian number.
inline Bytes XtsSectors(const Bytes& keys, const uint8_t* data, size_t length, uint64_t firstSector,
                        bool encrypt) {
  Bytes out(length);
  for (size_t at = 0; at < length; at += 512) {
    uint8_t tweak[16] = {};
    const uint64_t sector = firstSector + at / 512;
    for (int k = 0; k < 8; ++k) tweak[k] = static_cast<uint8_t>(sector >> (8 * k));
    EVP_CIPHER_CTX* context = EVP_CIPHER_CTX_new();
    int written = 0;
    EVP_CipherInit_ex(context, EVP_aes_256_xts(), nullptr, keys.data(), tweak, encrypt ? 1 : 0);
    EVP_CipherUpdate(context, out.data() + at, &written, data + at, 512);
    EVP_CIPHER_CTX_free(context);
  }
  return out;
}

// A second-generation container file: every sector of the plain disk
// encrypted, then the backup area, all zero.
inline Bytes StoredFormV2(const Bytes& keys, const Bytes& plain) {
  Bytes stored = XtsSectors(keys, plain.data(), plain.size(), 0, true);
  stored.resize(plain.size() + kBackupArea, 0);
  return stored;
}

// Sector n of the head, AES-256-CBC with the IV n as a 128-bit little-endian
// number, no padding.
inline Bytes CbcSectors(const Bytes& key, const uint8_t* data, size_t length, uint64_t firstSector,
                        bool encrypt) {
  Bytes out(length);
  for (size_t at = 0; at < length; at += kSector) {
    uint8_t iv[16] = {};
    const uint64_t sector = firstSector + at / kSector;
    for (int k = 0; k < 8; ++k) iv[k] = static_cast<uint8_t>(sector >> (8 * k));
    EVP_CIPHER_CTX* context = EVP_CIPHER_CTX_new();
    int written = 0;
    EVP_CipherInit_ex(context, EVP_aes_256_cbc(), nullptr, key.data(), iv, encrypt ? 1 : 0);
    EVP_CIPHER_CTX_set_padding(context, 0);
    EVP_CipherUpdate(context, out.data() + at, &written, data + at, static_cast<int>(kSector));
    EVP_CIPHER_CTX_free(context);
  }
  return out;
}

// The stored form of a plain disk: the head encrypted, the rest unchanged.
inline Bytes StoredForm(const Bytes& key, const Bytes& plain) {
  Bytes stored = plain;
  const Bytes head = CbcSectors(key, plain.data(), std::min(kHead, plain.size()), 0, true);
  std::copy(head.begin(), head.end(), stored.begin());
  return stored;
}

inline Bytes PlainForm(const Bytes& key, const Bytes& stored) {
  Bytes plain = stored;
  const Bytes head = CbcSectors(key, stored.data(), std::min(kHead, stored.size()), 0, false);
  std::copy(head.begin(), head.end(), plain.begin());
  return plain;
}

// Writes the stored form of plain to path, leaving 4 KiB blocks of zeros
// past the head as holes.
inline void WriteSparseContainer(const std::string& path, const Bytes& key, const Bytes& plain) {
  const Bytes stored = StoredForm(key, plain);
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  for (size_t at = 0; at < stored.size(); at += 4096) {
    const size_t length = std::min<size_t>(4096, stored.size() - at);
    bool zero = at != 0;
    for (size_t k = 0; zero && k < length; ++k) zero = stored[at + k] == 0;
    if (!zero && pwrite(fd, stored.data() + at, length, static_cast<off_t>(at)) < 0) break;
  }
  if (ftruncate(fd, static_cast<off_t>(stored.size())) != 0) {
  }
  close(fd);
}

// A plain disk of `size` bytes: random data in the first MiB, a zero run,
// then random data again in the last 64 KiB.
inline Bytes SamplePlainDisk(size_t size, uint32_t seed) {
  Bytes plain(size, 0);
  const Bytes front = RandomBytes(std::min<size_t>(size, 1u << 20), seed);
  std::copy(front.begin(), front.end(), plain.begin());
  if (size > (2u << 20)) {
    const Bytes back = RandomBytes(64u << 10, seed + 1);
    std::copy(back.begin(), back.end(), plain.end() - static_cast<std::ptrdiff_t>(back.size()));
  }
  return plain;
}

}  // namespace linux_access_test
