// Entry point of Cryptelle.exe.
#include <windows.h>

#include "startup_checks.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  try {
    return RunClient(instance);
  } catch (...) {
    return 0;
  }
}
