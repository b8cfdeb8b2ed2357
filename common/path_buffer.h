// Bounded path text: at most 260 code units plus the terminator, in a buffer
// of 261. A copy or append that would not fit fails and leaves the buffer as
// it was; a path is never silently shortened. The code unit is char16_t for
// the portable core, wchar_t for Win32 wide code, char for the ANSI setup.
#pragma once

#include <stddef.h>

constexpr size_t kMaxPathUnits = 260;
constexpr size_t kPathBufferUnits = kMaxPathUnits + 1;

// Number of code units before the terminator.
template <typename Unit>
size_t TextLength(const Unit* text) {
  size_t length = 0;
  while (text[length] != 0) ++length;
  return length;
}

inline size_t Utf16Length(const char16_t* text) { return TextLength(text); }

template <typename Unit>
class PathBuffer {
 public:
  PathBuffer() { text_[0] = 0; }

  // 1 on success, -1 when the result would exceed kMaxPathUnits (nothing changed).
  int Assign(const Unit* text) {
    if (TextLength(text) > kMaxPathUnits) return -1;
    length_ = 0;
    text_[0] = 0;
    return Append(text);
  }

  int Append(const Unit* text) {
    const size_t added = TextLength(text);
    if (added > kMaxPathUnits - length_) return -1;
    for (size_t i = 0; i < added; ++i) text_[length_ + i] = text[i];
    length_ += added;
    text_[length_] = 0;
    return 1;
  }

  // Appends a backslash unless the text already ends in one.
  int AppendSeparatorIfMissing() {
    if (length_ > 0 && text_[length_ - 1] == Unit('\\')) return 1;
    const Unit separator[] = {Unit('\\'), 0};
    return Append(separator);
  }

  // Assign(folder), a separator unless it ends in one, then Append(name).
  int AssignJoined(const Unit* folder, const Unit* name) {
    PathBuffer joined;
    if (joined.Assign(folder) != 1 || joined.AppendSeparatorIfMissing() != 1 ||
        joined.Append(name) != 1) {
      return -1;
    }
    *this = joined;
    return 1;
  }

  const Unit* c_str() const { return text_; }
  Unit* data() { return text_; }
  size_t length() const { return length_; }
  bool empty() const { return length_ == 0; }

 private:
  Unit text_[kPathBufferUnits];
  size_t length_ = 0;
};
