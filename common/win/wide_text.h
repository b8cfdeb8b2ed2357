// The Win32 boundary of the portable core: on Windows, wchar_t and char16_t
// are the same UTF-16 code units, so texts pass between them as they are.
#pragma once

static_assert(sizeof(wchar_t) == sizeof(char16_t), "wchar_t is one UTF-16 code unit");

inline const char16_t* AsUtf16(const wchar_t* text) {
  return reinterpret_cast<const char16_t*>(text);
}
inline char16_t* AsUtf16(wchar_t* text) {
  return reinterpret_cast<char16_t*>(text);
}
inline const wchar_t* AsWide(const char16_t* text) {
  return reinterpret_cast<const wchar_t*>(text);
}
inline wchar_t* AsWide(char16_t* text) {
  return reinterpret_cast<wchar_t*>(text);
}
