// The volume subsystem's process-wide state: the open drive, the storage
// shortcut and the shared documents folder it goes into, and the format
// library. One instance, reached through Volume().
#pragma once

#include <windows.h>

#include <stdint.h>

#include "path_buffer.h"
#include "volume_operations.h"

typedef BOOLEAN(WINAPI* FormatCallback)(DWORD command, DWORD subAction, PVOID data);
typedef VOID(WINAPI* FormatExFunction)(PWCHAR rootPath, DWORD mediaType, PWCHAR fileSystem,
                                       PWCHAR label, BOOL quickFormat, DWORD clusterSize,
                                       FormatCallback callback);

// The file system of the volume that holds the shared documents folder.
enum class FileSystemKind { kNotDetermined = -1, kUnrecognised = 0, kFatFamily = 1, kOther = 2 };

struct VolumeState {
  VolumeHost host;

  // The letter of the open drive ('H' to 'Z'), 0 when none is open.
  int CurrentDriveLetter = 0;
  // The generation of the logged-in user's container
  // (cryptdsk::kGenerationHeadOnly or kGenerationWholeDisk), read with the
  // disk key at mount; 0 until then and after the lock.
  uint32_t Generation = 0;
  // The control device could not be opened at all.
  bool DriverUnavailable = false;
  // The last lock failed because the file system was in use.
  bool LockRefusedInUse = false;

  wchar_t SharedDocumentsFolder[kPathBufferUnits] = {};
  bool SharedDocumentsFolderKnown = false;
  FileSystemKind SharedDocumentsKind = FileSystemKind::kNotDetermined;
  wchar_t StorageShortcutPath[kPathBufferUnits] = {};
  bool ShortcutCreated = false;

  HMODULE FormatHookLibrary = nullptr;
  FormatExFunction FormatEx = nullptr;
  bool FormatFailed = false;
  wchar_t FormatRootPath[4] = {L' ', L':', L'\\', 0};
};

VolumeState& Volume();

// The storage shortcut is made and removed only where the shared documents
// folder's file system is recognised.
inline bool StorageShortcutApplies(const VolumeState& volume) {
  return volume.SharedDocumentsKind == FileSystemKind::kFatFamily ||
         volume.SharedDocumentsKind == FileSystemKind::kOther;
}
