#include "utf.h"

#include <stdint.h>

#include "secure_wipe.h"

namespace {

// Decodes one scalar value at text[*i]; false for anything that is not UTF-8.
bool DecodeOne(const unsigned char* text, size_t length, size_t* i, uint32_t* value) {
  const unsigned char lead = text[*i];
  size_t extra;
  uint32_t minimum;
  if (lead < 0x80) {
    *value = lead;
    ++*i;
    return true;
  } else if ((lead & 0xE0) == 0xC0) {
    extra = 1, minimum = 0x80, *value = lead & 0x1F;
  } else if ((lead & 0xF0) == 0xE0) {
    extra = 2, minimum = 0x800, *value = lead & 0x0F;
  } else if ((lead & 0xF8) == 0xF0) {
    extra = 3, minimum = 0x10000, *value = lead & 0x07;
  } else {
    return false;
  }
  if (extra > length - *i - 1) return false;
  for (size_t k = 1; k <= extra; ++k) {
    const unsigned char next = text[*i + k];
    if ((next & 0xC0) != 0x80) return false;
    *value = (*value << 6) | (next & 0x3F);
  }
  if (*value < minimum || *value > 0x10FFFF || (*value >= 0xD800 && *value <= 0xDFFF)) return false;
  *i += extra + 1;
  return true;
}

}  // namespace

int Utf8ToUtf16(const char* text, size_t length, char16_t out[kPathBufferUnits]) {
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text);
  size_t units = 0;
  size_t i = 0;
  int result = 1;
  while (i < length) {
    uint32_t value = 0;
    // A NUL would end the text early and silently shorten a password.
    if (!DecodeOne(bytes, length, &i, &value) || value == 0) {
      result = -1;
      break;
    }
    const size_t needed = value >= 0x10000 ? 2 : 1;
    if (units + needed > kMaxPathUnits) {
      result = 0;
      break;
    }
    if (needed == 2) {
      value -= 0x10000;
      out[units++] = static_cast<char16_t>(0xD800 + (value >> 10));
      out[units++] = static_cast<char16_t>(0xDC00 + (value & 0x3FF));
    } else {
      out[units++] = static_cast<char16_t>(value);
    }
  }
  if (result != 1) {
    SecureWipe(out, kPathBufferUnits * sizeof(char16_t));
    return result;
  }
  out[units] = 0;
  return 1;
}

std::string Utf16ToUtf8(const char16_t* text) {
  std::string out;
  // Room for the whole text up front: growing would free partial copies.
  size_t units = 0;
  while (text[units] != 0) ++units;
  out.reserve(3 * units);
  for (size_t i = 0; text[i] != 0; ++i) {
    uint32_t value = text[i];
    if (value >= 0xD800 && value <= 0xDBFF && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      value = 0x10000 + ((value - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (value >= 0xD800 && value <= 0xDFFF) {
      value = 0xFFFD;
    }
    if (value < 0x80) {
      out += static_cast<char>(value);
    } else if (value < 0x800) {
      out += static_cast<char>(0xC0 | (value >> 6));
      out += static_cast<char>(0x80 | (value & 0x3F));
    } else if (value < 0x10000) {
      out += static_cast<char>(0xE0 | (value >> 12));
      out += static_cast<char>(0x80 | ((value >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (value & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (value >> 18));
      out += static_cast<char>(0x80 | ((value >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((value >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (value & 0x3F));
    }
  }
  return out;
}
