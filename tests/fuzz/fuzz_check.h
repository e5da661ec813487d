#pragma once

#include <cstdio>
#include <cstdlib>

// A broken invariant must stop the fuzzer as a crash does, whatever NDEBUG says,
// so that it keeps the input.
[[noreturn]] inline void FuzzCheckFailed(const char* condition, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, condition);
  std::abort();
}

#define FUZZ_CHECK(condition) \
  ((condition) ? static_cast<void>(0) : FuzzCheckFailed(#condition, __FILE__, __LINE__))
