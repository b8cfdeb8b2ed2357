// The client's one door to the mount manager and the file system of the
// drive: volume names, mount points, the label, the lock and dismount
// controls and the shell's file information of the root. Each is the plain
// system call; they are kept here, and only here, so that a test bed on a
// system without these services can answer them in their place.
#pragma once

#include <windows.h>

#include <shellapi.h>

BOOL QueryVolumeName(const wchar_t* rootPath, wchar_t* name, DWORD units);
BOOL QueryVolumePathNames(const wchar_t* volumeName, wchar_t* names, DWORD units, DWORD* needed);
BOOL DeleteMountPoint(const wchar_t* mountPoint);
BOOL SetLabel(const wchar_t* rootPath, const wchar_t* label);
BOOL LockVolume(HANDLE volume);
BOOL DismountVolume(HANDLE volume);
BOOL UnlockVolume(HANDLE volume);
DWORD_PTR QueryRootFileInfo(const wchar_t* rootPath, SHFILEINFOW* info);
