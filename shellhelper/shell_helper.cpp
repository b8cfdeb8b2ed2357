// ShellHelperCT.exe: the "open" command of container files. Asks a running
// client to open its drive in the file browser, or starts the client.
// Every failure ends with one message box; the exit code is 0 then too.
#include <windows.h>
// windows.h first: the shell headers build on it.
#include <shellapi.h>

#include "messages.h"

namespace {

using namespace shellhelper;

constexpr DWORD kPathUnits = MAX_PATH + 1;

void ShowError(const wchar_t* text) {
  MessageBoxW(nullptr, text, kErrorCaption, MB_SYSTEMMODAL | MB_ICONERROR);
}

class RegistryKey {
 public:
  explicit RegistryKey(HKEY key) : key_(key) {}
  ~RegistryKey() {
    if (key_ != nullptr) RegCloseKey(key_);
  }
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;
  HKEY get() const { return key_; }

 private:
  HKEY key_;
};

// Reads "InstallPath" and builds the client's path; false when the key,
// the value or the room for the path is missing.
bool ReadClientPath(wchar_t (&clientPath)[kPathUnits]) {
  HKEY opened = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kRegistryKey, 0, KEY_QUERY_VALUE, &opened) !=
      ERROR_SUCCESS) {
    return false;
  }
  RegistryKey key(opened);
  wchar_t installPath[kPathUnits] = {};
  DWORD size = sizeof(installPath) - sizeof(wchar_t);  // room for a terminator we add
  DWORD type = 0;
  if (RegQueryValueExW(key.get(), kInstallPathValue, nullptr, &type,
                       reinterpret_cast<BYTE*>(installPath), &size) != ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ)) {
    return false;
  }
  installPath[size / sizeof(wchar_t)] = 0;

  const size_t folderLength = lstrlenW(installPath);
  const bool needsSeparator = folderLength == 0 || installPath[folderLength - 1] != L'\\';
  const size_t total = folderLength + (needsSeparator ? 1 : 0) + lstrlenW(kClientFileName);
  if (total >= kPathUnits) return false;
  size_t at = 0;
  for (size_t i = 0; i < folderLength; ++i) clientPath[at++] = installPath[i];
  if (needsSeparator) clientPath[at++] = L'\\';
  for (const wchar_t* p = kClientFileName; *p != 0; ++p) clientPath[at++] = *p;
  clientPath[at] = 0;
  return true;
}

void SendOpenRequest(HWND client) {
  COPYDATASTRUCT request = {};
  request.dwData = 0;
  request.cbData = sizeof(kOpenRequest);  // 32: the text and its terminator
  request.lpData = const_cast<wchar_t*>(kOpenRequest);
  const HCURSOR previous = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
  SendMessageW(client, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&request));
  SetCursor(previous);
}

int Run() {
  const HANDLE mutex = CreateMutexW(nullptr, TRUE, kMutexName);
  const DWORD mutexError = GetLastError();
  if (mutex == nullptr) {
    ShowError(kGeneralError);
    return 0;
  }
  // The mutex stays held until the process ends.
  if (mutexError == ERROR_ALREADY_EXISTS) {
    ShowError(kAlreadyRunning);
    return 0;
  }

  wchar_t clientPath[kPathUnits] = {};
  if (!ReadClientPath(clientPath)) {
    ShowError(kGeneralError);
    return 0;
  }
  if (GetFileAttributesW(clientPath) == INVALID_FILE_ATTRIBUTES) {
    ShowError(kCannotLaunch);
    return 0;
  }

  const HWND client = FindWindowExW(HWND_MESSAGE, nullptr, kClientWindowClass, kClientWindowTitle);
  if (client != nullptr) {
    SendOpenRequest(client);
    return 0;
  }
  const HINSTANCE result =
      ShellExecuteW(nullptr, L"open", clientPath, nullptr, nullptr, SW_SHOWNORMAL);
  if (reinterpret_cast<INT_PTR>(result) <= 32) ShowError(kCannotLaunch);
  return 0;
}

}  // namespace

int wmain() {
  return Run();
}
