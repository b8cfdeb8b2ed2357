#include "pnp_state.h"

namespace cryptdsk {
namespace {

PnpStep Step(PnpRoute route, bool setsSuccess, bool changesState, uint32_t newState) {
  PnpStep step;
  step.Route = route;
  step.SetsSuccess = setsSuccess;
  step.ChangesState = changesState;
  step.NewState = newState;
  return step;
}

// A cancel only returns to started from the matching pending state.
PnpStep Cancel(uint32_t currentState, uint32_t pendingState) {
  return Step(PnpRoute::kLowerFirst, true, currentState == pendingState, kPnpStarted);
}

}  // namespace

PnpStep NextPnpStep(uint8_t minorFunction, uint32_t currentState) {
  switch (minorFunction) {
    case kMnStartDevice:
      return Step(PnpRoute::kLowerFirst, false, true, kPnpStarted);
    case kMnQueryRemoveDevice:
      return Step(PnpRoute::kPassDown, true, true, kPnpRemovePending);
    case kMnRemoveDevice:
      return Step(PnpRoute::kRemove, true, true, kPnpRemoved);
    case kMnCancelRemoveDevice:
      return Cancel(currentState, kPnpRemovePending);
    case kMnStopDevice:
      return Step(PnpRoute::kPassDown, true, true, kPnpNotStarted);
    case kMnQueryStopDevice:
      return Step(PnpRoute::kPassDown, true, true, kPnpStopPending);
    case kMnCancelStopDevice:
      return Cancel(currentState, kPnpStopPending);
    case kMnSurpriseRemoval:
      return Step(PnpRoute::kPassDown, true, true, kPnpSurpriseRemoved);
    default:
      return Step(PnpRoute::kPassDown, false, false, currentState);
  }
}

NtStatus NewRequestStatus(uint32_t pnpState) {
  if (pnpState == kPnpSurpriseRemoved) return kStatusNoSuchDevice;
  if (pnpState == kPnpRemoved) return kStatusDeletePending;
  return kStatusSuccess;
}

}  // namespace cryptdsk
