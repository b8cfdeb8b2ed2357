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

// A cancel only returns to started from the matching pending state; any
// other cancel is answered here and not passed down.
PnpStep Cancel(uint32_t currentState, uint32_t pendingState) {
  if (currentState == pendingState) return Step(PnpRoute::kPassDown, true, true, kPnpStarted);
  return Step(PnpRoute::kCompleteHere, true, false, currentState);
}

}  // namespace

PnpStep NextPnpStep(uint8_t minorFunction, uint32_t currentState) {
  switch (minorFunction) {
    case kMnStartDevice:
      return Step(PnpRoute::kStartThenComplete, false, true, kPnpStarted);
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

}  // namespace cryptdsk
