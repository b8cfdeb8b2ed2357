// Stands in for Cryptelle.exe in the package: records that it was started,
// and in which current folder, in "client-started.txt" beside itself.
#include <string.h>
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  char marker[MAX_PATH + 1] = {};
  const DWORD length = GetModuleFileNameA(nullptr, marker, MAX_PATH + 1);
  if (length == 0 || length > MAX_PATH) return 1;
  char* slash = strrchr(marker, '\\');
  if (slash == nullptr || (slash - marker) + 20 > MAX_PATH) return 1;
  strcpy(slash + 1, "client-started.txt");
  char current[MAX_PATH + 1] = {};
  const DWORD currentLength = GetCurrentDirectoryA(MAX_PATH + 1, current);
  if (currentLength == 0 || currentLength > MAX_PATH) return 1;
  const HANDLE file =
      CreateFileA(marker, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  DWORD written = 0;
  WriteFile(file, current, currentLength, &written, nullptr);
  CloseHandle(file);
  return 0;
}
