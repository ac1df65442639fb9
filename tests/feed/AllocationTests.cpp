// Counts every heap allocation made while a section of a test runs: natively
// through the sanitizer allocator's hooks (malloc and operator new, including
// the C library's own), elsewhere by replacing the global operator new.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <new>

#include "feed/FormatRate.h"
#include "feed/TrafficDecode.h"

namespace {

std::atomic<bool> g_bCounting{false};
std::atomic<long> g_nAllocations{0};

void NoteAllocation() noexcept {
  if (g_bCounting.load(std::memory_order_relaxed)) {
    g_nAllocations.fetch_add(1, std::memory_order_relaxed);
  }
}

}  // namespace

#if defined(__SANITIZE_ADDRESS__)
// The sanitizer runtime's public hook interface; GCC ships no header for it.
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*pfnMalloc)(const volatile void*,
                                                                           std::size_t),
                                                         void (*pfnFree)(const volatile void*));

namespace {
void OnMalloc(const volatile void*, std::size_t) { NoteAllocation(); }
void OnFree(const volatile void*) {}
const bool g_bHooked = __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree) != 0;
}  // namespace

#else
namespace {
const bool g_bHooked = true;

void* Allocate(std::size_t cb) {
  NoteAllocation();
  if (void* p = std::malloc(cb == 0 ? 1 : cb)) {
    return p;
  }
  throw std::bad_alloc();
}
}  // namespace

void* operator new(std::size_t cb) { return Allocate(cb); }
void* operator new[](std::size_t cb) { return Allocate(cb); }
void* operator new(std::size_t cb, const std::nothrow_t&) noexcept {
  NoteAllocation();
  return std::malloc(cb == 0 ? 1 : cb);
}
void* operator new[](std::size_t cb, const std::nothrow_t&) noexcept {
  NoteAllocation();
  return std::malloc(cb == 0 ? 1 : cb);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
#endif

namespace {

class CAllocationCounter {
 public:
  CAllocationCounter() {
    g_nAllocations = 0;
    g_bCounting = true;
  }
  ~CAllocationCounter() { g_bCounting = false; }
  CAllocationCounter(const CAllocationCounter&) = delete;
  CAllocationCounter& operator=(const CAllocationCounter&) = delete;

  [[nodiscard]] long Count() const { return g_nAllocations.load(); }
};

constexpr std::int64_t kRates[] = {
    -1,
    0,
    1,
    10239,
    102390,
    1023898,
    10484712,
    104847115,
    1048471143,
    10736773994,
    107373538154,
    1073677399490,
    134209674937,
    std::numeric_limits<std::int64_t>::max(),
    std::numeric_limits<std::int64_t>::min(),
};

}  // namespace

TEST(Allocations, CounterSeesAHeapAllocation) {
  ASSERT_TRUE(g_bHooked);
  long nCount = 0;
  {
    CAllocationCounter counter;
    auto* pValue = new int(7);
    nCount = counter.Count();
    delete pValue;
  }
  EXPECT_GE(nCount, 1);
}

TEST(Allocations, FormatRateAllocatesNothing) {
  ASSERT_TRUE(g_bHooked);
  wchar_t szBuffer[kRateTextChars];
  const wchar_t* pszLast = nullptr;
  long nCount = 0;
  {
    CAllocationCounter counter;
    for (const BOOL bBitsMode : {FALSE, TRUE}) {
      for (const std::int64_t nRate : kRates) {
        pszLast = FormatRate(nRate, bBitsMode, szBuffer);
      }
    }
    nCount = counter.Count();
  }
  EXPECT_EQ(nCount, 0);
  EXPECT_STREQ(pszLast, L"No Data");
}

TEST(Allocations, DecodingAllocatesNothing) {
  ASSERT_TRUE(g_bHooked);
  SharedTrafficRecord record = {1, 100, 200, 300, 400, 0x123456, 0x654321, 0, 0};
  TrafficState state;
  int nRepaints = 0;
  long nCount = 0;
  {
    CAllocationCounter counter;
    for (std::uint64_t n = 1; n <= 100; ++n) {
      record.Sequence = n;
      nRepaints += DecodeTrafficRecord(&record, state) ? 1 : 0;
      nRepaints += DecodeTrafficRecord(&record, state) ? 1 : 0;  // same sequence
      nRepaints += DecodeTrafficRecord(nullptr, state) ? 1 : 0;  // section gone
      nRepaints += DecodeTrafficRecord(nullptr, state) ? 1 : 0;
    }
    ResetTrafficState(state);
    nCount = counter.Count();
  }
  EXPECT_EQ(nCount, 0);
  EXPECT_EQ(nRepaints, 200);
}
