// For tests only: a look at the entropy pool under its lock, and a slow poll
// on demand. Built into the test-support library, never into the client.
#pragma once

#include <stdint.h>

struct RandomPoolSnapshot {
  bool started;
  bool hooksInstalled;
  bool threadRunning;
  bool slowPollDone;
  uint32_t writeIndex;
  uint8_t pool[260];
};

void RandomPoolTakeSnapshot(RandomPoolSnapshot* snapshot);

// Runs the slow poll again under the lock of a started pool.
void RandomPoolRunSlowPoll();
