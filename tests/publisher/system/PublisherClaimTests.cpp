#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "publisher/system/PublisherClaim.h"
#include "publisher/system/PublisherNames.h"
#include "common/UniqueHandle.h"
#include "support/SectionReader.h"

namespace {

struct ClaimCase {
  const char* name;
  bool bEvent;      // another program made the stop event first
  bool bMutex;      // ... the mutex
  bool bWrongKind;  // ... an object of another kind under the event's name
  ClaimResult expected;
  bool bEventNamed;  // for Taken: the event's name is given, else the mutex's
};

TEST(PublisherClaim, TakesOnlyNamesThatNoOtherProgramMadeFirst) {
  const ClaimCase kCases[] = {
      {"both free", false, false, false, ClaimResult::Claimed, false},
      {"event made first", true, false, false, ClaimResult::Taken, true},
      {"another kind of object under the event's name", false, false, true, ClaimResult::Taken,
       true},
      {"mutex made first", false, true, false, ClaimResult::Taken, false},
      {"both made first: a running publisher", true, true, false, ClaimResult::AlreadyRunning,
       false},
  };
  for (const ClaimCase& c : kCases) {
    const std::wstring strName = UniqueSectionName(L"Claim");
    const std::wstring strEvent = PublisherStopEventName(strName);
    const std::wstring strMutex = PublisherMutexName(strName);
    CUniqueHandle hEvent(c.bEvent ? CreateEventW(nullptr, TRUE, FALSE, strEvent.c_str()) : nullptr);
    CUniqueHandle hWrongKind(c.bWrongKind ? CreateMutexW(nullptr, FALSE, strEvent.c_str())
                                          : nullptr);
    CUniqueHandle hMutex(c.bMutex ? CreateMutexW(nullptr, FALSE, strMutex.c_str()) : nullptr);

    CPublisherClaim claim;
    EXPECT_EQ(claim.Claim(strName), c.expected) << c.name;
    if (c.expected == ClaimResult::Claimed) {
      EXPECT_NE(claim.StopEvent(), nullptr) << c.name;
    } else {
      EXPECT_EQ(claim.StopEvent(), nullptr) << c.name;
    }
    if (c.expected == ClaimResult::Taken) {
      EXPECT_EQ(claim.TakenName(), c.bEventNamed ? strEvent : strMutex) << c.name;
    }
  }
}

TEST(PublisherClaim, HoldsTheNamesUntilReleasedAndTheStopEventIsItsOwn) {
  const std::wstring strName = UniqueSectionName(L"ClaimHeld");
  CPublisherClaim first;
  ASSERT_EQ(first.Claim(strName), ClaimResult::Claimed);
  EXPECT_EQ(WaitForSingleObject(first.StopEvent(), 0), WAIT_TIMEOUT);

  CPublisherClaim second;
  EXPECT_EQ(second.Claim(strName), ClaimResult::AlreadyRunning);

  // What --stop does reaches the holder.
  const CUniqueHandle hStop(
      OpenEventW(EVENT_MODIFY_STATE, FALSE, PublisherStopEventName(strName).c_str()));
  ASSERT_TRUE(hStop);
  SetEvent(hStop.Get());
  EXPECT_EQ(WaitForSingleObject(first.StopEvent(), 0), WAIT_OBJECT_0);

  first.Release();
  // Still held by the --stop handle above: a name that stays taken is somebody else's.
  EXPECT_EQ(second.Claim(strName), ClaimResult::Taken);
}

TEST(PublisherClaim, ANameLetGoOfWhileClaimingIsTakenAfterAll) {
  const std::wstring strName = UniqueSectionName(L"ClaimRace");
  // A publisher that is ending: its event is gone, its mutex goes 60 ms later.
  CUniqueHandle hMutex(CreateMutexW(nullptr, FALSE, PublisherMutexName(strName).c_str()));
  ASSERT_TRUE(hMutex);
  const CUniqueHandle hThread(CreateThread(
      nullptr, 0,
      [](void* p) -> DWORD {
        Sleep(60);
        static_cast<CUniqueHandle*>(p)->Reset();
        return 0;
      },
      &hMutex, 0, nullptr));
  CPublisherClaim claim;
  EXPECT_EQ(claim.Claim(strName), ClaimResult::Claimed);
  WaitForSingleObject(hThread.Get(), INFINITE);
}

}  // namespace
