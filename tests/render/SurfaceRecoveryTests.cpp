#include <gtest/gtest.h>

#include <vector>

#include "render/SurfaceRecovery.h"

namespace {

struct LossCase {
  const char* what;
  HRESULT hr;
  bool bLoss;
};

constexpr LossCase kLossCases[] = {
    {"DXGI_ERROR_DEVICE_REMOVED", static_cast<HRESULT>(0x887A0005U), true},
    {"DXGI_ERROR_DEVICE_RESET", static_cast<HRESULT>(0x887A0007U), true},
    {"D2DERR_RECREATE_TARGET", static_cast<HRESULT>(0x8899000CU), true},
    {"S_OK", 0, false},
    {"E_FAIL", static_cast<HRESULT>(0x80004005U), false},
    {"E_OUTOFMEMORY", static_cast<HRESULT>(0x8007000EU), false},
    {"DXGI_ERROR_INVALID_CALL", static_cast<HRESULT>(0x887A0001U), false},
    {"DXGI_ERROR_DEVICE_HUNG (a removal reason, never returned by a call)",
     static_cast<HRESULT>(0x887A0006U), false},
    {"D2DERR_WRONG_STATE", static_cast<HRESULT>(0x88990001U), false},
};

TEST(IsDeviceLoss, TellsTheThreeLossCodesFromEveryOtherFailure) {
  for (const auto& c : kLossCases) {
    EXPECT_EQ(IsDeviceLoss(c.hr), c.bLoss) << c.what;
  }
}

TEST(RebuildWaitTicks, DoublesFromTwoTicksUpToThirtySeconds) {
  const std::vector<int> expected = {2, 4, 8, 16, 32, 64, 128, 256, 300, 300};
  for (int n = 1; n <= static_cast<int>(expected.size()); ++n) {
    EXPECT_EQ(RebuildWaitTicks(n), expected[static_cast<std::size_t>(n - 1)]) << n << " failures";
  }
  EXPECT_EQ(RebuildWaitTicks(1000000), kMaxRebuildWaitTicks);
}

// The ticks, counted from the loss, on which a surface that never comes back is tried.
std::vector<int> TriedTicks(int nTicks) {
  CRebuildSchedule schedule;
  std::vector<int> tried;
  for (int nTick = 1; nTick <= nTicks; ++nTick) {
    if (schedule.IsDueOnTick()) {
      tried.push_back(nTick);
      schedule.Failed();
    }
  }
  return tried;
}

TEST(CRebuildSchedule, TriesOnTheFirstTickThenWaitsLongerAfterEachFailure) {
  EXPECT_EQ(TriedTicks(1111), (std::vector<int>{1, 3, 7, 15, 31, 63, 127, 255, 511, 811, 1111}));
}

TEST(CRebuildSchedule, NeverTriesMoreOftenThanEveryThirtySecondsOnceTheWaitIsFull) {
  const std::vector<int> tried = TriedTicks(100000);
  ASSERT_GT(tried.size(), 10u);
  for (std::size_t i = 9; i < tried.size(); ++i) {
    EXPECT_EQ(tried[i] - tried[i - 1], kMaxRebuildWaitTicks) << "try " << i;
  }
  EXPECT_LE(tried.size(), 10u + 100000u / kMaxRebuildWaitTicks);
}

TEST(CRebuildSchedule, CountsFailuresAndAfterAResetTriesTheNextLossAtOnce) {
  CRebuildSchedule schedule;
  ASSERT_TRUE(schedule.IsDueOnTick());
  schedule.Failed();
  schedule.Failed();
  EXPECT_EQ(schedule.Failures(), 2);
  EXPECT_FALSE(schedule.IsDueOnTick());
  schedule.Reset();
  EXPECT_EQ(schedule.Failures(), 0);
  EXPECT_TRUE(schedule.IsDueOnTick());
  EXPECT_TRUE(schedule.IsDueOnTick()) << "due on every tick until a try fails";
}

}  // namespace
