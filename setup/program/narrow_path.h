// Bounded 8-bit path text: at most 260 characters plus the terminator, in a
// buffer of 261. A copy or append that would not fit fails and leaves the
// buffer as it was; a path is never silently shortened.
#pragma once

#include <stddef.h>
#include <string.h>

namespace setup {

constexpr size_t kMaxPathChars = 260;
constexpr size_t kPathBufferChars = kMaxPathChars + 1;

class NarrowPath {
 public:
  NarrowPath() { text_[0] = 0; }

  // 1 on success, -1 when the result would exceed kMaxPathChars (nothing changed).
  int Assign(const char* text) {
    if (strlen(text) > kMaxPathChars) return -1;
    length_ = 0;
    text_[0] = 0;
    return Append(text);
  }

  int Append(const char* text) {
    const size_t added = strlen(text);
    if (added > kMaxPathChars - length_) return -1;
    memcpy(text_ + length_, text, added);
    length_ += added;
    text_[length_] = 0;
    return 1;
  }

  // Appends a backslash unless the text already ends in one.
  int AppendSeparatorIfMissing() {
    if (length_ > 0 && text_[length_ - 1] == '\\') return 1;
    return Append("\\");
  }

  const char* c_str() const { return text_; }
  size_t length() const { return length_; }
  bool empty() const { return length_ == 0; }

 private:
  char text_[kPathBufferChars];
  size_t length_ = 0;
};

}  // namespace setup
