// The driver's disk as the trial's bridge serves it: positioned reads and
// writes of any byte range through the driver's control device, and
// flushes. The driver takes whole 512-byte sectors only; a range that cuts
// a sector is read whole, changed and written back.
#pragma once

#include <windows.h>

#include <stdint.h>

#include "win/unique_handles.h"

class SectorDisk {
 public:
  // Opens the driver's device and reads the size of its attached disk.
  bool Open();
  void Close() { device_.reset(); }
  uint64_t size() const { return size_; }
  bool Read(uint64_t offset, uint8_t* data, uint32_t length);
  bool Write(uint64_t offset, const uint8_t* data, uint32_t length);
  bool Flush();

 private:
  // One driver request over whole sectors.
  bool Transfer(bool write, uint64_t offset, uint8_t* data, uint32_t length);

  UniqueFile device_;
  uint64_t size_ = 0;
};
