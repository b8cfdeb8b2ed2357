// The client's entropy pool: thread-local mouse and keyboard hooks on the
// user-interface thread, a fast poll every 250 ms on its own thread, a slow
// poll of system statistics on the first request, and 32 bytes of the
// system's random service stirred in at every request. One critical section
// guards it all.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <windows.h>

// 1 started; 0 failed, with everything undone. Call once, on the thread
// whose input should feed the hooks.
int RandomPoolStart();

// Undoes a start that failed half-way; the client never stops a running pool.
void RandomPoolStop();

// length is 1..256. 1 with the bytes written; -1 when the pool is not
// started, the length is out of range or the system's random service failed
// (destination then untouched). Takes the lock for the whole operation.
int RandomPoolGetBytes(uint8_t* destination, size_t length);

// Caller holds the lock.
void RandomPoolAddInt(uint32_t value);
void RandomPoolAddBytes(int length, const void* bytes);
void RandomPoolMix();
void FastPoll();
void SlowPoll();

// The calls a test replaces to make a start fail or to watch the pool.
struct RandomPoolSystem {
  HHOOK(WINAPI* setWindowsHookEx)(int, HOOKPROC, HINSTANCE, DWORD);
  HANDLE(WINAPI* createThread)
  (LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE, LPVOID, DWORD, LPDWORD);
  // The system's random service: TRUE with length bytes written.
  BOOL (*systemRandom)(void* destination, ULONG length);
  LSTATUS(WINAPI* regQueryValueEx)(HKEY, LPCWSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD);
};
RandomPoolSystem& RandomPoolSystemCalls();

// The hook procedures, for tests to call with the system's structures.
LRESULT CALLBACK RandomPoolMouseHook(int code, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK RandomPoolKeyboardHook(int code, WPARAM wParam, LPARAM lParam);
