// The entropy pool's Windows edge. The pool is process-wide, so one journey
// covers start failure, start, the first extraction and the system service.
#include <gtest/gtest.h>
#include <string.h>
#include <windows.h>

#include "account_files.h"
#include "account_system.h"
#include "random_pool_snapshot.h"
#include "random_pool_win.h"

namespace {

HHOOK g_mouseHook;
int g_threadsCreated;

HHOOK WINAPI RefuseKeyboardHook(int id, HOOKPROC proc, HINSTANCE module, DWORD thread) {
  if (id == WH_KEYBOARD) return nullptr;
  g_mouseHook = SetWindowsHookExW(id, proc, module, thread);
  return g_mouseHook;
}
HANDLE WINAPI CountThread(LPSECURITY_ATTRIBUTES a, SIZE_T s, LPTHREAD_START_ROUTINE r, LPVOID p,
                          DWORD f, LPDWORD id) {
  ++g_threadsCreated;
  return CreateThread(a, s, r, p, f, id);
}
LSTATUS WINAPI PerformanceDataUnreadable(HKEY, LPCWSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD) {
  return ERROR_ACCESS_DENIED;
}
BOOL NoSystemRandom(void*, ULONG) {
  return FALSE;
}

TEST(RandomPoolOnWindows, FailedStartIsUndoneThenAStartedPoolServesDistinctBytes) {
  RandomPoolSystem& calls = RandomPoolSystemCalls();
  const RandomPoolSystem real = calls;
  calls.setWindowsHookEx = RefuseKeyboardHook;
  calls.createThread = CountThread;
  EXPECT_EQ(RandomPoolStart(), 0);
  RandomPoolSnapshot snapshot;
  RandomPoolTakeSnapshot(&snapshot);
  EXPECT_FALSE(snapshot.started);
  ASSERT_NE(g_mouseHook, nullptr);
  EXPECT_FALSE(UnhookWindowsHookEx(g_mouseHook));  // already removed by the undo
  EXPECT_EQ(g_threadsCreated, 0);
  uint8_t bytes[32] = {};
  EXPECT_EQ(RandomPoolGetBytes(bytes, sizeof(bytes)), -1);

  calls.setWindowsHookEx = real.setWindowsHookEx;
  calls.regQueryValueEx = PerformanceDataUnreadable;
  ASSERT_EQ(RandomPoolStart(), 1);
  EXPECT_EQ(g_threadsCreated, 1);
  RandomPoolTakeSnapshot(&snapshot);
  EXPECT_TRUE(snapshot.hooksInstalled);
  EXPECT_TRUE(snapshot.threadRunning);
  EXPECT_FALSE(snapshot.slowPollDone);

  // The first request runs the slow poll, which skips the unreadable data.
  uint8_t first[256];
  uint8_t second[256];
  ASSERT_EQ(RandomPoolGetBytes(first, sizeof(first)), 1);
  RandomPoolTakeSnapshot(&snapshot);
  EXPECT_TRUE(snapshot.slowPollDone);
  ASSERT_EQ(RandomPoolGetBytes(second, sizeof(second)), 1);
  EXPECT_NE(0, memcmp(first, second, sizeof(first)));
  EXPECT_EQ(RandomPoolGetBytes(first, 0), -1);
  EXPECT_EQ(RandomPoolGetBytes(first, 257), -1);

  // Without the system's random service no bytes leave the pool.
  calls.systemRandom = NoSystemRandom;
  memset(bytes, 0x5A, sizeof(bytes));
  EXPECT_EQ(RandomPoolGetBytes(bytes, sizeof(bytes)), -1);
  for (uint8_t byte : bytes) ASSERT_EQ(byte, 0x5A);
  calls = real;
  EXPECT_EQ(RandomPoolGetBytes(bytes, sizeof(bytes)), 1);
}

// Performance data that never fit: the buffer grows to 16 MiB, no further,
// and the slow poll goes on without them.
DWORD g_largestOffered;
int g_queries;
LSTATUS WINAPI PerformanceDataNeverFit(HKEY, LPCWSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD size) {
  ++g_queries;
  if (*size > g_largestOffered) g_largestOffered = *size;
  return ERROR_MORE_DATA;
}

TEST(RandomPoolOnWindows, SlowPollGivesUpPerformanceDataAt16MiB) {
  RandomPoolSystem& calls = RandomPoolSystemCalls();
  const RandomPoolSystem real = calls;
  calls.regQueryValueEx = PerformanceDataNeverFit;
  RandomPoolRunSlowPoll();
  calls = real;
  EXPECT_EQ(g_largestOffered, 16u << 20);
  EXPECT_EQ(g_queries, 1 + ((16 << 20) - 65536) / 4096);
  uint8_t bytes[20];
  EXPECT_EQ(RandomPoolGetBytes(bytes, sizeof(bytes)), 1);
}

// Which events count is decided by portable code tested natively; here the
// procedures take the system's structures and never pass events on.
TEST(RandomPoolOnWindows, HookProceduresTakeRealStructuresAndReturnZero) {
  MOUSEHOOKSTRUCT mouse = {};
  mouse.pt.x = 10;
  EXPECT_EQ(RandomPoolMouseHook(HC_ACTION, WM_MOUSEMOVE, reinterpret_cast<LPARAM>(&mouse)), 0);
  const LPARAM release = static_cast<LPARAM>(1u | (0x1Eu << 16) | (1u << 31));
  EXPECT_EQ(RandomPoolKeyboardHook(HC_ACTION, 'A', release), 0);
}

TEST(RandomPoolOnWindows, EveryKeyFileGetsAFreshSalt) {
  RandomPoolSnapshot snapshot;
  RandomPoolTakeSnapshot(&snapshot);
  ASSERT_TRUE(snapshot.started);
  uint8_t a[20];
  uint8_t b[20];
  ASSERT_EQ(AccountSystemCalls().randomBytes(a, sizeof(a)), 1);
  ASSERT_EQ(AccountSystemCalls().randomBytes(b, sizeof(b)), 1);
  EXPECT_NE(0, memcmp(a, b, sizeof(a)));
}

}  // namespace
