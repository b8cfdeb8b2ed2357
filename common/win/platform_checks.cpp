#include "platform_checks.h"

#include <vector>

#include "window_centring.h"

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

bool CentreWindowOnDesktop(HWND window, bool raise) {
  RECT desktop;
  RECT own;
  if (!GetWindowRect(GetDesktopWindow(), &desktop) || !GetWindowRect(window, &own)) return false;
  const CentredOrigin origin = CentreOrigin(desktop.left, desktop.top, desktop.right,
                                            desktop.bottom, own.right - own.left,
                                            own.bottom - own.top);
  return SetWindowPos(window, HWND_TOP, origin.x, origin.y, 0, 0,
                      SWP_NOSIZE | (raise ? 0 : SWP_NOZORDER)) != FALSE;
}

bool ReadWindowsVersion(WindowsVersion* version, DWORD* error) {
  OSVERSIONINFOW info = {};
  info.dwOSVersionInfoSize = sizeof(info);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  const BOOL read = GetVersionExW(&info);
#pragma GCC diagnostic pop
  if (!read) {
    *error = GetLastError();
    return false;
  }
  version->major = info.dwMajorVersion;
  version->minor = info.dwMinorVersion;
  version->nt = info.dwPlatformId == VER_PLATFORM_WIN32_NT;
  return true;
}

bool IsSupportedWindows(const WindowsVersion& version) {
  return version.nt && (version.major > 5 || (version.major == 5 && version.minor >= 1));
}

namespace {

constexpr DWORD kSystemMessageFlags =
    FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
constexpr DWORD kDefaultLanguage = MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT);

// With ALLOCATE_BUFFER the buffer argument is where the text's address goes.
DWORD FormatSystemText(DWORD error, wchar_t** buffer) {
  return FormatMessageW(kSystemMessageFlags, nullptr, error, kDefaultLanguage,
                        reinterpret_cast<wchar_t*>(buffer), 0, nullptr);
}

DWORD FormatSystemText(DWORD error, char** buffer) {
  return FormatMessageA(kSystemMessageFlags, nullptr, error, kDefaultLanguage,
                        reinterpret_cast<char*>(buffer), 0, nullptr);
}

template <typename Char>
UniqueLocal SystemMessage(DWORD error) {
  Char* buffer = nullptr;
  const DWORD length = FormatSystemText(error, &buffer);
  UniqueLocal text(buffer);
  if (length == 0) text.reset();
  return text;
}

}  // namespace

UniqueLocal SystemMessageW(DWORD error) {
  return SystemMessage<wchar_t>(error);
}

UniqueLocal SystemMessageA(DWORD error) {
  return SystemMessage<char>(error);
}
