// Rules of the account flows that need no OS: field lengths, names, the
// storage size and path, and the recovered-password message. The dialogs'
// validation steps call these, so they are tested natively too.
#pragma once

#include <stddef.h>

#include "path_buffer.h"

// What a field read into a 261-unit buffer holds.
enum class FieldLength {
  kEmpty,
  kFits,
  // Exactly 260 units: the typed text may have been cut; warn and go on.
  kMaybeCut,
  // More than the buffer can hold: an error.
  kTooLong,
};

FieldLength ClassifyFieldLength(size_t units);

// Letters and digits by the runtime's wide-character classes, and "_". An
// empty text passes; callers refuse it first.
bool IsPlainName(const char16_t* text);

// Code unit by code unit, case-sensitive.
bool SameText(const char16_t* first, const char16_t* second);

enum class StorageSize {
  kEmpty,
  kNotANumber,
  kBelowMinimum,
  kAboveMaximum,
  kAccepted,
};

constexpr unsigned kMinimumStorageMb = 5;
constexpr unsigned kMaximumStorageMb = 9999;

// The size field: decimal digits only (the field holds at most four), the
// one reading of it that validation, Browse and the mount share. The value
// goes to *megabytes when accepted.
StorageSize CheckStorageSize(const char16_t* digits, unsigned* megabytes);

// The free-space figure of the storage screen in whole MB: what stays free
// after a container of sizeMb and `extraBytes` (the whole-drive container's
// backup area), or 0 when that would leave less than 1 MB.
unsigned long long FreeSpaceFigureMb(unsigned long long freeBytes, unsigned long long sizeMb,
                                     unsigned long long extraBytes = 0);

// folder, a backslash if missing, name, ".cryptdsk", lower-cased into out.
// 1 built; 0 the whole would exceed 260 units (the file-name length
// refusal); -1 the folder with its backslash does not fit.
int BuildStorageFilePath(const char16_t* folder, const char16_t* name, PathBuffer<char16_t>* out);

// Units of the recovered-password message's buffer, terminator included.
constexpr size_t kRecoveredMessageUnits = 324;

// "Your Password:\n\n", the password, "\n\nNext is Change Password screen."
// 1, or -1 when it does not fit `units` (out is then empty).
int BuildRecoveredPasswordMessage(const char16_t* password, char16_t* out, size_t units);
