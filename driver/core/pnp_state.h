// The plug-and-play state machine of the disk device, without the kernel:
// given the minor function and the current `PnpState`, what the state
// becomes and whether the request goes down the stack.
// Freestanding.
#pragma once

#include <stdint.h>

#include "nt_status.h"

namespace cryptdsk {

enum PnpStateValue : uint32_t {
  kPnpNotStarted = 0,
  kPnpStarted = 1,
  kPnpStopPending = 2,
  kPnpRemovePending = 3,
  kPnpSurpriseRemoved = 4,
  kPnpRemoved = 5,
};

constexpr uint8_t kMnStartDevice = 0x00;
constexpr uint8_t kMnQueryRemoveDevice = 0x01;
constexpr uint8_t kMnRemoveDevice = 0x02;
constexpr uint8_t kMnCancelRemoveDevice = 0x03;
constexpr uint8_t kMnStopDevice = 0x04;
constexpr uint8_t kMnQueryStopDevice = 0x05;
constexpr uint8_t kMnCancelStopDevice = 0x06;
constexpr uint8_t kMnSurpriseRemoval = 0x17;

enum class PnpRoute : uint8_t {
  kLowerFirst,  // send down, wait, then change state and complete with the lower status
  kPassDown,    // skip the own stack location and call the lower driver
  kRemove,      // pass down, then tear the device down
};

struct PnpStep {
  PnpRoute Route;
  bool SetsSuccess;   // the request's status becomes success before it goes down
  bool ChangesState;  // NewState applies (after kLowerFirst: only if the lower drivers succeed)
  uint32_t NewState;
};

// Start and the two cancels are handled on the way back up: the lower
// drivers first, then this device. A cancel without its query still goes
// down, with no state change.
PnpStep NextPnpStep(uint8_t minorFunction, uint32_t currentState);

// Whether a new open, attach or transfer may start in `pnpState`: not once
// the device is gone (STATUS_NO_SUCH_DEVICE after a surprise removal,
// STATUS_DELETE_PENDING after removal); kStatusSuccess otherwise.
NtStatus NewRequestStatus(uint32_t pnpState);

}  // namespace cryptdsk
