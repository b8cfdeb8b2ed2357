// The open drive's disk for Linux: from the moment the volume is formatted
// and named until Linux lets go of it, the driver's disk is an NBD export
// on a loopback port, which the run script mounts (nbdfuse, ntfs-3g) and
// shows to Wine as the drive's letter.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "script_link.h"

class DriveExport {
 public:
  explicit DriveExport(ScriptLink* script) : script_(script) {}
  ~DriveExport();
  DriveExport(const DriveExport&) = delete;
  DriveExport& operator=(const DriveExport&) = delete;

  // Serves the disk and asks the script to mount it as `letter`: 1 when it
  // is mounted, 0 when not.
  int Mount(char letter);
  // Asks the script to unmount (with `force`, whatever is open) and waits
  // until Linux has let go of the disk: 1, or 0 when open files hold it.
  int Release(bool force);

 private:
  ScriptLink* const script_;
  std::mutex mutex_;
  std::condition_variable ended_;
  bool serving_ = false;
  std::atomic<bool> giveUp_{false};
  std::thread session_;
};
