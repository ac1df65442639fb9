// The one owning handle: whatever it holds is closed exactly once, when its
// owner goes or takes another, and never when it is handed on.

#include <gtest/gtest.h>

#include <utility>

#include "common/UniqueHandle.h"

namespace {

constexpr wchar_t kEventName[] = L"NimbrelTestOwnedEvent";

HANDLE MakeEvent() { return CreateEventW(nullptr, TRUE, FALSE, kEventName); }

// A named event exists as long as one handle to it is open.
bool EventExists() {
  return static_cast<bool>(CUniqueHandle(OpenEventW(SYNCHRONIZE, FALSE, kEventName)));
}

TEST(UniqueHandleTest, ClosesWhatItHoldsWhenItGoes) {
  {
    const CUniqueHandle hEvent(MakeEvent());
    ASSERT_TRUE(hEvent);
    EXPECT_TRUE(EventExists());
  }
  EXPECT_FALSE(EventExists());
}

TEST(UniqueHandleTest, ResetClosesTheOldAndReleaseHandsOnWithoutClosing) {
  CUniqueHandle hEvent(MakeEvent());
  hEvent.Reset();
  EXPECT_FALSE(hEvent);
  EXPECT_FALSE(EventExists());

  hEvent.Reset(MakeEvent());
  const HANDLE hRaw = hEvent.Release();
  EXPECT_FALSE(hEvent);
  EXPECT_TRUE(EventExists()) << "released, not closed";
  const CUniqueHandle hTaken(hRaw);
}

TEST(UniqueHandleTest, AMoveHandsTheHandleOverAndClosesWhatTheTargetHeld) {
  CUniqueHandle hFirst(MakeEvent());
  const HANDLE hRaw = hFirst.Get();
  CUniqueHandle hSecond(std::move(hFirst));
  EXPECT_FALSE(hFirst);
  EXPECT_EQ(hSecond.Get(), hRaw);

  CUniqueHandle hOther(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  ASSERT_TRUE(hOther);
  hOther = std::move(hSecond);
  EXPECT_EQ(hOther.Get(), hRaw);
  EXPECT_FALSE(hSecond);
  EXPECT_TRUE(EventExists());

  CUniqueHandle& alias = hOther;
  hOther = std::move(alias);
  EXPECT_EQ(hOther.Get(), hRaw) << "moved onto itself, still held";
  EXPECT_TRUE(EventExists());
  hOther.Reset();
  EXPECT_FALSE(EventExists());
}

TEST(UniqueHandleTest, PutClosesWhatIsHeldAndTakesTheNewHandle) {
  CUniqueHandle hEvent(MakeEvent());
  HANDLE* pSlot = hEvent.Put();
  EXPECT_FALSE(EventExists());
  *pSlot = MakeEvent();
  EXPECT_TRUE(hEvent);
  hEvent.Reset();
  EXPECT_FALSE(EventExists());
}

}  // namespace
