#include "flow_rules.h"

#include <wctype.h>

#include "client_texts.h"
#include "path_rules.h"

FieldLength ClassifyFieldLength(size_t units) {
  if (units == 0) return FieldLength::kEmpty;
  if (units < kMaxPathUnits) return FieldLength::kFits;
  if (units == kMaxPathUnits) return FieldLength::kMaybeCut;
  return FieldLength::kTooLong;
}

bool IsPlainName(const char16_t* text) {
  static const wctype_t alpha = wctype("alpha");
  static const wctype_t digit = wctype("digit");
  for (; *text != 0; ++text) {
    const wint_t unit = static_cast<wint_t>(*text);
    if (unit != u'_' && !iswctype(unit, alpha) && !iswctype(unit, digit)) return false;
  }
  return true;
}

bool SameText(const char16_t* first, const char16_t* second) {
  for (; *first != 0 && *first == *second; ++first, ++second) {
  }
  return *first == *second;
}

StorageSize CheckStorageSize(const char16_t* digits, unsigned* megabytes) {
  if (digits[0] == 0) return StorageSize::kEmpty;
  unsigned value = 0;
  size_t i = 0;
  // The field holds at most four characters, so the value stays small.
  for (; i < 5 && digits[i] >= u'0' && digits[i] <= u'9'; ++i) {
    value = value * 10 + static_cast<unsigned>(digits[i] - u'0');
  }
  if (digits[i] != 0 && i < 5) return StorageSize::kNotANumber;
  if (value < kMinimumStorageMb) return StorageSize::kBelowMinimum;
  if (value > kMaximumStorageMb) return StorageSize::kAboveMaximum;
  *megabytes = value;
  return StorageSize::kAccepted;
}

int BuildStorageFilePath(const char16_t* folder, const char16_t* name, PathBuffer<char16_t>* out) {
  if (out->Assign(folder) != 1 || out->AppendSeparatorIfMissing() != 1) return -1;
  const size_t whole = out->length() + Utf16Length(name) + Utf16Length(kStorageExtension);
  if (whole > kMaxPathUnits) return 0;
  if (out->Append(name) != 1 || out->Append(kStorageExtension) != 1) return -1;
  ToLowerInPlace(out->data());
  return 1;
}

int BuildRecoveredPasswordMessage(const char16_t* password, char16_t* out, size_t units) {
  size_t used = 0;
  for (const char16_t* part :
       {CT_U(CT_MSG_RECOVERED_HEAD), password, CT_U(CT_MSG_RECOVERED_TAIL)}) {
    for (; *part != 0; ++part) {
      if (used + 1 >= units) {
        out[0] = 0;
        return -1;
      }
      out[used++] = *part;
    }
  }
  out[used] = 0;
  return 1;
}

unsigned long long FreeSpaceFigureMb(unsigned long long freeBytes, unsigned long long sizeMb,
                                     unsigned long long extraBytes) {
  constexpr unsigned long long kMiB = 1048576;
  const unsigned long long container = sizeMb * kMiB + extraBytes;
  if (freeBytes <= container + kMiB) return 0;
  return (freeBytes - container) / kMiB;
}
