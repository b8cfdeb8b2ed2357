#include "platform_checks.h"

#include <vector>

#include "unique_handles.h"

namespace {

bool OpenQueryToken(UniqueHandle* token) {
  HANDLE handle = nullptr;
  if (OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &handle)) {
    token->reset(handle);
    return true;
  }
  if (GetLastError() != ERROR_NO_TOKEN) return false;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &handle)) return false;
  token->reset(handle);
  return true;
}

}  // namespace

bool IsAdministratorsMember() {
  UniqueHandle token;
  if (!OpenQueryToken(&token)) return false;
  DWORD size = 0;
  GetTokenInformation(token.get(), TokenGroups, nullptr, 0, &size);
  if (size == 0) return false;
  std::vector<BYTE> buffer(size);
  if (!GetTokenInformation(token.get(), TokenGroups, buffer.data(), size, &size)) return false;

  SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
  PSID administrators = nullptr;
  if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &administrators)) {
    return false;
  }
  const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(buffer.data());
  bool member = false;
  for (DWORD i = 0; i < groups->GroupCount && !member; ++i) {
    member = EqualSid(groups->Groups[i].Sid, administrators) != FALSE;
  }
  FreeSid(administrators);
  return member;
}

bool CentreWindowOnDesktop(HWND window) {
  RECT desktop;
  RECT own;
  if (!GetWindowRect(GetDesktopWindow(), &desktop) || !GetWindowRect(window, &own)) return false;
  const int x = desktop.left + ((desktop.right - desktop.left) - (own.right - own.left)) / 2;
  const int y = desktop.top + ((desktop.bottom - desktop.top) - (own.bottom - own.top)) / 2;
  return SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER) != FALSE;
}
