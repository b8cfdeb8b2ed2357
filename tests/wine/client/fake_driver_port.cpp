// The test twin's driver port: answers from "cryptdsk-answer.txt" beside the
// program instead of the driver. "idle" or "attached" answer the request;
// "denied" fails the open with ERROR_ACCESS_DENIED; no file fails it with
// ERROR_FILE_NOT_FOUND, as when the driver is not installed.
#include <string.h>

#include "driver_port.h"
#include "win_handles.h"

int QueryCryptDskIsOpen(BYTE* isOpenByte, DWORD* openError) {
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  wchar_t* separator = wcsrchr(path, L'\\');
  if (length == 0 || separator == nullptr) return -1;
  wcscpy(separator + 1, L"cryptdsk-answer.txt");
  UniqueFile file(
      CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file.valid()) {
    *openError = ERROR_FILE_NOT_FOUND;
    return 0;
  }
  char answer[16] = {};
  DWORD read = 0;
  ReadFile(file.get(), answer, sizeof(answer) - 1, &read, nullptr);
  if (strncmp(answer, "denied", 6) == 0) {
    *openError = ERROR_ACCESS_DENIED;
    return 0;
  }
  *isOpenByte = strncmp(answer, "attached", 8) == 0 ? 1 : 0;
  return 1;
}
