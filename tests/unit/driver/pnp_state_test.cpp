#include "pnp_state.h"

#include <gtest/gtest.h>

namespace cryptdsk {
namespace {

struct PnpCase {
  const char* Name;
  uint8_t Minor;
  uint32_t From;
  PnpRoute Route;
  bool SetsSuccess;
  uint32_t To;  // state afterwards (for a start: if it succeeds)
};

const PnpCase kPnpCases[] = {
    {"StartFromNotStarted", kMnStartDevice, kPnpNotStarted, PnpRoute::kLowerFirst, false,
     kPnpStarted},
    {"QueryRemove", kMnQueryRemoveDevice, kPnpStarted, PnpRoute::kPassDown, true,
     kPnpRemovePending},
    // Cancels go to the lower drivers first and change the state on the way up.
    {"CancelRemoveAfterQuery", kMnCancelRemoveDevice, kPnpRemovePending, PnpRoute::kLowerFirst,
     true, kPnpStarted},
    {"CancelRemoveWithoutQuery", kMnCancelRemoveDevice, kPnpStarted, PnpRoute::kLowerFirst, true,
     kPnpStarted},
    {"CancelRemoveWhileStopPending", kMnCancelRemoveDevice, kPnpStopPending, PnpRoute::kLowerFirst,
     true, kPnpStopPending},
    {"Remove", kMnRemoveDevice, kPnpRemovePending, PnpRoute::kRemove, true, kPnpRemoved},
    {"RemoveAfterSurprise", kMnRemoveDevice, kPnpSurpriseRemoved, PnpRoute::kRemove, true,
     kPnpRemoved},
    {"Stop", kMnStopDevice, kPnpStopPending, PnpRoute::kPassDown, true, kPnpNotStarted},
    {"QueryStop", kMnQueryStopDevice, kPnpStarted, PnpRoute::kPassDown, true, kPnpStopPending},
    {"CancelStopAfterQuery", kMnCancelStopDevice, kPnpStopPending, PnpRoute::kLowerFirst, true,
     kPnpStarted},
    {"CancelStopWithoutQuery", kMnCancelStopDevice, kPnpStarted, PnpRoute::kLowerFirst, true,
     kPnpStarted},
    {"CancelStopNotStarted", kMnCancelStopDevice, kPnpNotStarted, PnpRoute::kLowerFirst, true,
     kPnpNotStarted},
    {"SurpriseRemoval", kMnSurpriseRemoval, kPnpStarted, PnpRoute::kPassDown, true,
     kPnpSurpriseRemoved},
    {"QueryCapabilitiesPassesUntouched", 0x09, kPnpStarted, PnpRoute::kPassDown, false,
     kPnpStarted},
    {"QueryDeviceRelationsPassesUntouched", 0x07, kPnpNotStarted, PnpRoute::kPassDown, false,
     kPnpNotStarted},
};

class PnpTable : public ::testing::TestWithParam<PnpCase> {};

TEST_P(PnpTable, MovesStateAndRoutesAsTheTableSays) {
  const PnpCase& c = GetParam();
  const PnpStep step = NextPnpStep(c.Minor, c.From);
  EXPECT_EQ(step.Route, c.Route);
  EXPECT_EQ(step.SetsSuccess, c.SetsSuccess);
  EXPECT_EQ(step.ChangesState ? step.NewState : c.From, c.To);
}

INSTANTIATE_TEST_SUITE_P(EveryRow, PnpTable, ::testing::ValuesIn(kPnpCases),
                         [](const ::testing::TestParamInfo<PnpCase>& info) {
                           return info.param.Name;
                         });

TEST(PnpStateMachine, QueryRemoveThenCancelReturnsToStarted) {
  uint32_t state = kPnpStarted;
  for (const uint8_t minor : {kMnQueryRemoveDevice, kMnCancelRemoveDevice}) {
    const PnpStep step = NextPnpStep(minor, state);
    if (step.ChangesState) state = step.NewState;
  }
  EXPECT_EQ(state, kPnpStarted);
}

TEST(PnpStateMachine, NoNewRequestOnceTheDeviceIsGone) {
  for (const uint32_t state : {kPnpNotStarted, kPnpStarted, kPnpStopPending, kPnpRemovePending})
    EXPECT_EQ(NewRequestStatus(state), kStatusSuccess) << state;
  EXPECT_EQ(NewRequestStatus(kPnpSurpriseRemoved), kStatusNoSuchDevice);
  EXPECT_EQ(NewRequestStatus(kPnpRemoved), kStatusDeletePending);
}

}  // namespace
}  // namespace cryptdsk
