// The volume subsystem's own process-wide state and the shell's state it
// was given. One instance, reached through Volume().
#pragma once

#include <windows.h>

#include "volume_operations.h"

typedef BOOLEAN(WINAPI* FormatCallback)(DWORD command, DWORD subAction, PVOID data);
typedef VOID(WINAPI* FormatExFunction)(PWCHAR rootPath, DWORD mediaType, PWCHAR fileSystem,
                                       PWCHAR label, BOOL quickFormat, DWORD clusterSize,
                                       FormatCallback callback);

struct VolumeState {
  VolumeHost host;
  HMODULE FormatHookLibrary = nullptr;
  FormatExFunction FormatEx = nullptr;
  bool FormatFailed = false;
  wchar_t FormatRootPath[4] = {L' ', L':', L'\\', 0};
};

VolumeState& Volume();
