// The journeys' entry: the driver is installed with the setup library into
// this run's prefix first, unless the run is about its absence.
#include <windows.h>

#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>

#include "driver_harness.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  const char* noDriver = getenv("CRYPTELLE_TEST_NO_DRIVER");
  if ((noDriver == nullptr || noDriver[0] == 0) && !cryptdsk_test::InstallCryptDsk()) {
    printf("installing cryptdsk.sys failed: error %lu\n", GetLastError());
    return 1;
  }
  return RUN_ALL_TESTS();
}
