// Bounded UTF-16 path text: at most 260 code units plus the terminator, in a
// buffer of 261. A copy or append that would not fit fails and leaves the
// buffer as it was; a path is never silently shortened.
#pragma once

#include <stddef.h>

constexpr size_t kMaxPathUnits = 260;
constexpr size_t kPathBufferUnits = kMaxPathUnits + 1;

// Number of code units before the terminator.
inline size_t Utf16Length(const char16_t* text) {
  size_t length = 0;
  while (text[length] != 0) ++length;
  return length;
}

class PathBuffer {
 public:
  PathBuffer() { text_[0] = 0; }

  // 1 on success, -1 when the result would exceed kMaxPathUnits (nothing changed).
  int Assign(const char16_t* text) {
    length_ = 0;
    text_[0] = 0;
    return Append(text);
  }

  int Append(const char16_t* text) {
    const size_t added = Utf16Length(text);
    if (added > kMaxPathUnits - length_) return -1;
    for (size_t i = 0; i < added; ++i) text_[length_ + i] = text[i];
    length_ += added;
    text_[length_] = 0;
    return 1;
  }

  // Appends a backslash unless the text already ends in one.
  int AppendSeparatorIfMissing() {
    if (length_ > 0 && text_[length_ - 1] == u'\\') return 1;
    return Append(u"\\");
  }

  const char16_t* c_str() const { return text_; }
  char16_t* data() { return text_; }
  size_t length() const { return length_; }

 private:
  char16_t text_[kPathBufferUnits];
  size_t length_ = 0;
};
