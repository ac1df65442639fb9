#pragma once
// A property that must hold for every input. A broken one aborts, which
// libFuzzer reports as a crash and saves the input as its reproducer.

#include <cstdio>
#include <cstdlib>

[[noreturn]] inline void FuzzCheckFailed(const char* pszCondition, const char* pszFile,
                                         int nLine) noexcept {
  std::fprintf(stderr, "%s:%d: property does not hold: %s\n", pszFile, nLine, pszCondition);
  std::abort();
}

#define FUZZ_CHECK(condition) \
  ((condition) ? static_cast<void>(0) : FuzzCheckFailed(#condition, __FILE__, __LINE__))
