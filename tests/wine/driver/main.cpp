// The driver's Wine tests: the driver is installed with the setup library
// into this run's prefix, in the same wine session as the tests (its host
// process lives only while a program of the session runs).
#include <gtest/gtest.h>

#include <cstdio>

#include "driver_harness.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (!cryptdsk_test::InstallCryptDsk()) {
    std::printf("installing cryptdsk.sys failed: error %lu\n", GetLastError());
    return 1;
  }
  return RUN_ALL_TESTS();
}
