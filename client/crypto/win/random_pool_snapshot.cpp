#include "random_pool_snapshot.h"

#include <string.h>

#include "entropy_pool_state.h"
#include "random_pool_win.h"

void RandomPoolTakeSnapshot(RandomPoolSnapshot* snapshot) {
  memset(snapshot, 0, sizeof(*snapshot));
  snapshot->started = EntropyPool.started;
  if (!EntropyPool.started) return;
  EnterCriticalSection(&EntropyPool.lock);
  snapshot->hooksInstalled =
      EntropyPool.mouseHook != nullptr && EntropyPool.keyboardHook != nullptr;
  snapshot->threadRunning = EntropyPool.thread != nullptr;
  snapshot->slowPollDone = EntropyPool.slowPollDone;
  snapshot->writeIndex = EntropyPool.state.writeIndex;
  if (EntropyPool.buffer != nullptr)
    memcpy(snapshot->pool, EntropyPool.buffer, kRandomPoolBufferSize);
  LeaveCriticalSection(&EntropyPool.lock);
}

void RandomPoolRunSlowPoll() {
  if (!EntropyPool.started) return;
  EnterCriticalSection(&EntropyPool.lock);
  SlowPoll();
  LeaveCriticalSection(&EntropyPool.lock);
}
