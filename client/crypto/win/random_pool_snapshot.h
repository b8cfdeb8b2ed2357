// For tests only: a look at the entropy pool under its lock. Built into the
// test-support library, never into the client.
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
