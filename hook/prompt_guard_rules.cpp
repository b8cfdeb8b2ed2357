#include "prompt_guard_rules.h"

#include <wctype.h>

namespace prompt_guard {
namespace {

// The window text is read into 32 units; longer texts are tested on their
// start only, as the hook reads them.
constexpr size_t kWindowTextUnits = 32;

bool ContainsLowered(const wchar_t* text, size_t limit, const wchar_t* needle) {
  size_t length = 0;
  while (length < limit && text[length] != 0) ++length;
  size_t needleLength = 0;
  while (needle[needleLength] != 0) ++needleLength;
  for (size_t start = 0; start + needleLength <= length; ++start) {
    size_t i = 0;
    while (i < needleLength && static_cast<wchar_t>(towlower(text[start + i])) == needle[i]) ++i;
    if (i == needleLength) return true;
  }
  return false;
}

}  // namespace

bool IsShellExecutable(const wchar_t* path) {
  const wchar_t* name = path;
  for (const wchar_t* p = path; *p != 0; ++p) {
    if (*p == L'\\') name = p + 1;
  }
  return ContainsLowered(name, static_cast<size_t>(-1), L"explorer.exe");
}

bool IsFormatText(const wchar_t* text) {
  return ContainsLowered(text, kWindowTextUnits - 1, L"format");
}

}  // namespace prompt_guard
