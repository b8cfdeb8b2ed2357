// The access list of the account folders and of every key, temporary and
// recovery file: SYSTEM and the Administrators group have full control,
// nothing is inherited from the folder above and nobody else gets in.
#pragma once

#include <windows.h>

#include "unique_handles.h"

// Protected (P); the entries pass on to what is created in a folder (OICI).
inline constexpr wchar_t kPrivateSecuritySddl[] = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";

// Security attributes carrying that descriptor, for one create call.
class PrivateSecurity {
 public:
  PrivateSecurity();
  // Null when the descriptor could not be built: the create must not happen.
  SECURITY_ATTRIBUTES* get() { return descriptor_.valid() ? &attributes_ : nullptr; }

 private:
  UniqueLocal descriptor_;
  SECURITY_ATTRIBUTES attributes_;
};

// True for the attributes of a junction or symbolic link.
inline bool IsReparsePoint(DWORD attributes) {
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}
