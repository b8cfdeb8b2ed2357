// The entropy pool's process-wide state: one per process, behind the
// functions of random_pool_win.h. Only the pool itself and its test support
// include this header.
#pragma once

#include <stdint.h>
#include <windows.h>

#include "random_pool.h"

// The lock guards everything but the hook histories, which belong to the
// user-interface thread.
struct EntropyPoolState {
  CRITICAL_SECTION lock;
  bool started;
  uint8_t* buffer;  // kRandomPoolBufferSize bytes on the process heap
  RandomPoolState state;
  bool slowPollDone;
  bool startupInfoAdded;
  HHOOK mouseHook;
  HHOOK keyboardHook;
  HANDLE thread;
  MouseHistory mouse;
  KeyboardHistory keyboard;
  HMODULE networkLibrary;
  int productType = -1;
  DWORD perfDataSize = 65536;  // grows until the performance data fit, up to 16 MiB
};

extern EntropyPoolState EntropyPool;
