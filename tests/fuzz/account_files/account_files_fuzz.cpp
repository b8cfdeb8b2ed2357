// libFuzzer target over the readers of the user key file and the password
// recovery file, and the tool's UTF-8 input. The key derivation is replaced
// by a cheap stand-in so that a million inputs take minutes: the derivation
// has its own vectors; here the format code around it is under test.
//
// Input: byte 0 picks the reader (and whether short file bytes are repeated
// up to the reader's size, so that small inputs reach past the size checks),
// bytes 1..2 the password length, then the password units, then the file.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include "account_records.h"
#include "utf.h"

namespace {

void CheapDerive(const uint8_t* text, size_t length, const uint8_t salt[20], uint8_t out[32]) {
  uint32_t h = 2166136261u;
  for (size_t i = 0; i < length; ++i) h = (h ^ text[i]) * 16777619u;
  for (size_t i = 0; i < 32; ++i) {
    h = (h ^ salt[i % 20]) * 16777619u;
    out[i] = static_cast<uint8_t>(h >> 24);
  }
}

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

// Password units from the input; may exceed 260 units on purpose.
size_t TakePassword(const uint8_t*& data, size_t& size, char16_t* password, size_t capacity) {
  password[0] = 0;
  if (size < 2) return 0;
  size_t units = (data[0] | data[1] << 8) % capacity;
  data += 2, size -= 2;
  if (units * 2 > size) units = size / 2;
  for (size_t i = 0; i < units; ++i) {
    password[i] = static_cast<char16_t>(data[2 * i] | data[2 * i + 1] << 8);
    if (password[i] == 0) password[i] = u'x';
  }
  password[units] = 0;
  data += 2 * units, size -= 2 * units;
  return units;
}

// Repeats the file bytes up to length when asked to.
struct FileBytes {
  uint8_t storage[kRecoveryFileSize + 8];
  const uint8_t* data;
  size_t size;
  FileBytes(const uint8_t* bytes, size_t count, bool repeat, size_t length)
      : data(bytes), size(count) {
    if (!repeat || count == 0 || count >= length) return;
    for (size_t i = 0; i < length; ++i) storage[i] = bytes[i % count];
    data = storage, size = length;
  }
};

void FuzzKeyFile(const uint8_t* input, size_t inputSize, bool repeat) {
  char16_t password[300];
  const size_t units = TakePassword(input, inputSize, password, 280);
  const FileBytes file(input, inputSize, repeat, kUserKeyFileSize + (inputSize & 7));
  const uint8_t* data = file.data;
  const size_t size = file.size;
  uint8_t material[kUserKeyMaterialSize];
  const int opened = OpenUserKeyFile({data, size}, password, CheapDerive, material);
  Check(opened == (size >= kUserKeyFileSize && units <= 260 ? 1 : -1));
  if (opened != 1) return;
  char16_t path[kPathBufferUnits];
  DecryptStoredPath(data, material, path);
  size_t length = 0;
  while (path[length] != 0) Check(path[length++] <= 0xFF);
  Check(length <= 260);
  const bool valid = StoredPathLooksValid(data, material);
  // A change of password keeps salt and path bytes and the key material.
  uint8_t changed[kUserKeyFileSize];
  Check(RewrapUserKeyFile(data, material, u"n3w", CheapDerive, changed) == 1);
  Check(memcmp(changed, data, kUserKeyMaterialOffset) == 0);
  uint8_t again[kUserKeyMaterialSize];
  Check(UnwrapKeyMaterial(changed, u"n3w", CheapDerive, again) == 1);
  Check(memcmp(again, material, sizeof(again)) == 0);
  // A file that looks valid rebuilds to the same path bytes.
  if (valid) {
    uint8_t rebuilt[kUserKeyFileSize];
    Check(BuildUserKeyFile(data, material, path, password, CheapDerive, rebuilt) == 1);
    Check(memcmp(rebuilt + kUserKeyPathOffset, data + kUserKeyPathOffset, kTextRecordSize) == 0);
  }
}

void FuzzRecoveryFile(const uint8_t* input, size_t inputSize, bool repeat) {
  char16_t answer[300];
  TakePassword(input, inputSize, answer, 280);
  const FileBytes file(input, inputSize, repeat, kRecoveryFileSize);
  const uint8_t* data = file.data;
  const size_t size = file.size;
  if (size < kRecoveryFileSize) return;
  const char16_t* const answers[3] = {answer, u"b", u"c"};
  char16_t password[kPathBufferUnits] = u"kept";
  const int opened = OpenRecoveryFile(data, answers, CheapDerive, password);
  Check(opened >= -1 && opened <= 1);
  if (opened != 1) {
    Check(memcmp(password, u"kept", 10) == 0);
    return;
  }
  // What came out goes back in and out again.
  uint8_t rebuilt[kRecoveryFileSize];
  if (BuildRecoveryFile(data, password, answers, CheapDerive, rebuilt) != 1) return;
  char16_t again[kPathBufferUnits];
  Check(OpenRecoveryFile(rebuilt, answers, CheapDerive, again) == 1);
  Check(memcmp(again, password, (Utf16Length(password) + 1) * 2) == 0);
}

void FuzzUtf8(const uint8_t* data, size_t size) {
  char16_t units[kPathBufferUnits];
  const int converted = Utf8ToUtf16(reinterpret_cast<const char*>(data), size, units);
  if (converted != 1) return;
  const std::string back = Utf16ToUtf8(units);
  Check(back.size() == size && memcmp(back.data(), data, size) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const bool repeat = (data[0] / 3) % 2 == 1;
  switch (data[0] % 3) {
    case 0:
      FuzzKeyFile(data + 1, size - 1, repeat);
      break;
    case 1:
      FuzzRecoveryFile(data + 1, size - 1, repeat);
      break;
    default:
      FuzzUtf8(data + 1, size - 1);
      break;
  }
  return 0;
}
