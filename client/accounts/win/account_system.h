// The operating-system calls of the account files, behind one table so that
// tests can fail any of them (a failed write, a full disk, a read-only
// folder, a crash before the replace) and watch what is left on disk.
// Production code never changes the table.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <windows.h>

#include "argon2id.h"

struct AccountSystem {
  HANDLE(WINAPI* createFile)
  (LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE);
  BOOL(WINAPI* readFile)(HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED);
  BOOL(WINAPI* writeFile)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);
  BOOL(WINAPI* flushFileBuffers)(HANDLE);
  BOOL(WINAPI* closeHandle)(HANDLE);
  BOOL(WINAPI* deleteFile)(LPCWSTR);
  BOOL(WINAPI* moveFileEx)(LPCWSTR, LPCWSTR, DWORD);
  DWORD(WINAPI* getFileAttributes)(LPCWSTR);
  BOOL(WINAPI* getFileSizeEx)(HANDLE, PLARGE_INTEGER);
  int(WINAPI* messageBox)(HWND, LPCWSTR, LPCWSTR, UINT);
  // Salts and key material: 1 with length bytes written, -1 on failure.
  int (*randomBytes)(uint8_t* destination, size_t length);
  // Argon2id's working memory, as KdfMemory wants it: allocateKdfMemory
  // gives nullptr when there is none.
  void* (*allocateKdfMemory)(size_t size);
  void (*releaseKdfMemory)(void* memory, size_t size);
  // The cost of the second-generation files this client writes.
  Argon2idParameters fileV2Parameters;
};

// The table in use; starts with the real calls and the entropy pool.
AccountSystem& AccountSystemCalls();

// The table as production fills it, for tests to restore.
AccountSystem DefaultAccountSystem();

// A system-modal message box with the given icon (MB_ICONERROR or
// MB_ICONINFORMATION).
void ShowAccountMessage(HWND owner, const WCHAR* text, const WCHAR* title, UINT icon);
