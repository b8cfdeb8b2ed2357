#include "wow64.h"

#include <windows.h>

namespace setup {

bool RunsUnderWow64() {
  // Looked up at run time: Windows XP before Service Pack 2 lacks it, and
  // has no WOW64 either.
  using Query = BOOL(WINAPI*)(HANDLE, PBOOL);
  const auto query = reinterpret_cast<Query>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "IsWow64Process")));
  BOOL wow64 = FALSE;
  return query != nullptr && query(GetCurrentProcess(), &wow64) && wow64;
}

}  // namespace setup
