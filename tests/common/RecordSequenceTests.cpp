// The hand-over of a record through shared memory: a reader takes a record
// whole or not at all, against a writer rewriting it as fast as it can, and
// against writers that know nothing of storing 0 first.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <thread>

#include "support/TestRecords.h"
#include "common/RecordSequence.h"

namespace {

// At least this many records taken while the writer rewrites.
constexpr std::uint64_t kTakes = 100'000;

// As another publisher writes: the fields, then Sequence, in plain order.
void StoreSequenceLast(SharedTrafficRecord& shared, const SharedTrafficRecord& record) {
  SharedTrafficRecord fields = record;
  fields.Sequence = shared.Sequence;
  std::memcpy(&shared, &fields, sizeof(fields));
  std::atomic_ref<std::uint64_t>(shared.Sequence).store(record.Sequence, std::memory_order_release);
}

TEST(RecordSequence, ARecordTakenWhileTheWriterRewritesAsFastAsItCanIsAlwaysWhole) {
  alignas(64) SharedTrafficRecord shared{};
  std::atomic<bool> bStop{false};
  std::atomic<std::uint64_t> nWrites{0};
  // Back to back, only letting another thread in between two writes: a writer
  // that never paused would leave a reader no whole record at all.
  std::thread writer([&] {
    for (std::uint64_t n = 1; !bStop.load(std::memory_order_relaxed); ++n) {
      StoreTrafficRecord(shared, MakeNumberedTrafficRecord(n));
      nWrites.store(n, std::memory_order_relaxed);
      std::this_thread::yield();
    }
  });

  // Each take is of a write the reader has not taken before.
  std::uint64_t nTaken = 0;
  std::uint64_t nTorn = 0;
  std::uint64_t nContested = 0;  // takes during which the writer wrote
  std::uint64_t nLast = 0;
  SharedTrafficRecord firstTorn{};
  while (nTaken < kTakes) {
    const std::uint64_t nWritesBefore = nWrites.load(std::memory_order_relaxed);
    SharedTrafficRecord copy{};
    if (!LoadTrafficRecord(shared, copy) || copy.Sequence == nLast) {
      std::this_thread::yield();
      continue;
    }
    nContested += nWrites.load(std::memory_order_relaxed) != nWritesBefore ? 1 : 0;
    nLast = copy.Sequence;
    ++nTaken;
    if (!SameRecord(copy, MakeNumberedTrafficRecord(copy.Sequence)) && nTorn++ == 0) {
      firstTorn = copy;
    }
  }
  bStop = true;
  writer.join();

  EXPECT_EQ(nTorn, 0u) << "first torn record: Sequence " << firstTorn.Sequence << ", RateDown "
                       << firstTorn.RateDown << ", RateUp " << firstTorn.RateUp;
  std::printf("%llu records taken of %llu written, %llu of them while a write went on\n",
              static_cast<unsigned long long>(nTaken),
              static_cast<unsigned long long>(nWrites.load()),
              static_cast<unsigned long long>(nContested));
}

struct RewriteContext {
  SharedTrafficRecord* pShared;
  int nCalls = 0;
  int nRewrites = 0;  // rewrite during this many copies
  bool bSequenceLast = false;
};

void RewriteDuringTheCopy(void* pContext) noexcept {
  auto& c = *static_cast<RewriteContext*>(pContext);
  ++c.nCalls;
  if (c.nCalls > c.nRewrites) {
    return;
  }
  const SharedTrafficRecord next = MakeNumberedTrafficRecord(c.pShared->Sequence + 1);
  if (c.bSequenceLast) {
    StoreSequenceLast(*c.pShared, next);
  } else {
    StoreTrafficRecord(*c.pShared, next);
  }
}

TEST(RecordSequence, ARecordRewrittenDuringTheCopyIsCopiedAgainAndTakenWhole) {
  for (const bool bSequenceLast : {false, true}) {
    SharedTrafficRecord shared{};
    StoreTrafficRecord(shared, MakeNumberedTrafficRecord(40));
    RewriteContext context{&shared};
    context.nRewrites = 1;
    context.bSequenceLast = bSequenceLast;
    SharedTrafficRecord copy{};
    ASSERT_TRUE(LoadTrafficRecord(shared, copy, RewriteDuringTheCopy, &context)) << bSequenceLast;
    EXPECT_EQ(context.nCalls, 2);
    EXPECT_TRUE(SameRecord(copy, MakeNumberedTrafficRecord(41))) << copy.Sequence;
  }
}

TEST(RecordSequence, ARecordRewrittenDuringEveryCopyIsNotTakenAfterTheLastTry) {
  // One rewrite fewer than the tries: the last try takes it.
  SharedTrafficRecord shared{};
  StoreTrafficRecord(shared, MakeNumberedTrafficRecord(1));
  RewriteContext lastTry{&shared};
  lastTry.nRewrites = kRecordReadTries - 1;
  SharedTrafficRecord copy{};
  ASSERT_TRUE(LoadTrafficRecord(shared, copy, RewriteDuringTheCopy, &lastTry));
  EXPECT_EQ(lastTry.nCalls, kRecordReadTries);
  EXPECT_TRUE(SameRecord(copy, MakeNumberedTrafficRecord(kRecordReadTries)));

  // As many rewrites as tries: nothing, and no more tries than that.
  StoreTrafficRecord(shared, MakeNumberedTrafficRecord(1));
  RewriteContext always{&shared};
  always.nRewrites = kRecordReadTries + 5;
  EXPECT_FALSE(LoadTrafficRecord(shared, copy, RewriteDuringTheCopy, &always));
  EXPECT_EQ(always.nCalls, kRecordReadTries);
  EXPECT_EQ(kRecordReadTries, 8);
}

TEST(RecordSequence, SequenceZeroIsNeverTakenAndNothingIsCopied) {
  SharedTrafficRecord shared = MakeNumberedTrafficRecord(9);
  shared.Sequence = 0;
  RewriteContext context{&shared};
  SharedTrafficRecord copy = MakeNumberedTrafficRecord(3);
  EXPECT_FALSE(LoadTrafficRecord(shared, copy, RewriteDuringTheCopy, &context));
  EXPECT_EQ(context.nCalls, 0);
}

TEST(RecordSequence, ARecordOfAnotherPublisherIsTakenAsItStands) {
  // Plain bytes, Sequence written with them: no 0 first, nothing ordered.
  const SharedTrafficRecord record = MakeNumberedTrafficRecord(0x1234'5678'9ABC);
  SharedTrafficRecord shared{};
  std::memcpy(&shared, &record, sizeof(record));
  SharedTrafficRecord copy{};
  ASSERT_TRUE(LoadTrafficRecord(shared, copy));
  EXPECT_TRUE(SameRecord(copy, record));
}

TEST(RecordSequence, TheWriterLeavesExactlyTheRecordsBytesInTheirPlaces) {
  const SharedTrafficRecord record = MakeNumberedTrafficRecord(0xFEDC'BA98'7654'3210);
  SharedTrafficRecord shared = MakeNumberedTrafficRecord(5);
  StoreTrafficRecord(shared, record);
  EXPECT_EQ(std::memcmp(&shared, &record, sizeof(record)), 0);
}

}  // namespace
