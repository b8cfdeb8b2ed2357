// ShellHelperCT.exe: the "open" command of container files. Asks a running
// client to open its drive in the file browser, or starts the client.
// Every failure ends with one message box; the exit code is 0 then too.
#include <windows.h>
// windows.h first: the shell headers build on it.
#include <shellapi.h>

#include "messages.h"
#include "path_buffer.h"
#include "product_names.h"
#include "win/unique_handles.h"

namespace {

using namespace shellhelper;

constexpr wchar_t kMutexName[] = L"CryptelleShellHelper";
constexpr wchar_t kOpenRequest[] = CRYPTELLE_WIDE(CRYPTELLE_OPEN_REQUEST);

void ShowError(const wchar_t* text) {
  MessageBoxW(nullptr, text, kErrorCaption, MB_SYSTEMMODAL | MB_ICONERROR);
}

// Reads "InstallPath" and builds the client's path; false when the key,
// the value or the room for the path is missing.
bool ReadClientPath(PathBuffer<wchar_t>* clientPath) {
  UniqueRegKey key;
  wchar_t installPath[kPathBufferUnits] = {};
  DWORD size = sizeof(installPath) - sizeof(wchar_t);  // room for a terminator we add
  DWORD type = 0;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, CRYPTELLE_WIDE(CRYPTELLE_PRODUCT_KEY), 0, KEY_QUERY_VALUE,
                    key.put()) != ERROR_SUCCESS ||
      RegQueryValueExW(key.get(), CRYPTELLE_WIDE(CRYPTELLE_INSTALL_PATH_VALUE), nullptr, &type,
                       reinterpret_cast<BYTE*>(installPath), &size) != ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ)) {
    return false;
  }
  installPath[size / sizeof(wchar_t)] = 0;
  return clientPath->AssignJoined(installPath, CRYPTELLE_WIDE(CRYPTELLE_CLIENT_EXE)) == 1;
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
  // Held until the program ends.
  const UniqueHandle mutex(CreateMutexW(nullptr, TRUE, kMutexName));
  const DWORD mutexError = GetLastError();
  if (!mutex.valid()) {
    ShowError(kGeneralError);
    return 0;
  }
  if (mutexError == ERROR_ALREADY_EXISTS) {
    ShowError(kAlreadyRunning);
    return 0;
  }

  PathBuffer<wchar_t> clientPath;
  if (!ReadClientPath(&clientPath)) {
    ShowError(kGeneralError);
    return 0;
  }
  if (GetFileAttributesW(clientPath.c_str()) == INVALID_FILE_ATTRIBUTES) {
    ShowError(kCannotLaunch);
    return 0;
  }

  const HWND client = FindWindowExW(HWND_MESSAGE, nullptr, CRYPTELLE_WIDE(CRYPTELLE_WINDOW_CLASS),
                                    CRYPTELLE_WIDE(CRYPTELLE_WINDOW_TITLE));
  if (client != nullptr) {
    SendOpenRequest(client);
    return 0;
  }
  const HINSTANCE result =
      ShellExecuteW(nullptr, L"open", clientPath.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  if (reinterpret_cast<INT_PTR>(result) <= 32) ShowError(kCannotLaunch);
  return 0;
}

}  // namespace

int wmain() {
  return Run();
}
