// The plug-and-play state machine of the disk device, without the kernel:
// given the minor function and the current `PnpState`, what the state
// becomes and whether the request goes down the stack.
// Freestanding.
#pragma once

#include <stdint.h>

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
  kStartThenComplete,  // send down, wait, complete with the lower status
  kPassDown,           // skip the own stack location and call the lower driver
  kCompleteHere,       // complete with success, do not pass down
  kRemove,             // pass down, then tear the device down
};

struct PnpStep {
  PnpRoute Route;
  bool SetsSuccess;   // the request's status becomes success before it goes down
  bool ChangesState;  // NewState applies (for a start: only if it succeeds)
  uint32_t NewState;
};

PnpStep NextPnpStep(uint8_t minorFunction, uint32_t currentState);

}  // namespace cryptdsk
